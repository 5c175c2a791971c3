#include "xmldoc/parser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// Spirit's character matches hold their value in a boost::optional, which
// g++ with sanitizers wrongly takes for read before it is set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <boost/spirit/include/classic_chset.hpp>
#include <boost/spirit/include/classic_core.hpp>

#include "xmldoc/arena.h"
#include "xmldoc/char_classes.h"
#include "xmldoc/element.h"
#include "xmldoc/exception.h"
#include "xmldoc/sarnel.h"
#include "xmldoc/stored_text.h"

namespace xml {

namespace {

namespace sp = boost::spirit::classic;

// The scanner's iteration notes the farthest place the grammar looked at:
// every primitive asks whether the text ends before it reads a character,
// and the grammar's own runs note where they stopped. When the document
// fails, that place is where the text stopped matching.
struct reach_policy : sp::iteration_policy {
    explicit reach_policy(const char*& farthest)
        : m_farthest(&farthest)
    {
    }

    template <class ScannerT> bool at_end(const ScannerT& scan) const
    {
        reach(scan.first);
        return scan.first == scan.last;
    }

    void reach(const char* p) const
    {
        if (p > *m_farthest)
            *m_farthest = p;
    }

    const char** m_farthest;
};

using scanner = sp::scanner<const char*, sp::scanner_policies<reach_policy>>;
using rule = sp::rule<scanner>;

// Nesting of declaration groups in a document type declaration (content
// models, conditional sections) is parsed by recursion; this bounds it.
constexpr unsigned max_declaration_depth = 256;

// What the grammar's actions build: elements and attributes, nothing else.
// An element's attributes and children are gathered in scratch lists and
// copied into the arena once complete (attributes at the end of the start
// tag, children at the end tag), so that every array is exactly sized.
class parse_context {
public:
    parse_context(arena& memory, element*& root)
        : m_arena(memory)
        , m_root(root)
    {
    }

    bool inside_root() const { return m_current != nullptr; }

    void open_element(const char* first, const char* last)
    {
        if (++m_depth > sarnel::max_depth)
            throw stream_parse_error();
        const std::string_view tag(first, static_cast<std::size_t>(last - first));
        check_name(tag);
        element* e = element::make(m_arena, m_current, tag);
        if (!m_current)
            m_root = e;
        else
            m_children.push_back(e);
        m_current = e;
        m_open.push_back(m_children.size());
        m_attributes.clear();
    }

    // The end of a start tag: the attributes are sorted by name, a repeated
    // name keeping its last value.
    void end_start_tag()
    {
        std::stable_sort(m_attributes.begin(), m_attributes.end(),
            [](const pending& a, const pending& b) { return a.name < b.name; });
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_attributes.size(); ++i) {
            if (kept && m_attributes[kept - 1].name == m_attributes[i].name)
                m_attributes[kept - 1].value = m_attributes[i].value;
            else
                m_attributes[kept++] = m_attributes[i];
        }
        if (kept > UINT32_MAX / 2)
            throw std::bad_alloc();
        m_scratch.clear();
        for (std::size_t i = 0; i < kept; ++i)
            m_scratch.push_back(
                { stored_text::store(m_arena, m_attributes[i].name, false), m_attributes[i].value });
        m_current->attributes = copy_array(m_arena, m_scratch.data(), kept);
        m_current->attribute_count = m_current->attribute_capacity = static_cast<std::uint32_t>(kept);
        m_attributes.clear();
    }

    void close_element(const char* first, const char* last)
    {
        if (stored_text::view(m_current->name)
            != std::string_view(first, static_cast<std::size_t>(last - first)))
            throw stream_parse_error();
        close();
    }

    void close_empty()
    {
        end_start_tag();
        close();
    }

    // After a failure: what was read of the open elements joins the tree.
    void keep_open_elements()
    {
        if (m_current && !m_attributes.empty() && m_current->attribute_count == 0)
            end_start_tag();
        while (m_current)
            close();
    }

    void attribute_name(const char* first, const char* last)
    {
        m_name = std::string_view(first, static_cast<std::size_t>(last - first));
        m_value.clear();
    }

    void value_text(const char* first, const char* last) { m_value.append(first, last); }

    // "&quot;", "&amp;", "&lt;" and "&apos;" stand for their character; any
    // other entity reference is kept as written.
    void entity_reference(const char* first, const char* last)
    {
        const std::string_view ref(first, static_cast<std::size_t>(last - first));
        if (ref == "&quot;")
            m_value.push_back('"');
        else if (ref == "&amp;")
            m_value.push_back('&');
        else if (ref == "&lt;")
            m_value.push_back('<');
        else if (ref == "&apos;")
            m_value.push_back('\'');
        else
            m_value.append(ref);
    }

    // A character reference adds one byte, the code's low eight bits.
    void character_reference(std::uint32_t code)
    {
        check_character_reference(code);
        m_value.push_back(static_cast<char>(code & 0xFFu));
    }

    // A reference whose byte would be zero is refused: a zero byte is no
    // character of the document and could not be written back.
    static void check_character_reference(std::uint32_t code)
    {
        if ((code & 0xFFu) == 0)
            throw stream_parse_error();
    }

    void commit_attribute()
    {
        check_name(m_name);
        m_attributes.push_back({ m_name, stored_text::store(m_arena, m_value, true) });
        m_value.clear();
    }

private:
    // An attribute of the start tag being read: the name as it stands in
    // the text, the value already stored.
    struct pending {
        std::string_view name;
        const char* value;
    };

    void close()
    {
        const std::size_t start = m_open.back();
        const std::size_t count = m_children.size() - start;
        if (count > UINT32_MAX / 2)
            throw std::bad_alloc();
        m_current->children = copy_array(m_arena, m_children.data() + start, count);
        m_current->child_count = m_current->child_capacity = static_cast<std::uint32_t>(count);
        m_children.resize(start);
        m_open.pop_back();
        m_current = m_current->parent;
        --m_depth;
    }

    arena& m_arena;
    element*& m_root;
    element* m_current = nullptr;
    unsigned m_depth = 0;
    std::string_view m_name;
    std::string m_value;
    std::vector<pending> m_attributes;
    std::vector<attribute> m_scratch;
    // The children of every open element, innermost last; m_open holds
    // where each open element's children start.
    std::vector<element*> m_children;
    std::vector<std::size_t> m_open;
};

// One or more bytes of a character class. The hot runs (character data,
// attribute values, white space) are scanned here in one tight loop and
// reach their action as one range.
struct run_parser : sp::parser<run_parser> {
    explicit run_parser(std::uint8_t cls)
        : m_class(cls)
    {
    }

    template <class ScannerT>
    typename sp::parser_result<run_parser, ScannerT>::type parse(const ScannerT& scan) const
    {
        auto save = scan.first;
        auto p = scan.first;
        while (p != scan.last && chars::is(*p, m_class))
            ++p;
        scan.reach(p);
        if (p == save)
            return scan.no_match();
        scan.first = p;
        return scan.create_match(static_cast<std::size_t>(p - save), sp::nil_t(), save, p);
    }

    std::uint8_t m_class;
};

// An XML Name: a start character, then name characters.
struct name_parser : sp::parser<name_parser> {
    template <class ScannerT>
    typename sp::parser_result<name_parser, ScannerT>::type parse(const ScannerT& scan) const
    {
        auto save = scan.first;
        auto p = scan.first;
        scan.reach(p);
        if (p == scan.last || !chars::is(*p, chars::name_start))
            return scan.no_match();
        ++p;
        while (p != scan.last && chars::is(*p, chars::name_char))
            ++p;
        scan.reach(p);
        scan.first = p;
        return scan.create_match(static_cast<std::size_t>(p - save), sp::nil_t(), save, p);
    }
};

// Zero or more characters up to, not including, the first of one or two
// terminators; fails on a byte that is no XML character or when no
// terminator follows.
struct until_parser : sp::parser<until_parser> {
    explicit until_parser(const char* terminator, const char* other = nullptr)
        : m_terminator(terminator)
        , m_other(other)
    {
    }

    template <class ScannerT>
    typename sp::parser_result<until_parser, ScannerT>::type parse(const ScannerT& scan) const
    {
        auto save = scan.first;
        auto p = scan.first;
        for (; p != scan.last; ++p) {
            if (starts(p, scan.last, m_terminator) || (m_other && starts(p, scan.last, m_other))) {
                scan.reach(p);
                scan.first = p;
                return scan.create_match(static_cast<std::size_t>(p - save), sp::nil_t(), save, p);
            }
            if (!chars::is(*p, chars::character))
                break;
        }
        scan.reach(p);
        return scan.no_match();
    }

    static bool starts(const char* p, const char* last, const char* text)
    {
        const std::size_t n = std::strlen(text);
        return static_cast<std::size_t>(last - p) >= n && std::memcmp(p, text, n) == 0;
    }

    const char* m_terminator;
    const char* m_other;
};

// A recursive rule entered through a depth counter, so that hostile nesting
// of declarations fails cleanly instead of exhausting the stack.
struct nested_parser : sp::parser<nested_parser> {
    nested_parser(const rule& subject, unsigned& depth)
        : m_subject(&subject)
        , m_depth(&depth)
    {
    }

    template <class ScannerT>
    typename sp::parser_result<nested_parser, ScannerT>::type parse(const ScannerT& scan) const
    {
        if (*m_depth >= max_declaration_depth)
            throw stream_parse_error();
        ++*m_depth;
        struct leave {
            unsigned* depth;
            ~leave() { --*depth; }
        } guard { m_depth };
        return m_subject->parse(scan);
    }

    const rule* m_subject;
    unsigned* m_depth;
};

sp::chset<> class_set(std::uint8_t cls)
{
    sp::chset<> set;
    for (unsigned c = 0; c < 256; ++c)
        if (chars::table[c] & cls)
            set.set(sp::range<char>(static_cast<char>(c), static_cast<char>(c)));
    return set;
}

// The XML 1.0 document grammar. Elements are not parsed by recursion: a
// start tag opens an element and an end tag closes it while one loop reads
// the root's content, so the nesting depth is the context's business (it
// enforces sarnel::max_depth), not the call stack's.
class grammar {
public:
    explicit grammar(parse_context& context);
    grammar(const grammar&) = delete;
    grammar& operator=(const grammar&) = delete;

    const rule& document() const { return m_document; }

private:
    unsigned m_nesting = 0;

    // Lexical pieces.
    rule m_s, m_name, m_nmtoken, m_eq, m_char_ref, m_reference, m_pe_reference;
    rule m_comment_rest, m_comment, m_pi_target, m_pi_rest, m_pi, m_cdata_rest, m_misc;
    // Attribute values, with and without actions.
    rule m_value_char_ref, m_value_entity_ref, m_value_reference, m_att_value_dq, m_att_value_sq, m_attribute;
    rule m_plain_value_dq, m_plain_value_sq, m_plain_att_value;
    // Elements.
    rule m_start_tag_rest, m_end_tag_rest, m_markup, m_content_item, m_content, m_root_element;
    // Prolog.
    rule m_version_num, m_version_info, m_enc_name, m_encoding_decl, m_yes_no, m_sd_decl, m_xml_decl;
    rule m_prolog, m_document;
    // Document type declaration.
    rule m_system_literal, m_pubid_literal, m_external_id, m_public_id, m_doctype_decl, m_int_subset;
    rule m_decl_sep, m_markup_decl, m_element_decl, m_content_spec, m_mixed, m_occurrence, m_cp, m_cp_group;
    rule m_children, m_attlist_decl, m_att_def, m_att_type, m_notation_type, m_enumeration;
    rule m_default_decl, m_entity_decl, m_entity_def, m_pe_def, m_ndata_decl, m_entity_value;
    rule m_notation_decl, m_conditional_sect, m_include_sect, m_ext_subset_decl, m_ignore_sect;
    rule m_ignore_sect_contents, m_ignore;
};

grammar::grammar(parse_context& ctx)
{
    using sp::ch_p;
    using sp::str_p;
    const run_parser space(chars::space);
    const sp::uint_parser<std::uint32_t, 10, 1, -1> decimal;
    const sp::uint_parser<std::uint32_t, 16, 1, -1> hexadecimal;
    const sp::chset<> any_char = class_set(chars::character);
    const sp::chset<> pubid_char = class_set(chars::pubid);
    auto check_ref = [](std::uint32_t code) { parse_context::check_character_reference(code); };
    auto nest = [this](const rule& r) { return nested_parser(r, m_nesting); };

    m_s = space;
    m_name = name_parser();
    m_nmtoken = run_parser(chars::name_char);
    m_eq = !m_s >> '=' >> !m_s;
    m_char_ref = str_p("&#x") >> hexadecimal[check_ref] >> ';' | str_p("&#") >> decimal[check_ref] >> ';';
    m_reference = m_char_ref | ch_p('&') >> m_name >> ';';
    m_pe_reference = ch_p('%') >> m_name >> ';';

    // A comment body ends at the first "--", which must be the closing one.
    m_comment_rest = until_parser("--") >> "-->";
    m_comment = str_p("<!--") >> m_comment_rest;
    m_pi_target = m_name - sp::as_lower_d["xml"];
    m_pi_rest = m_pi_target >> (str_p("?>") | m_s >> until_parser("?>") >> "?>");
    m_pi = str_p("<?") >> m_pi_rest;
    m_cdata_rest = until_parser("]]>") >> "]]>";
    m_misc = m_comment | m_pi | m_s;

    m_value_char_ref
        = str_p("&#x") >> hexadecimal[([&ctx](std::uint32_t c) { ctx.character_reference(c); })] >> ';'
        | str_p("&#") >> decimal[([&ctx](std::uint32_t c) { ctx.character_reference(c); })] >> ';';
    m_value_entity_ref = (ch_p('&') >> m_name
        >> ';')[([&ctx](const char* f, const char* l) { ctx.entity_reference(f, l); })];
    m_value_reference = m_value_char_ref | m_value_entity_ref;
    auto text = [&ctx](const char* f, const char* l) { ctx.value_text(f, l); };
    m_att_value_dq = ch_p('"') >> *(run_parser(chars::value_dq)[text] | m_value_reference) >> '"';
    m_att_value_sq = ch_p('\'') >> *(run_parser(chars::value_sq)[text] | m_value_reference) >> '\'';
    m_attribute = (m_name[([&ctx](const char* f, const char* l) { ctx.attribute_name(f, l); })] >> m_eq
        >> (m_att_value_dq | m_att_value_sq))[([&ctx](const char*, const char*) { ctx.commit_attribute(); })];
    m_plain_value_dq = ch_p('"') >> *(run_parser(chars::value_dq) | m_reference) >> '"';
    m_plain_value_sq = ch_p('\'') >> *(run_parser(chars::value_sq) | m_reference) >> '\'';
    m_plain_att_value = m_plain_value_dq | m_plain_value_sq;

    m_start_tag_rest = m_name[([&ctx](const char* f, const char* l) { ctx.open_element(f, l); })]
        >> *(m_s >> m_attribute) >> !m_s
        >> (str_p("/>")[([&ctx](const char*, const char*) { ctx.close_empty(); })]
            | ch_p('>')[([&ctx](char) { ctx.end_start_tag(); })]);
    m_end_tag_rest
        = m_name[([&ctx](const char* f, const char* l) { ctx.close_element(f, l); })] >> !m_s >> '>';
    m_markup = ch_p('<') >> (ch_p('/') >> m_end_tag_rest | str_p("!--") >> m_comment_rest
                   | str_p("![CDATA[") >> m_cdata_rest | ch_p('?') >> m_pi_rest | m_start_tag_rest);
    m_content_item = run_parser(chars::content) | m_reference | m_markup;
    m_content = *(sp::eps_p([&ctx] { return ctx.inside_root(); }) >> m_content_item);
    m_root_element
        = ch_p('<') >> m_start_tag_rest >> m_content >> sp::eps_p([&ctx] { return !ctx.inside_root(); });

    m_version_num = +sp::chset<>("a-zA-Z0-9_.:-");
    m_version_info
        = m_s >> "version" >> m_eq >> (ch_p('"') >> m_version_num >> '"' | '\'' >> m_version_num >> '\'');
    m_enc_name = sp::chset<>("A-Za-z") >> *sp::chset<>("A-Za-z0-9._-");
    m_encoding_decl
        = m_s >> "encoding" >> m_eq >> (ch_p('"') >> m_enc_name >> '"' | '\'' >> m_enc_name >> '\'');
    m_yes_no = str_p("yes") | "no";
    m_sd_decl = m_s >> "standalone" >> m_eq >> (ch_p('"') >> m_yes_no >> '"' | '\'' >> m_yes_no >> '\'');
    m_xml_decl = str_p("<?xml") >> m_version_info >> !m_encoding_decl >> !m_sd_decl >> !m_s >> "?>";
    m_prolog = !m_xml_decl >> *m_misc >> !(m_doctype_decl >> *m_misc);
    m_document = m_prolog >> m_root_element >> *m_misc;

    m_system_literal = ch_p('"') >> *(any_char - '"') >> '"' | '\'' >> *(any_char - '\'') >> '\'';
    m_pubid_literal = ch_p('"') >> *pubid_char >> '"' | '\'' >> *(pubid_char - '\'') >> '\'';
    m_external_id = str_p("SYSTEM") >> m_s >> m_system_literal
        | str_p("PUBLIC") >> m_s >> m_pubid_literal >> m_s >> m_system_literal;
    m_public_id = str_p("PUBLIC") >> m_s >> m_pubid_literal;
    m_doctype_decl = str_p("<!DOCTYPE") >> m_s >> m_name >> !(m_s >> m_external_id) >> !m_s
        >> !('[' >> m_int_subset >> ']' >> !m_s) >> '>';
    m_int_subset = *(m_markup_decl | m_conditional_sect | m_decl_sep);
    m_decl_sep = m_pe_reference | m_s;
    m_markup_decl = m_element_decl | m_attlist_decl | m_entity_decl | m_notation_decl | m_pi | m_comment;

    m_element_decl = str_p("<!ELEMENT") >> m_s >> m_name >> m_s >> m_content_spec >> !m_s >> '>';
    m_content_spec = str_p("EMPTY") | "ANY" | m_mixed | m_children;
    m_mixed
        = ch_p('(') >> !m_s >> "#PCDATA" >> (*(!m_s >> '|' >> !m_s >> m_name) >> !m_s >> ")*" | !m_s >> ')');
    m_occurrence = sp::chset<>("?*+");
    // Choice and sequence share their first particle, read once, so that
    // nested groups cost linear time.
    m_cp_group = ch_p('(') >> !m_s >> m_cp
        >> (+(!m_s >> '|' >> !m_s >> m_cp) | *(!m_s >> ',' >> !m_s >> m_cp)) >> !m_s >> ')';
    m_cp = (m_name | nest(m_cp_group)) >> !m_occurrence;
    m_children = nest(m_cp_group) >> !m_occurrence;

    m_attlist_decl = str_p("<!ATTLIST") >> m_s >> m_name >> *m_att_def >> !m_s >> '>';
    m_att_def = m_s >> m_name >> m_s >> m_att_type >> m_s >> m_default_decl;
    m_att_type = str_p("CDATA") | "IDREFS" | "IDREF" | "ID" | "ENTITY" | "ENTITIES" | "NMTOKENS" | "NMTOKEN"
        | m_notation_type | m_enumeration;
    m_notation_type = str_p("NOTATION") >> m_s >> '(' >> !m_s >> m_name >> *(!m_s >> '|' >> !m_s >> m_name)
        >> !m_s >> ')';
    m_enumeration = ch_p('(') >> !m_s >> m_nmtoken >> *(!m_s >> '|' >> !m_s >> m_nmtoken) >> !m_s >> ')';
    m_default_decl = str_p("#REQUIRED") | "#IMPLIED" | !(str_p("#FIXED") >> m_s) >> m_plain_att_value;

    m_entity_decl = str_p("<!ENTITY") >> m_s
        >> (ch_p('%') >> m_s >> m_name >> m_s >> m_pe_def | m_name >> m_s >> m_entity_def) >> !m_s >> '>';
    m_entity_def = m_entity_value | m_external_id >> !m_ndata_decl;
    m_pe_def = m_entity_value | m_external_id;
    m_ndata_decl = m_s >> "NDATA" >> m_s >> m_name;
    m_entity_value = ch_p('"') >> *((any_char - sp::chset<>("%&\"")) | m_pe_reference | m_reference) >> '"'
        | '\'' >> *((any_char - sp::chset<>("%&'")) | m_pe_reference | m_reference) >> '\'';
    m_notation_decl
        = str_p("<!NOTATION") >> m_s >> m_name >> m_s >> (m_external_id | m_public_id) >> !m_s >> '>';

    m_conditional_sect = nest(m_include_sect) | nest(m_ignore_sect);
    m_include_sect = str_p("<![") >> !m_s >> "INCLUDE" >> !m_s >> '[' >> m_ext_subset_decl >> "]]>";
    m_ext_subset_decl = *(m_markup_decl | m_conditional_sect | m_decl_sep);
    m_ignore_sect = str_p("<![") >> !m_s >> "IGNORE" >> !m_s >> '[' >> m_ignore_sect_contents >> "]]>";
    m_ignore_sect_contents = m_ignore >> *("<![" >> nest(m_ignore_sect_contents) >> "]]>" >> m_ignore);
    m_ignore = until_parser("<![", "]]>");
}

// The line of a place in the text, counted from 1; a line ends at a line
// feed, a carriage return, or the two together.
std::size_t line_of(std::string_view text, const char* place)
{
    std::size_t line = 1;
    const char* last = text.data() + text.size();
    for (const char* p = text.data(); p < place; ++p)
        if (*p == '\n' || (*p == '\r' && (p + 1 == last || p[1] != '\n')))
            ++line;
    return line;
}

} // namespace

void parse_tree(std::string_view text, arena& memory, element*& root)
{
    parse_context context(memory, root);
    const grammar g(context);
    const char* first = text.data();
    const char* last = first + text.size();
    const char* farthest = first;
    try {
        const char* position = first;
        const scanner scan(position, last, sp::scanner_policies<reach_policy>(reach_policy(farthest)));
        if (!g.document().parse(scan) || position != last)
            throw stream_parse_error();
    } catch (const stream_parse_error&) {
        context.keep_open_elements();
        throw stream_parse_error(line_of(text, farthest));
    } catch (...) {
        context.keep_open_elements();
        throw;
    }
}

} // namespace xml
