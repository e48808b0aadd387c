#include "RollModes.h"

namespace roll {

DiceDrawer diceDrawer(core::RollMode mode, std::int32_t sides, platform::Clock& clock, platform::RandomSource& random) {
    switch (mode) {
    case core::RollMode::Distinct:
        return DistinctDice(sides, clock, random);
    case core::RollMode::Bag:
        return BagDice(sides, clock, random);
    case core::RollMode::Independent:
        break;
    }
    return IndependentDice(sides, clock, random);
}

} // namespace roll
