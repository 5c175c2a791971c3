#include "document/properties/ValueText.h"

#include <cstdint>
#include <sstream>

namespace My {

namespace {

template <class T> std::string Print(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

template <class T> bool Extract(const std::string& text, T& out)
{
    std::istringstream in(text);
    T value = out;
    in >> value;
    if (in.fail() || in.bad())
        return false;
    out = value;
    return true;
}

} // namespace

std::string FormatValue(int value)
{
    return Print(value);
}

std::string FormatValue(float value)
{
    return Print(value);
}

std::string FormatValue(const fraction& value)
{
    if (value.denominator == 0)
        return {};
    // 64 bits: the numerator is signed, the denominator unsigned.
    const std::int64_t n = value.numerator;
    const std::int64_t d = value.denominator;
    if (n % d == 0)
        return std::to_string(n / d);
    return std::to_string(n) + "/" + std::to_string(d);
}

std::string FormatValue(const std::string& value)
{
    return value;
}

std::string FormatValue(const Percent<0>& value)
{
    return Print(value);
}

std::string FormatValue(const Percent<2>& value)
{
    return Print(value);
}

bool ParseValue(const std::string& text, int& out)
{
    return Extract(text, out);
}

bool ParseValue(const std::string& text, float& out)
{
    return Extract(text, out);
}

bool ParseValue(const std::string& text, fraction& out)
{
    fraction value;
    if (!Extract(text, value)) {
        // The stream reads a plain number in hundredths, which leaves out
        // the whole rates above 21474836 that the text form writes without
        // a denominator; such a text reads as that number over 1.
        int whole = 0;
        if (!Extract(text, whole))
            return false;
        value = fraction(whole, 1);
    }
    if (value.denominator == 0 || value.numerator <= 0)
        return false;
    out = value;
    return true;
}

bool ParseValue(const std::string& text, std::string& out)
{
    out = text;
    return true;
}

bool ParseValue(const std::string& text, Percent<0>& out)
{
    return Extract(text, out);
}

bool ParseValue(const std::string& text, Percent<2>& out)
{
    return Extract(text, out);
}

} // namespace My
