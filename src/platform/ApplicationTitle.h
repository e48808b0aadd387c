#pragma once

#include <QString>

namespace platform {

// The caption of every message box and input prompt that names no title of its own.
// Kept apart from QGuiApplication::applicationDisplayName, which Qt appends to window captions.
QString applicationTitle();
void setApplicationTitle(const QString& title);

} // namespace platform
