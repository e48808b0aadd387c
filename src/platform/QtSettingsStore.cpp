#include "QtSettingsStore.h"

#include "Identity.h"
#include "RuntimeError.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

// QSettings would wait for a pipe's writer or read a device for ever: such a file is left unopened.
bool isNotAFile(const QString& path) {
    if (probeSettingsFile(path).kind != SettingsFileState::NotAFile)
        return false;
    qWarning("The settings file %s is not a regular file; settings are neither read nor saved.", qPrintable(path));
    return true;
}

} // namespace

QtSettingsStore::QtSettingsStore() {
    if (isNotAFile(userSettingsFile())) {
        m_unusableFile = userSettingsFile();
        return;
    }
    m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QString::fromUtf16(kOrganizationName),
                                             QString::fromUtf16(kApplicationName));
    checkLoaded();
}

QtSettingsStore::QtSettingsStore(const QString& fileName) {
    if (isNotAFile(fileName)) {
        m_unusableFile = fileName;
        return;
    }
    m_settings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
    checkLoaded();
}

QtSettingsStore::~QtSettingsStore() = default;

void QtSettingsStore::checkLoaded() {
    // QSettings reads the file as it is made. On a failed read it still rewrites the file from what it
    // understood at the next sync, and keeps reporting the old failure after every later one.
    const QFileInfo file(m_settings->fileName());
    m_mustKeepOriginal = m_settings->status() != QSettings::NoError && (file.exists() || file.isSymLink());
}

void QtSettingsStore::moveUnreadableFileAside() {
    const QString path = m_settings->fileName();
    QString backup;
    for (int n = 0; n < 1000 && backup.isEmpty(); ++n) {
        const QString candidate =
            n == 0 ? QString(path + u".bak"_s) : QString(path + u'.' + QString::number(n) + u".bak"_s);
        const QFileInfo taken(candidate);
        if (taken.exists() || taken.isSymLink())
            continue;
        // A move needs no read access, and keeps a folder or a link at that place as it is too.
        if (!QDir().rename(path, candidate))
            throw RuntimeError(RuntimeError::PathFileAccessError);
        backup = candidate;
    }
    if (backup.isEmpty())
        throw RuntimeError(RuntimeError::PathFileAccessError);

    // Start the new file from what could be read. A fresh QSettings, since the old one would go on
    // reporting the failed read.
    QList<std::pair<QString, QVariant>> understood;
    const QStringList keys = m_settings->allKeys();
    for (const QString& key : keys)
        understood.append({key, m_settings->value(key)});
    const QSettings::Format format = m_settings->format();
    m_settings.reset();
    m_settings = std::make_unique<QSettings>(path, format);
    for (const auto& [key, value] : understood)
        m_settings->setValue(key, value);
    m_backup = backup;
    m_mustKeepOriginal = false;
    qWarning("The settings file %s could not be read; it was kept as %s.", qPrintable(path), qPrintable(backup));
}

QString QtSettingsStore::read(const QString& key, const QString& defaultValue) {
    if (!m_settings)
        return defaultValue;
    const QVariant value = m_settings->value(key);
    if (!value.isValid())
        return defaultValue;
    return value.toString();
}

void QtSettingsStore::write(const QString& key, const QString& value) {
    if (!m_settings)
        return;
    if (m_mustKeepOriginal)
        moveUnreadableFileAside();
    m_settings->setValue(key, value);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw RuntimeError(RuntimeError::PathFileAccessError);
}

QString QtSettingsStore::fileName() const {
    return m_settings ? m_settings->fileName() : m_unusableFile;
}

} // namespace platform
