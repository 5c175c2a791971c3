#pragma once

#include <cstdint>
#include <string_view>

namespace xml {

class arena;

// One attribute: a stored name and a stored value (xmldoc/stored_text.h).
struct attribute {
    const char* name;
    const char* value;
};

// One element of a document's tree, kept in the document's arena with its
// arrays and texts. Internal to the document library: the rest of the
// system reaches elements only through xml::document handles.
//
// Attributes are sorted byte-wise by name, each name once. Arrays hold
// `count` entries in room for `capacity`; a grown array leaves the old one
// to the arena.
struct element {
    element* parent;
    const char* name;
    attribute* attributes;
    element** children;
    std::uint32_t attribute_count;
    std::uint32_t attribute_capacity;
    std::uint32_t child_count;
    std::uint32_t child_capacity;

    // A childless element without attributes in the arena; the name is
    // stored as given.
    static element* make(arena& memory, element* parent, std::string_view name);

    // The index of the first attribute whose name is not less than key.
    std::uint32_t lower_bound(std::string_view key) const noexcept;
    // The attribute of that name, or nullptr.
    attribute* find(std::string_view key) const noexcept;
    // Sets an attribute, replacing the value of an existing one; the name is
    // taken as valid and the value as stored.
    void put_attribute(arena& memory, std::string_view key, const char* value);
    void add_child(arena& memory, element* child);
    // Takes a child out of the array (its memory stays in the arena).
    void erase_child(const element* child) noexcept;
};

// count entries copied into an exactly sized array in the arena; nullptr
// when there are none.
template <class T> T* copy_array(arena& memory, const T* first, std::size_t count);

// The XML 1.0 name rule over single bytes (xmldoc/char_classes.h).
bool is_name(std::string_view text) noexcept;
// Throws xml::invalid_name unless is_name(text).
void check_name(std::string_view text);

} // namespace xml
