#pragma once

#include <QString>
#include <QStringView>

namespace core {
class ListModel;
}

namespace platform {
class MessageBox;
}

// The dice subsystem's shared procedures of the Main module.
namespace Main {

// True when an item of the list has exactly this text (whole text, case-sensitive). Constant time on
// a list whose text index is enabled, as the sides list's is.
bool ListviewContainsText(const core::ListModel& list, QStringView text);

// Appends the lines of a side-list file to the list. CR, CR LF and a lone LF each end a line; an
// empty line is skipped, any other line is a side exactly as written (no trimming); a line already
// listed, or met earlier in the file, is skipped. A path that names nothing shows "File not found"
// and adds nothing. Raises RuntimeError when the path cannot be read (a folder, a pipe or device, no
// permission, a read error); the lines read before a read error stay added. A file longer than
// kMostSideListBytes raises OutOfMemory. The file is read in chunks: memory follows the lines kept, not
// the file's size.
void LoadListviewFromTextFile(core::ListModel& list, const QString& path, platform::MessageBox& messageBox);

// Collapses doubled backslashes left to right ("\\" -> "\", a run of three -> two, four -> two). A path
// that starts with a backslash becomes a network path: its leading run is exactly two backslashes.
QString FixPathBackslashes(const QString& path);

// Repairs the separators of a path that the platform joined from a directory and a file name, so that
// a directory ending in a separator (a root folder) does not leave a doubled one.
QString FixPathSeparators(const QString& path);

} // namespace Main
