#pragma once

// A set of different dice rolled together: "2 × Six, 1 × Coin". The set names its dice; the library
// finds them (library/Library.h) and the roll engine rolls the dice it found (roll/SetRolling.h), one
// label per die in set order.

#include "Die.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace dice {

// As many dice as a roll can hold, the most the dice field takes.
inline constexpr std::int64_t kMostDicePerRoll = 2147483647;

struct SetEntry {
    QString die;            // the die's name in the library
    std::int32_t count = 1; // at least 1

    bool operator==(const SetEntry&) const = default;
};

struct DiceSet {
    QString name;
    std::vector<SetEntry> entries; // in roll order; one die may be named by several entries

    std::int64_t diceCount() const; // dice per roll: the counts added up
};

// "2 × Six, 1 × Coin".
QString setSummary(const DiceSet& set);

// The entries of a summary as a person types it: split at commas, each "COUNT × NAME" (also "x" or
// "*" for "×", with or without spaces) or a bare name for one die. A name that holds a comma cannot be
// typed here. Sets problem, in words, and returns nothing when a piece cannot be read.
std::optional<std::vector<SetEntry>> parseSetSummary(QStringView text, QString& problem);
// What keeps the set from being rolled or stored, in words for the user; empty when nothing does.
QString setProblem(const DiceSet& set);

// One entry of a set with the die it names, as the roll engine takes it.
struct CountedDie {
    Die die;
    std::int32_t count = 1;
};

} // namespace dice
