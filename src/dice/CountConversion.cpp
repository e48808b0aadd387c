#include "CountConversion.h"

#include "platform/RuntimeError.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace dice {

std::int32_t convertCount(const QString& text) {
    using platform::RuntimeError;
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale::system().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || std::isnan(value))
        throw RuntimeError(RuntimeError::TypeMismatch);
    // Under the default rounding mode nearbyint rounds a half to the even neighbour.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() && rounded <= std::numeric_limits<std::int32_t>::max()))
        throw RuntimeError(RuntimeError::Overflow);
    return static_cast<std::int32_t>(rounded);
}

} // namespace dice
