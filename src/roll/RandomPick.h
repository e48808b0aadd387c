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
// A bound up to 2^31 - 1 is picked as PickRandomIndex picks a side. A larger one takes a 64-bit draw,
// its high 32 bits drawn first: the pick is the high word of the 128-bit product draw * bound, and a
// draw whose low word falls below 2^64 mod bound is drawn again, which leaves exactly
// floor(2^64 / bound) draws for every pick.
inline std::uint64_t pickBelow(std::uint64_t bound, platform::Clock& clock, platform::RandomSource& random) {
    if (bound <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return static_cast<std::uint64_t>(Main::PickRandomIndex(static_cast<std::int32_t>(bound), clock, random) - 1);
    __extension__ typedef unsigned __int128 UInt128;
    random.reseed(clock.secondsSinceMidnight());
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

// pickBelow() with the services' clock and generator, as the draws take it.
struct WindowPick {
    platform::Clock& clock;
    platform::RandomSource& random;
    std::uint64_t operator()(std::uint64_t bound) const { return pickBelow(bound, clock, random); }
};

} // namespace roll
