#include "CountConversion.h"

#include "platform/RuntimeError.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace dice {

namespace {

// True when the text is a well-formed number of the locale whatever its digits: a number too small
// for a double fails to convert just like text that is no number at all, but it parses once its
// digits are all zero.
bool parsesWithDigitsZeroed(const QLocale& locale, QString text) {
    const QString zero = locale.zeroDigit();
    if (zero.size() != 1)
        return false;
    const char16_t zeroDigit = zero.front().unicode();
    for (QChar& c : text) {
        if (c.unicode() > zeroDigit && c.unicode() <= zeroDigit + 9)
            c = QChar(zeroDigit);
    }
    bool ok = false;
    locale.toDouble(text, &ok);
    return ok;
}

std::optional<double> readNumber(const QString& text) {
    bool ok = false;
    // QLocale() is the system locale unless the program chose another default.
    const QLocale locale;
    const double value = locale.toDouble(text, &ok);
    if (ok)
        return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    // A number beyond a double's range ("1e400", ten thousand digits) comes back as an infinity: it is
    // a number, too large for any count. One below a double's smallest reads as zero.
    if (std::isinf(value))
        return value;
    if (parsesWithDigitsZeroed(locale, text))
        return 0.0;
    return std::nullopt;
}

double roundHalfToEven(double value) {
    const double nearest = std::round(value); // halves away from zero
    if (std::fabs(value - std::trunc(value)) == 0.5)
        return 2.0 * std::round(value / 2.0);
    return nearest;
}

} // namespace

bool isNumeric(const QString& text) {
    return readNumber(text).has_value();
}

std::optional<double> roundedCount(const QString& text) {
    const std::optional<double> value = readNumber(text);
    if (!value)
        return std::nullopt;
    return roundHalfToEven(*value);
}

std::int32_t convertCount(const QString& text) {
    const std::optional<double> rounded = roundedCount(text);
    if (!rounded)
        throw platform::RuntimeError(platform::RuntimeError::TypeMismatch);
    if (*rounded < std::numeric_limits<std::int32_t>::min() || *rounded > std::numeric_limits<std::int32_t>::max())
        throw platform::RuntimeError(platform::RuntimeError::Overflow);
    return static_cast<std::int32_t>(*rounded);
}

} // namespace dice
