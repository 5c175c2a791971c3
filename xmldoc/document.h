#pragma once

#include <string>

#include "xmldoc/export.h"

namespace xml {

class node;

// An element handle: opaque to everyone but the document that issued it.
// The null handle is nullptr.
using handle = void*;

// Iterator objects made by a document on the heap; the caller owns and
// deletes them. Operations in slot order: destructor, first, get, next, at_end.
template <class T> class iterator {
public:
    virtual ~iterator() = default;
    virtual void first() = 0;
    virtual T get() const = 0;
    virtual void next() = 0;
    virtual bool at_end() const = 0;
};

using attribute_iterator = iterator<std::string>;
using child_iterator = iterator<handle>;

// The twelve virtual operations through which the access layer (xml::node)
// reaches a document, in slot order. A handle stays valid until its element
// is removed or the document is cleared, re-parsed, re-created or destroyed.
class SARNEL_API document {
public:
    virtual handle copy_handle(handle h) = 0;
    virtual void release_handle(handle h) = 0;
    virtual bool is_null(handle h) = 0;
    virtual std::string name(handle h) = 0;
    virtual attribute_iterator* attributes(handle h) = 0;
    virtual bool get_attribute(handle h, const std::string& name, std::string& value) = 0;
    virtual void set_attribute(handle h, const std::string& name, const std::string& value) = 0;
    virtual child_iterator* children(handle h) = 0;
    virtual child_iterator* named_children(handle h, const std::string& tag) = 0;
    virtual handle add_child(handle h, const std::string& name) = 0;
    virtual void clear_element(handle h, bool attributes, bool children) = 0;
    virtual void remove(handle h) = 0;

protected:
    document() = default;
    document(const document&) = delete;
    document& operator=(const document&) = delete;
    ~document() = default;
};

} // namespace xml
