#pragma once

// A die as the library keeps it: a name, its side labels in order and a whole-number weight per side.
// A side of weight w in a die of total weight W comes up with probability w / W when the die is rolled
// independently (roll/WeightedDraws.h). A die whose weights are all 1 is an ordinary die and rolls
// exactly as the sides list does.

#include "core/TextRows.h"

#include <QLocale>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace dice {

inline constexpr std::uint32_t kMostWeight = 1'000'000'000;
inline constexpr std::uint64_t kMostTotalWeight = std::uint64_t{1} << 63;

// For a die's weights, one per side: whether some side weighs other than 1; their sum, or
// kMostTotalWeight + 1 when it passes kMostTotalWeight; how many sides can come up (weight above 0).
bool isWeighted(std::span<const std::uint32_t> weights);
std::uint64_t totalWeight(std::span<const std::uint32_t> weights);
std::int64_t drawableSides(std::span<const std::uint32_t> weights);

struct Die {
    QString name;                       // empty for the sides list's own die
    core::TextRows labels;              // non-empty and all different, as the sides list holds them
    std::vector<std::uint32_t> weights; // one per label, each 0 to kMostWeight

    std::int64_t sideCount() const { return labels.size(); }
    void append(QStringView label, std::uint32_t weight = 1) {
        labels.append(label);
        weights.push_back(weight);
    }
    bool weighted() const { return isWeighted(weights); }
    std::uint64_t totalWeight() const { return dice::totalWeight(weights); }
    std::int64_t drawableSides() const { return dice::drawableSides(weights); }
};

// What keeps the die from being rolled or stored, in words for the user ("Side 4 has no label."); empty
// when there is nothing. The name is not checked here: that is the library's (library/Names.h).
QString dieProblem(const Die& die);

// The same for weights alone, beside labels that are known to be fine: one per side, each at most
// kMostWeight, at least one above 0, the total at most kMostTotalWeight.
QString weightsProblem(std::span<const std::uint32_t> weights, std::int64_t sideCount);

// A side's share of the tickets, as the library window shows it: "3 of 10 (30%)". The percentage is
// rounded to a whole number, except that a share that is neither none nor all never reads "0%" or
// "100%" ("<1%", ">99%"). Numbers follow the locale.
QString weightShareText(std::uint64_t weight, std::uint64_t total, const QLocale& locale = QLocale());

// A weight as a person types it: decimal digits with spaces around them, 0 to kMostWeight.
std::optional<std::uint32_t> parseWeight(QStringView text);

} // namespace dice
