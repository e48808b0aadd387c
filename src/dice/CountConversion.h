#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace dice {

// The one reading of a count typed by the user ("number of dice", "number of rolls"), shared by the
// count fields and the roll engine. Numbers are read with the user's locale: optional sign, digits,
// the locale's decimal and grouping separators, an optional exponent, spaces around the number.

// True when the text reads as a number. The empty text, "nan" and "inf" are not numeric; a number
// beyond a double's range is (as an infinity, which no count can hold), and one too small for a
// double reads as 0.
bool isNumeric(const QString& text);

// The text's number rounded to the nearest integer, halves to the even neighbour (0.5 -> 0,
// 1.5 -> 2, 2.5 -> 2). Raises RuntimeError(TypeMismatch) when the text is not numeric and
// RuntimeError(Overflow) when the rounded value lies outside the 32-bit signed range.
std::int32_t convertCount(const QString& text);

// The rounded value without the 32-bit range check; nullopt when the text is not numeric.
std::optional<double> roundedCount(const QString& text);

} // namespace dice
