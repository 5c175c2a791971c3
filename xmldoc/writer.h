#pragma once

#include <iosfwd>

namespace xml {

struct element;

// Writes the declaration line and, when root is not null, the tree.
void write_tree(const element* root, std::ostream& out);

} // namespace xml
