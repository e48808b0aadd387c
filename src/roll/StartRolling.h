#pragma once

// "Start Rolling" (Form1.PushButton8_Click): the current die and the two counts become result lines,
// one per roll, that replace the rows of the results list. Each die of each roll is drawn with
// Main::PickRandomIndex from the services' clock and random source.

#include <QString>

namespace core {
class ListModel;
}

namespace platform {
struct Services;
}

namespace roll {

inline constexpr char16_t kSeparator[] = u" - ";

// numberOfRolls and dicePerRoll are the texts of Text2 and Text1. Failures are reported through the
// procedure's trap; a count that cannot be converted, or a result that cannot fit in memory, is
// reported once and ends the command.
void startRolling(const platform::Services& services, const core::ListModel& sides, core::ListModel& results,
                  const QString& numberOfRolls, const QString& dicePerRoll);

} // namespace roll
