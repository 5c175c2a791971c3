#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "xmldoc/document.h"
#include "xmldoc/export.h"

namespace xml {

class arena;
class node;
struct element;

// An XML document: a tree of elements with attributes, built by parsing text
// or by program calls and written back as text. Character data, comments,
// processing instructions and declarations are read and dropped.
//
// The document owns its tree; handles and nodes taken from it stay valid
// until their element is removed or the document is cleared, re-parsed,
// re-created or destroyed. The memory of removed elements and replaced
// values returns when the document is cleared, re-parsed, re-created or
// destroyed. One thread at a time.
//
// Errors: xml::invalid_name for names that break the XML 1.0 name rule,
// xml::invalid_value for attribute values holding a zero byte (no XML text
// can carry it), xml::stream_parse_error for text that is not a well-formed
// document (including nesting deeper than max_depth; it tells the line where
// the text stopped matching), std::ios_base::failure for files that cannot
// be read or written (naming the file and the cause).
class SARNEL_API sarnel final : public document {
public:
    // Elements nested deeper than this (the root is at depth 1) make parse
    // fail with xml::stream_parse_error.
    static constexpr unsigned max_depth = 5000;

    sarnel();
    ~sarnel();

    // Deletes the tree; the document is empty.
    void clear();
    // clear, then a root element of that name with no attributes or children.
    // A bad name throws xml::invalid_name and leaves the document empty.
    void create(const std::string& root_name);
    // clear, then builds the tree from the whole text. Elements built before
    // a failure stay until the next clear; callers discard the document then.
    void parse(const std::string& text);
    // Reads the whole file (binary) and parses it.
    void read(const std::string& path);

    // The root element as an access-layer node; a null node when empty.
    // Instantiated only where xml::node is complete.
    template <class Node = node> Node root() { return Node(static_cast<document*>(this), root_handle()); }
    // The root element's handle; null when the document is empty.
    handle root_handle() const;

    // Writes the declaration line and the tree, two spaces per level.
    void write(std::ostream& out) const;
    // Saves through xml::replace_file (xmldoc/replace_file.h): a failed
    // write never replaces a good file, permissions and symbolic links stay;
    // throws std::ios_base::failure.
    void write(const std::string& path) const;

    // The access-layer interface.
    handle copy_handle(handle h) override;
    void release_handle(handle h) override;
    bool is_null(handle h) override;
    std::string name(handle h) override;
    attribute_iterator* attributes(handle h) override;
    bool get_attribute(handle h, const std::string& name, std::string& value) override;
    void set_attribute(handle h, const std::string& name, const std::string& value) override;
    child_iterator* children(handle h) override;
    child_iterator* named_children(handle h, const std::string& tag) override;
    handle add_child(handle h, const std::string& name) override;
    void clear_element(handle h, bool attributes, bool children) override;
    // Deletes a non-root element with its subtree; the root goes with clear.
    void remove(handle h) override;

private:
    std::unique_ptr<arena> m_arena;
    element* m_root = nullptr;
};

} // namespace xml
