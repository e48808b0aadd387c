#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Whole-file text input. The bytes are read in one go and decoded in the system's encoding (UTF-8 on
// Linux); bytes that do not decode become U+FFFD instead of failing, and a byte-order mark is kept
// as a character like any other.

// Raises RuntimeError when the path cannot be opened as a file (a folder, no permission) or read.
QByteArray readFileBytes(const QString& path);
QString decodeSystemText(const QByteArray& bytes);

} // namespace platform
