#include "StandardStreams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

ClosedStreams fillClosedStandardStreams() {
    const auto closed = [](int fd) { return ::fcntl(fd, F_GETFD) < 0 && errno == EBADF; };
    const ClosedStreams streams{closed(STDIN_FILENO), closed(STDOUT_FILENO), closed(STDERR_FILENO)};
    // Each open takes the lowest closed slot; one that cannot open leaves the rest as they are.
    for (int filled = 0; filled < streams.input + streams.output + streams.error; ++filled) {
        const int fd = ::open("/dev/null", O_RDWR);
        if (fd < 0)
            break;
        if (fd > STDERR_FILENO) {
            ::close(fd);
            break;
        }
    }
    return streams;
}

} // namespace platform
