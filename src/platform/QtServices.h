#pragma once

#include "Clipboard.h"
#include "Clock.h"
#include "EventPump.h"
#include "FileDialogs.h"
#include "InputBox.h"
#include "MessageBox.h"
#include "RandomSource.h"
#include "Services.h"
#include "SettingsStore.h"
#include "XlsxSpreadsheet.h"

#include <QPointer>
#include <QSettings>
#include <QWidget>

#include <memory>

namespace platform {

class QtMessageBox final : public MessageBox {
public:
    void show(const QString& text, int style, const QString& title) override;
    void setParentWindow(QWidget* parent) { m_parent = parent; }

private:
    QPointer<QWidget> m_parent;
};

class QtInputBox final : public InputBox {
public:
    QString ask(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
    void setParentWindow(QWidget* parent) { m_parent = parent; }

private:
    QPointer<QWidget> m_parent;
};

class QtFileDialogs final : public FileDialogs {
public:
    QStringList getOpenFileNames(const QString& title, const QString& filter) override;
    QString getSaveFileName(const QString& title, const QString& filter) override;
    void setParentWindow(QWidget* parent) { m_parent = parent; }

    // "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|" -> "Text Files (*.txt);;All Files (*.*)"
    static QString toQtFilter(const QString& filter);

private:
    QPointer<QWidget> m_parent;
    QString m_lastDirectory;
};

// QSettings in native format, user scope: organisation "Calverin", application "Quorvin Tessaly".
//
// A settings file that cannot be read or parsed is never overwritten unseen: before the first write the
// entry at the file's place is moved aside, whole, to "<file>.bak" (or "<file>.1.bak", ... when that is
// taken), and the new file starts from whatever could be read. When even that move fails, writes raise
// RuntimeError and leave the file alone.
class QtSettingsStore final : public SettingsStore {
public:
    QtSettingsStore();
    explicit QtSettingsStore(const QString& fileName); // that INI file instead
    ~QtSettingsStore() override;
    QString read(const QString& key, const QString& defaultValue) override;
    void write(const QString& key, const QString& value) override;
    QString fileName() const;
    // Where an unreadable file went; empty when none did.
    const QString& backupFileName() const { return m_backup; }

private:
    void checkLoaded();
    void moveUnreadableFileAside();

    std::unique_ptr<QSettings> m_settings;
    bool m_mustKeepOriginal = false;
    QString m_backup;
};

class QtClipboard final : public Clipboard {
public:
    bool clear() override;
    bool setText(const QString& text, int format) override;
    QString getText() override;
};

class QtEventPump final : public EventPump {
public:
    void processEvents() override;
};

// Owns one of each Qt implementation and hands them out as Services; the clock and the random source
// are the process-wide ones.
class QtServices {
public:
    QtServices();
    ~QtServices();
    Services& services() { return m_services; }
    void setParentWindow(QWidget* window);

private:
    QtMessageBox m_messageBox;
    QtInputBox m_inputBox;
    QtFileDialogs m_fileDialogs;
    QtSettingsStore m_settings;
    QtClipboard m_clipboard;
    QtEventPump m_events;
    XlsxSpreadsheets m_spreadsheets;
    Services m_services;
};

} // namespace platform
