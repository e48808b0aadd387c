#pragma once

#include "platform/EventPump.h"

#include <chrono>

namespace core {

// About one frame: how long a long command works before the window processes its events.
inline constexpr std::chrono::microseconds kEventSlice = std::chrono::milliseconds(16);

// Lets the window process its pending events during a long command, but only once a slice of work
// (about one frame) has passed: the window stays responsive and other commands can run in between,
// without paying for the event loop at every row and cell.
class EventSlicer {
public:
    explicit EventSlicer(platform::EventPump& pump, std::chrono::microseconds slice = kEventSlice)
        : m_pump(pump)
        , m_slice(slice)
        , m_sliceStart(Clock::now()) {}

    // Call where the window may process its events. Returns false once the program is ending (the
    // window closed meanwhile): the command stops right there, without another statement. A zero slice
    // yields at every call (tests use it to run another command in the middle of a long one).
    bool maybeYield() {
        if (m_pump.quitting())
            return false;
        if (m_slice.count() == 0) {
            m_pump.processEvents();
            return !m_pump.quitting();
        }
        if (++m_calls % kCallsPerClockRead != 0)
            return true;
        const Clock::time_point now = Clock::now();
        if (now - m_sliceStart < m_slice)
            return true;
        m_pump.processEvents();
        m_sliceStart = Clock::now();
        return !m_pump.quitting();
    }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr unsigned kCallsPerClockRead = 64;

    platform::EventPump& m_pump;
    std::chrono::microseconds m_slice;
    Clock::time_point m_sliceStart;
    unsigned m_calls = 0;
};

} // namespace core
