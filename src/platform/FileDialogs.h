#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Filters use the "Description|pattern|Description|pattern|" form; the adapter converts it.
// Both the side lists and the results text files are offered with this one.
inline constexpr char16_t kTextFilesFilter[] = u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|";

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Full paths in the order chosen; empty when the user cancels.
    virtual QStringList getOpenFileNames(const QString& title, const QString& filter) = 0;
    // The name as the user gave it (no extension added); empty when the user cancels.
    virtual QString getSaveFileName(const QString& title, const QString& filter) = 0;
};

} // namespace platform
