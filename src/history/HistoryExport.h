#pragma once

// An entry as a text file: the aligned lines of "Save Results As Text File" for every row, under the
// results list's header, then one line with the entry's fingerprint.

#include <QString>
#include <QStringView>

#include <functional>

namespace core {
class DrawRows;
}

namespace history {

// "SHA-256 of the copied rows: <hex>"
QString fingerprintLine(const QString& fingerprint);

// The lines, each without its end.
void writeEntryText(const core::DrawRows& rows, const QString& fingerprint,
                    const std::function<void(QStringView)>& writeLine);
// The same into a file, replaced only once it is complete, in the text export's encoding and line ends.
// Throws platform::RuntimeError in plain words: `Could not save "/x/roll.txt": Disk full.`
void exportEntryText(const core::DrawRows& rows, const QString& fingerprint, const QString& path);

} // namespace history
