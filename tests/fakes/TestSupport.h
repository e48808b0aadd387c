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

// Writes the bytes to a new file at path (the test stops when it cannot) and returns the path.
QString writeFile(const QString& path, const QByteArray& bytes);

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
