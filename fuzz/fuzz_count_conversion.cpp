// The count conversion under the locales whose separators and digits differ most. For any text: it is
// numeric exactly when the conversion does not raise TypeMismatch; an accepted value is a whole number
// and comes back unchanged within the 32-bit range, Overflow outside it; the count field's message
// agrees with the conversion.

#include "dice/CountConversion.h"
#include "dice/CountFields.h"
#include "platform/RuntimeError.h"

#include <QLocale>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

using platform::RuntimeError;

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "count conversion: %s\n", what);
    std::abort();
}

const QLocale& localeFor(std::uint8_t selector) {
    static const QLocale locales[] = {
        QLocale::c(),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany),     // ',' decimal, '.' grouping
        QLocale(QLocale::French, QLocale::France),      // narrow no-break space grouping
        QLocale(QLocale::German, QLocale::Switzerland), // apostrophe grouping
        QLocale(QLocale::Arabic, QLocale::Egypt),       // Arabic-Indic digits
        QLocale(QLocale::Hindi, QLocale::India),        // lakh grouping
        QLocale(QLocale::Persian, QLocale::Iran),       // Extended Arabic-Indic digits, RTL marks
    };
    return locales[selector % std::size(locales)];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    QLocale::setDefault(localeFor(data[0]));
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    const bool numeric = dice::isNumeric(text);
    const std::optional<double> rounded = dice::roundedCount(text);
    if (numeric != rounded.has_value())
        fail("isNumeric and roundedCount disagree");
    if (rounded && (std::isnan(*rounded) || std::nearbyint(*rounded) != *rounded))
        fail("a rounded count is not a whole number");

    const bool inRange = rounded && *rounded >= std::numeric_limits<std::int32_t>::min() &&
                         *rounded <= std::numeric_limits<std::int32_t>::max();
    try {
        const std::int32_t value = dice::convertCount(text);
        if (!inRange || static_cast<double>(value) != *rounded)
            fail("convertCount accepted a value it should not have, or changed it");
    } catch (const RuntimeError& error) {
        if (error.number() == RuntimeError::TypeMismatch && numeric)
            fail("TypeMismatch for a numeric text");
        if (error.number() == RuntimeError::Overflow && (!numeric || inRange))
            fail("Overflow for a text that is not numeric or fits");
        if (error.number() != RuntimeError::TypeMismatch && error.number() != RuntimeError::Overflow)
            fail("an unexpected error");
    }

    const QString problem = dice::countProblem(text);
    const char16_t* expected = !numeric       ? dice::kNotNumericMessage
                               : *rounded < 1 ? dice::kBelowOneMessage
                               : !inRange     ? dice::kTooLargeMessage
                                              : u"";
    if (problem != QStringView(expected))
        fail("the count field's message does not match the conversion");
    return 0;
}
