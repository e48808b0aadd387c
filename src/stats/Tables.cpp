#include "Tables.h"

#include <algorithm>
#include <cmath>
#include <numeric>

using namespace Qt::StringLiterals;

namespace stats {

namespace {

QString share(std::uint64_t count, std::uint64_t total) {
    return total == 0 ? QString() : formatShare(static_cast<double>(count) / static_cast<double>(total));
}

QString deviation(std::uint64_t count, Moments moments) {
    if (!(moments.variance > 0)) // none, or no spread to measure against (NaN)
        return {};
    return formatDeviation((static_cast<double>(count) - moments.mean) / std::sqrt(moments.variance));
}

QString labelText(const core::DrawRows& draws, std::uint32_t side) {
    return draws.labels().at(side).toString();
}

} // namespace

QString formatExpected(double value) {
    // Two decimals, or as many as keep two significant digits; below 1e-6, powers of ten.
    constexpr int kDecimals = 2;
    constexpr double kSmallest = 1e-6;
    const double size = std::abs(value);
    if (size == 0 || !std::isfinite(value))
        return QString::number(value, 'f', kDecimals);
    if (size < kSmallest)
        return QString::number(value, 'e', 1);
    const int decimals = std::max(kDecimals, 1 - static_cast<int>(std::floor(std::log10(size))));
    return QString::number(value, 'f', decimals);
}

QString formatShare(double share) {
    return formatExpected(100 * share) + u'%';
}

QString formatDeviation(double deviations) {
    return (deviations >= 0 ? u"+"_s : QString()) + QString::number(deviations, 'f', 2);
}

QString formatStatistic(double value) {
    return QString::number(value, 'f', 3);
}

QString formatPValue(double pValue) {
    if (pValue < 1e-300)
        return u"< 1e-300"_s;
    if (pValue < 1e-3)
        return QString::number(pValue, 'e', 2);
    return QString::number(pValue, 'f', 4);
}

OrderedTable::OrderedTable(std::shared_ptr<const Table> table, std::vector<std::int64_t> order)
    : m_table(std::move(table))
    , m_order(std::move(order)) {}

std::int64_t OrderedTable::source(std::int64_t row) const {
    return row < std::ssize(m_order) ? m_order[static_cast<std::size_t>(row)] : row;
}

std::vector<std::int64_t> sortOrder(const Table& table, int column, bool descending) {
    const std::int64_t rows = table.rowCount() - (table.hasTotalRow() ? 1 : 0);
    std::vector<std::int64_t> order(static_cast<std::size_t>(std::max<std::int64_t>(rows, 0)));
    std::iota(order.begin(), order.end(), 0);
    if (rows <= 0)
        return order;
    if (table.value(0, column)) {
        std::vector<double> keys(order.size());
        for (std::int64_t row = 0; row < rows; ++row)
            keys[static_cast<std::size_t>(row)] = table.value(row, column).value_or(-HUGE_VAL);
        std::stable_sort(order.begin(), order.end(), [&](std::int64_t a, std::int64_t b) {
            const double x = keys[static_cast<std::size_t>(a)];
            const double y = keys[static_cast<std::size_t>(b)];
            return descending ? x > y : x < y;
        });
    } else {
        QStringList keys;
        keys.reserve(static_cast<qsizetype>(rows));
        for (std::int64_t row = 0; row < rows; ++row)
            keys.append(table.cell(row, column));
        std::stable_sort(order.begin(), order.end(), [&](std::int64_t a, std::int64_t b) {
            const int c = keys[static_cast<qsizetype>(a)].compare(keys[static_cast<qsizetype>(b)]);
            return descending ? c > 0 : c < 0;
        });
    }
    return order;
}

SidesTable::SidesTable(SideCounts counts, core::DrawRows draws, Moments perSide, std::vector<Moments> bySide,
                       std::int64_t firstLabel)
    : m_counts(std::move(counts))
    , m_draws(std::move(draws))
    , m_perSide(perSide)
    , m_bySide(std::move(bySide))
    , m_firstLabel(firstLabel) {}

QStringList SidesTable::headers() const {
    return {u"Side"_s, u"Count"_s, u"Share"_s, u"Expected"_s, u"Deviation"_s};
}

QString SidesTable::cell(std::int64_t row, int column) const {
    const bool total = row == std::ssize(m_counts.counts);
    const std::uint64_t count = total ? m_counts.draws : m_counts.counts[static_cast<std::size_t>(row)];
    switch (column) {
    case 0:
        if (total)
            return u"Total"_s;
        return labelText(m_draws, static_cast<std::uint32_t>(m_firstLabel + row)) + kindOf(m_firstLabel + row);
    case 1:
        return QString::number(count);
    case 2:
        return share(count, m_counts.draws);
    case 3:
        if (std::isnan(m_perSide.mean)) // nothing exact is known of these rolls
            return {};
        if (!total && std::isnan(expectation(row).mean))
            return {};
        if (total)
            return formatExpected(m_bySide.empty() ? m_perSide.mean * static_cast<double>(m_counts.counts.size())
                                                   : static_cast<double>(m_counts.draws));
        return formatExpected(expectation(row).mean);
    default:
        return total ? QString() : deviation(count, expectation(row));
    }
}

QString SidesTable::kindOf(std::int64_t label) const {
    // Different dice may share labels ("1" of a six and of a four): every die's table names them.
    const core::DiceLayout* layout = m_draws.layout();
    if (!layout || layout->kinds.size() < 2 || std::ssize(m_counts.counts) < m_draws.sideCount())
        return {};
    for (const core::DiceLayout::Kind& kind : layout->kinds) {
        if (label >= kind.firstLabel && label < kind.firstLabel + kind.sides && !kind.name.isEmpty())
            return u" ("_s + kind.name + u')';
    }
    return {};
}

std::optional<double> SidesTable::value(std::int64_t row, int column) const {
    if (row >= std::ssize(m_counts.counts))
        return std::nullopt;
    const auto count = static_cast<double>(m_counts.counts[static_cast<std::size_t>(row)]);
    switch (column) {
    case 0:
        return static_cast<double>(row); // the sides' list order
    case 3:
        return std::isnan(expectation(row).mean) ? std::nullopt : std::optional<double>(expectation(row).mean);
    case 4: {
        const Moments& e = expectation(row);
        return e.variance > 0 ? (count - e.mean) / std::sqrt(e.variance) : 0.0;
    }
    default:
        return count;
    }
}

CombinationsTable::CombinationsTable(Combinations combinations, core::DrawRows draws,
                                     std::shared_ptr<const RollLaw> law)
    : m_combinations(std::move(combinations))
    , m_draws(std::move(draws))
    , m_law(std::move(law)) {}

QStringList CombinationsTable::headers() const {
    return {u"Combination"_s, u"Count"_s, u"Share"_s, u"Expected"_s};
}

double CombinationsTable::expected(std::int64_t row) const {
    m_combinations.sides(row, m_sides);
    const double p =
        m_combinations.ignoresOrder() ? m_law->unorderedProbability(m_sides) : m_law->orderedProbability(m_sides);
    return p * static_cast<double>(m_combinations.rolls());
}

QString CombinationsTable::cell(std::int64_t row, int column) const {
    switch (column) {
    case 0: {
        m_combinations.sides(row, m_sides);
        QString line;
        for (std::size_t die = 0; die < m_sides.size(); ++die) {
            if (die > 0)
                line += QStringView(core::kRollSeparator);
            line += m_draws.labels().at(m_sides[die]);
        }
        return line;
    }
    case 1:
        return QString::number(m_combinations.count(row));
    case 2:
        return share(m_combinations.count(row), m_combinations.rolls());
    default: {
        const double e = expected(row);
        return std::isnan(e) ? QString() : formatExpected(e);
    }
    }
}

std::optional<double> CombinationsTable::value(std::int64_t row, int column) const {
    switch (column) {
    case 0:
        return std::nullopt;
    case 3: {
        const double e = expected(row);
        return std::isnan(e) ? std::nullopt : std::optional<double>(e);
    }
    default:
        return static_cast<double>(m_combinations.count(row));
    }
}

TotalsTable::TotalsTable(std::vector<std::uint64_t> counts, TotalLaw law, std::uint64_t rolls)
    : m_counts(std::move(counts))
    , m_law(std::move(law))
    , m_rolls(rolls) {
    for (std::size_t cell = 0; cell < m_counts.size(); ++cell) {
        if (m_law.probability[cell] > 0 || m_counts[cell] > 0)
            m_cells.push_back(static_cast<std::int64_t>(cell));
    }
}

QStringList TotalsTable::headers() const {
    return {u"Total"_s, u"Count"_s, u"Share"_s, u"Expected"_s, u"Deviation"_s};
}

QString TotalsTable::cell(std::int64_t row, int column) const {
    const auto cell = static_cast<std::size_t>(m_cells[static_cast<std::size_t>(row)]);
    const std::uint64_t count = m_counts[cell];
    const double p = m_law.probability[cell];
    const double n = static_cast<double>(m_rolls);
    switch (column) {
    case 0:
        return QString::number(m_law.first + static_cast<std::int64_t>(cell));
    case 1:
        return QString::number(count);
    case 2:
        return share(count, m_rolls);
    case 3:
        return formatExpected(n * p);
    default:
        return deviation(count, {n * p, n * p * (1 - p)});
    }
}

std::optional<double> TotalsTable::value(std::int64_t row, int column) const {
    const auto cell = static_cast<std::size_t>(m_cells[static_cast<std::size_t>(row)]);
    const double n = static_cast<double>(m_rolls);
    const double p = m_law.probability[cell];
    const auto count = static_cast<double>(m_counts[cell]);
    switch (column) {
    case 0:
        return static_cast<double>(m_law.first + static_cast<std::int64_t>(cell));
    case 3:
        return n * p;
    case 4:
        return p > 0 && p < 1 ? (count - n * p) / std::sqrt(n * p * (1 - p)) : 0.0;
    default:
        return count;
    }
}

Moments TotalsTable::observed() const {
    if (m_rolls == 0)
        return {};
    long double sum = 0;
    for (std::size_t cell = 0; cell < m_counts.size(); ++cell)
        sum += static_cast<long double>(m_counts[cell]) * static_cast<long double>(m_law.first + std::int64_t(cell));
    const long double mean = sum / m_rolls;
    long double squares = 0;
    for (std::size_t cell = 0; cell < m_counts.size(); ++cell) {
        const long double d = static_cast<long double>(m_law.first + std::int64_t(cell)) - mean;
        squares += static_cast<long double>(m_counts[cell]) * d * d;
    }
    return {static_cast<double>(mean), static_cast<double>(squares / m_rolls)};
}

std::vector<double> TotalsTable::expectedCounts() const {
    std::vector<double> expected(m_law.probability.size());
    for (std::size_t cell = 0; cell < expected.size(); ++cell)
        expected[cell] = m_law.probability[cell] * static_cast<double>(m_rolls);
    return expected;
}

} // namespace stats
