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

#include <QHash>
#include <QPointer>
#include <QSettings>
#include <QWidget>

#include <memory>

class QFileDialog;
class QInputDialog;
class QMessageBox;

namespace platform {

// The dialogs are windows of their own: they take the desktop theme's colours, not the main window's.
class QtMessageBox final : public MessageBox {
public:
    void show(const QString& text, int style, const QString& title) override;
    void setParentWindow(QWidget* parent) { m_parent = parent; }
    // Makes box what show() runs, so that it can be looked at without running it.
    static void prepare(QMessageBox& box, const QString& text, int style, const QString& title);

private:
    QPointer<QWidget> m_parent;
};

class QtInputBox final : public InputBox {
public:
    QString ask(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
    void setParentWindow(QWidget* parent) { m_parent = parent; }
    static void prepare(QInputDialog& dialog, const QString& prompt, const QString& title,
                        const QString& defaultAnswer);

private:
    QPointer<QWidget> m_parent;
};

class QtFileDialogs final : public FileDialogs {
public:
    QStringList getOpenFileNames(const QString& title, const QString& filter) override;
    QString getSaveFileName(const SaveRequest& request) override;
    void setParentWindow(QWidget* parent) { m_parent = parent; }
    // Makes dialog the one getSaveFileName() runs, so that it can be looked at without running it.
    void prepare(QFileDialog& dialog, const SaveRequest& request) const;

    // "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|" -> "Text Files (*.txt);;All Files (*)": a pattern
    // "*.*" stands for every file, which here would hide the names without a dot.
    static QString toQtFilter(const QString& filter);
    // "csv" for "CSV Files (*.csv)"; empty where the filter's patterns name no one extension.
    static QString filterExtension(const QString& qtFilter);
    // The files named in a dialog's name field, in the order typed: the whole text as one name, or each
    // name in double quotes; a relative name is in directory, and "~" is the home folder.
    static QStringList typedFileNames(const QString& text, const QString& directory);

private:
    QPointer<QWidget> m_parent;
    QString m_lastDirectory;                 // where a dialog without a name of its own opens
    QHash<QString, QString> m_lastSavedFile; // by SaveRequest::memory
};

// QSettings in native format, user scope: organisation "Calverin", application "Quorvin Tessaly".
//
// A settings file that cannot be read or parsed is never overwritten unseen: before the first write the
// entry at the file's place is moved aside, whole, to "<file>.bak" (or "<file>.1.bak", ... when that is
// taken), and the new file starts from whatever could be read. When even that move fails, writes raise
// RuntimeError and leave the file alone. Something that is not a file at all (a pipe, a device) is
// never opened: it is reported once, reads give their defaults and writes are dropped.
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

    std::unique_ptr<QSettings> m_settings; // none when the file is not a file
    QString m_unusableFile;
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
    void quit() override;
    bool quitting() const override { return m_quitting; }

private:
    bool m_quitting = false;
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
