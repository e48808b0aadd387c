#pragma once

// Pearson's chi-square test of observed counts against the counts fair dice are expected to give.

#include <cstdint>
#include <span>

namespace stats {

struct ChiSquare {
    // Why a test does not apply: a single outcome, or too few rolls to fill two cells once joined.
    enum class Declined { OneOutcome, TooFewRolls };

    double statistic = 0;
    std::int64_t degreesOfFreedom = 0; // none when the test does not apply
    double pValue = 1;
    bool lowExpectation = false;              // some cell is expected fewer than kMinimumExpected times
    bool pooled = false;                      // neighbouring cells were joined to reach kMinimumExpected
    Declined declined = Declined::OneOutcome; // read only when the test does not apply

    bool applicable() const { return degreesOfFreedom > 0; }
};

inline constexpr double kMinimumExpected = 5;

// P(X >= statistic) for X chi-square distributed with that many degrees of freedom: the regularised
// upper incomplete gamma Q(df / 2, statistic / 2), worked out in the tail itself rather than as 1 - P,
// so that p-values far below 1e-16 keep their precision.
double chiSquarePValue(double statistic, double degreesOfFreedom);

// One cell per count; the expected counts add up to the observed total.
ChiSquare pearson(std::span<const std::uint64_t> observed, std::span<const double> expected);

// The same after joining each cell expected fewer than kMinimumExpected times with its neighbours
// (in the given order) until every joined cell reaches it.
ChiSquare pearsonPooled(std::span<const std::uint64_t> observed, std::span<const double> expected);

} // namespace stats
