#include "Counting.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace stats {

namespace {

constexpr std::int64_t kChunkRows = std::int64_t{1} << 16;
// The sort reports every kSortStep comparisons, as kSortStepRows steps: a comparison of two rows far
// apart takes about as long as counting four rows in turn, so the progress keeps pace with the clock.
constexpr std::uint64_t kSortStep = std::uint64_t{1} << 16;
constexpr std::uint64_t kSortStepRows = kSortStep * 4;
// Lines are counted in a table of every possible line when there are at most this many, or when the
// table takes no more than the list of row numbers the sort would need.
constexpr double kSmallLineSpace = 1 << 16;

// The steps planned for sorting the lines of that many rows: std::sort makes about 1.2 n log2 n
// comparisons of random lines.
std::uint64_t sortSteps(std::uint64_t rows) {
    const auto n = static_cast<double>(rows);
    const auto reports = static_cast<std::uint64_t>(1.2 * n * std::log2(std::max(n, 2.0)) / kSortStep);
    return reports * kSortStepRows;
}

// Calls each(row) for every selected row in list order, a chunk of rows per step.
template <class Each> void forSelectedRows(const Selection& selection, Work& work, Each&& each) {
    const std::int64_t rows = selection.draws.size();
    for (std::int64_t start = 0; start < rows; start += kChunkRows) {
        const std::int64_t end = std::min(rows, start + kChunkRows);
        if (selection.ticked) {
            const std::vector<bool>& ticked = *selection.ticked;
            const std::int64_t known = std::min<std::int64_t>(end, static_cast<std::int64_t>(ticked.size()));
            for (std::int64_t row = start; row < known; ++row) {
                if (ticked[static_cast<std::size_t>(row)])
                    each(row);
            }
        } else {
            for (std::int64_t row = start; row < end; ++row)
                each(row);
        }
        work.advance(static_cast<std::uint64_t>(end - start));
    }
}

// A run goes on while the same side comes up die after die; the longest one is kept.
void followRun(std::uint32_t side, Run& run, Run& longest) {
    run = side == run.side ? Run{run.length + 1, side} : Run{1, side};
    if (run.length > longest.length)
        longest = run;
}

constexpr Run kNoRun{0, std::numeric_limits<std::uint32_t>::max()};

template <class Index> void sortSides(const Index* row, std::int32_t dice, std::vector<std::uint32_t>& out) {
    out.assign(row, row + dice);
    std::sort(out.begin(), out.end());
}

} // namespace

std::uint64_t Selection::rowCount() const {
    if (!ticked)
        return static_cast<std::uint64_t>(draws.size());
    const auto end = ticked->begin() + std::min<std::ptrdiff_t>(draws.size(), std::ssize(*ticked));
    return static_cast<std::uint64_t>(std::count(ticked->begin(), end, true));
}

double Work::progress() const {
    const std::uint64_t planned = m_planned.load(std::memory_order_relaxed);
    if (planned == 0)
        return 0;
    return std::min(1.0, static_cast<double>(m_done.load(std::memory_order_relaxed)) / static_cast<double>(planned));
}

void Work::advance(std::uint64_t steps) {
    m_done.fetch_add(steps, std::memory_order_relaxed);
    if (isCancelled())
        throw Cancelled();
    if (m_observer)
        m_observer(progress());
}

SideCounts countSides(const Selection& selection, std::int32_t die, Work& work) {
    const core::DrawRows& draws = selection.draws;
    SideCounts result;
    if (draws.sideCount() == 0)
        return result; // nothing was drawn
    result.counts.assign(static_cast<std::size_t>(draws.sideCount()), 0);
    const std::int32_t dice = draws.dice();
    const std::int32_t first = die == 0 ? 0 : die - 1;
    const std::int32_t counted = die == 0 ? dice : 1;
    std::visit(
        [&](const auto& all) {
            std::uint64_t* counts = result.counts.data();
            Run run = kNoRun;
            Run longest;
            std::uint64_t rolls = 0;
            forSelectedRows(selection, work, [&](std::int64_t row) {
                const auto* sides = all.data() + row * dice + first;
                for (std::int32_t d = 0; d < counted; ++d) {
                    const std::uint32_t side = sides[d];
                    ++counts[side];
                    followRun(side, run, longest);
                }
                ++rolls;
            });
            result.rolls = rolls;
            result.longestRun = longest;
        },
        draws.indices());
    result.draws = result.rolls * static_cast<std::uint64_t>(counted);
    return result;
}

std::vector<std::uint64_t> countTotals(const Selection& selection, std::span<const std::int64_t> above,
                                       std::int64_t cells, Work& work) {
    const core::DrawRows& draws = selection.draws;
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(cells), 0);
    if (above.empty())
        return counts;
    const std::int32_t dice = draws.dice();
    std::visit(
        [&](const auto& all) {
            forSelectedRows(selection, work, [&](std::int64_t row) {
                const auto* sides = all.data() + row * dice;
                std::int64_t cell = 0;
                for (std::int32_t d = 0; d < dice && cell >= 0 && cell < cells; ++d)
                    cell = above[sides[d]] < 0 ? -1 : cell + above[sides[d]];
                if (cell >= 0 && cell < cells)
                    ++counts[static_cast<std::size_t>(cell)];
            });
        },
        draws.indices());
    return counts;
}

RunningCounts::RunningCounts(std::int64_t sides, std::int32_t dice, std::span<const std::int64_t> above,
                             std::int64_t totalCells)
    : m_above(above.begin(), above.end())
    , m_dice(dice)
    , m_run(kNoRun) {
    m_sides.counts.assign(static_cast<std::size_t>(sides), 0);
    if (!above.empty())
        m_totals.assign(static_cast<std::size_t>(totalCells), 0);
}

void RunningCounts::add(std::span<const std::uint64_t> sides) {
    // Kept in locals while counting: the compiler cannot keep members in registers past the stores.
    std::uint64_t* counts = m_sides.counts.data();
    const std::int64_t* above = m_above.data();
    const bool totals = !m_totals.empty();
    Run run = m_run;
    Run longest = m_sides.longestRun;
    std::int32_t inRoll = m_inRoll;
    std::int64_t cell = m_cell;
    std::uint64_t rolls = 0;
    for (const std::uint64_t index : sides) {
        const auto side = static_cast<std::uint32_t>(index);
        ++counts[side];
        followRun(side, run, longest);
        // A side that cannot come up, or a total past the cells, leaves its roll out of the totals.
        if (totals && cell >= 0)
            cell = above[side] < 0 || cell + above[side] >= std::ssize(m_totals) ? -1 : cell + above[side];
        if (++inRoll == m_dice) {
            if (totals && cell >= 0)
                ++m_totals[static_cast<std::size_t>(cell)];
            cell = 0;
            inRoll = 0;
            ++rolls;
        }
    }
    m_run = run;
    m_sides.longestRun = longest;
    m_inRoll = inRoll;
    m_cell = cell;
    m_sides.rolls += rolls;
    m_sides.draws += sides.size();
}

std::int64_t Combinations::size() const {
    if (m_dense)
        return std::ssize(m_keyed);
    return std::ssize(m_repeated) + std::ssize(m_singles);
}

std::uint64_t Combinations::count(std::int64_t rank) const {
    if (m_dense)
        return m_keyed[static_cast<std::size_t>(rank)].count;
    return rank < std::ssize(m_repeated) ? m_repeated[static_cast<std::size_t>(rank)].count : 1;
}

void Combinations::sides(std::int64_t rank, std::vector<std::uint32_t>& out) const {
    const std::int32_t dice = m_draws.dice();
    if (m_dense) {
        const auto base = static_cast<std::uint64_t>(m_draws.sideCount());
        std::uint64_t key = m_keyed[static_cast<std::size_t>(rank)].key;
        out.resize(static_cast<std::size_t>(dice));
        for (std::int32_t d = dice - 1; d >= 0; --d) {
            out[static_cast<std::size_t>(d)] = static_cast<std::uint32_t>(key % base);
            key /= base;
        }
        return;
    }
    const std::int64_t row = rank < std::ssize(m_repeated)
                                 ? m_repeated[static_cast<std::size_t>(rank)].row
                                 : m_singles[static_cast<std::size_t>(rank - std::ssize(m_repeated))];
    out.resize(static_cast<std::size_t>(dice));
    for (std::int32_t d = 0; d < dice; ++d)
        out[static_cast<std::size_t>(d)] = m_draws.side(row, d);
    if (m_ignoreOrder)
        std::sort(out.begin(), out.end());
}

std::size_t Combinations::bytesUsed() const {
    return m_keyed.capacity() * sizeof(Keyed) + m_repeated.capacity() * sizeof(Repeated) +
           m_singles.capacity() * sizeof(std::uint32_t);
}

std::uint64_t combinationSteps(const Selection& selection) {
    return static_cast<std::uint64_t>(selection.draws.size()) + sortSteps(selection.rowCount());
}

Combinations countCombinations(const Selection& selection, bool ignoreOrder, Work& work) {
    const core::DrawRows& draws = selection.draws;
    Combinations result;
    result.m_draws = draws;
    result.m_ignoreOrder = ignoreOrder;
    const std::int64_t sides = draws.sideCount();
    if (sides == 0)
        return result;
    const std::int32_t dice = draws.dice();
    const std::uint64_t selected = selection.rowCount();
    const double space = std::pow(static_cast<double>(sides), dice);
    // The sort reports what it was planned to, whatever its true number of comparisons.
    const std::uint64_t sortPlanned = sortSteps(selected);
    std::uint64_t sortReported = 0;

    if (space <= kSmallLineSpace ||
        space * sizeof(std::uint64_t) <= static_cast<double>(selected) * sizeof(std::uint32_t)) {
        result.m_dense = true;
        std::vector<std::uint64_t> table(static_cast<std::size_t>(space), 0);
        const auto base = static_cast<std::uint64_t>(sides);
        std::vector<std::uint32_t> sorted;
        std::visit(
            [&](const auto& all) {
                std::uint64_t* counts = table.data();
                if (ignoreOrder) {
                    forSelectedRows(selection, work, [&](std::int64_t row) {
                        sortSides(all.data() + row * dice, dice, sorted);
                        std::uint64_t key = 0;
                        for (std::uint32_t side : sorted)
                            key = key * base + side;
                        ++counts[key];
                    });
                } else {
                    forSelectedRows(selection, work, [&](std::int64_t row) {
                        const auto* line = all.data() + row * dice;
                        std::uint64_t key = 0;
                        for (std::int32_t d = 0; d < dice; ++d)
                            key = key * base + line[d];
                        ++counts[key];
                    });
                }
            },
            draws.indices());
        for (std::size_t key = 0; key < table.size(); ++key) {
            if (table[key] != 0)
                result.m_keyed.push_back({key, table[key]});
        }
        std::stable_sort(result.m_keyed.begin(), result.m_keyed.end(),
                         [](const auto& a, const auto& b) { return a.count > b.count; });
        result.m_rolls = selected;
        work.advance(sortPlanned); // no sort of the rows was needed
        return result;
    }

    // Many possible lines: sort the row numbers by line, then count the runs of equal lines.
    if (draws.size() > std::int64_t{std::numeric_limits<std::uint32_t>::max()})
        throw std::length_error("too many rows for 32-bit row numbers");
    std::vector<std::uint32_t> order;
    order.reserve(static_cast<std::size_t>(selected));
    forSelectedRows(selection, work, [&](std::int64_t row) { order.push_back(static_cast<std::uint32_t>(row)); });
    std::visit(
        [&](const auto& all) {
            using Index = typename std::decay_t<decltype(all)>::value_type;
            std::vector<Index> sortedLines; // every row's sides sorted, when order is ignored
            const Index* lines = all.data();
            if (ignoreOrder) {
                sortedLines.assign(all.begin(), all.end());
                for (auto line = sortedLines.begin(); line != sortedLines.end(); line += dice)
                    std::sort(line, line + dice);
                lines = sortedLines.data();
            }
            const auto line = [&](std::uint32_t row) { return lines + static_cast<std::int64_t>(row) * dice; };
            std::uint64_t comparisons = 0;
            std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
                if (++comparisons % kSortStep == 0) { // lets a cancel stop the sort
                    const std::uint64_t steps = std::min(kSortStepRows, sortPlanned - sortReported);
                    sortReported += steps;
                    work.advance(steps);
                }
                return std::lexicographical_compare(line(a), line(a) + dice, line(b), line(b) + dice);
            });
            std::size_t singles = 0;
            for (std::size_t i = 0; i < order.size();) {
                std::size_t j = i + 1;
                while (j < order.size() && std::equal(line(order[i]), line(order[i]) + dice, line(order[j])))
                    ++j;
                if (j - i == 1)
                    order[singles++] = order[i]; // never ahead of the run being read
                else
                    result.m_repeated.push_back({order[i], static_cast<std::uint32_t>(j - i)});
                i = j;
            }
            order.resize(singles);
        },
        draws.indices());
    if (order.size() < order.capacity() / 2)
        order.shrink_to_fit();
    std::stable_sort(result.m_repeated.begin(), result.m_repeated.end(),
                     [](const auto& a, const auto& b) { return a.count > b.count; });
    result.m_singles = std::move(order);
    result.m_rolls = selected;
    work.advance(sortPlanned - sortReported);
    return result;
}

} // namespace stats
