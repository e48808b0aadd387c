#include "QtServices.h"

#include "platform/ApplicationTitle.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
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

// A dialog shown while the busy pointer is up has nothing busy about it: it shows the ordinary pointer,
// and the busy one comes back when it closes.
class OrdinaryPointer {
public:
    OrdinaryPointer()
        : m_overridden(QGuiApplication::overrideCursor() != nullptr) {
        if (m_overridden)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~OrdinaryPointer() {
        if (m_overridden)
            QGuiApplication::restoreOverrideCursor();
    }
    OrdinaryPointer(const OrdinaryPointer&) = delete;
    OrdinaryPointer& operator=(const OrdinaryPointer&) = delete;

private:
    bool m_overridden;
};

} // namespace

void QtMessageBox::show(const QString& text, int style, const QString& title, QWidget* owner) {
    const OrdinaryPointer pointer;
    QMessageBox box(owner != nullptr ? owner : m_parent.data());
    prepare(box, text, style, title);
    box.exec();
}

bool QtMessageBox::askYesNo(const QString& text, const QString& title) {
    const OrdinaryPointer pointer;
    QMessageBox box(QApplication::activeWindow() != nullptr ? QApplication::activeWindow() : m_parent.data());
    prepare(box, text, OkOnly, title);
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBox::prepare(QMessageBox& box, const QString& text, int style, const QString& title) {
    box.setIcon(style == Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    box.setWindowTitle(titleOrApplicationTitle(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(forDisplay(text));
    box.setStandardButtons(QMessageBox::Ok);
}

QString QtInputBox::ask(const QString& prompt, const QString& title, const QString& defaultAnswer) {
    const OrdinaryPointer pointer;
    QInputDialog dialog(m_parent);
    prepare(dialog, prompt, title, defaultAnswer);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

void QtInputBox::prepare(QInputDialog& dialog, const QString& prompt, const QString& title,
                         const QString& defaultAnswer) {
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(titleOrApplicationTitle(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
}

QString QtFileDialogs::toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            continue;
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
#ifndef Q_OS_WIN
        for (QString& pattern : patterns) {
            if (pattern == u"*.*")
                pattern = u"*"_s;
        }
#endif
        // Qt reads the patterns from the parentheses at the end of the description.
        QString description = parts[i];
        if (const qsizetype open = description.lastIndexOf(u" ("_s); open >= 0 && description.endsWith(u')'))
            description.truncate(open);
        entries.append(description + u" ("_s + patterns.join(u' ') + u')');
    }
    return entries.join(u";;"_s);
}

QStringList QtFileDialogs::typedFileNames(const QString& text, const QString& directory) {
    QStringList names;
    if (!text.contains(u'"')) {
        names.append(text);
    } else {
        // "a" "b" "c": the names are every other piece, starting with the second.
        const QStringList pieces = text.split(u'"');
        for (qsizetype i = 1; i < pieces.size(); i += 2)
            names.append(pieces[i]);
    }
    QStringList files;
    const QDir folder(directory);
    for (QString& name : names) {
        if (name.isEmpty())
            continue;
        if (name == u"~" || name.startsWith(u"~/"_s))
            name.replace(0, 1, QDir::homePath());
        files.append(folder.absoluteFilePath(name));
    }
    return files;
}

QStringList QtFileDialogs::getOpenFileNames(const QString& title, const QString& filter) {
    const OrdinaryPointer pointer;
    // A folder only, never a file: the dialog starts with an empty name every time.
    QFileDialog dialog(m_parent, title, m_lastDirectory, toQtFilter(filter));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    QStringList files = dialog.selectedFiles();
    // Qt's own dialog answers with the files its list has selected, and while names typed from another
    // folder are being completed that selection drops one of them. Its name field still holds them all,
    // as typed. (A native dialog has no such field and answers whole.)
    if (const auto* field = dialog.findChild<QLineEdit*>(u"fileNameEdit"_s); field != nullptr) {
        const QStringList typed = typedFileNames(field->text(), dialog.directory().absolutePath());
        if (!typed.isEmpty())
            files = typed;
    }
    if (!files.isEmpty())
        m_lastDirectory = QFileInfo(files.first()).absolutePath();
    return files;
}

QString QtFileDialogs::filterExtension(const QString& qtFilter) {
    const qsizetype open = qtFilter.lastIndexOf(u'(');
    if (open < 0 || !qtFilter.endsWith(u')'))
        return {};
    const QString pattern = qtFilter.sliced(open + 1).chopped(1).section(u' ', 0, 0, QString::SectionSkipEmpty);
    if (!pattern.startsWith(u"*."_s))
        return {};
    QString extension = pattern.sliced(2);
    for (const QChar wildcard : {u'*', u'?', u'['}) {
        if (extension.contains(wildcard))
            return {};
    }
    return extension;
}

void QtFileDialogs::prepare(QFileDialog& dialog, const SaveRequest& request) const {
    dialog.setWindowTitle(request.title);
    dialog.setNameFilter(toQtFilter(request.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.askBeforeReplacing);
    if (const QString remembered = m_lastSavedFile.value(request.memory); !remembered.isEmpty()) {
        dialog.setDirectory(QFileInfo(remembered).absolutePath());
        dialog.selectFile(remembered);
    } else if (!m_lastDirectory.isEmpty()) {
        dialog.setDirectory(m_lastDirectory);
    } // else the working folder, as the dialog starts
    if (request.addFilterExtension) {
        // Qt adds it before it asks about an existing file, so the question is about the file replaced.
        dialog.setDefaultSuffix(filterExtension(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& filter) { dialog.setDefaultSuffix(filterExtension(filter)); });
    }
}

namespace {

// A desktop's own dialog asks about the name as typed, and Qt adds the extension only once it has
// closed: a file that the extension alone names is asked about here.
bool mayReplace(QFileDialog& dialog, const SaveRequest& request, const QString& file) {
    const bool qtsOwnDialog = dialog.findChild<QLineEdit*>(u"fileNameEdit"_s) != nullptr;
    if (!request.askBeforeReplacing || qtsOwnDialog || !QFileInfo::exists(file))
        return true;
    const QString extension = dialog.defaultSuffix();
    dialog.setDefaultSuffix({});
    const QString typed = dialog.selectedFiles().value(0);
    dialog.setDefaultSuffix(extension);
    if (typed == file)
        return true; // the desktop's dialog asked already
    const QString question = QFileDialog::tr("%1 already exists.\nDo you want to replace it?");
    return QMessageBox::warning(dialog.parentWidget(), dialog.windowTitle(), question.arg(QFileInfo(file).fileName()),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

QString QtFileDialogs::getSaveFileName(const SaveRequest& request) {
    const OrdinaryPointer pointer;
    QFileDialog dialog(request.owner != nullptr ? request.owner : m_parent.data());
    prepare(dialog, request);
    QString file;
    do {
        if (dialog.exec() != QDialog::Accepted)
            return {};
        file = dialog.selectedFiles().value(0);
        dialog.selectFile(file); // shown again when the answer is No
    } while (!mayReplace(dialog, request, file));
    if (!file.isEmpty()) {
        m_lastSavedFile.insert(request.memory, QFileInfo(file).absoluteFilePath());
        m_lastDirectory = QFileInfo(file).absolutePath();
    }
    return file;
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
