#pragma once

#include <cstdint>

namespace platform {

// The time of day the random pick mixes into its generator before every draw.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since local midnight, with the fraction.
    virtual float secondsSinceMidnight() = 0;
};

// The real clock. It is read once per die, so it uses the kernel's coarse clock (a few milliseconds
// of resolution, about as fine as a float of up to 86400 seconds can tell anyway) and asks the time
// zone only once per quarter hour: every UTC offset and every daylight-saving switch falls on one.
class SystemClock final : public Clock {
public:
    SystemClock();
    float secondsSinceMidnight() override;

private:
    void enterBlock(std::int64_t seconds);

    using ReadClock = int (*)(int, void*);
    ReadClock m_readClock = nullptr; // the kernel's own entry point when it can be had
    std::int64_t m_blockStart = 0;   // the current quarter hour, in seconds since the epoch
    std::int64_t m_blockEnd = 0;
    std::int64_t m_midnightOffset = 0; // local seconds since midnight = epoch seconds + this
};

// The one clock of the process.
SystemClock& systemClock();

} // namespace platform
