#include "Statistics.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace stats {

const QString Statistics::kNothingToCount = u"There are no results to count."_s;
const QString Statistics::kNoTickedRows = u"No rows are ticked."_s;
const QString Statistics::kNoSides = u"The rows were rolled without sides, so no die drew anything."_s;

namespace {

constexpr std::int64_t kLargestWholeNumber = 1'000'000'000'000;

QString quoted(QStringView label) {
    return u"\u201C"_s + label + u"\u201D"_s;
}

QString testSentence(const QString& what, const ChiSquare& test) {
    if (!test.applicable())
        return what + u": the chi-square test does not apply, as there is only one possible outcome."_s;
    QString sentence = what + u": chi-square "_s + formatStatistic(test.statistic) + u" with "_s +
                       QString::number(test.degreesOfFreedom) +
                       (test.degreesOfFreedom == 1 ? u" degree of freedom"_s : u" degrees of freedom"_s) +
                       u", p-value "_s + formatPValue(test.pValue) + u'.';
    if (test.pooled)
        sentence += u" Totals expected fewer than 5 times are pooled with their neighbours."_s;
    else if (test.lowExpectation)
        sentence += u" Some are expected fewer than 5 times, so the p-value is only a rough guide."_s;
    return sentence;
}

} // namespace

std::optional<std::vector<std::int64_t>> wholeNumbers(const core::TextRows& labels) {
    std::vector<std::int64_t> values;
    values.reserve(static_cast<std::size_t>(labels.size()));
    for (std::int64_t side = 0; side < labels.size(); ++side) {
        const QStringView label = labels.at(side);
        qsizetype at = label.startsWith(u'-') || label.startsWith(u'+') ? 1 : 0;
        if (at == label.size() || label.size() - at > 13)
            return std::nullopt;
        std::int64_t value = 0;
        for (; at < label.size(); ++at) {
            const char16_t c = label[at].unicode();
            if (c < u'0' || c > u'9')
                return std::nullopt;
            value = value * 10 + (c - u'0');
        }
        if (value > kLargestWholeNumber)
            return std::nullopt;
        values.push_back(label.startsWith(u'-') ? -value : value);
    }
    return values;
}

Statistics Statistics::compute(const Selection& selection, const Options& options, Work& work) {
    Statistics result;
    result.m_view = options.view;
    const core::DrawRows& draws = selection.draws;
    result.m_draws = draws;
    result.m_dice = draws.dice();
    result.m_mode = draws.mode();
    result.m_values = wholeNumbers(draws.labels());
    if (draws.empty()) {
        result.m_emptyReason = kNothingToCount;
        return result;
    }
    if (draws.sideCount() == 0) {
        result.m_emptyReason = kNoSides;
        return result;
    }
    const std::shared_ptr<const RollLaw> law = rollLaw(draws.mode(), draws.sideCount(), draws.dice());
    const std::int32_t die = options.view == View::Sides ? options.die : 0;
    result.m_die = die;

    result.m_sides = countSides(selection, die, work);
    result.m_rolls = result.m_sides.rolls;
    if (result.m_rolls == 0) {
        result.m_emptyReason = kNoTickedRows;
        return result;
    }
    const Moments perSide = law->sideCount(result.m_rolls, die);
    const std::vector<double> expectedSides(result.m_sides.counts.size(), perSide.mean);
    result.m_untestable = law->untestable();
    result.m_sidesTest = law->sidesTest(result.m_sides.counts, result.m_rolls, die);
    result.m_expectedLongestRun = law->expectedLongestRun(result.m_rolls, die);

    std::optional<TotalLaw> totals;
    // The lines of the combinations view say nothing of totals: no pass over the rows for them there.
    if (result.m_values && options.view != View::Combinations)
        totals = law->totals(*result.m_values);
    if (totals) {
        auto counts = countTotals(selection, *result.m_values, std::ssize(totals->probability), work);
        auto table = std::make_shared<TotalsTable>(std::move(counts), *totals, result.m_rolls);
        if (result.m_untestable.isEmpty())
            result.m_totalsTest = pearsonPooled(table->counts(), table->expectedCounts());
        result.m_observedTotals = table->observed();
        result.m_exactTotals = totals->moments;
        if (options.view == View::Totals) {
            result.m_chart.histogram = true;
            for (std::int64_t row = 0; row < table->rowCount(); ++row) {
                result.m_chart.observed.push_back(*table->value(row, 1));
                result.m_chart.expected.push_back(*table->value(row, 3));
            }
            result.m_table = std::move(table);
        }
    } else if (options.view == View::Totals) {
        result.m_emptyReason = result.m_values ? u"The totals of these dice span too many values to work out exactly."_s
                                               : u"Totals need every side to be a whole number, such as 1 to 6."_s;
    }

    switch (options.view) {
    case View::Sides:
        result.m_chart.observed.assign(result.m_sides.counts.begin(), result.m_sides.counts.end());
        result.m_chart.expected = expectedSides;
        result.m_table = std::make_shared<SidesTable>(result.m_sides, draws, perSide);
        break;
    case View::Combinations:
        try {
            result.m_table = std::make_shared<CombinationsTable>(
                countCombinations(selection, options.ignoreOrder, work), draws, law);
        } catch (const std::length_error&) {
            result.m_emptyReason = u"There are too many rows to list their combinations."_s;
        }
        break;
    case View::Totals:
        break;
    }
    return result;
}

QList<std::pair<QString, QString>> Statistics::fairnessLines() const {
    const ChiSquare& test = chiSquare();
    const QString notApplicable = u"not applicable"_s;
    return {
        {u"Rolls"_s, QString::number(m_rolls)},
        {u"Dice per roll"_s, QString::number(m_dice)},
        {u"Roll mode"_s, core::rollModeName(m_mode)},
        {u"Chi-square"_s, test.applicable() ? formatStatistic(test.statistic) : notApplicable},
        {u"Degrees of freedom"_s, test.applicable() ? QString::number(test.degreesOfFreedom) : notApplicable},
        {u"p-value"_s, test.applicable() ? formatPValue(test.pValue) : notApplicable},
    };
}

QStringList Statistics::summary() const {
    if (m_rolls == 0)
        return {};
    QStringList lines{u"Roll mode: "_s + core::rollModeName(m_mode) + u'.'};
    if (!m_untestable.isEmpty())
        lines.append(m_untestable);
    else
        lines.append(testSentence(m_die == 0 ? u"Sides"_s : u"Sides of die "_s + QString::number(m_die), m_sidesTest));
    if (m_observedTotals && m_exactTotals) {
        if (m_untestable.isEmpty())
            lines.append(testSentence(u"Totals"_s, m_totalsTest));
        lines.append(u"Totals: mean "_s + formatExpected(m_observedTotals->mean) + u" (exact "_s +
                     formatExpected(m_exactTotals->mean) + u"), standard deviation "_s +
                     formatExpected(std::sqrt(m_observedTotals->variance)) + u" (exact "_s +
                     formatExpected(std::sqrt(m_exactTotals->variance)) + u")."_s);
    }
    const Run& run = m_sides.longestRun;
    QString longest = u"Longest run of one side: "_s + QString::number(run.length) + u" \u00D7 "_s +
                      quoted(m_draws.labels().at(run.side));
    if (std::isnan(m_expectedLongestRun))
        longest += u'.';
    else
        longest += u"; fair dice give about "_s + QString::number(m_expectedLongestRun, 'f', 1) +
                   u" in a roll of this size."_s;
    lines.append(longest);
    if (m_untestable.isEmpty()) {
        lines.append(u"Reading a p-value: among fair rolls of this size, one in a hundred gives a p-value below 0.01, "
                     u"and one in twenty a p-value below 0.05."_s);
    }
    return lines;
}

} // namespace stats
