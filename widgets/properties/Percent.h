#pragma once

// A fraction in [0, 1] shown as a percentage with N digits after the point.

#include <cmath>
#include <iomanip>
#include <ios>
#include <istream>
#include <ostream>
#include <string>

namespace My {

template <int N> class Percent {
public:
    // Clamps into [0, 1]; a NaN is kept as it is.
    Percent(float value = 0.0f)
        : m_value(Clamp(value))
    {
    }

    // Clamps as construction does; stores only when the value differs.
    Percent& operator=(float value)
    {
        const float clamped = Clamp(value);
        if (!(clamped == m_value))
            m_value = clamped;
        return *this;
    }

    operator float() const { return m_value; }

private:
    static float Clamp(float value)
    {
        if (value < 0.0f)
            return 0.0f;
        if (value > 1.0f)
            return 1.0f;
        return value;
    }

    float m_value;
};

// "12.50%" for 0.125 with N = 2; the stream's flags and precision are kept.
template <int N> std::ostream& operator<<(std::ostream& out, const Percent<N>& value)
{
    const std::ios_base::fmtflags flags = out.flags();
    const std::streamsize precision = out.precision();
    out << std::fixed << std::setprecision(N) << static_cast<double>(static_cast<float>(value)) * 100.0
        << '%';
    out.flags(flags);
    out.precision(precision);
    return out;
}

// Reads "50", "50%" or "50 %" (all 0.5). Anything after the number other
// than one "%" word ending the input ("50% ", "50 % x", "50%x") sets the fail
// state and leaves the value unchanged.
template <int N> std::istream& operator>>(std::istream& in, Percent<N>& value)
{
    double number = 0.0;
    if (!(in >> number))
        return in;
    if (!in.eof()) {
        std::string word;
        in >> word;
        const bool atEnd = in.eof() || in.peek() == std::char_traits<char>::eof();
        if (!atEnd || !(word.empty() || word == "%")) {
            in.setstate(std::ios_base::failbit);
            return in;
        }
        in.clear(std::ios_base::eofbit);
    }
    value = static_cast<float>(number * 0.01);
    return in;
}

} // namespace My
