#include "RollLaw.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

using namespace Qt::StringLiterals;

namespace stats {

namespace {

// Totals of dice without repeats keep one row of cells per number of dice chosen so far.
constexpr double kMaxSubsetCells = 1 << 22;

// The mean and variance of one die's value, every side alike.
std::pair<long double, long double> valueSpread(std::span<const std::int64_t> values) {
    long double mean = 0;
    for (std::int64_t value : values)
        mean += value;
    mean /= static_cast<long double>(values.size());
    long double variance = 0;
    for (std::int64_t value : values)
        variance += (value - mean) * (value - mean);
    return {mean, variance / static_cast<long double>(values.size())};
}

bool hasRepeat(std::span<const std::uint32_t> sortedSides) {
    return std::adjacent_find(sortedSides.begin(), sortedSides.end()) != sortedSides.end();
}

// The same of a die whose side i comes up with chance weights[i] / their total.
std::pair<long double, long double> valueSpread(std::span<const std::int64_t> values,
                                                std::span<const std::uint32_t> weights) {
    long double total = 0;
    long double mean = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        total += weights[i];
        mean += static_cast<long double>(weights[i]) * values[i];
    }
    mean /= total;
    long double variance = 0;
    for (std::size_t i = 0; i < values.size(); ++i)
        variance += weights[i] * (values[i] - mean) * (values[i] - mean);
    return {mean, variance / total};
}

// Every die an independent draw of one of s sides: uniform, or by the sides' weights when given.
class IndependentLaw final : public RollLaw {
public:
    IndependentLaw(std::int64_t sides, std::int32_t dice, std::vector<std::uint32_t> weights = {})
        : m_sides(sides)
        , m_dice(dice)
        , m_weights(std::move(weights)) {
        if (m_weights.empty())
            return;
        std::uint64_t total = 0;
        for (std::uint32_t w : m_weights)
            total += w;
        for (std::uint32_t w : m_weights)
            m_probabilities.push_back(static_cast<double>(w) / static_cast<double>(total));
    }

    std::vector<double> sideProbabilities() const override { return m_probabilities; }

    // Sides of weight 0 are left out of the test: they are expected never, which no count can test.
    ChiSquare sidesTest(std::span<const std::uint64_t> counts, std::uint64_t rolls, std::int32_t die) const override {
        if (m_probabilities.empty())
            return RollLaw::sidesTest(counts, rolls, die);
        const double draws = static_cast<double>(rolls) * (die == 0 ? m_dice : 1);
        std::vector<std::uint64_t> observed;
        std::vector<double> expected;
        for (std::size_t side = 0; side < counts.size(); ++side) {
            if (m_probabilities[side] > 0) {
                observed.push_back(counts[side]);
                expected.push_back(draws * m_probabilities[side]);
            }
        }
        return pearson(observed, expected);
    }

    Moments sideCount(std::uint64_t rolls, std::int32_t die) const override {
        const double draws = static_cast<double>(rolls) * (die == 0 ? m_dice : 1);
        const double p = 1.0 / static_cast<double>(m_sides);
        return {draws * p, draws * p * (1 - p)};
    }

    double orderedProbability(std::span<const std::uint32_t> sides) const override {
        if (!m_probabilities.empty()) {
            double p = 1;
            for (std::uint32_t side : sides)
                p *= m_probabilities[side];
            return p;
        }
        return std::pow(static_cast<double>(m_sides), -static_cast<double>(sides.size()));
    }

    // Multinomial: D! / (m1! m2! ...) orderings of the multiset, each with probability s^-D.
    double unorderedProbability(std::span<const std::uint32_t> sortedSides) const override {
        if (!m_probabilities.empty() && orderedProbability(sortedSides) == 0)
            return 0;
        double logWays = std::lgamma(static_cast<double>(sortedSides.size()) + 1);
        for (std::size_t i = 0; i < sortedSides.size();) {
            std::size_t j = i;
            while (j < sortedSides.size() && sortedSides[j] == sortedSides[i])
                ++j;
            logWays -= std::lgamma(static_cast<double>(j - i) + 1);
            i = j;
        }
        if (!m_probabilities.empty())
            return std::exp(logWays) * orderedProbability(sortedSides);
        const double logP = logWays - static_cast<double>(sortedSides.size()) * std::log(static_cast<double>(m_sides));
        return std::exp(logP);
    }

    std::optional<TotalLaw> totals(std::span<const std::int64_t> values) const override;

    double expectedLongestRun(std::uint64_t rolls, std::int32_t die) const override {
        // Runs of unequal sides follow no one chance of repeating; no exact figure is at hand.
        if (!m_probabilities.empty())
            return std::nan("");
        // The dice of a roll are drawn one after another like the rolls, so all dice read in list order
        // are one sequence of independent draws.
        const std::uint64_t length = rolls * static_cast<std::uint64_t>(die == 0 ? m_dice : 1);
        return stats::expectedLongestRun(length, 1.0 / static_cast<double>(m_sides));
    }

private:
    std::int64_t m_sides;
    std::int32_t m_dice;
    std::vector<std::uint32_t> m_weights; // empty when the sides are alike
    std::vector<double> m_probabilities;  // of each side, when weighted
};

std::optional<TotalLaw> IndependentLaw::totals(std::span<const std::int64_t> values) const {
    if (values.empty())
        return std::nullopt;
    // Values of sides that never come up bound nothing.
    const auto weightOf = [&](std::size_t i) { return m_weights.empty() ? 1.0 : static_cast<double>(m_weights[i]); };
    std::optional<std::int64_t> lowest;
    std::optional<std::int64_t> highest;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (weightOf(i) > 0) {
            lowest = std::min(lowest.value_or(values[i]), values[i]);
            highest = std::max(highest.value_or(values[i]), values[i]);
        }
    }
    if (!lowest)
        return std::nullopt;
    const std::int64_t* low = &*lowest;
    const std::int64_t* high = &*highest;
    const std::int64_t width = *high - *low; // of one die's values
    const auto dice = static_cast<std::int64_t>(m_dice);
    if (width > 0 && dice > (kMaxTotalCells - 1) / width)
        return std::nullopt;
    const std::int64_t cells = dice * width + 1;

    // One die: the weight of each value above the lowest (labels differ, values may not: "1", "01").
    std::map<std::int64_t, double> weights;
    double n = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (weightOf(i) > 0)
            weights[values[i] - *low] += weightOf(i);
        n += weightOf(i);
    }
    const bool uniformRange =
        m_weights.empty() && static_cast<std::int64_t>(weights.size()) == width + 1 &&
        std::all_of(weights.begin(), weights.end(), [&](const auto& w) { return w.second == weights.begin()->second; });
    const double steps = static_cast<double>(dice) * static_cast<double>(cells) *
                         (uniformRange ? 1.0 : static_cast<double>(weights.size()));
    if (steps > kMaxConvolutionSteps)
        return std::nullopt;

    TotalLaw law;
    law.first = dice * *low;
    std::vector<double>& p = law.probability;
    p.assign(static_cast<std::size_t>(cells), 0.0);
    p[0] = 1.0;
    std::vector<double> next(p.size());
    std::int64_t reach = 0; // the highest cell reached so far
    for (std::int64_t die = 0; die < dice; ++die) {
        std::fill(next.begin(), next.begin() + reach + width + 1, 0.0);
        if (uniformRange) {
            // Adding a uniform value 0..width is a moving sum over a window of width + 1 cells. The law
            // stays symmetric, so only the rising half is summed: a window sliding down the far side
            // would subtract nearly equal sums and lose the tail's tiny chances (6^-200 for 200d6).
            const std::int64_t last = reach + width;
            double window = 0;
            for (std::int64_t t = 0; t <= last / 2; ++t) {
                if (t <= reach)
                    window += p[static_cast<std::size_t>(t)];
                if (t - width - 1 >= 0)
                    window -= p[static_cast<std::size_t>(t - width - 1)];
                const double here = std::max(window, 0.0) / static_cast<double>(width + 1);
                next[static_cast<std::size_t>(t)] = here;
                next[static_cast<std::size_t>(last - t)] = here;
            }
        } else {
            for (std::int64_t t = 0; t <= reach; ++t) {
                const double here = p[static_cast<std::size_t>(t)];
                if (here == 0)
                    continue;
                for (const auto& [offset, weight] : weights)
                    next[static_cast<std::size_t>(t + offset)] += here * weight / n;
            }
        }
        reach += width;
        std::swap(p, next);
    }

    const auto [mean, variance] = m_weights.empty() ? valueSpread(values) : valueSpread(values, m_weights);
    law.moments = {static_cast<double>(mean * dice), static_cast<double>(variance * dice)};
    return law;
}

// Every roll an ordered choice of D different sides, all equally likely, and the rolls independent.
class DistinctLaw : public RollLaw {
public:
    DistinctLaw(std::int64_t sides, std::int32_t dice)
        : m_sides(sides)
        , m_dice(dice) {}

    // A side comes up at most once a roll: on a given die with chance 1/s, on any die with chance D/s.
    Moments sideCount(std::uint64_t rolls, std::int32_t die) const override {
        const double p = (die == 0 ? m_dice : 1) / static_cast<double>(m_sides);
        const auto r = static_cast<double>(rolls);
        return {r * p, r * p * (1 - p)};
    }

    // Over every die, a roll's counts are one draw without replacement: each count varies by
    // (s - D) / (s - 1) of what the counts of as many independent dice would, and each pair of counts
    // varies against each other alike, so the scaled statistic follows chi-square with s - 1 degrees
    // of freedom. When every roll shows every side, the counts cannot vary at all.
    ChiSquare sidesTest(std::span<const std::uint64_t> counts, std::uint64_t rolls, std::int32_t die) const override {
        if (die != 0 || m_dice == 1)
            return RollLaw::sidesTest(counts, rolls, die);
        if (m_dice >= m_sides)
            return {};
        ChiSquare test = RollLaw::sidesTest(counts, rolls, die);
        if (test.applicable()) {
            test.statistic *= static_cast<double>(m_sides - 1) / static_cast<double>(m_sides - m_dice);
            test.pValue = chiSquarePValue(test.statistic, static_cast<double>(test.degreesOfFreedom));
        }
        return test;
    }

    // s (s - 1) ... (s - D + 1) ordered choices.
    double orderedProbability(std::span<const std::uint32_t> sides) const override {
        std::vector<std::uint32_t> sorted(sides.begin(), sides.end());
        std::sort(sorted.begin(), sorted.end());
        if (hasRepeat(sorted))
            return 0;
        return std::exp(logFalling(static_cast<std::int64_t>(sides.size())) * -1);
    }

    // C(s, D) sets of sides, each shown in D! orders.
    double unorderedProbability(std::span<const std::uint32_t> sortedSides) const override {
        if (hasRepeat(sortedSides))
            return 0;
        const auto d = static_cast<std::int64_t>(sortedSides.size());
        return std::exp(std::lgamma(static_cast<double>(d) + 1) - logFalling(d));
    }

    std::optional<TotalLaw> totals(std::span<const std::int64_t> values) const override;

    double expectedLongestRun(std::uint64_t rolls, std::int32_t die) const override {
        const double p = 1.0 / static_cast<double>(m_sides);
        // One die read roll after roll is a sequence of independent draws, as is a roll of one die.
        if (die != 0 || m_dice == 1)
            return stats::expectedLongestRun(rolls, p);
        if (rolls == 0)
            return 0;
        // No side repeats within a roll, so a run is at most two long: the last die of a roll shown
        // again by the first of the next, with chance 1/s at each of the rolls - 1 joins, independently.
        return 2 - std::pow(1 - p, static_cast<double>(rolls - 1));
    }

protected:
    std::int64_t m_sides;
    std::int32_t m_dice;

private:
    // log(s (s - 1) ... (s - d + 1))
    double logFalling(std::int64_t d) const {
        return std::lgamma(static_cast<double>(m_sides) + 1) - std::lgamma(static_cast<double>(m_sides - d) + 1);
    }
};

std::optional<TotalLaw> DistinctLaw::totals(std::span<const std::int64_t> values) const {
    const auto sides = static_cast<std::int64_t>(values.size());
    const auto dice = static_cast<std::int64_t>(m_dice);
    if (values.empty() || dice > sides)
        return std::nullopt;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    const std::int64_t width = *high - *low;
    if (width > 0 && dice > (kMaxTotalCells - 1) / width)
        return std::nullopt;
    const std::int64_t cells = dice * width + 1;
    const double rows = static_cast<double>(dice + 1);
    if (static_cast<double>(sides) * static_cast<double>(dice) * static_cast<double>(cells) > kMaxConvolutionSteps ||
        rows * static_cast<double>(cells) > kMaxSubsetCells)
        return std::nullopt;

    // chosen[j][t]: the chance that j sides taken at random from those seen so far add up to t above
    // j times the lowest value. Side k joins a random j of the first k with chance j / k.
    std::vector<double> chosen(static_cast<std::size_t>((dice + 1) * cells), 0.0);
    chosen[0] = 1.0;
    for (std::int64_t k = 1; k <= sides; ++k) {
        const std::int64_t value = values[static_cast<std::size_t>(k - 1)] - *low;
        // Rows that the sides still to come can no longer fill up to D are not needed again.
        const std::int64_t lowest = std::max<std::int64_t>(1, dice - (sides - k));
        for (std::int64_t j = std::min(k, dice); j >= lowest; --j) {
            const double joins = static_cast<double>(j) / static_cast<double>(k);
            double* row = chosen.data() + j * cells;
            const double* fewer = chosen.data() + (j - 1) * cells;
            for (std::int64_t t = j * width; t >= 0; --t)
                row[t] = (1 - joins) * row[t] + (t >= value ? joins * fewer[t - value] : 0.0);
        }
    }

    TotalLaw law;
    law.first = dice * *low;
    law.probability.assign(chosen.begin() + dice * cells, chosen.end());
    const auto [mean, variance] = valueSpread(values);
    // Drawing without replacement narrows the spread of the sum by (s - D) / (s - 1).
    const long double narrowing = sides > 1 ? static_cast<long double>(sides - dice) / (sides - 1) : 0;
    law.moments = {static_cast<double>(mean * dice), static_cast<double>(variance * dice * narrowing)};
    return law;
}

// Every roll of a bag, taken alone, is as a roll of "no side twice" (the bag treats every side alike,
// so each roll is equally likely to be any ordered choice of D different sides). The rolls depend on
// each other, though: which rows are counted decides how the counts spread, so there is no test.
class BagLaw final : public DistinctLaw {
public:
    using DistinctLaw::DistinctLaw;

    Moments sideCount(std::uint64_t rolls, std::int32_t die) const override {
        return {DistinctLaw::sideCount(rolls, die).mean, std::nan("")};
    }
    ChiSquare sidesTest(std::span<const std::uint64_t>, std::uint64_t, std::int32_t) const override { return {}; }
    QString untestable() const override {
        return u"A bag gives every side once before any side again, so its rolls depend on each other and the "
               u"side counts stay close to even by design; the chi-square tests, which need independent rolls, "
               u"do not apply."_s;
    }
    double expectedLongestRun(std::uint64_t, std::int32_t) const override { return std::nan(""); }
};

// Rolls whose law is not worked out exactly: they are counted, and nothing is claimed of them.
class UnknownLaw final : public RollLaw {
public:
    explicit UnknownLaw(QString why)
        : m_why(std::move(why)) {}

    Moments sideCount(std::uint64_t, std::int32_t) const override { return {std::nan(""), std::nan("")}; }
    ChiSquare sidesTest(std::span<const std::uint64_t>, std::uint64_t, std::int32_t) const override { return {}; }
    QString untestable() const override { return m_why; }
    double orderedProbability(std::span<const std::uint32_t>) const override { return std::nan(""); }
    double unorderedProbability(std::span<const std::uint32_t>) const override { return std::nan(""); }
    std::optional<TotalLaw> totals(std::span<const std::int64_t>) const override { return std::nullopt; }
    double expectedLongestRun(std::uint64_t, std::int32_t) const override { return std::nan(""); }
    bool exact() const override { return false; }

private:
    QString m_why;
};

// The law of a whole roll from independent parts: the law of the sum of two independent totals.
TotalLaw convolved(const TotalLaw& a, const TotalLaw& b) {
    TotalLaw sum;
    sum.first = a.first + b.first;
    sum.probability.assign(a.probability.size() + b.probability.size() - 1, 0.0);
    // Only products of positive chances are added: the far tails (6^-200) keep their precision.
    for (std::size_t i = 0; i < a.probability.size(); ++i) {
        if (a.probability[i] == 0)
            continue;
        for (std::size_t j = 0; j < b.probability.size(); ++j)
            sum.probability[i + j] += a.probability[i] * b.probability[j];
    }
    sum.moments = {a.moments.mean + b.moments.mean, a.moments.variance + b.moments.variance};
    return sum;
}

// A set of different dice: each kind's dice drawn in the mode on their own (no side twice within a
// kind, one bag per kind) and the kinds independent of each other, so the roll's law is made of the
// law of each kind's dice alone, read on that kind's stretch of the labels.
class SetLaw final : public RollLaw {
public:
    SetLaw(core::RollMode mode, const core::DiceLayout& layout, std::int32_t dice)
        : m_layout(layout) {
        if (m_layout.parts.empty()) // every die of the first kind
            m_layout.parts.push_back({0, dice});
        for (std::size_t k = 0; k < layout.kinds.size(); ++k) {
            const core::DiceLayout::Kind& shape = layout.kinds[k];
            Kind kind{shape.firstLabel, shape.sides, 0, nullptr};
            for (const core::DiceLayout::Part& part : m_layout.parts)
                kind.dice += part.kind == std::int32_t(k) ? part.count : 0;
            m_labels = std::max(m_labels, shape.firstLabel + shape.sides);
            // A kind that no position rolls has no law: its sides are expected never.
            if (kind.dice == 0) {
                m_kinds.push_back(std::move(kind));
                continue;
            }
            if (shape.weights.empty()) {
                kind.law = rollLaw(mode, shape.sides, std::max(kind.dice, 1));
            } else if (mode == core::RollMode::Independent || (mode == core::RollMode::Distinct && kind.dice == 1)) {
                // One die of a kind is an independent draw by the weights in either mode.
                kind.law = std::make_unique<IndependentLaw>(shape.sides, kind.dice, shape.weights);
            } else if (m_unknown.isEmpty()) {
                m_unknown = u"No exact expectation is available for the weighted die \u201C"_s + shape.name +
                            (mode == core::RollMode::Distinct ? u"\u201D rolled more than once"_s : u"\u201D"_s) +
                            u" in the mode \u201C"_s + core::rollModeName(mode) +
                            u"\u201D, so no expected counts or chi-square tests are given; the counts are as "
                            u"rolled."_s;
            }
            if (kind.law && m_unknown.isEmpty() && m_untestable.isEmpty())
                m_untestable = kind.law->untestable();
            m_kinds.push_back(std::move(kind));
        }
        if (!m_unknown.isEmpty())
            m_untestable = m_unknown;
    }

    bool exact() const override { return m_unknown.isEmpty(); }
    QString untestable() const override { return m_untestable; }

    // Not one figure for every side; sideCounts() gives each its own.
    Moments sideCount(std::uint64_t, std::int32_t) const override {
        return exact() ? Moments{} : Moments{std::nan(""), std::nan("")};
    }

    std::vector<Moments> sideCounts(std::uint64_t rolls, std::int32_t die) const override {
        std::vector<Moments> counts(static_cast<std::size_t>(m_labels),
                                    exact() ? Moments{} : Moments{std::nan(""), std::nan("")});
        if (!exact())
            return counts;
        for (std::size_t k = 0; k < m_kinds.size(); ++k) {
            const Kind& kind = m_kinds[k];
            // Positions of another kind never show this kind's sides.
            if (kind.dice == 0 || (die != 0 && m_layout.kindAt(die - 1) != std::int32_t(k)))
                continue;
            const std::vector<double> chances = kind.law->sideProbabilities();
            const double draws = static_cast<double>(rolls) * (die == 0 ? kind.dice : 1);
            for (std::int64_t side = 0; side < kind.sides; ++side) {
                Moments& count = counts[static_cast<std::size_t>(kind.first + side)];
                if (chances.empty()) {
                    count = kind.law->sideCount(rolls, die == 0 ? 0 : 1);
                } else {
                    const double p = chances[static_cast<std::size_t>(side)];
                    count = {draws * p, draws * p * (1 - p)};
                }
            }
        }
        return counts;
    }

    // One position is tested against its own die. Every position together: the counts of different
    // kinds are independent, so their statistics and degrees of freedom add up to one test.
    ChiSquare sidesTest(std::span<const std::uint64_t> counts, std::uint64_t rolls, std::int32_t die) const override {
        if (!exact() || !m_untestable.isEmpty())
            return {};
        if (die != 0) {
            const Kind& kind = kindOf(die);
            return kind.law->sidesTest(of(kind, counts), rolls, 1);
        }
        ChiSquare sum;
        for (const Kind& kind : m_kinds) {
            if (kind.dice == 0)
                continue;
            const ChiSquare test = kind.law->sidesTest(of(kind, counts), rolls, 0);
            if (!test.applicable())
                continue;
            sum.statistic += test.statistic;
            sum.degreesOfFreedom += test.degreesOfFreedom;
            sum.lowExpectation = sum.lowExpectation || test.lowExpectation;
        }
        if (sum.applicable())
            sum.pValue = chiSquarePValue(sum.statistic, static_cast<double>(sum.degreesOfFreedom));
        return sum;
    }

    double orderedProbability(std::span<const std::uint32_t> sides) const override {
        if (!exact())
            return std::nan("");
        std::vector<std::vector<std::uint32_t>> byKind(m_kinds.size());
        std::size_t position = 0;
        for (const core::DiceLayout::Part& part : m_layout.parts) {
            const auto k = static_cast<std::size_t>(part.kind);
            for (std::int32_t i = 0; i < part.count && position < sides.size(); ++i, ++position)
                byKind[k].push_back(sides[position] - static_cast<std::uint32_t>(m_kinds[k].first));
        }
        return product(
            byKind, [](const RollLaw& law, std::span<const std::uint32_t> own) { return law.orderedProbability(own); });
    }

    // Sorted sides come grouped by kind, as the kinds' labels lie one after another.
    double unorderedProbability(std::span<const std::uint32_t> sortedSides) const override {
        if (!exact())
            return std::nan("");
        std::vector<std::vector<std::uint32_t>> byKind(m_kinds.size());
        for (const std::uint32_t side : sortedSides) {
            for (std::size_t k = 0; k < m_kinds.size(); ++k) {
                if (side >= m_kinds[k].first && side < m_kinds[k].first + m_kinds[k].sides)
                    byKind[k].push_back(side - static_cast<std::uint32_t>(m_kinds[k].first));
            }
        }
        return product(byKind, [](const RollLaw& law, std::span<const std::uint32_t> own) {
            return law.unorderedProbability(own);
        });
    }

    // The kinds' totals are independent: their laws convolved.
    std::optional<TotalLaw> totals(std::span<const std::int64_t> values) const override {
        if (!exact() || std::ssize(values) < m_labels)
            return std::nullopt;
        std::optional<TotalLaw> sum;
        double steps = 0;
        for (const Kind& kind : m_kinds) {
            if (kind.dice == 0)
                continue;
            const std::optional<TotalLaw> own = kind.law->totals(
                values.subspan(static_cast<std::size_t>(kind.first), static_cast<std::size_t>(kind.sides)));
            if (!own)
                return std::nullopt;
            if (!sum) {
                sum = own;
                continue;
            }
            steps += static_cast<double>(sum->probability.size()) * static_cast<double>(own->probability.size());
            if (std::ssize(sum->probability) + std::ssize(own->probability) - 1 > kMaxTotalCells ||
                steps > kMaxConvolutionSteps)
                return std::nullopt;
            sum = convolved(*sum, *own);
        }
        return sum;
    }

    // One position read roll after roll is its own die's sequence; every position together mixes dice.
    double expectedLongestRun(std::uint64_t rolls, std::int32_t die) const override {
        if (!exact() || die == 0)
            return std::nan("");
        return kindOf(die).law->expectedLongestRun(rolls, 1);
    }

private:
    struct Kind {
        std::int64_t first; // its sides are the labels [first, first + sides)
        std::int64_t sides;
        std::int32_t dice;            // in a roll
        std::unique_ptr<RollLaw> law; // of its dice alone; null when not known exactly
    };

    const Kind& kindOf(std::int32_t die) const { return m_kinds[static_cast<std::size_t>(m_layout.kindAt(die - 1))]; }

    static std::span<const std::uint64_t> of(const Kind& kind, std::span<const std::uint64_t> counts) {
        return counts.subspan(static_cast<std::size_t>(kind.first), static_cast<std::size_t>(kind.sides));
    }

    template <class Chance>
    double product(const std::vector<std::vector<std::uint32_t>>& byKind, Chance&& chance) const {
        double p = 1;
        for (std::size_t k = 0; k < m_kinds.size(); ++k) {
            if (byKind[k].size() != static_cast<std::size_t>(m_kinds[k].dice))
                return 0; // not a roll these dice can show
            if (!byKind[k].empty())
                p *= chance(*m_kinds[k].law, byKind[k]);
        }
        return p;
    }

    core::DiceLayout m_layout;
    std::vector<Kind> m_kinds;
    std::int64_t m_labels = 0;
    QString m_unknown;    // why nothing exact is known; empty when every kind's law is
    QString m_untestable; // why no test applies (a bag, or m_unknown)
};

} // namespace

ChiSquare RollLaw::sidesTest(std::span<const std::uint64_t> counts, std::uint64_t rolls, std::int32_t die) const {
    const std::vector<double> expected(counts.size(), sideCount(rolls, die).mean);
    return pearson(counts, expected);
}

std::unique_ptr<RollLaw> rollLaw(core::RollMode mode, std::int64_t sides, std::int32_t dice,
                                 const core::DiceLayout* layout) {
    sides = std::max<std::int64_t>(sides, 1);
    dice = std::max<std::int32_t>(dice, 1);
    if (layout && layout->kinds.size() > 1)
        return std::make_unique<SetLaw>(mode, *layout, dice);
    if (layout && !layout->kinds.empty() && !layout->kinds[0].weights.empty()) {
        if (mode == core::RollMode::Independent)
            return std::make_unique<IndependentLaw>(sides, dice, layout->kinds[0].weights);
        return std::make_unique<UnknownLaw>(
            u"No exact expectation is available for a weighted die in the mode \u201C"_s + core::rollModeName(mode) +
            u"\u201D, so no expected counts or chi-square tests are given; the counts "
            u"are as rolled."_s);
    }
    // No roll of these modes has more dice than sides: the roll refuses it.
    if (dice <= sides) {
        switch (mode) {
        case core::RollMode::Distinct:
            return std::make_unique<DistinctLaw>(sides, dice);
        case core::RollMode::Bag:
            return std::make_unique<BagLaw>(sides, dice);
        case core::RollMode::Independent:
            break;
        }
    }
    return std::make_unique<IndependentLaw>(sides, dice);
}

double expectedLongestRun(std::uint64_t length, double p) {
    // Beyond this the approximation below is within 1e-3 of the exact value, which costs a pass over
    // the draws for every run length.
    constexpr std::uint64_t kExactRunLength = 100'000;
    if (length == 0)
        return 0;
    if (p >= 1)
        return static_cast<double>(length);
    const double q = 1 - p;
    const auto n = static_cast<double>(length);
    double expected = 1; // every draw starts a run
    constexpr double kNegligible = 1e-13;
    if (length <= kExactRunLength) {
        // Exact: with f(m) the chance that m draws hold no run of k, f(m) = f(m-1) - q p^(k-1) f(m-k),
        // since a first run of k that ends at draw m starts after a change and after m-k clean draws.
        std::vector<double> f(length + 1);
        for (std::uint64_t k = 2; k <= length; ++k) {
            const double start = std::pow(p, static_cast<double>(k - 1));
            std::fill(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(k), 1.0);
            f[k] = 1 - start;
            for (std::uint64_t m = k + 1; m <= length; ++m)
                f[m] = f[m - 1] - q * start * f[m - k];
            const double atLeastK = 1 - f[length];
            expected += atLeastK;
            if (atLeastK < kNegligible)
                break;
        }
        return expected;
    }
    // Long sequences: runs of k or more are rare and nearly independent, so the chance of none is
    // exp(-their expected number).
    for (std::uint64_t k = 2; k <= length; ++k) {
        const double starts = std::pow(p, static_cast<double>(k - 1)) * (1 + (n - static_cast<double>(k)) * q);
        const double atLeastK = -std::expm1(-starts);
        expected += atLeastK;
        if (atLeastK < kNegligible)
            break;
    }
    return expected;
}

} // namespace stats
