#pragma once

// The ways a roll can draw its dice. A mode fills the side indices of one roll at a time; the roll
// engine calls it once per roll and depends on nothing else of it. A new mode is a class with the
// same drawRoll(), an alternative of DiceDrawer and a case in diceDrawer(); the statistics'
// expectations for it go to stats/RollLaw.

#include "RandomPick.h"

#include "core/DrawRows.h"

#include <cstdint>
#include <span>
#include <variant>

namespace roll {

// Every die an independent draw of one side, all sides equally likely, with the clock mixed into
// the generator before each draw.
class IndependentDice {
public:
    IndependentDice(std::int32_t sides, platform::Clock& clock, platform::RandomSource& random)
        : m_sides(sides)
        , m_clock(clock)
        , m_random(random) {}

    // Side indices from 0; a die with no sides gets 0, past the end of its (empty) list of labels.
    template <class Index> void drawRoll(std::span<Index> dice) {
        for (Index& die : dice)
            die = static_cast<Index>(Main::PickRandomIndex(m_sides, m_clock, m_random) - 1);
    }

private:
    std::int32_t m_sides;
    platform::Clock& m_clock;
    platform::RandomSource& m_random;
};

using DiceDrawer = std::variant<IndependentDice>;

DiceDrawer diceDrawer(core::RollMode mode, std::int32_t sides, platform::Clock& clock, platform::RandomSource& random);

} // namespace roll
