#include "platform/registry/value_file.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace platform::detail {

namespace {

const char header[] = "Tavelo settings 1";
const char hex_digits[] = "0123456789ABCDEF";

bool needs_escape(unsigned char c)
{
    return (c < 0x21 && c != ' ') || c == 0x7F || c == '%' || c == '#';
}

void escape(const unsigned char* bytes, std::size_t size, std::string& out)
{
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = bytes[i];
        if (needs_escape(c)) {
            out += '%';
            out += hex_digits[c >> 4];
            out += hex_digits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The bytes of an escaped field; false for a malformed escape or a byte that
// should have been escaped.
bool unescape(const std::string& text, std::vector<unsigned char>& out)
{
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '%') {
            if (needs_escape(c))
                return false;
            out.push_back(c);
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = hex_value(text[i + 1]);
        const int low = hex_value(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out.push_back(static_cast<unsigned char>(high * 16 + low));
        i += 2;
    }
    return true;
}

const char* type_word(registry_type type)
{
    switch (type) {
    case registry_type::sz:
        return "sz";
    case registry_type::binary:
        return "binary";
    case registry_type::dword:
        return "dword";
    case registry_type::qword:
        return "qword";
    default:
        return nullptr;
    }
}

bool parse_type(const std::string& word, registry_type& type)
{
    for (registry_type t :
        { registry_type::sz, registry_type::binary, registry_type::dword, registry_type::qword }) {
        if (word == type_word(t)) {
            type = t;
            return true;
        }
    }
    std::uint32_t number = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), number);
    if (word.empty() || error != std::errc() || end != word.data() + word.size())
        return false;
    // A number is only the form of the types without a word.
    if (type_word(static_cast<registry_type>(number)) != nullptr)
        return false;
    type = static_cast<registry_type>(number);
    return true;
}

template <class T> T little_endian(const std::vector<unsigned char>& data)
{
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<T>(data[i]) << (8 * i);
    return value;
}

template <class T> void put_little_endian(T value, std::vector<unsigned char>& data)
{
    data.resize(sizeof(T));
    for (std::size_t i = 0; i < sizeof(T); ++i)
        data[i] = static_cast<unsigned char>(value >> (8 * i));
}

void format_payload(const registry_value& value, std::string& out)
{
    const std::vector<unsigned char>& data = value.data;
    switch (value.type) {
    case registry_type::sz:
        if (!data.empty() && data.back() == 0) {
            escape(data.data(), data.size() - 1, out);
            return;
        }
        break;
    case registry_type::dword:
        if (data.size() == 4) {
            out += std::to_string(little_endian<std::uint32_t>(data));
            return;
        }
        break;
    case registry_type::qword:
        if (data.size() == 8) {
            out += std::to_string(little_endian<std::uint64_t>(data));
            return;
        }
        break;
    case registry_type::binary:
        for (unsigned char c : data) {
            out += hex_digits[c >> 4];
            out += hex_digits[c & 15];
        }
        return;
    default:
        break;
    }
    out += '#';
    escape(data.data(), data.size(), out);
}

template <class T> bool parse_decimal(const std::string& text, std::vector<unsigned char>& data)
{
    T number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return false;
    // One spelling per number, so that a file reads back as it was written.
    if (text.size() > 1 && text[0] == '0')
        return false;
    put_little_endian(number, data);
    return true;
}

bool parse_payload(const std::string& text, registry_value& value)
{
    if (!text.empty() && text[0] == '#')
        return unescape(text.substr(1), value.data);
    switch (value.type) {
    case registry_type::sz:
        if (!unescape(text, value.data))
            return false;
        value.data.push_back(0);
        return true;
    case registry_type::dword:
        return parse_decimal<std::uint32_t>(text, value.data);
    case registry_type::qword:
        return parse_decimal<std::uint64_t>(text, value.data);
    case registry_type::binary: {
        if (text.size() % 2 != 0)
            return false;
        value.data.clear();
        for (std::size_t i = 0; i < text.size(); i += 2) {
            const int high = hex_value(text[i]);
            const int low = hex_value(text[i + 1]);
            if (high < 0 || low < 0)
                return false;
            value.data.push_back(static_cast<unsigned char>(high * 16 + low));
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace

std::string format_values(const value_map& values)
{
    std::string out = header;
    out += '\n';
    for (const auto& [name, value] : values) {
        escape(reinterpret_cast<const unsigned char*>(name.data()), name.size(), out);
        out += '\t';
        if (const char* word = type_word(value.type))
            out += word;
        else
            out += std::to_string(static_cast<std::uint32_t>(value.type));
        out += '\t';
        format_payload(value, out);
        out += '\n';
    }
    return out;
}

bool parse_values(const std::string& text, value_map& values)
{
    values.clear();
    if (text.size() > max_value_file)
        return false;
    const std::size_t header_size = std::strlen(header);
    if (text.compare(0, header_size, header) != 0 || text.size() <= header_size || text[header_size] != '\n')
        return false;
    std::size_t position = header_size + 1;
    std::vector<unsigned char> bytes;
    while (position < text.size()) {
        const std::size_t end = text.find('\n', position);
        if (end == std::string::npos)
            return false;
        const std::size_t first_tab = text.find('\t', position);
        if (first_tab == std::string::npos || first_tab > end)
            return false;
        const std::size_t second_tab = text.find('\t', first_tab + 1);
        if (second_tab == std::string::npos || second_tab > end)
            return false;
        if (!unescape(text.substr(position, first_tab - position), bytes))
            return false;
        std::string name(bytes.begin(), bytes.end());
        registry_value value;
        if (!parse_type(text.substr(first_tab + 1, second_tab - first_tab - 1), value.type))
            return false;
        if (!parse_payload(text.substr(second_tab + 1, end - second_tab - 1), value))
            return false;
        if (!values.emplace(std::move(name), std::move(value)).second)
            return false;
        position = end + 1;
    }
    return true;
}

} // namespace platform::detail
