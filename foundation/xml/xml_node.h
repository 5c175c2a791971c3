#pragma once

#include <concepts>
#include <list>
#include <locale>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "xmldoc/document.h"
#include "xmldoc/exception.h"

namespace xml {

// Selects child elements by tag; an empty tag selects every child.
class filter {
public:
    explicit filter(std::string tag = {});
    virtual ~filter() = default;

    // "tag = " followed by the tag; the text of xml::ambiguous.
    virtual std::string description() const;

    const std::string& tag() const { return m_tag; }

private:
    std::string m_tag;
};

// An enumeration is stored as a word of a null-terminated table of names,
// the value being the index of its word. The enumeration's own namespace
// makes its table known by declaring
//     const char* const* enum_names(E);
// which argument-dependent lookup finds.
template <class E>
concept named_enumeration = std::is_enum_v<E> && requires(E e)
{
    {
        enum_names(e)
        } -> std::convertible_to<const char* const*>;
};

namespace detail {

// Value to attribute text: the standard insertion of a fresh stream in the
// classic locale (ints decimal, bools "1"/"0", floats in general notation
// with 6 significant digits), strings as they are, enumerations as their
// word. Throws std::out_of_range for an enumeration value outside its table.
template <class T> std::string to_text(const T& value);

// Attribute text to value; false when the text does not convert (the
// standard extraction fails, or an enumeration word is not in its table).
// Leading white space is skipped and characters after a number ignored; a
// negative text does not convert to an unsigned type.
template <class T> bool from_text(const std::string& text, T& value);

std::string enum_word(const char* const* names, long long index);
bool enum_index(const std::string& text, const char* const* names, long long& index);

} // namespace detail

// A value handle on one element of an XML document, or a null node.
//
// The document owns the tree: a node borrows its handle and never releases
// it, so a node may outlive its document (it may then only be destroyed or
// assigned to). Every other operation needs the document
// alive and the element not removed. A node belongs to one thread.
class node {
public:
    node() = default;
    // Takes the handle as it is (the document's root and child lookups make
    // nodes this way); a null document or null handle gives a null node.
    node(document* doc, handle h);
    node(const node& other);
    node(node&& other) noexcept;
    node& operator=(const node& other);
    node& operator=(node&& other) noexcept;
    ~node() = default;

    bool is_null() const;

    // False for a null node or a missing attribute.
    bool get_attribute(const std::string& name, std::string& value) const;
    std::string get_attribute_or_default(const std::string& name, const std::string& default_value) const;
    // Sets or replaces the attribute; nothing on a null node. A name that
    // breaks the XML name rule throws xml::invalid_name; a value holding a
    // zero byte throws xml::invalid_value.
    void set_attribute(const std::string& name, const std::string& value);

    // A new last child element; a null node gives a null node.
    node add_child(const std::string& name);

    // Appends a node for every child the filter selects, in document order;
    // nothing for a null node.
    void collect(const filter& f, std::list<node>& out) const;
    void collect(const filter& f, std::vector<node>& out) const;
    void select(std::list<node>& out, const std::string& tag) const;
    void select(std::vector<node>& out, const std::string& tag) const;

    // The only selected child; a copy of default_node when none is selected.
    // Throws xml::ambiguous when several are.
    node child(const filter& f, const node& default_node) const;

    // Sets the attribute to the value's text. Throws xml::attribute_not_found
    // on a null node.
    template <class T> void write(const std::string& name, const T& value);

    // Required read. Throws xml::attribute_not_found for a null node or a
    // missing attribute, xml::attribute_parse_error for text that does not
    // convert; both name the attribute and the element.
    template <class T> T read(const std::string& name) const;

    // Optional read: the default for a null node, a missing attribute or text
    // that does not convert. Never throws.
    template <class T> T read(const std::string& name, const T& default_value) const;

private:
    [[noreturn]] void throw_not_found(const std::string& attribute) const;
    [[noreturn]] void throw_parse_error(const std::string& attribute) const;

    document* m_document = nullptr;
    handle m_handle = nullptr;
};

template <class T> void node::write(const std::string& name, const T& value)
{
    if (is_null()) {
        throw_not_found(name);
    }
    set_attribute(name, detail::to_text(value));
}

template <class T> T node::read(const std::string& name) const
{
    std::string text;
    if (!get_attribute(name, text)) {
        throw_not_found(name);
    }
    T value {};
    if (!detail::from_text(text, value)) {
        throw_parse_error(name);
    }
    return value;
}

template <class T> T node::read(const std::string& name, const T& default_value) const
{
    std::string text;
    T value {};
    if (!get_attribute(name, text) || !detail::from_text(text, value)) {
        return default_value;
    }
    return value;
}

namespace detail {

template <class T> std::string to_text(const T& value)
{
    if constexpr (std::is_convertible_v<const T&, std::string>) {
        return std::string(value);
    } else if constexpr (named_enumeration<T>) {
        return enum_word(enum_names(value), static_cast<long long>(value));
    } else {
        std::ostringstream out;
        out.imbue(std::locale::classic());
        out << value;
        return out.str();
    }
}

template <class T> bool from_text(const std::string& text, T& value)
{
    if constexpr (std::is_same_v<T, std::string>) {
        value = text;
        return true;
    } else if constexpr (named_enumeration<T>) {
        long long index = 0;
        if (!enum_index(text, enum_names(T {}), index)) {
            return false;
        }
        value = static_cast<T>(index);
        return true;
    } else {
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        if constexpr (std::is_unsigned_v<T> && !std::is_same_v<T, bool>) {
            // The standard extraction takes "-1" for an unsigned field as its
            // largest value; a negative text is no value of such a field.
            in >> std::ws;
            if (in.peek() == '-') {
                return false;
            }
        }
        T parsed {};
        in >> parsed;
        if (in.fail() || in.bad()) {
            return false;
        }
        value = parsed;
        return true;
    }
}

} // namespace detail

} // namespace xml
