#pragma once

#include "SeededGenerator.h"

#include "core/RollMode.h"
#include "roll/NoRepeatDraws.h"
#include "roll/RollPlan.h"

#include <cstdint>
#include <optional>
#include <span>
#include <variant>

namespace cli {

// How the dice of the rolls are drawn, in the roll mode: every die an independent draw, with
// replacement, of one side of the same die; or a roll without repeats, drawn as the window draws it
// (roll/NoRepeatDraws.h) with the seeded generator's picks. The dice come from calls in roll order,
// a roll in one call or in several, so whatever counts the draws takes the same place.
//
// A weighted die or several different dice are drawn by a roll::RollPlan instead, as the window
// draws them, die after die with the same picks; the sides are then the plan's labels.
class RollDraws {
public:
    // dicePerRoll is at least 1, and at most `sides` in a mode without repeats.
    RollDraws(std::uint64_t sides, core::RollMode mode = core::RollMode::Independent, std::int64_t dicePerRoll = 1);
    explicit RollDraws(roll::RollPlan plan);

    std::uint64_t sides() const { return m_side.sides(); }

    // Fills indices with the sides (from 0) of the next dice, a new roll after every dicePerRoll of them.
    void draw(SeededGenerator& generator, std::span<std::uint64_t> indices) {
        if (m_plan) {
            const auto pick = [&generator](std::uint64_t bound) { return boundedBelow(generator, bound); };
            for (std::uint64_t& index : indices)
                index = m_plan->nextDie(pick);
        } else if (auto* distinct = std::get_if<roll::DistinctDraw<std::uint64_t>>(&m_noRepeats)) {
            drawWithout(*distinct, generator, indices);
        } else if (auto* bag = std::get_if<roll::BagDraw<std::uint64_t>>(&m_noRepeats)) {
            drawWithout(*bag, generator, indices);
        } else {
            for (std::uint64_t& index : indices)
                index = m_side(generator);
        }
    }

private:
    template <class Draws>
    void drawWithout(Draws& draws, SeededGenerator& generator, std::span<std::uint64_t> indices) {
        const auto pick = [&generator](std::uint64_t bound) { return boundedBelow(generator, bound); };
        for (std::uint64_t& index : indices) {
            if (m_inRoll == m_dicePerRoll) {
                draws.startRoll(static_cast<std::size_t>(m_dicePerRoll));
                m_inRoll = 0;
            }
            index = draws.next(pick);
            ++m_inRoll;
        }
    }

    BoundedDraw m_side;
    std::variant<std::monostate, roll::DistinctDraw<std::uint64_t>, roll::BagDraw<std::uint64_t>> m_noRepeats;
    std::int64_t m_dicePerRoll;
    std::int64_t m_inRoll; // dice of the current roll drawn so far
    std::optional<roll::RollPlan> m_plan;
};

} // namespace cli
