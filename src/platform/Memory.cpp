#include "Memory.h"

#include <QFile>

#include <limits>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

using namespace Qt::StringLiterals;

namespace platform {

namespace {

// "MemAvailable:   12345678 kB" from /proc/meminfo, when the kernel reports it.
std::uint64_t memAvailableFromProc() {
    QFile file(u"/proc/meminfo"_s);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.startsWith("MemAvailable:"))
            continue;
        const QByteArray number = line.mid(13).trimmed().split(' ').value(0);
        bool ok = false;
        const qulonglong kilobytes = number.toULongLong(&ok);
        return ok ? static_cast<std::uint64_t>(kilobytes) * 1024 : 0;
    }
    return 0;
}

} // namespace

std::uint64_t availableMemoryBytes() {
    if (const std::uint64_t available = memAvailableFromProc(); available > 0)
        return available;
#if defined(Q_OS_UNIX) && defined(_SC_PHYS_PAGES)
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#endif
    return std::numeric_limits<std::uint64_t>::max();
}

} // namespace platform
