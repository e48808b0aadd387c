#pragma once

// The command line's random draws. Both the generator and the way a draw becomes a side are fixed for
// good: a seed must give the same rolls on every machine and in every later version, so neither may
// change, not even to something better.
//
// Generator: xoshiro256** 1.0 (Blackman and Vigna), its four 64-bit state words being the first four
// outputs of SplitMix64 started from the seed.
// Side of an n-sided die: Lemire's multiply-and-reject on 64-bit draws. The pick is the high word of
// the 128-bit product draw * n; a draw whose low word falls below 2^64 mod n is drawn again, which
// leaves exactly floor(2^64 / n) draws for every side, so every side is exactly equally likely.

#include <array>
#include <bit>
#include <cstdint>

namespace cli {

__extension__ typedef unsigned __int128 UInt128; // GCC and Clang on 64-bit targets

class SeededGenerator {
public:
    explicit SeededGenerator(std::uint64_t seed) {
        std::uint64_t splitMix = seed;
        for (std::uint64_t& word : m_state) {
            splitMix += 0x9e3779b97f4a7c15ULL;
            std::uint64_t z = splitMix;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
            word = z ^ (z >> 31);
        }
    }

    // Straight from a state, as the generator's published reference outputs are given.
    static SeededGenerator fromState(const std::array<std::uint64_t, 4>& state) {
        SeededGenerator generator(0);
        generator.m_state = state;
        return generator;
    }

    std::uint64_t next() {
        std::array<std::uint64_t, 4>& s = m_state;
        const std::uint64_t result = std::rotl(s[1] * 5, 7) * 9;
        const std::uint64_t t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = std::rotl(s[3], 45);
        return result;
    }

private:
    std::array<std::uint64_t, 4> m_state{};
};

// A die of n sides (n at least 1) with its rejection threshold worked out once.
class BoundedDraw {
public:
    explicit BoundedDraw(std::uint64_t sides)
        : m_sides(sides)
        , m_threshold((0 - sides) % sides) {}

    std::uint64_t sides() const { return m_sides; }

    // A side from 0 to n - 1.
    std::uint64_t operator()(SeededGenerator& generator) const {
        UInt128 product = static_cast<UInt128>(generator.next()) * m_sides;
        while (static_cast<std::uint64_t>(product) < m_threshold)
            product = static_cast<UInt128>(generator.next()) * m_sides;
        return static_cast<std::uint64_t>(product >> 64);
    }

private:
    std::uint64_t m_sides;
    std::uint64_t m_threshold; // 2^64 mod n
};

// The same pick for a die whose size changes from draw to draw (n at least 1). The threshold is below
// n, so a draw whose low word reaches n is kept without it: it is worked out only in the rare other
// case, and the picks are those of BoundedDraw.
inline std::uint64_t boundedBelow(SeededGenerator& generator, std::uint64_t n) {
    UInt128 product = static_cast<UInt128>(generator.next()) * n;
    if (static_cast<std::uint64_t>(product) < n) {
        const std::uint64_t threshold = (0 - n) % n;
        while (static_cast<std::uint64_t>(product) < threshold)
            product = static_cast<UInt128>(generator.next()) * n;
    }
    return static_cast<std::uint64_t>(product >> 64);
}

} // namespace cli
