#pragma once

// What fair dice lead one to expect, by roll mode: the one place where the statistics depend on how
// a roll drew its dice. A new mode is a new RollLaw and a case in rollLaw(); its drawer goes to
// roll/RollModes.h.

#include "Fairness.h"

#include "core/DrawRows.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace stats {

struct Moments {
    double mean = 0;
    double variance = 0;
};

// The exact distribution of a roll's total: probability[t - first] for every total t from first on.
struct TotalLaw {
    std::int64_t first = 0;
    std::vector<double> probability;
    Moments moments;
};

class RollLaw {
public:
    virtual ~RollLaw() = default;

    // A side's count over `rolls` rolls: of die `die` (from 1), or of every die together (0). The
    // variance is NaN where the mode gives no spread that holds for any choice of rows.
    virtual Moments sideCount(std::uint64_t rolls, std::int32_t die) const = 0;
    // Pearson's chi-square of the side counts against sideCount()'s means, read with the spread that
    // the mode gives them.
    virtual ChiSquare sidesTest(std::span<const std::uint64_t> counts, std::uint64_t rolls, std::int32_t die) const;
    // Why no chi-square test applies to this mode's rolls at all, in words for the user; empty when
    // the rolls are independent and the tests apply.
    virtual QString untestable() const { return {}; }
    // The probability that one roll shows exactly these sides, in this order.
    virtual double orderedProbability(std::span<const std::uint32_t> sides) const = 0;
    // The probability that one roll shows these sides in some order; the sides come sorted.
    virtual double unorderedProbability(std::span<const std::uint32_t> sortedSides) const = 0;
    // The law of a roll's total when side i is worth values[i]; none when it is too large to work out.
    virtual std::optional<TotalLaw> totals(std::span<const std::int64_t> values) const = 0;
    // The expected longest run of one side over `rolls` rolls, reading die `die` (or every die, 0); NaN
    // where the mode gives none that holds for any choice of rows.
    virtual double expectedLongestRun(std::uint64_t rolls, std::int32_t die) const = 0;
    // The chance of each side on one die when the sides are not alike (a weighted die); else empty.
    virtual std::vector<double> sideProbabilities() const { return {}; }
    // Each side's own count over `rolls` rolls, reading die `die` (or every die, 0), where the dice of a
    // roll are not alike (a set of different dice); else empty, and sideCount() holds for every side.
    virtual std::vector<Moments> sideCounts(std::uint64_t /*rolls*/, std::int32_t /*die*/) const { return {}; }
    // False when nothing exact is known of the rolls: every expectation is NaN, and untestable() says why.
    virtual bool exact() const { return true; }
};

// The law of a roll's dice. A layout with weights or with several kinds of die (DrawRows.h) gets the
// weighted law where it is known exactly, and otherwise one that claims nothing. A set of different
// dice is known exactly when each kind's dice are: every kind in the independent mode, and in the
// other modes every kind whose sides all weigh 1 and every weighted kind of one die without repeats.
std::unique_ptr<RollLaw> rollLaw(core::RollMode mode, std::int64_t sides, std::int32_t dice,
                                 const core::DiceLayout* layout = nullptr);

// Totals are worked out only within these bounds: a table and a chart of that many cells, and a
// convolution of that many steps.
inline constexpr std::int64_t kMaxTotalCells = std::int64_t{1} << 20;
inline constexpr double kMaxConvolutionSteps = 4e8;

// The expected longest run of one outcome in `length` independent draws, each repeating the one
// before with probability p.
double expectedLongestRun(std::uint64_t length, double p);

} // namespace stats
