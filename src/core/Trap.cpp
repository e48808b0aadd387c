#include "Trap.h"

#include "platform/EventPump.h"
#include "platform/MessageBox.h"
#include "platform/Services.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace core {

QString errorReportText(const QString& description, const QString& qualifiedName, int line) {
    return description + u"\r\n"_s + u"in Quorvin2021/08/31."_s + qualifiedName + u' ' + u"at line "_s +
           QString::number(line) + u"\r\r"_s + u"Please email screenshot of this message to "_s +
           QString::fromUtf16(kSupportAddress);
}

Trap::Trap(platform::MessageBox& messageBox, QString qualifiedName)
    : m_messageBox(messageBox)
    , m_name(std::move(qualifiedName)) {}

Trap::Trap(const platform::Services& services, QString qualifiedName)
    : Trap(*services.messageBox, std::move(qualifiedName)) {
    m_events = services.events;
}

bool Trap::programEnding() const {
    return m_events != nullptr && m_events->quitting();
}

void Trap::report(int line, const platform::RuntimeError& error) {
    m_line = line;
    report(error.number(), error.description());
}

bool Trap::hasReported(int line) const {
    return std::find(m_reportedLines.begin(), m_reportedLines.end(), line) != m_reportedLines.end();
}

void Trap::report(int number, const QString& description) {
    m_lastError = number;
    if (m_quiet || (m_eachLineOnce && hasReported(m_line)))
        return;
    if (!hasReported(m_line))
        m_reportedLines.push_back(m_line);
    ++m_reports;
    m_messageBox.show(errorReportText(description, m_name, m_line), platform::Exclamation,
                      QString::fromUtf16(kErrorReportTitle));
}

void Trap::reportOutOfMemory() {
    // The failed statement's memory is already released by unwinding; showing the report needs little.
    report(platform::RuntimeError::OutOfMemory,
           platform::RuntimeError::standardDescription(platform::RuntimeError::OutOfMemory));
}

} // namespace core
