#pragma once

#include "core/RollMode.h"
#include "dice/Examples.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace cli {

// The options of `quorvin-tessaly roll`. An option left out is empty here and falls back to what the
// window stored.
// A library die to roll, as --die NAME[:COUNT] gives it.
struct LibraryDie {
    QString name;
    std::int32_t count = 1;
};

struct RollOptions {
    QStringList sideFiles; // in the order given; "-" is standard input
    std::optional<dice::Example> example;
    std::optional<QString> weightedSides; // a weighted list "label<TAB>weight"
    std::vector<LibraryDie> libraryDice;  // in the order given
    std::optional<QString> librarySet;
    std::optional<std::int64_t> dice;
    std::optional<std::int64_t> rolls;
    std::optional<core::RollMode> mode;
    std::optional<std::uint64_t> seed;
    std::optional<QString> outputFile; // "-" is standard output
    bool stats = false;                // the statistics of the rolls instead of their lines
    bool history = false;              // keep the rolls in the roll history
    bool help = false;
};

inline constexpr std::int64_t kMostDice = 2147483647; // as many as the window's dice field holds

// The options given after "roll", or the one-line message of what is wrong with them.
std::variant<RollOptions, QString> parseRollOptions(const QStringList& arguments);

QString rollHelpText();

} // namespace cli
