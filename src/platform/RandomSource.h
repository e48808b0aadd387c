#pragma once

#include <bit>
#include <cstdint>

namespace platform {

// The random source behind the random pick: one generator whose state lasts from draw to draw.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Mixes a time value into the current state. Part of the state survives, so reseeding again with
    // the same value (several draws within one clock tick) continues the sequence instead of
    // restarting it.
    virtual void reseed(float timeOfDay) = 0;
    // The next 32 uniformly distributed bits.
    virtual std::uint32_t next() = 0;
};

// A counter-based generator with 160 bits of state: a 64-bit Weyl counter, a 64-bit key and the last
// time value. Each draw is the SplitMix64 output function of counter + key, so between reseeds the
// draws are a SplitMix64 stream. A reseed with a new time value folds it, the counter and the old key
// into a new key; the same time value again changes nothing, so the counter simply runs on.
class MixingRandomSource final : public RandomSource {
public:
    explicit MixingRandomSource(std::uint64_t seed);

    void reseed(float timeOfDay) override {
        const auto bits = std::bit_cast<std::uint32_t>(timeOfDay);
        if (bits == m_lastTime)
            return;
        m_lastTime = bits;
        m_key = mix(m_key ^ (static_cast<std::uint64_t>(bits) * kGamma) ^ m_counter);
    }

    std::uint32_t next() override {
        m_counter += kGamma;
        return static_cast<std::uint32_t>(mix(m_counter + m_key) >> 32);
    }

    static std::uint64_t mix(std::uint64_t z) {
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

private:
    static constexpr std::uint64_t kGamma = 0x9e3779b97f4a7c15ULL;
    std::uint64_t m_counter = 0;
    std::uint64_t m_key = 0;
    std::uint32_t m_lastTime = 0xffffffffU; // a NaN, which no clock reports
};

// The one generator of the process, seeded from the operating system's entropy at first use.
MixingRandomSource& processRandomSource();

} // namespace platform
