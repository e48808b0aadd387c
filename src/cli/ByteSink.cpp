#include "ByteSink.h"

#include "platform/FileName.h"
#include "platform/RuntimeError.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

using platform::RuntimeError;

RuntimeError systemError(RuntimeError::Code code, int savedErrno) {
    return RuntimeError(code, QString::fromLocal8Bit(std::strerror(savedErrno)));
}

RuntimeError writeError(int savedErrno) {
    const bool full = savedErrno == ENOSPC || savedErrno == EDQUOT || savedErrno == EFBIG;
    return systemError(full ? RuntimeError::DiskFull : RuntimeError::DeviceIoError, savedErrno);
}

RuntimeError openError(int savedErrno) {
    const bool denied = savedErrno == EACCES || savedErrno == EPERM || savedErrno == EROFS;
    return systemError(denied ? RuntimeError::PermissionDenied : RuntimeError::PathFileAccessError, savedErrno);
}

// False when the reader has gone.
bool writeAll(int fd, std::span<const char> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EPIPE)
                return false;
            throw writeError(errno);
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// The descriptor a name spells out: /dev/stdin, /dev/stdout, /dev/stderr, /dev/fd/N or /proc/P/fd/N
// (P this process, "self" or one of its threads); -1 for any other name.
int descriptorOf(const QByteArray& path) {
    if (path == "/dev/stdin" || path == "/dev/stdout" || path == "/dev/stderr")
        return path == "/dev/stdin" ? 0 : path == "/dev/stdout" ? 1 : 2;
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = path.first(std::max<qsizetype>(slash, 0));
    const QByteArray number = path.sliced(slash + 1);
    bool isNumber = !number.isEmpty() && number.size() < 10;
    for (const char c : number)
        isNumber = isNumber && c >= '0' && c <= '9';
    if (!isNumber)
        return -1;
    const QByteArray process = "/proc/" + QByteArray::number(::getpid());
    const QByteArray tasks = process + "/task/";
    const bool ownFolder = folder == "/dev/fd" || folder == "/proc/self/fd" || folder == "/proc/thread-self/fd" ||
                           folder == process + "/fd" || (folder.startsWith(tasks) && folder.endsWith("/fd"));
    return ownFolder ? number.toInt() : -1;
}

// The name with its folder's links resolved, so that a link to /dev or /proc/self shows.
QByteArray withRealFolder(const QByteArray& name) {
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : name.first(slash);
    char real[PATH_MAX];
    if (::realpath(folder.constData(), real) == nullptr)
        return name;
    QByteArray resolved(real);
    if (!resolved.endsWith('/'))
        resolved += '/';
    return resolved + name.sliced(slash + 1);
}

// Follows the links from name: the descriptor one of them names, or -1 with `end` set to where they end.
int descriptorReached(QByteArray name, QByteArray& end) {
    for (int hop = 0; hop < 40; ++hop) {
        const QByteArray resolved = withRealFolder(name);
        if (const int fd = descriptorOf(resolved); fd >= 0)
            return fd;
        struct stat info {};
        if (::lstat(name.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(name.constData(), target.data(), static_cast<std::size_t>(target.size()));
        if (length < 0)
            break;
        target.truncate(length);
        if (!target.startsWith('/'))
            target = resolved.first(resolved.lastIndexOf('/') + 1) + target;
        name = target;
    }
    end = name;
    return -1;
}

} // namespace

bool DescriptorSink::write(std::span<const char> bytes) {
    return writeAll(m_fd, bytes);
}

bool DescriptorSink::isTerminal() const {
    return ::isatty(m_fd) == 1;
}

OutputFileSink::OutputFileSink(const QString& name) {
    const QByteArray bytes = platform::encodeFileName(name);
    if (bytes.isEmpty() || bytes.contains('\0'))
        throw openError(ENOENT);
    QByteArray end;
    if (const int fd = descriptorReached(bytes, end); fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
            throw openError(EBADF);
        m_fd = fd;
        return;
    }

    struct stat existing {};
    const bool exists = ::stat(end.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        throw openError(EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) {
        do {
            m_fd = ::open(end.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        } while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0)
            throw openError(errno);
        m_ownsDescriptor = true;
        return;
    }

    for (int attempt = 0; m_fd < 0; ++attempt) {
        const QByteArray suffix = QByteArray::number(QRandomGenerator::global()->generate64(), 36);
        m_temporary = end + '.' + suffix;
        // Created as a new file would be (0666 less the umask); an earlier file's permissions carry over.
        m_fd = ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (m_fd < 0 && (errno != EEXIST || attempt == 100)) {
            m_temporary.clear();
            throw openError(errno);
        }
    }
    m_ownsDescriptor = true;
    m_target = end;
    if (exists)
        ::fchmod(m_fd, existing.st_mode & 07777);
}

OutputFileSink::~OutputFileSink() {
    if (m_ownsDescriptor && m_fd >= 0)
        ::close(m_fd);
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
}

bool OutputFileSink::write(std::span<const char> bytes) {
    return writeAll(m_fd, bytes);
}

void OutputFileSink::finish() {
    if (!m_ownsDescriptor)
        return;
    // A file system that reports a full disk only when the data reaches it does so here.
    if (!m_temporary.isEmpty() && ::fsync(m_fd) != 0)
        throw writeError(errno);
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0 && errno != EINTR)
        throw writeError(errno);
    if (m_temporary.isEmpty())
        return;
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        throw openError(errno);
    m_temporary.clear();
}

bool OutputFileSink::isTerminal() const {
    return m_temporary.isEmpty() && ::isatty(m_fd) == 1;
}

} // namespace cli
