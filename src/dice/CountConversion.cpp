#include "CountConversion.h"

#include "platform/RuntimeError.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace dice {

namespace {

std::optional<double> readNumber(const QString& text) {
    bool ok = false;
    // QLocale() is the system locale unless the program chose another default.
    const double value = QLocale().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
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
