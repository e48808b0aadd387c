#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace platform {

// File names as the system has them: bytes, not always valid UTF-8. A name read from the command line
// keeps each byte that does not decode as a lone surrogate U+DC80 to U+DCFF, which no valid text holds,
// and turns back into that byte when the name is opened; so every name opens the file it named.
QString decodeFileName(QByteArrayView bytes);
QByteArray encodeFileName(QStringView name);

// The byte that name[i] stands for, or -1 when it is a character of its own.
int escapedByte(QStringView name, qsizetype i);

} // namespace platform
