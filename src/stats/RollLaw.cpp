#include "RollLaw.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace stats {

namespace {

// Every die an independent, uniform draw of one of s sides.
class IndependentLaw final : public RollLaw {
public:
    IndependentLaw(std::int64_t sides, std::int32_t dice)
        : m_sides(sides)
        , m_dice(dice) {}

    Moments sideCount(std::uint64_t rolls, std::int32_t die) const override {
        const double draws = static_cast<double>(rolls) * (die == 0 ? m_dice : 1);
        const double p = 1.0 / static_cast<double>(m_sides);
        return {draws * p, draws * p * (1 - p)};
    }

    double orderedProbability(std::span<const std::uint32_t> sides) const override {
        return std::pow(static_cast<double>(m_sides), -static_cast<double>(sides.size()));
    }

    // Multinomial: D! / (m1! m2! ...) orderings of the multiset, each with probability s^-D.
    double unorderedProbability(std::span<const std::uint32_t> sortedSides) const override {
        double logWays = std::lgamma(static_cast<double>(sortedSides.size()) + 1);
        for (std::size_t i = 0; i < sortedSides.size();) {
            std::size_t j = i;
            while (j < sortedSides.size() && sortedSides[j] == sortedSides[i])
                ++j;
            logWays -= std::lgamma(static_cast<double>(j - i) + 1);
            i = j;
        }
        const double logP = logWays - static_cast<double>(sortedSides.size()) * std::log(static_cast<double>(m_sides));
        return std::exp(logP);
    }

    std::optional<TotalLaw> totals(std::span<const std::int64_t> values) const override;

    double expectedLongestRun(std::uint64_t rolls, std::int32_t die) const override {
        // The dice of a roll are drawn one after another like the rolls, so all dice read in list order
        // are one sequence of independent draws.
        const std::uint64_t length = rolls * static_cast<std::uint64_t>(die == 0 ? m_dice : 1);
        return stats::expectedLongestRun(length, 1.0 / static_cast<double>(m_sides));
    }

private:
    std::int64_t m_sides;
    std::int32_t m_dice;
};

std::optional<TotalLaw> IndependentLaw::totals(std::span<const std::int64_t> values) const {
    if (values.empty())
        return std::nullopt;
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    const std::int64_t width = *high - *low; // of one die's values
    const auto dice = static_cast<std::int64_t>(m_dice);
    if (width > 0 && dice > (kMaxTotalCells - 1) / width)
        return std::nullopt;
    const std::int64_t cells = dice * width + 1;

    // One die: the weight of each value above the lowest (labels differ, values may not: "1", "01").
    std::map<std::int64_t, double> weights;
    for (std::int64_t value : values)
        weights[value - *low] += 1.0;
    const bool uniformRange =
        static_cast<std::int64_t>(weights.size()) == width + 1 &&
        std::all_of(weights.begin(), weights.end(), [&](const auto& w) { return w.second == weights.begin()->second; });
    const double steps = static_cast<double>(dice) * static_cast<double>(cells) *
                         (uniformRange ? 1.0 : static_cast<double>(weights.size()));
    if (steps > kMaxConvolutionSteps)
        return std::nullopt;

    TotalLaw law;
    law.first = dice * *low;
    const double n = static_cast<double>(values.size());
    std::vector<double>& p = law.probability;
    p.assign(static_cast<std::size_t>(cells), 0.0);
    p[0] = 1.0;
    std::vector<double> next(p.size());
    std::int64_t reach = 0; // the highest cell reached so far
    for (std::int64_t die = 0; die < dice; ++die) {
        std::fill(next.begin(), next.begin() + reach + width + 1, 0.0);
        if (uniformRange) {
            // Adding a uniform value 0..width is a moving sum over a window of width + 1 cells.
            double window = 0;
            for (std::int64_t t = 0; t <= reach + width; ++t) {
                if (t <= reach)
                    window += p[static_cast<std::size_t>(t)];
                if (t - width - 1 >= 0)
                    window -= p[static_cast<std::size_t>(t - width - 1)];
                next[static_cast<std::size_t>(t)] = std::max(window, 0.0) / static_cast<double>(width + 1);
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

    long double mean = 0;
    for (std::int64_t value : values)
        mean += value;
    mean /= n;
    long double variance = 0;
    for (std::int64_t value : values)
        variance += (value - mean) * (value - mean);
    variance /= n;
    law.moments = {static_cast<double>(mean * dice), static_cast<double>(variance * dice)};
    return law;
}

} // namespace

std::unique_ptr<RollLaw> rollLaw(core::RollMode mode, std::int64_t sides, std::int32_t dice) {
    switch (mode) {
    case core::RollMode::Independent:
        break;
    }
    return std::make_unique<IndependentLaw>(std::max<std::int64_t>(sides, 1), std::max<std::int32_t>(dice, 1));
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
