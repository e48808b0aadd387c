#pragma once

// Counting the draws of a roll: how often each side came up, the longest run of one side, the roll
// totals and the distinct result lines. Everything is read from the side indices the rows keep,
// never from their text, so a label holding " - " counts as one side.

#include "core/DrawRows.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace stats {

// The rows to count: the draws of one roll and, for ticked rows only, the rows' ticks.
struct Selection {
    core::DrawRows draws;
    std::optional<std::vector<bool>> ticked; // every row counts when absent

    std::uint64_t rowCount() const;
};

// Thrown out of a count that was cancelled.
struct Cancelled {};

// Lets another thread follow a long count and stop it. Whoever starts the count plans all of its
// steps first (the counting functions below say how many each reports), so the progress only grows;
// the counting code reports them as it goes, and a cancelled count throws Cancelled at its next step.
class Work {
public:
    // Called on the counting thread after each step with the progress so far, from 0 to 1.
    using Observer = std::function<void(double)>;

    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    double progress() const; // from 0 to 1
    void plan(std::uint64_t steps) { m_planned.fetch_add(steps, std::memory_order_relaxed); }
    void advance(std::uint64_t steps);
    void observe(Observer observer) { m_observer = std::move(observer); } // before the count starts

private:
    std::atomic<bool> m_cancelled{false};
    std::atomic<std::uint64_t> m_done{0};
    std::atomic<std::uint64_t> m_planned{0};
    Observer m_observer;
};

struct Run {
    std::uint64_t length = 0;
    std::uint32_t side = 0;
};

struct SideCounts {
    std::vector<std::uint64_t> counts; // by side
    std::uint64_t rolls = 0;           // rows counted
    std::uint64_t draws = 0;           // dice counted
    Run longestRun;                    // in list order, die after die
};

// Counts die `die` (from 1), or every die (0), of the selected rows. Steps: one per row.
SideCounts countSides(const Selection& selection, std::int32_t die, Work& work);

// The side counts and the roll totals of rolls counted as they are drawn, block by block, for rolls
// too many to keep: memory stays that of the counts whatever the number of rolls.
class RunningCounts {
public:
    // Rolls of `dice` dice over `sides` sides (both at least 1). With each side's worth above its die's
    // lowest, the totals are counted too, in `totalCells` cells as countTotals() counts them.
    RunningCounts(std::int64_t sides, std::int32_t dice, std::span<const std::int64_t> above = {},
                  std::int64_t totalCells = 0);

    // The next dice in roll order, each a side from 0: a roll in one call or spread over several.
    void add(std::span<const std::uint64_t> sides);

    // Of every die added; rolls counts the whole rolls.
    const SideCounts& sides() const { return m_sides; }
    // By cell, as countTotals(); empty without values.
    const std::vector<std::uint64_t>& totals() const { return m_totals; }

private:
    SideCounts m_sides;
    std::vector<std::uint64_t> m_totals;
    std::vector<std::int64_t> m_above; // each side's value above the lowest
    std::int32_t m_dice;
    std::int32_t m_inRoll = 0; // dice of the current roll counted so far
    std::int64_t m_cell = 0;   // the current roll's total so far, less its dice's lowest values; -1 when out
    Run m_run;                 // the run that the next die may go on
};

// How many selected rows have each total, by cell: the sum of each die's worth above the lowest value
// that die can show, above[side], so cell 0 holds the lowest total a law gives. A row beyond the cells
// or with a side that cannot come up (above -1: a side of weight 0 that came up all the same) is not
// counted. Steps: one per row.
std::vector<std::uint64_t> countTotals(const Selection& selection, std::span<const std::int64_t> above,
                                       std::int64_t cells, Work& work);

// The distinct result lines of the selected rows, the largest count first and lines of equal count
// in the sides' list order. With ignoreOrder a line is the multiset of its sides, sorted.
class Combinations {
public:
    std::int64_t size() const;
    std::uint64_t count(std::int64_t rank) const;
    // The sides of the line at that rank, in the order drawn (sorted when order is ignored).
    void sides(std::int64_t rank, std::vector<std::uint32_t>& out) const;
    std::uint64_t rolls() const { return m_rolls; }
    bool ignoresOrder() const { return m_ignoreOrder; }
    std::size_t bytesUsed() const;

private:
    friend Combinations countCombinations(const Selection&, bool, Work&);
    struct Keyed {
        std::uint64_t key;
        std::uint64_t count;
    };
    struct Repeated {
        std::uint32_t row;
        std::uint32_t count;
    };

    core::DrawRows m_draws; // the roll's draws, shared: the sides of a line are read from a row showing it
    bool m_ignoreOrder = false;
    std::uint64_t m_rolls = 0;
    // Few possible lines: every line counted under its number, sides as digits of base `sides`.
    bool m_dense = false;
    std::vector<Keyed> m_keyed;
    // Many: the lines that came more than once, by a row showing each, then those that came once.
    std::vector<Repeated> m_repeated;
    std::vector<std::uint32_t> m_singles;
};

// Steps: combinationSteps(selection), one per row and the rest for sorting the lines. Throws
// std::length_error for more rows than 32-bit row numbers reach.
Combinations countCombinations(const Selection& selection, bool ignoreOrder, Work& work);
std::uint64_t combinationSteps(const Selection& selection);

} // namespace stats
