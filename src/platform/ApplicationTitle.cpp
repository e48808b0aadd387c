#include "ApplicationTitle.h"

#include <QCoreApplication>

namespace platform {

namespace {
QString& storedTitle() {
    static QString title;
    return title;
}
} // namespace

QString applicationTitle() {
    const QString& title = storedTitle();
    return title.isNull() ? QCoreApplication::applicationName() : title;
}

void setApplicationTitle(const QString& title) {
    storedTitle() = title;
}

} // namespace platform
