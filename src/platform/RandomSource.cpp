#include "RandomSource.h"

#include <random>

namespace platform {

MixingRandomSource::MixingRandomSource(std::uint64_t seed)
    : m_counter(mix(seed))
    , m_key(mix(seed + kGamma)) {}

MixingRandomSource& processRandomSource() {
    static MixingRandomSource source([] {
        std::random_device device;
        return (static_cast<std::uint64_t>(device()) << 32) ^ device();
    }());
    return source;
}

} // namespace platform
