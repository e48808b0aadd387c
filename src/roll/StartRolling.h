#pragma once

// "Start Rolling" (Form1.PushButton8_Click): the current die and the two counts become the rows of
// the results list, one per roll, replacing what it held. Each roll's dice are drawn by the roll mode
// (RollModes.h) from the services' clock and random source, and the rows keep the side indices drawn
// together with the labels as they were (core::DrawRows): the list makes a row's text, the labels
// joined by " - ", when it is shown or exported.

#include "core/DrawRows.h"

#include <QString>

namespace core {
class ListModel;
}

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

// "A roll of D dice needs at least D different sides."
QString tooManyDiceMessage(std::int64_t dice);

} // namespace roll
