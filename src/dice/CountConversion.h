#pragma once

#include <QString>

#include <cstdint>

namespace dice {

// The two counts' numeric meaning: the text read as a number in the user's locale (blanks around it
// allowed), rounded to the nearest whole number with halves going to the even neighbour. Throws
// RuntimeError(TypeMismatch) for text that is not a number and RuntimeError(Overflow) for a value
// outside the 32-bit signed range.
std::int32_t convertCount(const QString& text);

} // namespace dice
