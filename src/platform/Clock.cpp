#include "Clock.h"

#include <chrono>
#include <ctime>

#if defined(__linux__)
#include <dlfcn.h>
#endif

namespace platform {

namespace {

constexpr std::int64_t kQuarterHour = 15 * 60;

std::int64_t localTimeOfDay(std::int64_t epochSeconds) {
    const std::time_t time = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &time);
#else
    localtime_r(&time, &local);
#endif
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

} // namespace

SystemClock::SystemClock() {
#if defined(__linux__) && defined(CLOCK_REALTIME_COARSE)
    // Calling the vDSO's clock directly skips the C library's wrapper, a third of the cost of a read.
    // The vDSO stays mapped for the life of the process, so the handle need not stay open.
    if (void* vdso = dlopen("linux-vdso.so.1", RTLD_NOW | RTLD_NOLOAD)) {
        m_readClock = reinterpret_cast<ReadClock>(dlsym(vdso, "__vdso_clock_gettime"));
        dlclose(vdso);
    }
#endif
}

float SystemClock::secondsSinceMidnight() {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
#if defined(CLOCK_REALTIME_COARSE)
    timespec ts{};
    if (m_readClock == nullptr || m_readClock(CLOCK_REALTIME_COARSE, &ts) != 0)
        clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    seconds = ts.tv_sec;
    nanoseconds = ts.tv_nsec;
#else
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(since);
    seconds = whole.count();
    nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since - whole).count();
#endif
    if (seconds < m_blockStart || seconds >= m_blockEnd) [[unlikely]]
        enterBlock(seconds);
    return static_cast<float>(seconds + m_midnightOffset) + static_cast<float>(nanoseconds) * 1e-9F;
}

void SystemClock::enterBlock(std::int64_t seconds) {
    m_blockStart = seconds - seconds % kQuarterHour;
    m_blockEnd = m_blockStart + kQuarterHour;
    m_midnightOffset = localTimeOfDay(m_blockStart) - m_blockStart;
}

SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace platform
