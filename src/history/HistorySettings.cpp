#include "HistorySettings.h"

#include "platform/RuntimeError.h"
#include "platform/SettingsStore.h"

#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace history {

namespace {

QString readOr(platform::SettingsStore& settings, const char16_t* key, const QString& fallback) {
    try {
        return settings.read(QString::fromUtf16(key), fallback);
    } catch (const platform::RuntimeError&) {
        return fallback; // the window reports a failing store on its own keys
    }
}

} // namespace

QString defaultDatabasePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           u"/Calverin/Quorvin Tessaly/history.sqlite"_s;
}

bool keepHistory(platform::SettingsStore& settings) {
    return readOr(settings, kKeepHistoryKey, u"1"_s) != u"0";
}

std::int64_t sizeLimitMegabytes(platform::SettingsStore& settings) {
    bool ok = false;
    const std::int64_t megabytes =
        readOr(settings, kSizeLimitKey, QString::number(kDefaultSizeLimitMegabytes)).toLongLong(&ok);
    if (!ok || megabytes < kMinimumSizeLimitMegabytes || megabytes > kMaximumSizeLimitMegabytes)
        return kDefaultSizeLimitMegabytes;
    return megabytes;
}

} // namespace history
