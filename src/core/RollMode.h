#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace core {

// How a roll draws its dice. A roll keeps the mode it was drawn with, and the statistics' expectations
// follow it.
enum class RollMode : std::uint8_t {
    Independent, // every die an independent draw of any side
    Distinct,    // no side twice in one roll
    Bag,         // every side once before any side again, and no side twice in one roll
};

inline constexpr RollMode kRollModes[] = {RollMode::Independent, RollMode::Distinct, RollMode::Bag};

// The settings key that keeps the mode between runs, beside the window's own keys.
inline constexpr char16_t kRollModeKey[] = u"RollMode";

// What the user reads: "Every Die Independent", "No Side Twice In A Roll", "Draw From A Bag".
QString rollModeName(RollMode mode);
// What is stored and typed on the command line: "independent", "distinct", "bag".
QString rollModeWord(RollMode mode);
// The mode of a stored or typed word; none for any other text.
std::optional<RollMode> rollModeFromWord(QStringView word);

// True when a roll's dice must all show different sides, so a roll needs as many sides as dice.
constexpr bool drawsDifferentSides(RollMode mode) {
    return mode != RollMode::Independent;
}

} // namespace core
