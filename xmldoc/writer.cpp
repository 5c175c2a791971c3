#include "xmldoc/writer.h"

#include <array>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xmldoc/element.h"
#include "xmldoc/stored_text.h"

namespace xml {

namespace {

// Bytes of an attribute value that are not written as they stand: the three
// that would end or break the value, and the control bytes that the parser
// would refuse raw (they go out as character references and read back).
constexpr std::array<bool, 256> make_escaped()
{
    std::array<bool, 256> t {};
    for (unsigned c = 0x01; c < 0x20; ++c)
        t[c] = c != '\t' && c != '\n' && c != '\r';
    t['"'] = t['&'] = t['<'] = true;
    return t;
}

constexpr std::array<bool, 256> escaped = make_escaped();

// Collects the text in a buffer and hands it to the stream in large blocks:
// one stream call per block instead of one per piece.
class text_sink {
public:
    explicit text_sink(std::ostream& out)
        : m_out(out)
    {
        m_buffer.reserve(block + 4096);
    }

    void put(char c) { m_buffer.push_back(c); }
    void put(const char* first, std::size_t count)
    {
        m_buffer.append(first, count);
        spill();
    }
    void put(std::string_view s) { put(s.data(), s.size()); }
    void indent(std::size_t depth)
    {
        m_buffer.append(2 * depth, ' ');
        spill();
    }
    // A stored value: packed digits need no escaping and are unpacked
    // straight into the buffer.
    void stored_value(const char* stored)
    {
        if (!stored_text::is_packed(stored)) {
            escaped_value(stored_text::view(stored));
            return;
        }
        const std::size_t size = stored_text::size(stored);
        const std::size_t at = m_buffer.size();
        m_buffer.resize(at + size);
        stored_text::copy_to(stored, m_buffer.data() + at);
        spill();
    }
    void escaped_value(std::string_view value)
    {
        const char* p = value.data();
        const char* end = p + value.size();
        while (p != end) {
            const char* run = p;
            while (p != end && !escaped[static_cast<unsigned char>(*p)])
                ++p;
            put(run, static_cast<std::size_t>(p - run));
            if (p == end)
                break;
            switch (*p) {
            case '"':
                put("&quot;", 6);
                break;
            case '&':
                put("&amp;", 5);
                break;
            case '<':
                put("&lt;", 4);
                break;
            default: {
                const unsigned code = static_cast<unsigned char>(*p);
                char ref[5] = { '&', '#' };
                std::size_t n = 2;
                if (code >= 10)
                    ref[n++] = static_cast<char>('0' + code / 10);
                ref[n++] = static_cast<char>('0' + code % 10);
                ref[n++] = ';';
                put(ref, n);
            }
            }
            ++p;
        }
    }
    // True while the stream takes the text; a failed stream ends the writing.
    bool good() const { return static_cast<bool>(m_out); }
    void flush()
    {
        if (!m_buffer.empty() && m_out)
            m_out.write(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
        m_buffer.clear();
    }

private:
    static constexpr std::size_t block = 1 << 16;

    void spill()
    {
        if (m_buffer.size() >= block)
            flush();
    }

    std::ostream& m_out;
    std::string m_buffer;
};

void write_start_tag(text_sink& sink, const element& e, std::size_t depth)
{
    sink.indent(depth);
    sink.put('<');
    sink.put(stored_text::view(e.name));
    for (const attribute& a : std::span(e.attributes, e.attribute_count)) {
        sink.put(' ');
        sink.put(stored_text::view(a.name));
        sink.put("=\"", 2);
        sink.stored_value(a.value);
        sink.put('"');
    }
    if (e.child_count == 0)
        sink.put("/>\n", 3);
    else
        sink.put(">\n", 2);
}

void write_end_tag(text_sink& sink, const element& e, std::size_t depth)
{
    sink.indent(depth);
    sink.put("</", 2);
    sink.put(stored_text::view(e.name));
    sink.put(">\n", 2);
}

} // namespace

void write_tree(const element* root, std::ostream& out)
{
    text_sink sink(out);
    sink.put("<?xml version=\"1.0\" ?>\n", 23);
    if (root) {
        // Depth-first with an explicit stack of (element, next child), so
        // that the nesting depth costs heap, not call stack.
        std::vector<std::pair<const element*, std::size_t>> stack;
        write_start_tag(sink, *root, 0);
        if (root->child_count != 0)
            stack.emplace_back(root, 0);
        while (!stack.empty() && sink.good()) {
            auto& [parent, next] = stack.back();
            if (next == parent->child_count) {
                const element* done = parent;
                stack.pop_back();
                write_end_tag(sink, *done, stack.size());
                continue;
            }
            const element* child = parent->children[next++];
            write_start_tag(sink, *child, stack.size());
            if (child->child_count != 0)
                stack.emplace_back(child, 0);
        }
    }
    sink.flush();
}

} // namespace xml
