#pragma once

// The platform services that need the desktop: message and input boxes and file dialogs over Qt Widgets,
// and the clipboard. QtServices hands them out with the platform's other Qt implementations. They keep
// the platform's namespace; their own library keeps Qt Widgets out of everything but the windows and
// the program's start, so the command line and the subsystems link Qt Core (the die's undo stack Qt Gui).

#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/FileDialogs.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/QtEventPump.h"
#include "platform/QtSettingsStore.h"
#include "platform/RandomSource.h"
#include "platform/Services.h"
#include "platform/XlsxSpreadsheet.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class QFileDialog;
class QInputDialog;
class QMessageBox;

namespace platform {

// The dialogs are windows of their own: they take the desktop theme's colours, not the main window's.
class QtMessageBox final : public MessageBox {
public:
    using MessageBox::show;
    void show(const QString& text, int style, const QString& title, QWidget* owner) override;
    bool askYesNo(const QString& text, const QString& title) override;
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

class QtClipboard final : public Clipboard {
public:
    bool clear() override;
    bool setText(const QString& text, int format) override;
    QString getText() override;
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
