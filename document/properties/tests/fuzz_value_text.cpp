// Texts typed into the property editor's text boxes: any bytes either give
// a value or change nothing, a frame rate taken never lacks a denominator or
// a positive numerator, and every value taken prints and reads back as the
// same value.

#include "document/properties/ValueText.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    int number = 17;
    if (My::ParseValue(text, number)) {
        int again = 0;
        if (!My::ParseValue(My::FormatValue(number), again) || again != number)
            std::abort();
    } else if (number != 17) {
        std::abort();
    }

    float real = 0.5f;
    if (My::ParseValue(text, real) && std::isfinite(real)) {
        float again = 0;
        if (!My::ParseValue(My::FormatValue(real), again))
            std::abort();
    }

    fraction rate(25, 1);
    if (My::ParseValue(text, rate)) {
        if (rate.denominator == 0 || rate.numerator <= 0)
            std::abort();
        fraction again;
        if (!My::ParseValue(My::FormatValue(rate), again)
            || std::int64_t(again.numerator) * rate.denominator
                != std::int64_t(rate.numerator) * again.denominator)
            std::abort();
    } else if (rate.numerator != 25 || rate.denominator != 1) {
        std::abort();
    }

    My::Percent<2> percent(0.25f);
    if (My::ParseValue(text, percent)) {
        const float f = percent;
        if (!std::isnan(f) && (f < 0.0f || f > 1.0f))
            std::abort();
    } else if (float(percent) != 0.25f) {
        std::abort();
    }
    return 0;
}
