#include "xmldoc/stored_text.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "xmldoc/arena.h"

namespace xml::stored_text {

namespace {

// The header's low bits.
constexpr std::size_t packed_flag = 1;
constexpr std::size_t upper_flag = 2;
constexpr unsigned flag_bits = 2;

enum : std::uint8_t { not_hex = 0x10, lower = 0x20, upper = 0x40 };

// Each byte's digit value, with whether it is a hexadecimal digit and of
// which case (digits 0-9 are of both).
constexpr std::array<std::uint8_t, 256> make_digits()
{
    std::array<std::uint8_t, 256> t {};
    for (unsigned c = 0; c < 256; ++c)
        t[c] = not_hex;
    for (unsigned c = '0'; c <= '9'; ++c)
        t[c] = static_cast<std::uint8_t>((c - '0') | lower | upper);
    for (unsigned c = 'a'; c <= 'f'; ++c)
        t[c] = static_cast<std::uint8_t>((c - 'a' + 10) | lower);
    for (unsigned c = 'A'; c <= 'F'; ++c)
        t[c] = static_cast<std::uint8_t>((c - 'A' + 10) | upper);
    return t;
}

constexpr std::array<std::uint8_t, 256> digits = make_digits();

struct header {
    std::size_t size;
    std::size_t flags;
    const unsigned char* bytes;
};

header read_header(const char* stored) noexcept
{
    const auto* p = reinterpret_cast<const unsigned char*>(stored);
    std::size_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
        const unsigned char b = *p++;
        value |= static_cast<std::size_t>(b & 0x7Fu) << shift;
        if (!(b & 0x80u))
            break;
    }
    return { value >> flag_bits, value & ((std::size_t { 1 } << flag_bits) - 1), p };
}

std::size_t header_size(std::size_t value) noexcept
{
    std::size_t n = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++n;
    }
    return n;
}

char* write_header(char* out, std::size_t value) noexcept
{
    while (value >= 0x80) {
        *out++ = static_cast<char>((value & 0x7Fu) | 0x80u);
        value >>= 7;
    }
    *out++ = static_cast<char>(value);
    return out;
}

// The case flags shared by every character, or 0 when the text is not
// packable.
std::uint8_t packable_case(std::string_view text) noexcept
{
    if (text.size() < pack_threshold || text.size() % 2 != 0)
        return 0;
    std::uint8_t shared = lower | upper | not_hex;
    for (char c : text)
        shared &= digits[static_cast<unsigned char>(c)];
    return shared & not_hex ? 0 : shared & (lower | upper);
}

} // namespace

const char* store(arena& memory, std::string_view text, bool may_pack)
{
    // The size must leave room for the flags.
    if (text.size() > (SIZE_MAX >> flag_bits))
        throw std::bad_alloc();
    const std::uint8_t letters = may_pack ? packable_case(text) : 0;
    if (letters) {
        const std::size_t value
            = (text.size() << flag_bits) | packed_flag | (letters & lower ? 0 : upper_flag);
        char* stored = memory.allocate_text(header_size(value) + text.size() / 2);
        auto* out = reinterpret_cast<unsigned char*>(write_header(stored, value));
        for (std::size_t i = 0; i < text.size(); i += 2)
            *out++ = static_cast<unsigned char>(((digits[static_cast<unsigned char>(text[i])] & 0x0Fu) << 4)
                | (digits[static_cast<unsigned char>(text[i + 1])] & 0x0Fu));
        return stored;
    }
    const std::size_t value = text.size() << flag_bits;
    char* stored = memory.allocate_text(header_size(value) + text.size());
    char* out = write_header(stored, value);
    if (!text.empty())
        std::memcpy(out, text.data(), text.size());
    return stored;
}

std::size_t size(const char* stored) noexcept
{
    return read_header(stored).size;
}

std::string_view view(const char* stored) noexcept
{
    const header h = read_header(stored);
    return { reinterpret_cast<const char*>(h.bytes), h.size };
}

bool is_packed(const char* stored) noexcept
{
    return (read_header(stored).flags & packed_flag) != 0;
}

void copy_to(const char* stored, char* out) noexcept
{
    const header h = read_header(stored);
    if (!(h.flags & packed_flag)) {
        if (h.size)
            std::memcpy(out, h.bytes, h.size);
        return;
    }
    const char* hex = h.flags & upper_flag ? "0123456789ABCDEF" : "0123456789abcdef";
    for (std::size_t i = 0; i < h.size / 2; ++i) {
        *out++ = hex[h.bytes[i] >> 4];
        *out++ = hex[h.bytes[i] & 0x0Fu];
    }
}

std::string to_string(const char* stored)
{
    std::string text(size(stored), '\0');
    copy_to(stored, text.data());
    return text;
}

} // namespace xml::stored_text
