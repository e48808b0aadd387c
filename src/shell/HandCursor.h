#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace Main {

// Loads a Windows cursor file (.cur) as a pointer, hot spot included. Raises
// platform::RuntimeError when the file cannot be read or decoded.
QCursor LoadCursorFile(const QString& path);

} // namespace Main
