#include "xmldoc/sarnel.h"

#include <cerrno>
#include <cstdint>
#include <ios>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "xmldoc/arena.h"
#include "xmldoc/element.h"
#include "xmldoc/exception.h"
#include "xmldoc/page_buffer.h"
#include "xmldoc/parser.h"
#include "xmldoc/replace_file.h"
#include "xmldoc/stored_text.h"
#include "xmldoc/writer.h"

namespace xml {

namespace {

element* as_element(handle h)
{
    return static_cast<element*>(h);
}

class attribute_iterator_impl final : public attribute_iterator {
public:
    explicit attribute_iterator_impl(const element* e)
        : m_element(e)
    {
    }
    void first() override { m_position = 0; }
    std::string get() const override
    {
        return at_end() ? std::string()
                        : std::string(stored_text::view(m_element->attributes[m_position].name));
    }
    void next() override
    {
        if (!at_end())
            ++m_position;
    }
    bool at_end() const override { return m_position >= m_element->attribute_count; }

private:
    const element* m_element;
    std::uint32_t m_position = 0;
};

// Iterates over the children of an element; with a tag, only over those of
// that name.
class child_iterator_impl final : public child_iterator {
public:
    explicit child_iterator_impl(const element* e)
        : m_element(e)
    {
        first();
    }
    child_iterator_impl(const element* e, std::string tag)
        : m_element(e)
        , m_tag(std::move(tag))
        , m_named(true)
    {
        first();
    }
    void first() override
    {
        m_position = 0;
        skip();
    }
    handle get() const override { return at_end() ? nullptr : m_element->children[m_position]; }
    void next() override
    {
        if (!at_end()) {
            ++m_position;
            skip();
        }
    }
    bool at_end() const override { return m_position >= m_element->child_count; }

private:
    void skip()
    {
        if (!m_named)
            return;
        while (m_position < m_element->child_count
            && stored_text::view(m_element->children[m_position]->name) != m_tag)
            ++m_position;
    }

    const element* m_element;
    std::string m_tag;
    bool m_named = false;
    std::size_t m_position = 0;
};

std::ios_base::failure write_failure(const std::string& path)
{
    return std::ios_base::failure("cannot write " + path);
}

// "cannot read ", the path, ": " and the system's words for the cause.
std::ios_base::failure read_failure(const std::string& path, int error)
{
    return std::ios_base::failure("cannot read " + path, std::error_code(error, std::generic_category()));
}

} // namespace

sarnel::sarnel()
    : m_arena(std::make_unique<arena>())
{
}

sarnel::~sarnel() = default;

void sarnel::clear()
{
    m_root = nullptr;
    m_arena->release();
}

void sarnel::create(const std::string& root_name)
{
    clear();
    check_name(root_name);
    m_root = element::make(*m_arena, nullptr, root_name);
}

void sarnel::parse(const std::string& text)
{
    clear();
    parse_tree(text, *m_arena, m_root);
}

void sarnel::read(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        throw read_failure(path, errno);
    const struct closer {
        int descriptor;
        ~closer() { ::close(descriptor); }
    } closing { descriptor };
    struct stat status { };
    if (::fstat(descriptor, &status) != 0)
        throw read_failure(path, errno);
    // A folder opens, and its size means nothing.
    if (S_ISDIR(status.st_mode))
        throw read_failure(path, EISDIR);
    if (status.st_size < 0 || static_cast<std::uint64_t>(status.st_size) > std::string().max_size())
        throw read_failure(path, EFBIG);
    const page_buffer text(static_cast<std::size_t>(status.st_size));
    std::size_t filled = 0;
    while (filled < text.size()) {
        const ssize_t count = ::read(descriptor, text.data() + filled, text.size() - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw read_failure(path, errno);
        // A file cut short while it is read is parsed as far as it goes.
        if (count == 0)
            break;
        filled += static_cast<std::size_t>(count);
    }
    clear();
    parse_tree(std::string_view(text.data(), filled), *m_arena, m_root);
}

handle sarnel::root_handle() const
{
    return m_root;
}

void sarnel::write(std::ostream& out) const
{
    write_tree(m_root, out);
}

void sarnel::write(const std::string& path) const
{
    try {
        replace_file(path, [this](std::ostream& out) { write_tree(m_root, out); });
    } catch (const std::ios_base::failure&) {
        throw;
    } catch (const std::exception&) {
        throw write_failure(path);
    }
}

handle sarnel::copy_handle(handle h)
{
    return h;
}

void sarnel::release_handle(handle) { }

bool sarnel::is_null(handle h)
{
    return h == nullptr;
}

std::string sarnel::name(handle h)
{
    return std::string(stored_text::view(as_element(h)->name));
}

attribute_iterator* sarnel::attributes(handle h)
{
    return new attribute_iterator_impl(as_element(h));
}

bool sarnel::get_attribute(handle h, const std::string& name, std::string& value)
{
    const attribute* found = as_element(h)->find(name);
    if (!found)
        return false;
    value.resize(stored_text::size(found->value));
    stored_text::copy_to(found->value, value.data());
    return true;
}

void sarnel::set_attribute(handle h, const std::string& name, const std::string& value)
{
    // Every other byte is written as it stands or as a character reference
    // and reads back; the zero byte has neither form in XML.
    if (value.find('\0') != std::string::npos)
        throw invalid_value();
    element* e = as_element(h);
    if (attribute* found = e->find(name)) {
        found->value = stored_text::store(*m_arena, value, true);
        return;
    }
    check_name(name);
    e->put_attribute(*m_arena, name, stored_text::store(*m_arena, value, true));
}

child_iterator* sarnel::children(handle h)
{
    return new child_iterator_impl(as_element(h));
}

child_iterator* sarnel::named_children(handle h, const std::string& tag)
{
    return new child_iterator_impl(as_element(h), tag);
}

handle sarnel::add_child(handle h, const std::string& name)
{
    check_name(name);
    element* parent = as_element(h);
    element* child = element::make(*m_arena, parent, name);
    parent->add_child(*m_arena, child);
    return child;
}

void sarnel::clear_element(handle h, bool attributes, bool children)
{
    element* e = as_element(h);
    if (attributes)
        e->attribute_count = 0;
    if (children)
        e->child_count = 0;
}

void sarnel::remove(handle h)
{
    element* e = as_element(h);
    if (e == m_root) {
        clear();
        return;
    }
    e->parent->erase_child(e);
}

} // namespace xml
