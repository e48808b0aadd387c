#include "ByteSink.h"

#include "platform/RuntimeError.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace cli {

namespace {

platform::RuntimeError writeError(int savedErrno) {
    const auto code = savedErrno == ENOSPC || savedErrno == EDQUOT ? platform::RuntimeError::DiskFull
                                                                   : platform::RuntimeError::DeviceIoError;
    return platform::RuntimeError(code, QString::fromLocal8Bit(std::strerror(savedErrno)));
}

} // namespace

bool DescriptorSink::write(std::span<const char> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
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

AtomicFileSink::AtomicFileSink(const QString& path)
    : m_file(path) {
    if (!m_file.open(QIODevice::WriteOnly))
        throw platform::RuntimeError(platform::RuntimeError::PathFileAccessError, m_file.errorString());
}

bool AtomicFileSink::write(std::span<const char> bytes) {
    if (m_file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        throw platform::RuntimeError(platform::RuntimeError::DeviceIoError, m_file.errorString());
    return true;
}

void AtomicFileSink::finish() {
    if (!m_file.commit())
        throw platform::RuntimeError(platform::RuntimeError::DeviceIoError, m_file.errorString());
}

} // namespace cli
