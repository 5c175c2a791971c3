#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace xml {

// One element of a document's tree. Internal to the document library: the
// rest of the system reaches elements only through xml::document handles.
struct element {
    // Attribute names sorted byte-wise; the transparent comparator lets the
    // parser look names up by view without making a string first.
    using attribute_map = std::map<std::string, std::string, std::less<>>;

    element(element* parent_element, std::string_view tag)
        : parent(parent_element)
        , name(tag)
    {
    }
    // Deletes the whole subtree without recursion, so that any depth is safe.
    ~element();
    element(const element&) = delete;
    element& operator=(const element&) = delete;

    // Deletes every child subtree and empties the children list.
    void delete_children();
    // Sets an attribute, replacing the value of an existing one; the name is
    // taken as already valid.
    void put_attribute(std::string_view key, std::string&& value);

    element* parent;
    std::string name;
    attribute_map attributes;
    std::vector<element*> children;
};

// The XML 1.0 name rule over single bytes (xmldoc/char_classes.h).
bool is_name(std::string_view text) noexcept;
// Throws xml::invalid_name unless is_name(text).
void check_name(std::string_view text);

} // namespace xml
