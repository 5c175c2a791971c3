#pragma once

// The texts the user reads, by string-table identifier. The built-in table is
// compiled in; a language module can replace it (SetStringSource). UI thread.

#include <cstdint>
#include <string>

namespace My {

// A table of texts by identifier, such as a loaded language module.
class StringSource {
public:
    // The text of entry id into text; false when the source has no such entry.
    virtual bool Find(std::uint32_t id, std::string& text) const = 0;

protected:
    ~StringSource() = default;
};

// The text of entry id from the current source, or an empty string when the
// entry does not exist. Entries missing from a language module are taken
// from the built-in table.
std::string LoadString(std::uint32_t id);

// Makes source the current one (null: the built-in table alone). Returns the
// previous one. The caller keeps ownership and keeps it alive while current.
const StringSource* SetStringSource(const StringSource* source);

// Puts argument in place of the first "%s" of format and turns "%%" into "%";
// every other character, "%" sequences included, stays as it is. A text from
// a language module is never used as a printf format.
std::string FormatString(const std::string& format, const std::string& argument);

} // namespace My
