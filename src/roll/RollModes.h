#pragma once

// The ways a roll can draw its dice. A mode fills the side indices of one roll at a time; the roll
// engine calls it once per roll and depends on nothing else of it. A new mode is a class with the
// same drawRoll(), an alternative of DiceDrawer and a case in diceDrawer(); the statistics'
// expectations for it go to stats/RollLaw.
//
// Every random pick of every mode goes through Main::PickRandomIndex, so the clock is mixed into the
// generator before each one.

#include "NoRepeatDraws.h"
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

// A roll without repeats, drawn by Draw (DistinctDraw or BagDraw) with the window's pick. A roll
// must have no more dice than the die has sides.
template <template <class> class Draw> class NoRepeatDice {
public:
    NoRepeatDice(std::int32_t sides, platform::Clock& clock, platform::RandomSource& random)
        : m_draw(static_cast<std::uint32_t>(sides))
        , m_clock(clock)
        , m_random(random) {}

    template <class Index> void drawRoll(std::span<Index> dice) {
        const auto pick = [this](std::uint32_t bound) {
            return static_cast<std::uint32_t>(
                Main::PickRandomIndex(static_cast<std::int32_t>(bound), m_clock, m_random) - 1);
        };
        m_draw.startRoll(dice.size());
        for (Index& die : dice)
            die = static_cast<Index>(m_draw.next(pick));
    }

    Draw<std::uint32_t>& draw() { return m_draw; }

private:
    Draw<std::uint32_t> m_draw;
    platform::Clock& m_clock;
    platform::RandomSource& m_random;
};

using DistinctDice = NoRepeatDice<DistinctDraw>;
using BagDice = NoRepeatDice<BagDraw>;

using DiceDrawer = std::variant<IndependentDice, DistinctDice, BagDice>;

DiceDrawer diceDrawer(core::RollMode mode, std::int32_t sides, platform::Clock& clock, platform::RandomSource& random);

} // namespace roll
