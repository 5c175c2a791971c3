#pragma once

// The text forms of the values edited in text controls, and their parsing.
// Parsing takes a standard stream extraction of the type from the whole
// text: leading blanks are skipped, characters after a valid number are
// ignored, and a text that does not begin with a value gives nothing.

#include "foundation/numbers/fraction.h"
#include "widgets/properties/Percent.h"

#include <string>

namespace My {

// Decimal, with a minus sign when negative.
std::string FormatValue(int value);
// Six significant digits (10 shows as 10, 3.5 as 3.5).
std::string FormatValue(float value);
// The numerator alone when the denominator divides it, else "n/d"; a rate
// without a denominator (no known rate) is the empty text.
std::string FormatValue(const fraction& value);
std::string FormatValue(const std::string& value);
// "50%" and "12.50%".
std::string FormatValue(const Percent<0>& value);
std::string FormatValue(const Percent<2>& value);

// False when the text gives no value; out is then unchanged.
bool ParseValue(const std::string& text, int& out);
bool ParseValue(const std::string& text, float& out);
// "n/d", "n" or a decimal; a rate with a zero denominator or a numerator
// that is not positive is refused.
bool ParseValue(const std::string& text, fraction& out);
bool ParseValue(const std::string& text, std::string& out);
bool ParseValue(const std::string& text, Percent<0>& out);
bool ParseValue(const std::string& text, Percent<2>& out);

} // namespace My
