#include "Clock.h"

#include <chrono>
#include <ctime>

namespace platform {

namespace {

constexpr std::int64_t kQuarterHour = 15 * 60;

struct Now {
    std::int64_t seconds;
    std::int64_t nanoseconds;
};

Now now() {
#if defined(CLOCK_REALTIME_COARSE)
    timespec ts{};
    clock_gettime(CLOCK_REALTIME_COARSE, &ts);
    return {ts.tv_sec, ts.tv_nsec};
#else
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    return {seconds.count(), std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count()};
#endif
}

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

float SystemClock::secondsSinceMidnight() {
    const Now current = now();
    if (current.seconds < m_blockStart || current.seconds >= m_blockEnd) {
        m_blockStart = current.seconds - current.seconds % kQuarterHour;
        m_blockEnd = m_blockStart + kQuarterHour;
        m_blockTimeOfDay = localTimeOfDay(m_blockStart);
    }
    const std::int64_t wholeSeconds = m_blockTimeOfDay + (current.seconds - m_blockStart);
    return static_cast<float>(static_cast<double>(wholeSeconds) + static_cast<double>(current.nanoseconds) * 1e-9);
}

SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace platform
