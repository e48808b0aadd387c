#pragma once

#include "RollDraws.h"

#include "core/RollMode.h"

#include <cstdint>
#include <memory>

namespace core {
class TextRows;
struct DiceLayout;
} // namespace core

namespace cli {

class ByteSink;

// Draws the rolls as RollWriter does, in the same order from the same generator, but counts them block
// by block instead of writing them, so memory stays that of the counts whatever the number of rolls.
// Then writes their statistics as the Statistics window copies them, with LF line ends: the sides
// table and its fairness lines and, when every side is a whole number, the totals table and its own.
// False when the reader went away before the end.
// A weighted die or a set of different dice gives its layout: each die is then held to its own law, and
// a set's dice each get their own sides table.
bool writeStatistics(std::shared_ptr<const core::TextRows> sides, core::RollMode mode, RollDraws& draws,
                     SeededGenerator& generator, std::int64_t dice, std::int64_t rolls, ByteSink& sink,
                     std::shared_ptr<const core::DiceLayout> layout = {});

} // namespace cli
