#pragma once

// The statistics of a roll's rows: how often each side came up, the distinct result lines, the roll
// totals, and Pearson's chi-square test of fairness, each next to what fair dice are expected to
// give under the roll's mode (RollLaw.h). A plain class: the Statistics window computes it on a
// worker thread and shows it, and the command line can print it with Export.h.
//
// Counting happens in Counting.h from the side indices the rows keep; the tables of text that the
// results are shown, copied and saved as are in Tables.h. Rolls too many to keep, as the command line
// rolls them, are counted as they are drawn into a Tally, which gives the same statistics.

#include "Counting.h"
#include "Fairness.h"
#include "RollLaw.h"
#include "Tables.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace stats {

class Tally;

class Statistics {
public:
    enum class View { Sides, Combinations, Totals };
    struct Options {
        View view = View::Sides;
        std::int32_t die = 0; // the sides of die k (from 1), or of every die (0)
        bool ignoreOrder = false;
    };

    // Counts what the view shows. Throws Cancelled when the work is cancelled.
    static Statistics compute(const Selection& selection, const Options& options, Work& work);
    // The same of the rolls tallied so far, over every die or one die (from 1) where the tally counts
    // them apart, in the sides or the totals view.
    static Statistics compute(const Tally& tally, View view, std::int32_t die = 0);

    // Why there is nothing to show, in words for the user; empty when there is a table.
    const QString& emptyReason() const { return m_emptyReason; }
    std::shared_ptr<const Table> table() const { return m_table; }

    std::uint64_t rolls() const { return m_rolls; }
    std::int32_t dicePerRoll() const { return m_dice; }
    // The test the view stands on: of the side counts, or of the totals in the totals view.
    const ChiSquare& chiSquare() const { return m_view == View::Totals ? m_totalsTest : m_sidesTest; }
    const Run& longestRun() const { return m_sides.longestRun; }
    double expectedLongestRun() const { return m_expectedLongestRun; }

    // Everything summary() says, as named values that follow the table when it is copied or saved:
    // first "Rolls", "Dice per roll", "Roll mode", "Chi-square", "Degrees of freedom" and "p-value" of
    // the view's test, then its note, the rows and dice counted, the other test, the totals' mean and
    // spread, the longest run and how to read a p-value.
    QList<std::pair<QString, QString>> fairnessLines() const;
    // Plain sentences: the tests and their caveats, the totals' mean and spread (or why the totals are
    // left out), the longest run, reading a p-value.
    QStringList summary() const;

    // The chart of the view: observed and expected counts by row of the table, before any sorting
    // and without its total row. Totals are drawn as a histogram with the exact distribution over it.
    struct Chart {
        bool histogram = false;
        std::vector<double> observed;
        std::vector<double> expected;
        std::int64_t binSize = 1; // rows of the table per bar

        // This chart, unbinned, in at most `bars` bars (at least 1): neighbouring rows joined into bins
        // of binSize rows (the last may hold fewer), each the mean count of its rows against their mean
        // expectation, so that a bar stands for values the rows have rather than for their highest.
        Chart binned(std::int64_t bars) const;
    };
    const Chart& chart() const { return m_chart; }

    static const QString kNothingToCount;
    static const QString kNoTickedRows;
    static const QString kNoSides;

private:
    static Statistics start(const core::DrawRows& draws, View view, std::optional<std::vector<std::int64_t>> values);
    // What follows the count of the sides (and of the totals, when their law is known): the tests and
    // expectations of the roll's mode, and the view's table and chart, but for combinations.
    void complete(const RollLaw& law, const std::optional<TotalLaw>& totals, std::vector<std::uint64_t> totalCounts);

    // The sentence on a test: its result and caveat, or why it does not apply.
    QString testSentence(bool totals) const;
    QString impossibleSentence() const;

    View m_view = View::Sides;
    core::DrawRows m_draws;
    std::int32_t m_die = 0;
    bool m_tickedOnly = false;
    bool m_totalsTooLarge = false; // whole numbers, but their law is too large to work out
    QString m_emptyReason;
    std::optional<std::vector<std::int64_t>> m_values; // the sides' values, when all are whole numbers
    std::shared_ptr<const Table> m_table;
    std::uint64_t m_rolls = 0;
    std::int32_t m_dice = 0;
    core::RollMode m_mode = core::RollMode::Independent;
    QString m_untestable;                    // why no test applies to the mode's rolls
    bool m_exact = true;                     // false when nothing exact is known of the rolls (m_untestable says why)
    std::vector<std::uint32_t> m_impossible; // sides of weight 0 that came up all the same
    SideCounts m_sides;
    ChiSquare m_sidesTest;
    ChiSquare m_totalsTest;
    double m_expectedLongestRun = 0;
    std::optional<Moments> m_observedTotals;
    std::optional<Moments> m_exactTotals;
    Chart m_chart;
};

// Rolls counted as they are drawn, never kept: the counts of Counting.h's RunningCounts, with the
// expectations of the rolls' mode and, when every label is a whole number, the law of their totals.
class Tally {
public:
    // Rolls of `dice` dice (at least 1) over labels, which are not empty, drawn in `mode`; a roll of
    // a weighted die or of a set gives its layout. The dice of a set of different dice are also
    // counted one by one, when they and the labels are few enough to keep a count of each.
    Tally(std::shared_ptr<const core::TextRows> labels, std::int32_t dice, core::RollMode mode,
          std::shared_ptr<const core::DiceLayout> layout = {});

    // The next dice in roll order, each a side from 0: a roll in one call or spread over several.
    void add(std::span<const std::uint64_t> sides);

    // The dice counted one by one, each a die from 1; none when only every die together is.
    std::int32_t countedDice() const { return static_cast<std::int32_t>(m_byDie.size()); }

private:
    friend class Statistics;

    core::DrawRows m_roll; // no rows: the labels, the dice and the mode
    std::optional<std::vector<std::int64_t>> m_values;
    std::shared_ptr<const RollLaw> m_law;
    std::optional<TotalLaw> m_totals;
    std::vector<std::int64_t> m_above; // each side's worth in the totals' cells, with the totals
    RunningCounts m_counts;
    std::vector<RunningCounts> m_byDie;
    std::size_t m_nextDie = 0; // of the roll under way, in m_byDie
};

// "Die 2", named by its kind in a roll of a set of different dice: "Die 2: Six".
QString dieName(const core::DrawRows& draws, std::int32_t die);

// Side i's value when every label is a whole number (an optional sign and digits, at most 10^12).
std::optional<std::vector<std::int64_t>> wholeNumbers(const core::TextRows& labels);

// Each side's worth above the lowest value its die can show, where side i is worth values[i]: a roll's
// total less the lowest total is the sum over its dice. A side of weight 0 is -1: no roll shows it.
std::vector<std::int64_t> aboveLowest(const core::DrawRows& draws, std::span<const std::int64_t> values);

} // namespace stats
