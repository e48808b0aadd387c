#include "RandomPick.h"

namespace Main {

std::int32_t PickRandomIndex(std::int32_t n) {
    return PickRandomIndex(n, platform::systemClock(), platform::processRandomSource());
}

} // namespace Main
