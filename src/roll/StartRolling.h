#pragma once

// "Start Rolling" (Form1.PushButton8_Click): the current die and the two counts become the rows of
// the results list, one per roll, replacing what it held. Each roll's dice are drawn by the roll mode
// (RollModes.h) from the services' clock and random source, and the rows keep the side indices drawn
// together with the labels as they were (core::DrawRows): the list makes a row's text, the labels
// joined by " - ", when it is shown or exported.

#include "core/DrawRows.h"
#include "dice/DiceSet.h"

#include <QString>

#include <cstdint>
#include <span>

namespace core {
class ListModel;
class MousePointer;
} // namespace core

namespace platform {
struct Services;
}

namespace roll {

class KeptTickets;

// numberOfRolls and dicePerRoll are the texts of Text2 and Text1. Failures are reported through the
// procedure's trap; a count that cannot be converted, or a result that cannot fit in memory, is
// reported once and ends the command. In a mode that shows no side twice in a roll, more dice than
// sides get tooManyDiceMessage() in a message box instead, and nothing else happens.
//
// With a kept bag and the mode "Draw From A Bag", the rolls go on from the bag's tickets instead of a
// full bag, and the bag keeps what is left before the rows are shown; when it cannot, its report
// shows in a message box and the results stay empty.
void startRolling(const platform::Services& services, const core::ListModel& sides, core::ListModel& results,
                  const QString& numberOfRolls, const QString& dicePerRoll,
                  core::RollMode mode = core::RollMode::Independent, KeptTickets* kept = nullptr);

// Start Rolling of a weighted die: the same, with weights[i] the weight of the side at position i + 1
// of the sides list (one per side). Every roll draws by the weights in the roll mode (RollPlan.h), and
// the rows carry the weights in their layout. Weights that are all 1 roll exactly as above, by the
// same code; weights that cannot be rolled (dice::weightsProblem()) are shown in a message box, as are
// more dice than sides of weight above 0 in a mode without repeats, and nothing else happens. A kept
// bag holds each side's tickets, as many as it weighs in a full bag.
void startRolling(const platform::Services& services, const core::ListModel& sides, core::ListModel& results,
                  const QString& numberOfRolls, const QString& dicePerRoll, core::RollMode mode,
                  std::span<const std::uint32_t> weights, KeptTickets* kept = nullptr);

// "Roll Set": numberOfRolls (converted as Start Rolling converts Text2) rolls of a set's dice, each
// entry's die `count` times, one label per die in set order, into the results as Start Rolling puts
// them, with the busy pointer shown meanwhile. The roll mode applies per die: entries that name the
// same die share its draw, so no side of it shows twice in a roll, or its one bag. Failures go through
// a trap named `procedure` at Start Rolling's statement numbers (98 and 120 set the pointer); dice
// that cannot be rolled, or that a mode without repeats cannot fill, are shown in a message box first
// and nothing else happens.
void rollSet(const platform::Services& services, const QString& procedure, core::MousePointer& pointer,
             std::span<const dice::CountedDie> dice, core::ListModel& results, const QString& numberOfRolls,
             core::RollMode mode);

// "A roll of D dice needs at least D different sides."
QString tooManyDiceMessage(std::int64_t dice);

} // namespace roll
