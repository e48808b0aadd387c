#pragma once

#include "platform/Clock.h"
#include "platform/RandomSource.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace Main {

// A side of an n-sided die, every one of 1..n equally likely, for any n up to 2^31 - 1; 1 when n is
// below 1. The time of day is mixed into the generator before the draw, once per call.
//
// Unbiased bounded integers after Lemire: the high word of draw * n is the pick, and the few draws
// whose low word falls below 2^32 mod n are drawn again, which leaves exactly floor(2^32 / n) draws
// for every pick. Scaling a float instead cannot reach every side of a large die and favours some.
inline constexpr std::uint32_t kLargeDie = 1U << 20;

inline std::int32_t PickRandomIndex(std::int32_t n, platform::Clock& clock, platform::RandomSource& random) {
    random.reseed(clock.secondsSinceMidnight());
    const auto range = static_cast<std::uint32_t>(std::max<std::int32_t>(n, 1));
    std::uint64_t product = static_cast<std::uint64_t>(random.next()) * range;
    if (range <= kLargeDie) {
        // Small dice: the low word falls below n so rarely that the division may wait for it.
        if (static_cast<std::uint32_t>(product) < range) {
            const std::uint32_t threshold = (0U - range) % range;
            while (static_cast<std::uint32_t>(product) < threshold)
                product = static_cast<std::uint64_t>(random.next()) * range;
        }
    } else {
        // Large dice fall below n on up to half their draws, an unpredictable branch and a division each
        // time: test against the threshold itself, kept for the last die (a roll draws from one die).
        struct Threshold {
            std::uint32_t range = 0;
            std::uint32_t value = 0;
        };
        static thread_local Threshold cached;
        if (cached.range != range)
            cached = {range, (0U - range) % range};
        while (static_cast<std::uint32_t>(product) < cached.value)
            product = static_cast<std::uint64_t>(random.next()) * range;
    }
    return static_cast<std::int32_t>(product >> 32) + 1;
}

// The same with the process's clock and generator.
std::int32_t PickRandomIndex(std::int32_t n);

} // namespace Main

namespace roll {

// A whole number from 0 to bound - 1 (bound at least 1), every one equally likely, with the time of day
// mixed into the generator once first: the window's pick for the weighted draws and the dice of a set.
// A bound below 2^32 takes one 32-bit draw and gives what PickRandomIndex gives for a die of that
// many sides, less one. A larger one takes a 64-bit draw, its high 32 bits drawn first: the pick is
// the high word of the 128-bit product draw * bound, and a draw whose low word falls below
// 2^64 mod bound is drawn again, which leaves exactly floor(2^64 / bound) draws for every pick.
inline std::uint64_t pickBelow(std::uint64_t bound, platform::Clock& clock, platform::RandomSource& random) {
    random.reseed(clock.secondsSinceMidnight());
    if (bound <= std::numeric_limits<std::uint32_t>::max()) {
        // The threshold lies below the bound: only a low word below the bound needs it worked out.
        const auto range = static_cast<std::uint32_t>(bound);
        std::uint64_t product = std::uint64_t{random.next()} * range;
        if (static_cast<std::uint32_t>(product) < range) {
            const std::uint32_t threshold = (0U - range) % range;
            while (static_cast<std::uint32_t>(product) < threshold)
                product = std::uint64_t{random.next()} * range;
        }
        return product >> 32;
    }
    __extension__ typedef unsigned __int128 UInt128;
    const auto draw = [&random] {
        const std::uint64_t high = random.next();
        return (high << 32) | random.next();
    };
    UInt128 product = static_cast<UInt128>(draw()) * bound;
    if (static_cast<std::uint64_t>(product) < bound) {
        const std::uint64_t threshold = (0 - bound) % bound;
        while (static_cast<std::uint64_t>(product) < threshold)
            product = static_cast<UInt128>(draw()) * bound;
    }
    return static_cast<std::uint64_t>(product >> 64);
}

// pickBelow() with the services' clock and generator, as the draws take it. The threshold of a bound
// below 2^32 is worked out only when a draw's low word falls below the bound, and kept for the next
// picks below that bound; WeightedIndependentDraw asks for repeated() instead, which keeps it in
// registers.
class WindowPick {
public:
    WindowPick(platform::Clock& clock, platform::RandomSource& random)
        : m_clock(clock)
        , m_random(random) {}

    // Inlined into the loops that draw die after die, as PickRandomIndex is into Start Rolling's.
    [[gnu::always_inline]] std::uint64_t operator()(std::uint64_t bound) {
        if (bound > std::numeric_limits<std::uint32_t>::max()) [[unlikely]]
            return pickBelow(bound, m_clock, m_random);
        m_random.reseed(m_clock.secondsSinceMidnight());
        const auto range = static_cast<std::uint32_t>(bound);
        std::uint64_t product = std::uint64_t{m_random.next()} * range;
        if (range == m_range) {
            // The bound of the last redraw: the threshold is at hand, and a draw falls below it less
            // often than below the bound.
            while (static_cast<std::uint32_t>(product) < m_threshold)
                product = std::uint64_t{m_random.next()} * range;
        } else if (static_cast<std::uint32_t>(product) < range) {
            m_range = range;
            m_threshold = (0U - range) % range;
            while (static_cast<std::uint32_t>(product) < m_threshold)
                product = std::uint64_t{m_random.next()} * range;
        }
        return product >> 32;
    }

    // The same pick below one bound under 2^32, made again and again, for a loop that keeps the bound
    // and its threshold in registers.
    class Repeated {
    public:
        Repeated(platform::Clock& clock, platform::RandomSource& random, std::uint32_t range)
            : m_clock(clock)
            , m_random(random)
            , m_range(range)
            , m_threshold((0U - range) % range) {}
        [[gnu::always_inline]] std::uint32_t operator()() {
            m_random.reseed(m_clock.secondsSinceMidnight());
            std::uint64_t product = std::uint64_t{m_random.next()} * m_range;
            while (static_cast<std::uint32_t>(product) < m_threshold)
                product = std::uint64_t{m_random.next()} * m_range;
            return static_cast<std::uint32_t>(product >> 32);
        }

    private:
        platform::Clock& m_clock;
        platform::RandomSource& m_random;
        std::uint32_t m_range;
        std::uint32_t m_threshold;
    };
    Repeated repeated(std::uint32_t bound) const { return Repeated(m_clock, m_random, bound); }

private:
    platform::Clock& m_clock;
    platform::RandomSource& m_random;
    std::uint32_t m_range = 0;
    std::uint32_t m_threshold = 0;
};

} // namespace roll
