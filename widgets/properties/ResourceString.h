#pragma once

// A label: a literal text (id 0) or a string-table entry (id not 0) together
// with its text. Property maps are keyed by labels; the XML form and the
// editor's captions use the text.

#include <cstdint>
#include <map>
#include <string>

namespace My {

class ResourceString {
public:
    ResourceString() = default;
    // A literal label.
    ResourceString(std::string text);
    ResourceString(const char* text);
    // A string-table label; its text is the entry's text at construction.
    explicit ResourceString(std::uint32_t id);
    ResourceString(std::string text, std::uint32_t id);

    const std::string& GetText() const { return m_text; }
    std::uint32_t GetId() const { return m_id; }

    // A total order: by id (unsigned), then by text (byte-wise). Literal
    // labels (id 0) therefore come first, in text order; string-table labels
    // follow in id order whatever their texts.
    bool operator<(const ResourceString& other) const;
    bool operator==(const ResourceString& other) const;

private:
    std::string m_text;
    std::uint32_t m_id = 0;
};

// Finds the entry of map whose label has that text, by a linear walk (a label
// from the string table is keyed by its id, so a key made of the text alone
// would not find it). Returns map.end() when there is none.
template <class Map> typename Map::const_iterator FindByText(const Map& map, const std::string& text)
{
    for (auto it = map.begin(); it != map.end(); ++it)
        if (it->first.GetText() == text)
            return it;
    return map.end();
}

} // namespace My
