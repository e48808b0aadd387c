#pragma once

#include <QString>

namespace platform {

// The file of the user's settings, where the window keeps them and `roll` reads them:
// $XDG_CONFIG_HOME (or ~/.config) / Calverin / Quorvin Tessaly.conf.
QString userSettingsFile();

// What is found at a settings file's place, looked at without reading it: a pipe opened to be read
// would wait for a writer, and a device may never end.
struct SettingsFileState {
    enum Kind {
        Readable,   // a regular file, or nothing there yet
        Unreadable, // a file or folder that cannot be read as one (no permission, a folder)
        NotAFile,   // a pipe, a device or a socket: neither read nor written
    };
    Kind kind = Readable;
    QString problem; // the system's words for why it cannot be read
};
SettingsFileState probeSettingsFile(const QString& path);

} // namespace platform
