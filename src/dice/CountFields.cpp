#include "CountFields.h"

#include "CountConversion.h"

#include "platform/MessageBox.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"

#include <limits>

namespace dice {

QString countProblem(const QString& text) {
    const std::optional<double> rounded = roundedCount(text);
    if (!rounded)
        return QString::fromUtf16(kNotNumericMessage);
    if (*rounded < 1)
        return QString::fromUtf16(kBelowOneMessage);
    // A number beyond the 32-bit range cannot become a count; say so rather than fail later.
    if (*rounded > std::numeric_limits<std::int32_t>::max())
        return QString::fromUtf16(kTooLargeMessage);
    return {};
}

void CountFields::changed(const QString& key, const QString& text) {
    m_services.settings->write(key, text);
}

bool CountFields::lostFocus(const QString& text) {
    const QString problem = countProblem(text);
    if (problem.isEmpty())
        return true;
    m_services.messageBox->show(problem, platform::OkOnly, QString());
    return false;
}

} // namespace dice
