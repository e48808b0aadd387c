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

const QString kNotApplicable = u"not applicable"_s;
const QString kTotalsTooLarge =
    u"The totals of these dice span too many values to work out exactly, so they are neither shown nor tested."_s;
const QString kReadingPValue = u"Among fair rolls of this size, one in a hundred gives a p-value below 0.01, and "
                               u"one in twenty a p-value below 0.05."_s;

// A sentence to follow a colon: "Totals: the totals of ...".
QString afterColon(QString sentence) {
    sentence[0] = sentence[0].toLower();
    return sentence;
}

// The caveat of a test, or why it does not apply, as a sentence; empty when there is nothing to add.
QString testNote(const ChiSquare& test, bool totals) {
    if (!test.applicable()) {
        if (test.declined == ChiSquare::Declined::TooFewRolls)
            return u"There are too few rolls for the chi-square test: joined until each is expected at least 5 "
                   u"times, the totals make a single group."_s;
        return u"The chi-square test does not apply, as there is only one possible outcome."_s;
    }
    if (test.pooled)
        return u"Totals expected fewer than 5 times are pooled with their neighbours."_s;
    if (test.lowExpectation)
        return (totals ? u"Some totals"_s : u"Some sides"_s) +
               u" are expected fewer than 5 times, so the p-value is only a rough guide."_s;
    return {};
}

// The lines of a test and its note, named plainly for the view's own test and after the prefix for
// the other.
void appendTest(QList<std::pair<QString, QString>>& lines, const QString& prefix, const ChiSquare& test,
                const QString& note) {
    const auto named = [&](const QString& plain, const QString& lower) {
        return prefix.isEmpty() ? plain : prefix + u' ' + lower;
    };
    const bool applies = test.applicable();
    lines.append({named(u"Chi-square"_s, u"chi-square"_s), applies ? formatStatistic(test.statistic) : kNotApplicable});
    lines.append({named(u"Degrees of freedom"_s, u"degrees of freedom"_s),
                  applies ? QString::number(test.degreesOfFreedom) : kNotApplicable});
    lines.append({named(u"p-value"_s, u"p-value"_s), applies ? formatPValue(test.pValue) : kNotApplicable});
    if (!note.isEmpty())
        lines.append({named(u"Note"_s, u"note"_s), note});
}

} // namespace

QString dieName(const core::DrawRows& draws, std::int32_t die) {
    QString name = u"Die "_s + QString::number(die);
    const core::DiceLayout* layout = draws.layout();
    if (layout && layout->kinds.size() > 1 && die >= 1) {
        const QString& kind = layout->kinds[static_cast<std::size_t>(layout->kindAt(die - 1))].name;
        if (!kind.isEmpty())
            name += u": "_s + kind;
    }
    return name;
}

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

std::vector<std::int64_t> aboveLowest(const core::DrawRows& draws, std::span<const std::int64_t> values) {
    std::vector<std::int64_t> above(values.size(), -1);
    const core::DiceLayout* layout = draws.layout();
    const core::DiceLayout::Kind whole{{}, 0, std::ssize(values), {}};
    const std::span<const core::DiceLayout::Kind> kinds =
        layout && !layout->kinds.empty() ? std::span(layout->kinds) : std::span(&whole, 1);
    for (const core::DiceLayout::Kind& kind : kinds) {
        const auto drawn = [&](std::int64_t side) {
            return kind.weights.empty() || kind.weights[static_cast<std::size_t>(side)] > 0;
        };
        const std::span<const std::int64_t> own =
            values.subspan(static_cast<std::size_t>(kind.firstLabel), static_cast<std::size_t>(kind.sides));
        std::optional<std::int64_t> lowest;
        for (std::int64_t side = 0; side < kind.sides; ++side) {
            if (drawn(side))
                lowest =
                    std::min(lowest.value_or(own[static_cast<std::size_t>(side)]), own[static_cast<std::size_t>(side)]);
        }
        for (std::int64_t side = 0; side < kind.sides; ++side) {
            if (drawn(side))
                above[static_cast<std::size_t>(kind.firstLabel + side)] = own[static_cast<std::size_t>(side)] - *lowest;
        }
    }
    return above;
}

Statistics Statistics::start(const core::DrawRows& draws, View view, std::optional<std::vector<std::int64_t>> values) {
    Statistics result;
    result.m_view = view;
    result.m_draws = draws;
    result.m_dice = draws.dice();
    result.m_mode = draws.mode();
    result.m_values = std::move(values);
    return result;
}

Statistics Statistics::compute(const Selection& selection, const Options& options, Work& work) {
    const core::DrawRows& draws = selection.draws;
    Statistics result = start(draws, options.view, wholeNumbers(draws.labels()));
    if (draws.empty()) {
        result.m_emptyReason = kNothingToCount;
        return result;
    }
    if (draws.sideCount() == 0) {
        result.m_emptyReason = kNoSides;
        return result;
    }
    const std::shared_ptr<const RollLaw> law = rollLaw(draws.mode(), draws.sideCount(), draws.dice(), draws.layout());
    result.m_die = options.view == View::Sides ? options.die : 0;
    result.m_tickedOnly = selection.ticked.has_value();

    std::optional<TotalLaw> totals;
    // The lines of the combinations view say nothing of totals: no pass over the rows for them there.
    if (result.m_values && options.view != View::Combinations) {
        totals = law->totals(*result.m_values);
        result.m_totalsTooLarge = !totals && law->exact();
    }
    // Every pass is planned before the first, so the progress only ever grows.
    const auto rows = static_cast<std::uint64_t>(draws.size());
    work.plan(rows + (totals ? rows : 0) + (options.view == View::Combinations ? combinationSteps(selection) : 0));

    result.m_sides = countSides(selection, result.m_die, work);
    result.m_rolls = result.m_sides.rolls;
    if (result.m_rolls == 0) {
        result.m_emptyReason = kNoTickedRows;
        return result;
    }
    std::vector<std::uint64_t> totalCounts;
    if (totals)
        totalCounts =
            countTotals(selection, aboveLowest(draws, *result.m_values), std::ssize(totals->probability), work);
    result.complete(*law, totals, std::move(totalCounts));

    if (options.view == View::Combinations) {
        try {
            result.m_table = std::make_shared<CombinationsTable>(
                countCombinations(selection, options.ignoreOrder, work), draws, law);
        } catch (const std::length_error&) {
            result.m_emptyReason = u"There are too many rows to list their combinations."_s;
        }
    }
    return result;
}

Statistics Statistics::compute(const Tally& tally, View view, std::int32_t die) {
    Statistics result = start(tally.m_roll, view, tally.m_values);
    if (die > 0 && die <= tally.countedDice() && view == View::Sides) {
        result.m_die = die;
        result.m_sides = tally.m_byDie[static_cast<std::size_t>(die - 1)].sides();
    } else {
        result.m_sides = tally.m_counts.sides();
    }
    result.m_rolls = result.m_sides.rolls;
    if (result.m_rolls == 0) {
        result.m_emptyReason = kNothingToCount;
        return result;
    }
    if (view == View::Combinations) {
        result.m_emptyReason = u"The combinations of rolls that were not kept cannot be listed."_s;
        return result;
    }
    result.m_totalsTooLarge = result.m_values && !tally.m_totals;
    result.complete(*tally.m_law, tally.m_totals, tally.m_counts.totals());
    return result;
}

void Statistics::complete(const RollLaw& law, const std::optional<TotalLaw>& totals,
                          std::vector<std::uint64_t> totalCounts) {
    const Moments perSide = law.sideCount(m_rolls, m_die);
    // A weighted die expects each side by its own chance, a set of different dice each by its die's.
    std::vector<Moments> bySide = law.sideCounts(m_rolls, m_die);
    const std::vector<double> chances = law.sideProbabilities();
    const double draws = static_cast<double>(m_sides.draws);
    for (std::size_t side = bySide.empty() ? 0 : chances.size(); side < chances.size() && side < m_sides.counts.size();
         ++side)
        bySide.push_back({draws * chances[side], draws * chances[side] * (1 - chances[side])});
    bySide.resize(std::min(bySide.size(), m_sides.counts.size()));
    for (std::size_t side = 0; side < bySide.size(); ++side) {
        if (bySide[side].mean == 0 && m_sides.counts[side] > 0)
            m_impossible.push_back(static_cast<std::uint32_t>(side));
    }
    m_exact = law.exact();
    m_untestable = law.untestable();
    m_sidesTest = law.sidesTest(m_sides.counts, m_rolls, m_die);
    m_expectedLongestRun = law.expectedLongestRun(m_rolls, m_die);

    if (totals) {
        auto table = std::make_shared<TotalsTable>(std::move(totalCounts), *totals, m_rolls);
        if (m_untestable.isEmpty())
            m_totalsTest = pearsonPooled(table->counts(), table->expectedCounts());
        m_observedTotals = table->observed();
        m_exactTotals = totals->moments;
        if (m_view == View::Totals) {
            m_chart.histogram = true;
            for (std::int64_t row = 0; row < table->rowCount(); ++row) {
                m_chart.observed.push_back(*table->value(row, 1));
                m_chart.expected.push_back(*table->value(row, 3));
            }
            m_table = std::move(table);
        }
    } else if (m_view == View::Totals) {
        m_emptyReason = !m_exact   ? m_untestable
                        : m_values ? kTotalsTooLarge
                                   : u"Totals need every side to be a whole number, such as 1 to 6."_s;
    }

    if (m_view == View::Sides) {
        // One die of a set shows its own sides only.
        SideCounts shown = m_sides;
        std::int64_t first = 0;
        const core::DiceLayout* layout = m_draws.layout();
        if (layout && layout->kinds.size() > 1 && m_die > 0) {
            const core::DiceLayout::Kind& kind = layout->kinds[static_cast<std::size_t>(layout->kindAt(m_die - 1))];
            first = kind.firstLabel;
            const auto from = static_cast<std::size_t>(first);
            const auto to = std::min(from + static_cast<std::size_t>(kind.sides), shown.counts.size());
            shown.counts.assign(m_sides.counts.begin() + static_cast<std::ptrdiff_t>(from),
                                m_sides.counts.begin() + static_cast<std::ptrdiff_t>(to));
            if (!bySide.empty())
                bySide.assign(bySide.begin() + static_cast<std::ptrdiff_t>(from),
                              bySide.begin() + static_cast<std::ptrdiff_t>(to));
        }
        m_chart.observed.assign(shown.counts.begin(), shown.counts.end());
        m_chart.expected.assign(shown.counts.size(), perSide.mean);
        for (std::size_t side = 0; side < bySide.size(); ++side)
            m_chart.expected[side] = bySide[side].mean;
        m_table = std::make_shared<SidesTable>(std::move(shown), m_draws, perSide, std::move(bySide), first);
    }
}

QString Statistics::testSentence(bool totals) const {
    const ChiSquare& test = totals ? m_totalsTest : m_sidesTest;
    const QString what = totals ? u"Totals"_s : m_die == 0 ? u"Sides"_s : u"Sides of die "_s + QString::number(m_die);
    const QString note = testNote(test, totals);
    if (!test.applicable())
        return what + u": "_s + afterColon(note);
    QString sentence = what + u": chi-square "_s + formatStatistic(test.statistic) + u" with "_s +
                       QString::number(test.degreesOfFreedom) +
                       (test.degreesOfFreedom == 1 ? u" degree of freedom"_s : u" degrees of freedom"_s) +
                       u", p-value "_s + formatPValue(test.pValue) + u'.';
    if (!note.isEmpty())
        sentence += u' ' + note;
    return sentence;
}

QString Statistics::impossibleSentence() const {
    QStringList sides;
    for (std::uint32_t side : m_impossible)
        sides.append(quoted(m_draws.labels().at(side)) + u" ("_s + QString::number(m_sides.counts[side]) +
                     u"\u00D7)"_s);
    return u"Sides of weight 0 came up all the same: "_s + sides.join(u", "_s) +
           u". They are left out of the chi-square test."_s;
}

QList<std::pair<QString, QString>> Statistics::fairnessLines() const {
    QList<std::pair<QString, QString>> lines{
        {u"Rolls"_s, QString::number(m_rolls)},
        {u"Dice per roll"_s, QString::number(m_dice)},
        {u"Roll mode"_s, core::rollModeName(m_mode)},
    };
    const bool totalsView = m_view == View::Totals;
    const bool tested = m_untestable.isEmpty();
    if (tested)
        appendTest(lines, {}, chiSquare(), m_rolls == 0 ? QString() : testNote(chiSquare(), totalsView));
    else
        appendTest(lines, {}, {}, m_untestable);
    lines.append({u"Rows"_s, m_tickedOnly ? u"Ticked rows only"_s : u"All rows"_s});
    lines.append({u"Dice"_s, m_die == 0 ? u"All dice"_s : dieName(m_draws, m_die)});
    if (m_rolls == 0)
        return lines;
    if (tested && m_exactTotals)
        appendTest(lines, totalsView ? u"Sides"_s : u"Totals"_s, totalsView ? m_sidesTest : m_totalsTest,
                   testNote(totalsView ? m_sidesTest : m_totalsTest, !totalsView));
    if (m_observedTotals && m_exactTotals) {
        lines.append({u"Mean total"_s, formatExpected(m_observedTotals->mean)});
        lines.append({u"Exact mean total"_s, formatExpected(m_exactTotals->mean)});
        lines.append({u"Standard deviation of totals"_s, formatExpected(std::sqrt(m_observedTotals->variance))});
        lines.append({u"Exact standard deviation of totals"_s, formatExpected(std::sqrt(m_exactTotals->variance))});
    } else if (m_totalsTooLarge) {
        lines.append({u"Totals note"_s, kTotalsTooLarge});
    }
    if (!m_impossible.empty())
        lines.append({u"Sides of weight 0"_s, impossibleSentence()});
    const Run& run = m_sides.longestRun;
    lines.append({u"Longest run"_s, QString::number(run.length)});
    lines.append({u"Longest run side"_s, run.length == 0 ? QString() : m_draws.labels().at(run.side).toString()});
    lines.append({u"Expected longest run"_s,
                  std::isnan(m_expectedLongestRun) ? kNotApplicable : QString::number(m_expectedLongestRun, 'f', 1)});
    if (tested)
        lines.append({u"Reading a p-value"_s, kReadingPValue});
    return lines;
}

QStringList Statistics::summary() const {
    if (m_rolls == 0)
        return {};
    QStringList lines{u"Roll mode: "_s + core::rollModeName(m_mode) + u'.'};
    const bool tested = m_untestable.isEmpty();
    lines.append(tested ? testSentence(false) : m_untestable);
    if (m_observedTotals && m_exactTotals) {
        if (tested)
            lines.append(testSentence(true));
        lines.append(u"Totals: mean "_s + formatExpected(m_observedTotals->mean) + u" (exact "_s +
                     formatExpected(m_exactTotals->mean) + u"), standard deviation "_s +
                     formatExpected(std::sqrt(m_observedTotals->variance)) + u" (exact "_s +
                     formatExpected(std::sqrt(m_exactTotals->variance)) + u")."_s);
    } else if (m_totalsTooLarge && m_view != View::Totals) { // the totals view says so in its place
        lines.append(u"Totals: "_s + afterColon(kTotalsTooLarge));
    }
    if (!m_impossible.empty())
        lines.append(impossibleSentence());
    const Run& run = m_sides.longestRun;
    QString longest = u"Longest run of one side: "_s + QString::number(run.length) + u" \u00D7 "_s +
                      quoted(m_draws.labels().at(run.side));
    if (std::isnan(m_expectedLongestRun))
        longest += u'.';
    else
        longest += u"; fair dice give about "_s + QString::number(m_expectedLongestRun, 'f', 1) +
                   u" in a roll of this size."_s;
    lines.append(longest);
    if (tested)
        lines.append(u"Reading a p-value: "_s + afterColon(kReadingPValue));
    return lines;
}

Statistics::Chart Statistics::Chart::binned(std::int64_t bars) const {
    const auto rows = static_cast<std::int64_t>(observed.size());
    bars = std::max<std::int64_t>(bars, 1);
    if (rows <= bars)
        return *this;
    Chart result;
    result.histogram = histogram;
    result.binSize = (rows + bars - 1) / bars;
    for (std::int64_t first = 0; first < rows; first += result.binSize) {
        const std::int64_t end = std::min(rows, first + result.binSize);
        double observedSum = 0;
        double expectedSum = 0;
        for (std::int64_t row = first; row < end; ++row) {
            observedSum += observed[static_cast<std::size_t>(row)];
            expectedSum += expected[static_cast<std::size_t>(row)];
        }
        result.observed.push_back(observedSum / static_cast<double>(end - first));
        result.expected.push_back(expectedSum / static_cast<double>(end - first));
    }
    return result;
}

Tally::Tally(std::shared_ptr<const core::TextRows> labels, std::int32_t dice, core::RollMode mode,
             std::shared_ptr<const core::DiceLayout> layout)
    : m_roll(std::move(labels), dice, mode, std::move(layout))
    , m_values(wholeNumbers(m_roll.labels()))
    , m_law(rollLaw(mode, m_roll.sideCount(), dice, m_roll.layout()))
    , m_totals(m_values ? m_law->totals(*m_values) : std::nullopt)
    , m_above(m_totals ? aboveLowest(m_roll, *m_values) : std::vector<std::int64_t>())
    , m_counts(m_roll.sideCount(), dice, m_above, m_totals ? std::ssize(m_totals->probability) : 0) {
    // A count of every label for every die: bounded, as a set may hold very many dice.
    constexpr double kMostCells = 1 << 22;
    const core::DiceLayout* shape = m_roll.layout();
    if (shape && shape->kinds.size() > 1 &&
        static_cast<double>(dice) * static_cast<double>(m_roll.sideCount()) <= kMostCells)
        m_byDie.assign(static_cast<std::size_t>(dice), RunningCounts(m_roll.sideCount(), 1));
}

void Tally::add(std::span<const std::uint64_t> sides) {
    m_counts.add(sides);
    if (m_byDie.empty())
        return;
    for (const std::uint64_t& side : sides) {
        m_byDie[m_nextDie].add({&side, 1});
        if (++m_nextDie == m_byDie.size())
            m_nextDie = 0;
    }
}

} // namespace stats
