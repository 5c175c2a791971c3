#include "foundation/numbers/fraction.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

std::string text_of(const fraction& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

// Reads a fraction that starts as 7/3, so that "unchanged" is visible.
fraction read(const std::string& text, bool& ok)
{
    std::istringstream in(text);
    fraction value(7, 3);
    in >> value;
    ok = !in.fail();
    return value;
}

void expect_reads(const std::string& text, std::int32_t n, std::uint32_t d)
{
    bool ok = false;
    const fraction value = read(text, ok);
    EXPECT_TRUE(ok) << text;
    EXPECT_EQ(value.numerator, n) << text;
    EXPECT_EQ(value.denominator, d) << text;
}

void expect_fails(const std::string& text)
{
    bool ok = true;
    const fraction value = read(text, ok);
    EXPECT_FALSE(ok) << text;
    EXPECT_EQ(value.numerator, 7) << text;
    EXPECT_EQ(value.denominator, 3u) << text;
}

} // namespace

TEST(fraction, WritesQuotientWhenDenominatorDivides)
{
    EXPECT_EQ(text_of(fraction(25, 1)), "25");
    EXPECT_EQ(text_of(fraction(50, 2)), "25");
    EXPECT_EQ(text_of(fraction(0, 7)), "0");
    EXPECT_EQ(text_of(fraction(-50, 2)), "-25");
}

TEST(fraction, WritesDecimalsAndExactFormOtherwise)
{
    EXPECT_EQ(text_of(fraction(30000, 1001)), "29.97 (30000/1001)");
    EXPECT_EQ(text_of(fraction(2997, 100)), "29.97 (2997/100)");
    // A negative numerator over an unsigned denominator stays negative.
    EXPECT_EQ(text_of(fraction(-1, 3)), "-0.33 (-1/3)");
}

TEST(fraction, WritesNothingForUnknownRate)
{
    EXPECT_EQ(text_of(fraction(0, 0)), "");
    EXPECT_EQ(text_of(fraction(25, 0)), "");
}

TEST(fraction, OutputRestoresStreamFormat)
{
    std::ostringstream out;
    out.precision(4);
    out << fraction(1, 3) << ' ' << 0.123456;
    EXPECT_EQ(out.str(), "0.33 (1/3) 0.1235");
    EXPECT_FALSE(out.flags() & std::ios::fixed);
}

TEST(fraction, ReadsDecimalAsHundredthsReduced)
{
    expect_reads("25", 25, 1);
    expect_reads("29.97", 2997, 100);
    expect_reads("  12.5", 25, 2);
    expect_reads("0", 0, 1);
    expect_reads("25 fps", 25, 1);
}

TEST(fraction, NegativeDecimalTruncatesTowardZeroAfterAddingOneHalf)
{
    // -123.4 + 0.5 = -122.9 truncates to -122, not down to -123.
    expect_reads("-1.234", -61, 50);
    expect_reads("-0.004", 0, 1);
    expect_reads("-2.5", -249, 100);
    expect_reads("-0.999", -99, 100);
}

TEST(fraction, ReadsSlashFormAsWritten)
{
    expect_reads("30000/1001", 30000, 1001);
    expect_reads("50/2", 50, 2);
    expect_reads("25/0", 25, 0);
}

TEST(fraction, ReadsBackItsWrittenForm)
{
    for (const fraction& value :
        { fraction(30000, 1001), fraction(2997, 100), fraction(25, 1), fraction(-1, 3) }) {
        bool ok = false;
        const fraction back = read(text_of(value), ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(back.numerator, value.numerator);
        EXPECT_EQ(back.denominator, value.denominator);
    }
}

TEST(fraction, MalformedInputFailsAndKeepsValue)
{
    expect_fails("");
    expect_fails("abc");
    expect_fails("29.97 (30000-1001)");
    expect_fails("29.97 (30000/1001]");
    expect_fails("29.97 (30000/");
    expect_fails("25/x");
    // A numerator with a fraction part would otherwise be cut to 29/100.
    expect_fails("29.97/100");
}

TEST(fraction, InputOutside32BitsFails)
{
    expect_fails("3000000000/1");
    expect_fails("25/4294967296");
    expect_fails("25/-1");
    expect_fails("1 (2147483648/1)");
    expect_fails("1 (1/-5)");
    expect_fails("30000000");
    expect_fails("1e300");
    expect_reads("-2147483648/4294967295", -2147483647 - 1, 4294967295u);
}

TEST(fraction, ReduceUsesGreatestCommonDivisor)
{
    fraction value(30000, 1000);
    value.reduce();
    EXPECT_EQ(value.numerator, 30);
    EXPECT_EQ(value.denominator, 1u);

    value = fraction(-2500, 100);
    value.reduce();
    EXPECT_EQ(value.numerator, -25);
    EXPECT_EQ(value.denominator, 1u);

    value = fraction(-2147483647 - 1, 2);
    value.reduce();
    EXPECT_EQ(value.numerator, -1073741824);
    EXPECT_EQ(value.denominator, 1u);
}

TEST(fraction, ReduceHandlesZeros)
{
    fraction zero(0, 100);
    zero.reduce();
    EXPECT_EQ(zero.numerator, 0);
    EXPECT_EQ(zero.denominator, 1u);

    fraction unknown(25, 0);
    unknown.reduce();
    EXPECT_EQ(unknown.numerator, 25);
    EXPECT_EQ(unknown.denominator, 0u);
}
