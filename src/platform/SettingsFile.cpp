#include "SettingsFile.h"

#include "FileName.h"
#include "Identity.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace platform {

QString userSettingsFile() {
    // The folder QSettings picks for the user scope.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString folder = configured.isEmpty()          ? QDir::homePath() + u"/.config"_s
                           : configured.startsWith(u'/') ? configured
                                                         : QDir::homePath() + u'/' + configured;
    return folder + u'/' + QString::fromUtf16(kOrganizationName) + u'/' + QString::fromUtf16(kApplicationName) +
           u".conf"_s;
}

SettingsFileState probeSettingsFile(const QString& path) {
    const auto failed = [](SettingsFileState::Kind kind, int savedErrno) {
        return SettingsFileState{kind, QString::fromLocal8Bit(std::strerror(savedErrno))};
    };
    int fd = -1;
    do {
        // Non-blocking: a pipe without a writer opens at once instead of waiting.
        fd = ::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return failed(errno == ENXIO ? SettingsFileState::NotAFile : SettingsFileState::Unreadable, errno);
    }
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    const int savedErrno = errno;
    ::close(fd);
    if (!known)
        return failed(SettingsFileState::Unreadable, savedErrno);
    if (S_ISDIR(info.st_mode))
        return failed(SettingsFileState::Unreadable, EISDIR);
    if (!S_ISREG(info.st_mode))
        return {SettingsFileState::NotAFile, u"not a regular file"_s};
    return {};
}

} // namespace platform
