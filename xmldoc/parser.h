#pragma once

#include <string_view>

namespace xml {

class arena;
struct element;

// Parses a whole document into the arena. The root element is stored in root
// as soon as it is opened, so that the elements built before a failure stay
// with the document. Throws xml::stream_parse_error.
void parse_tree(std::string_view text, arena& memory, element*& root);

} // namespace xml
