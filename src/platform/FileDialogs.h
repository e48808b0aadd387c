#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

// Filters use the "Description|pattern|Description|pattern|" form; the adapter converts it.
// Both the side lists and the results text files are offered with this one.
inline constexpr char16_t kTextFilesFilter[] = u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|";

// What one save dialog asks for. Each command keeps its own last name: a dialog never offers the file
// that another one saved, which Enter would then replace.
struct SaveRequest {
    QString title;
    QString filter;
    QString memory; // the remembered name this dialog offers again; one per command
    bool askBeforeReplacing = false;
    bool addFilterExtension = false; // a name typed without an extension gets the chosen filter's
    QWidget* owner = nullptr;        // the window the dialog belongs to; none: the main window
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Full paths in the order chosen; empty when the user cancels.
    virtual QStringList getOpenFileNames(const QString& title, const QString& filter) = 0;
    // The full name chosen; empty when the user cancels.
    virtual QString getSaveFileName(const SaveRequest& request) = 0;
};

// The plain report of a save that failed, for the commands that are not the window's own procedures:
// Could not save "/x/sides.txt": Permission denied.
QString saveFailureText(const QString& path, const QString& reason);

} // namespace platform
