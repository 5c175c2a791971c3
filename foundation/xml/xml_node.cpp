#include "foundation/xml/xml_node.h"

#include <memory>
#include <stdexcept>
#include <utility>

namespace xml {

namespace {

template <class Container> void collect_into(document* doc, handle h, const filter& f, Container& out)
{
    // The document makes the iterator on the heap and the caller owns it.
    std::unique_ptr<child_iterator> it(f.tag().empty() ? doc->children(h) : doc->named_children(h, f.tag()));
    if (!it) {
        return;
    }
    for (it->first(); !it->at_end(); it->next()) {
        out.push_back(node(doc, it->get()));
    }
}

} // namespace

filter::filter(std::string tag)
    : m_tag(std::move(tag))
{
}

std::string filter::description() const
{
    return "tag = " + m_tag;
}

node::node(document* doc, handle h)
    : m_document(h ? doc : nullptr)
    , m_handle(doc ? h : nullptr)
{
}

node::node(const node& other)
{
    if (!other.is_null()) {
        m_document = other.m_document;
        m_handle = m_document->copy_handle(other.m_handle);
    }
}

node::node(node&& other) noexcept
    : m_document(std::exchange(other.m_document, nullptr))
    , m_handle(std::exchange(other.m_handle, nullptr))
{
}

// Releasing the old handle is a no-op: the document owns the tree, and the
// old document may already be gone.
node& node::operator=(const node& other)
{
    if (this == &other) {
        return *this;
    }
    m_document = nullptr;
    m_handle = nullptr;
    if (!other.is_null()) {
        m_document = other.m_document;
        m_handle = m_document->copy_handle(other.m_handle);
    }
    return *this;
}

node& node::operator=(node&& other) noexcept
{
    if (this != &other) {
        m_document = std::exchange(other.m_document, nullptr);
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

bool node::is_null() const
{
    return m_document == nullptr || m_document->is_null(m_handle);
}

bool node::get_attribute(const std::string& name, std::string& value) const
{
    if (is_null()) {
        return false;
    }
    return m_document->get_attribute(m_handle, name, value);
}

std::string node::get_attribute_or_default(const std::string& name, const std::string& default_value) const
{
    std::string value;
    if (get_attribute(name, value)) {
        return value;
    }
    return default_value;
}

void node::set_attribute(const std::string& name, const std::string& value)
{
    if (!is_null()) {
        m_document->set_attribute(m_handle, name, value);
    }
}

node node::add_child(const std::string& name)
{
    if (is_null()) {
        return node();
    }
    return node(m_document, m_document->add_child(m_handle, name));
}

void node::collect(const filter& f, std::list<node>& out) const
{
    if (!is_null()) {
        collect_into(m_document, m_handle, f, out);
    }
}

void node::collect(const filter& f, std::vector<node>& out) const
{
    if (!is_null()) {
        collect_into(m_document, m_handle, f, out);
    }
}

void node::select(std::list<node>& out, const std::string& tag) const
{
    collect(filter(tag), out);
}

void node::select(std::vector<node>& out, const std::string& tag) const
{
    collect(filter(tag), out);
}

node node::child(const filter& f, const node& default_node) const
{
    std::vector<node> found;
    collect(f, found);
    if (found.empty()) {
        return default_node;
    }
    if (found.size() > 1) {
        throw ambiguous(f.description());
    }
    return std::move(found.front());
}

void node::throw_not_found(const std::string& attribute) const
{
    throw attribute_not_found(attribute, is_null() ? std::string() : m_document->name(m_handle));
}

void node::throw_parse_error(const std::string& attribute) const
{
    throw attribute_parse_error(attribute, m_document->name(m_handle));
}

namespace detail {

std::string enum_word(const char* const* names, long long index)
{
    if (index >= 0) {
        for (long long i = 0; names[i] != nullptr; ++i) {
            if (i == index) {
                return names[i];
            }
        }
    }
    throw std::out_of_range("enumeration value " + std::to_string(index) + " has no name");
}

bool enum_index(const std::string& text, const char* const* names, long long& index)
{
    std::istringstream in(text);
    std::string word;
    in >> word;
    if (in.fail()) {
        return false;
    }
    for (long long i = 0; names[i] != nullptr; ++i) {
        if (word == names[i]) {
            index = i;
            return true;
        }
    }
    return false;
}

} // namespace detail

} // namespace xml
