#include "RollDraws.h"

namespace cli {

RollDraws::RollDraws(std::uint64_t sides, core::RollMode mode, std::int64_t dicePerRoll)
    : m_side(sides)
    , m_dicePerRoll(dicePerRoll)
    , m_inRoll(dicePerRoll) {
    switch (mode) {
    case core::RollMode::Distinct:
        m_noRepeats.emplace<roll::DistinctDraw<std::uint64_t>>(sides);
        break;
    case core::RollMode::Bag:
        m_noRepeats.emplace<roll::BagDraw<std::uint64_t>>(sides);
        break;
    case core::RollMode::Independent:
        break;
    }
}

RollDraws::RollDraws(roll::RollPlan plan)
    : m_side(1)
    , m_dicePerRoll(plan.dice())
    , m_inRoll(plan.dice())
    , m_plan(std::move(plan)) {}

} // namespace cli
