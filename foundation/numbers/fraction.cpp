#include "foundation/numbers/fraction.h"

#include <cmath>
#include <cstdlib>
#include <istream>
#include <limits>
#include <ostream>

namespace {

// Whether x, truncated toward zero, fits a signed 32-bit integer.
bool fits_int32(double x)
{
    return std::isfinite(x) && x > double(std::numeric_limits<std::int32_t>::min()) - 1.0
        && x < double(std::numeric_limits<std::int32_t>::max()) + 1.0;
}

// Reads a decimal integer into the range [low, high]; out of range (or a
// minus sign on an unsigned field, which the stream would wrap) fails the
// stream.
bool read_integer(std::istream& in, long long low, long long high, long long& result)
{
    long long value = 0;
    if (!(in >> value))
        return false;
    if (value < low || value > high) {
        in.setstate(std::ios::failbit);
        return false;
    }
    result = value;
    return true;
}

bool read_numerator(std::istream& in, long long& result)
{
    return read_integer(
        in, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), result);
}

bool read_denominator(std::istream& in, long long& result)
{
    return read_integer(in, 0, std::numeric_limits<std::uint32_t>::max(), result);
}

} // namespace

void fraction::reduce()
{
    if (denominator == 0)
        return;
    if (numerator == 0) {
        denominator = 1;
        return;
    }
    // The magnitude of the most negative numerator needs 64 bits.
    std::uint64_t a = static_cast<std::uint64_t>(std::llabs(static_cast<long long>(numerator)));
    std::uint64_t b = denominator;
    while (b != 0) {
        const std::uint64_t r = a % b;
        a = b;
        b = r;
    }
    numerator
        = static_cast<std::int32_t>(static_cast<std::int64_t>(numerator) / static_cast<std::int64_t>(a));
    denominator = static_cast<std::uint32_t>(denominator / a);
}

std::ostream& operator<<(std::ostream& out, const fraction& value)
{
    if (value.denominator == 0)
        return out;
    // 64-bit arithmetic: with a signed numerator and an unsigned denominator
    // the 32-bit expression would convert the numerator to unsigned.
    const std::int64_t n = value.numerator;
    const std::int64_t d = value.denominator;
    if (n % d == 0)
        return out << n / d;
    const std::ios::fmtflags flags = out.flags();
    const std::streamsize precision = out.precision();
    out << std::fixed;
    out.precision(2);
    out << static_cast<double>(n) / static_cast<double>(d);
    out.flags(flags);
    out.precision(precision);
    return out << " (" << value.numerator << '/' << value.denominator << ')';
}

std::istream& operator>>(std::istream& in, fraction& value)
{
    double x = 0;
    if (!(in >> x))
        return in;
    char c = 0;
    if (!(in >> c)) {
        // A plain number at the end of the input: keep the end state, drop the
        // failure of looking past it.
        in.clear(in.rdstate() & ~std::ios::failbit);
    } else if (c == '/') {
        long long d = 0;
        // The numerator of "n/d" is an integer: "29.97/100" is no fraction,
        // and truncating it would read a different rate.
        if (!fits_int32(x) || x != std::trunc(x)) {
            in.setstate(std::ios::failbit);
            return in;
        }
        if (!read_denominator(in, d))
            return in;
        value = fraction(static_cast<std::int32_t>(x), static_cast<std::uint32_t>(d));
        return in;
    } else if (c == '(') {
        // The written form "q.qq (n/d)": the exact fraction in parentheses
        // wins over the rounded quotient.
        long long n = 0;
        long long d = 0;
        char slash = 0;
        char close = 0;
        if (!read_numerator(in, n) || !(in >> slash) || !read_denominator(in, d) || !(in >> close))
            return in;
        if (slash != '/' || close != ')') {
            in.setstate(std::ios::failbit);
            return in;
        }
        value = fraction(static_cast<std::int32_t>(n), static_cast<std::uint32_t>(d));
        return in;
    } else {
        in.unget();
    }
    // Hundredths: x * 100 + 0.5 truncated toward zero, so a negative rate
    // such as -1.234 reads as -122/100.
    const double hundredths = std::trunc(x * 100 + 0.5);
    if (!fits_int32(hundredths)) {
        in.setstate(std::ios::failbit);
        return in;
    }
    fraction result(static_cast<std::int32_t>(hundredths), 100);
    result.reduce();
    value = result;
    return in;
}
