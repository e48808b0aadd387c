#include "QtEventPump.h"

#include <QCoreApplication>

namespace platform {

void QtEventPump::processEvents() {
    QCoreApplication::processEvents();
}

void QtEventPump::quit() {
    m_quitting = true;
    QCoreApplication::quit();
}

} // namespace platform
