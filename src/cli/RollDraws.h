#pragma once

#include "SeededGenerator.h"

#include <cstdint>
#include <span>

namespace cli {

// How the dice of one roll are drawn: every die an independent draw, with replacement, of one side of
// the same die. A roll's dice come from one call in roll order, so other ways of drawing a roll and
// whatever counts the draws take the same place.
class RollDraws {
public:
    explicit RollDraws(std::uint64_t sides)
        : m_side(sides) {}

    std::uint64_t sides() const { return m_side.sides(); }

    // Fills indices with the sides (from 0) of the next dice of the roll.
    void draw(SeededGenerator& generator, std::span<std::uint64_t> indices) const {
        for (std::uint64_t& index : indices)
            index = m_side(generator);
    }

private:
    BoundedDraw m_side;
};

} // namespace cli
