#pragma once

#include <array>
#include <cstdint>

namespace xml::chars {

// The XML 1.0 character classes over single bytes, each byte read as the
// character of the same code (0x00-0xFF). Of the non-ASCII classes only
// these fall in that range: letters 0xC0-0xD6, 0xD8-0xF6, 0xF8-0xFF and the
// extender 0xB7. Every byte 0x20-0xFF is a character, so UTF-8 text passes as
// character data. The table is a constant: it exists before any parse.
enum : std::uint8_t {
    name_start = 1 << 0, // Letter, "_" or ":"
    name_char = 1 << 1, // NameChar
    space = 1 << 2, // S
    character = 1 << 3, // Char
    pubid = 1 << 4, // PubidChar
    content = 1 << 5, // Char other than "<" and "&"
    value_dq = 1 << 6, // Char other than "<", "&" and the double quote
    value_sq = 1 << 7, // Char other than "<", "&" and the apostrophe
};

constexpr std::array<std::uint8_t, 256> make_table()
{
    std::array<std::uint8_t, 256> t {};
    auto letter = [](unsigned c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6)
            || (c >= 0xD8 && c <= 0xF6) || c >= 0xF8;
    };
    for (unsigned c = 0; c < 256; ++c) {
        std::uint8_t f = 0;
        const bool is_char = c == 0x09 || c == 0x0A || c == 0x0D || c >= 0x20;
        if (letter(c) || c == '_' || c == ':')
            f |= name_start | name_char;
        if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 0xB7)
            f |= name_char;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            f |= space;
        if (is_char)
            f |= character;
        if (c == ' ' || c == '\r' || c == '\n'
            || (c < 0x80 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) || (c >= '0' && c <= '9'))
            f |= pubid;
        for (char p : "-'()+,./:=?;!*#@$_%")
            if (p != '\0' && c == static_cast<unsigned char>(p))
                f |= pubid;
        if (is_char && c != '<' && c != '&') {
            f |= content;
            if (c != '"')
                f |= value_dq;
            if (c != '\'')
                f |= value_sq;
        }
        t[c] = f;
    }
    return t;
}

inline constexpr std::array<std::uint8_t, 256> table = make_table();

inline bool is(char c, std::uint8_t cls) noexcept
{
    return (table[static_cast<unsigned char>(c)] & cls) != 0;
}

} // namespace xml::chars
