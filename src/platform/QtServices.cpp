#include "QtServices.h"

#include "ApplicationTitle.h"
#include "RuntimeError.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

using namespace Qt::StringLiterals;

namespace platform {

namespace {

QString titleOrApplicationTitle(const QString& title) {
    return title.isEmpty() ? applicationTitle() : title;
}

// Message texts use CR LF and bare CR as line breaks; a label shows both as one break each.
QString forDisplay(QString text) {
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    return text;
}

} // namespace

void QtMessageBox::show(const QString& text, int style, const QString& title) {
    QMessageBox box(style == Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon, titleOrApplicationTitle(title),
                    forDisplay(text), QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString QtInputBox::ask(const QString& prompt, const QString& title, const QString& defaultAnswer) {
    bool ok = false;
    QString answer =
        QInputDialog::getText(m_parent, titleOrApplicationTitle(title), prompt, QLineEdit::Normal, defaultAnswer, &ok);
    return ok ? answer : QString();
}

QString QtFileDialogs::toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (!parts[i].isEmpty())
            entries.append(parts[i]);
    }
    return entries.join(u";;"_s);
}

QStringList QtFileDialogs::getOpenFileNames(const QString& title, const QString& filter) {
    QStringList files = QFileDialog::getOpenFileNames(m_parent, title, m_lastDirectory, toQtFilter(filter));
    if (!files.isEmpty())
        m_lastDirectory = QFileInfo(files.first()).absolutePath();
    return files;
}

QString QtFileDialogs::getSaveFileName(const QString& title, const QString& filter) {
    QString file = QFileDialog::getSaveFileName(m_parent, title, m_lastDirectory, toQtFilter(filter), nullptr,
                                                QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty())
        m_lastDirectory = QFileInfo(file).absoluteFilePath();
    return file;
}

QtSettingsStore::QtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, u"Calverin"_s,
                                             u"Quorvin Tessaly"_s)) {
    checkLoaded();
}

QtSettingsStore::QtSettingsStore(const QString& fileName)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {
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
    const QVariant value = m_settings->value(key);
    if (!value.isValid())
        return defaultValue;
    return value.toString();
}

void QtSettingsStore::write(const QString& key, const QString& value) {
    if (m_mustKeepOriginal)
        moveUnreadableFileAside();
    m_settings->setValue(key, value);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw RuntimeError(RuntimeError::PathFileAccessError);
}

QString QtSettingsStore::fileName() const {
    return m_settings->fileName();
}

bool QtClipboard::clear() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return false;
    clipboard->clear();
    return true;
}

bool QtClipboard::setText(const QString& text, int /*format*/) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return false;
    clipboard->setText(text);
    return clipboard->text() == text;
}

QString QtClipboard::getText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard == nullptr ? QString() : clipboard->text();
}

void QtEventPump::processEvents() {
    QCoreApplication::processEvents();
}

QtServices::QtServices() {
    m_services.messageBox = &m_messageBox;
    m_services.inputBox = &m_inputBox;
    m_services.fileDialogs = &m_fileDialogs;
    m_services.settings = &m_settings;
    m_services.clipboard = &m_clipboard;
    m_services.events = &m_events;
    m_services.clock = &systemClock();
    m_services.random = &processRandomSource();
    m_services.spreadsheets = &m_spreadsheets;
}

QtServices::~QtServices() = default;

void QtServices::setParentWindow(QWidget* window) {
    m_messageBox.setParentWindow(window);
    m_inputBox.setParentWindow(window);
    m_fileDialogs.setParentWindow(window);
}

} // namespace platform
