#pragma once

// Small helpers the test areas share.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/resource.h>

namespace core {
class ListModel;
}

namespace fakes {

// The texts of every item, in list order.
QStringList itemTexts(const core::ListModel& list);

// Writes the bytes to the file at path, replacing an earlier one (the test stops when it cannot), and
// returns the path.
QString writeFile(const QString& path, const QByteArray& bytes);
// The file's bytes, or "<unreadable>" when there is none to read.
QByteArray readFile(const QString& path);

// The settings file the real program reads and writes when XDG_CONFIG_HOME is configFolder.
QString settingsFileIn(const QString& configFolder);

// Lowers the file size limit while it lives, so that writes past it fail as on a full disk, even for
// root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace fakes
