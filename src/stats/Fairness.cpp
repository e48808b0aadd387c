#include "Fairness.h"

#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <vector>

namespace stats {

namespace {

// Expectations that add up to exactly kMinimumExpected may land a hair below it in floating point:
// they count as reaching it, so that the cells a roll gives do not hang on rounding.
bool reachesMinimum(double expected) {
    return expected >= kMinimumExpected * (1 - 1e-9);
}

} // namespace

double chiSquarePValue(double statistic, double degreesOfFreedom) {
    if (statistic <= 0)
        return 1;
    return boost::math::gamma_q(degreesOfFreedom / 2, statistic / 2);
}

ChiSquare pearson(std::span<const std::uint64_t> observed, std::span<const double> expected) {
    ChiSquare result;
    double total = 0;
    for (std::size_t cell = 0; cell < observed.size(); ++cell) {
        const double e = expected[cell];
        total += e;
        if (e <= 0)
            continue;
        const double difference = static_cast<double>(observed[cell]) - e;
        result.statistic += difference * difference / e;
        result.lowExpectation = result.lowExpectation || !reachesMinimum(e);
    }
    if (observed.size() < 2 || total <= 0)
        return {};
    result.degreesOfFreedom = static_cast<std::int64_t>(observed.size()) - 1;
    result.pValue = chiSquarePValue(result.statistic, static_cast<double>(result.degreesOfFreedom));
    return result;
}

ChiSquare pearsonPooled(std::span<const std::uint64_t> observed, std::span<const double> expected) {
    std::vector<std::uint64_t> pooledObserved;
    std::vector<double> pooledExpected;
    std::uint64_t o = 0;
    double e = 0;
    bool pooled = false;
    for (std::size_t cell = 0; cell < observed.size(); ++cell) {
        if (expected[cell] <= 0 && observed[cell] == 0)
            continue; // a total no roll can make
        pooled = pooled || (e > 0 && expected[cell] > 0);
        o += observed[cell];
        e += expected[cell];
        if (reachesMinimum(e)) {
            pooledObserved.push_back(o);
            pooledExpected.push_back(e);
            o = 0;
            e = 0;
        }
    }
    if (e > 0 || o > 0) { // the rest joins the last cell
        if (pooledObserved.empty()) {
            pooledObserved.push_back(0);
            pooledExpected.push_back(0);
        }
        pooled = true;
        pooledObserved.back() += o;
        pooledExpected.back() += e;
    }
    ChiSquare result = pearson(pooledObserved, pooledExpected);
    result.pooled = pooled && result.applicable();
    // Two outcomes or more, joined into one cell: the rolls are too few, not the outcomes.
    const auto possible = std::count_if(expected.begin(), expected.end(), [](double e) { return e > 0; });
    if (!result.applicable() && possible > 1)
        result.declined = ChiSquare::Declined::TooFewRolls;
    return result;
}

} // namespace stats
