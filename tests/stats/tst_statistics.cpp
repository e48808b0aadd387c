#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "roll/StartRolling.h"
#include "stats/Export.h"
#include "stats/Statistics.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <numeric>

using namespace Qt::StringLiterals;
using stats::Statistics;

namespace {

using Rows = QList<QList<int>>;

core::DrawRows drawsOf(const QStringList& labels, int dice, const Rows& rows,
                       core::RollMode mode = core::RollMode::Independent) {
    auto texts = std::make_shared<core::TextRows>();
    for (const QString& label : labels)
        texts->append(label);
    core::DrawRows draws(texts, dice, mode);
    draws.build([&](auto& indices) {
        for (const QList<int>& row : rows) {
            for (int side : row)
                indices.push_back(static_cast<std::decay_t<decltype(indices[0])>>(side));
        }
    });
    return draws;
}

Statistics compute(const core::DrawRows& draws, Statistics::Options options,
                   std::optional<std::vector<bool>> ticked = std::nullopt) {
    stats::Work work;
    return Statistics::compute({draws, std::move(ticked)}, options, work);
}

// `rows` rolls of `dice` dice over sides named 1 to `sides`, from a fixed sequence.
core::DrawRows seededDraws(int sides, int dice, std::int64_t rows, core::RollMode mode = core::RollMode::Independent) {
    auto texts = std::make_shared<core::TextRows>();
    for (int side = 1; side <= sides; ++side)
        texts->append(QString::number(side));
    core::DrawRows draws(texts, dice, mode);
    std::uint64_t state = 99;
    draws.build([&](auto& indices) {
        for (std::int64_t at = 0; at < rows * dice; ++at) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            indices.push_back(static_cast<std::decay_t<decltype(indices[0])>>((state >> 33) % std::uint64_t(sides)));
        }
    });
    return draws;
}

// The first cell of each row, without the name of a set's die, against its second (the count), without
// a total row.
std::map<QString, std::uint64_t> tableCounts(const stats::Table& table) {
    std::map<QString, std::uint64_t> counts;
    for (std::int64_t row = 0; row < table.rowCount() - (table.hasTotalRow() ? 1 : 0); ++row)
        counts[table.cell(row, 0).section(u" ("_s, 0, 0)] = table.cell(row, 1).toULongLong();
    return counts;
}

} // namespace

Q_DECLARE_METATYPE(Statistics::View)
Q_DECLARE_METATYPE(core::RollMode)

class StatisticsTest : public QObject {
    Q_OBJECT
private slots:
    void pValueMatchesReference_data();
    void pValueMatchesReference();
    void weightedAndSetRollsClaimOnlyWhatIsExact_data();
    void weightedAndSetRollsClaimOnlyWhatIsExact();
    void setDiceEachFollowTheirOwnLaw_data();
    void setDiceEachFollowTheirOwnLaw();
    void setTotalsMatchEveryRollCounted_data();
    void setTotalsMatchEveryRollCounted();
    void totalsFollowTheExactDistribution_data();
    void totalsFollowTheExactDistribution();
    void rollsWithoutRepeatsFollowTheirLaw_data();
    void rollsWithoutRepeatsFollowTheirLaw();
    void combinationsExpectMultinomialCounts_data();
    void combinationsExpectMultinomialCounts();
    void longestRunAndItsExpectation_data();
    void longestRunAndItsExpectation();
    void longRunExpectationJoinsTheExactOne();
    void countsAgreeWithCountingTheText_data();
    void countsAgreeWithCountingTheText();
    void nothingToTestIsSaidPlainly_data();
    void nothingToTestIsSaidPlainly();
    void totalsPoolCellsExpectedFewerThanFiveTimes();
    void totalsKeepTheirFarTail();
    void numbersKeepTwoSignificantDigits();
    void linesCarryEverythingTheSummarySays_data();
    void linesCarryEverythingTheSummarySays();
    void progressGrowsToTheEnd_data();
    void progressGrowsToTheEnd();
    void tallyPrintsTheCaveatsAndWhatIsLeftOut();
    void sortingKeepsTheTotalRowLast_data();
    void sortingKeepsTheTotalRowLast();
    void exportsCarryTableAndFairnessLines_data();
    void exportsCarryTableAndFairnessLines();
    void tallyInBlocksMatchesKeptRows_data();
    void tallyInBlocksMatchesKeptRows();
};

void StatisticsTest::pValueMatchesReference_data() {
    QTest::addColumn<double>("statistic");
    QTest::addColumn<double>("degreesOfFreedom");
    QTest::addColumn<double>("pValue");
    // Upper tails worked out with 40-digit arithmetic, as R's pchisq(x, df, lower.tail = FALSE).
    QTest::newRow("5% point, 1 df") << 3.841458820694124 << 1.0 << 0.050000000000000058;
    QTest::newRow("5% point, 10 df") << 18.307038053275146 << 10.0 << 0.050000000000000013;
    QTest::newRow("near zero") << 1e-6 << 1.0 << 0.99920211557217787;
    QTest::newRow("256-sided die") << 400.0 << 255.0 << 1.6600025244124518e-8;
    QTest::newRow("40000-sided die") << 41000.0 << 39999.0 << 0.00022206742239186426;
    QTest::newRow("far tail, 100 df") << 300.0 << 100.0 << 7.4121008573228768e-22;
    QTest::newRow("far tail, 5 df") << 500.0 << 5.0 << 7.9846611105628015e-106;
    QTest::newRow("far tail, 2 df") << 1000.0 << 2.0 << 7.1245764067412855e-218;
}

void StatisticsTest::pValueMatchesReference() {
    QFETCH(double, statistic);
    QFETCH(double, degreesOfFreedom);
    QFETCH(double, pValue);
    const double computed = stats::chiSquarePValue(statistic, degreesOfFreedom);
    QVERIFY2(std::abs(computed - pValue) <= 1e-12 * pValue, qPrintable(QString::number(computed, 'g', 17)));
}

// Sides 1, 2, 3 weighing 1 : 3 : 0, or a set of a die "Two" (sides 1 and 2 by those weights) and a die
// "Three" that no position rolls.
void StatisticsTest::weightedAndSetRollsClaimOnlyWhatIsExact_data() {
    QTest::addColumn<core::RollMode>("mode");
    QTest::addColumn<bool>("set");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QList<std::uint32_t>>("weights"); // of the sides "1", "2" and "3"
    QTest::addColumn<QStringList>("expected");         // the Expected column, total row last
    QTest::addColumn<int>("degreesOfFreedom");
    QTest::addColumn<QString>("said");
    Rows fit(40, {0});
    for (int i = 0; i < 30; ++i)
        fit[i] = {1};
    Rows drewZero = fit;
    drewZero[0] = {2};
    const auto independent = core::RollMode::Independent;
    const QList<std::uint32_t> weights{1, 3, 0};
    Rows upper = fit;
    for (QList<int>& row : upper)
        row[0] += 1;
    QTest::newRow("weights 1:3:0") << independent << false << fit << weights
                                   << QStringList{u"10.00"_s, u"30.00"_s, u"0.00"_s, u"40.00"_s} << 1
                                   << u"Totals: mean 1.75 (exact 1.75)"_s;
    QTest::newRow("weight 0 came up") << independent << false << drewZero << weights
                                      << QStringList{u"10.00"_s, u"30.00"_s, u"0.00"_s, u"40.00"_s} << 1
                                      << u"Sides of weight 0 came up all the same: \u201C3\u201D (1\u00D7)"_s;
    // The totals count from the lowest side that can come up.
    QTest::newRow("weight 0 on the lowest side")
        << independent << false << upper << QList<std::uint32_t>{0, 1, 3}
        << QStringList{u"0.00"_s, u"10.00"_s, u"30.00"_s, u"40.00"_s} << 1 << u"Totals: mean 2.75 (exact 2.75)"_s;
    QTest::newRow("weighted, no repeats") << core::RollMode::Distinct << false << fit << weights
                                          << QStringList{QString(), QString(), QString(), QString()} << 0
                                          << u"No exact expectation is available for a weighted die"_s;
    QTest::newRow("set, weighted bag") << core::RollMode::Bag << true << fit << weights
                                       << QStringList{QString(), QString(), QString(), QString()} << 0
                                       << u"No exact expectation is available for the weighted die \u201CTwo\u201D"_s;
}

void StatisticsTest::weightedAndSetRollsClaimOnlyWhatIsExact() {
    QFETCH(core::RollMode, mode);
    QFETCH(bool, set);
    QFETCH(Rows, rows);
    QFETCH(QList<std::uint32_t>, weights);
    QFETCH(QStringList, expected);
    QFETCH(int, degreesOfFreedom);
    QFETCH(QString, said);
    auto layout = std::make_shared<core::DiceLayout>();
    if (set) {
        layout->kinds = {{u"Two"_s, 0, 2, {weights[0], weights[1]}}, {u"Three"_s, 2, 1, {}}};
        layout->parts = {{0, 1}};
    } else {
        layout->kinds = {{QString(), 0, 3, {weights.begin(), weights.end()}}};
    }
    const core::DrawRows plain = drawsOf({u"1"_s, u"2"_s, u"3"_s}, 1, rows, mode);
    core::DrawRows draws(std::make_shared<core::TextRows>(plain.labels()), 1, mode, layout);
    draws.build([&](auto& indices) {
        for (const QList<int>& row : rows)
            indices.push_back(static_cast<std::decay_t<decltype(indices[0])>>(row[0]));
    });
    const Statistics sides = compute(draws, {});
    QStringList column;
    for (std::int64_t row = 0; row < sides.table()->rowCount(); ++row)
        column.append(sides.table()->cell(row, 3));
    QCOMPARE(column, expected);
    QCOMPARE(tableCounts(*sides.table()), tableCounts(*compute(plain, {}).table())); // counted as ever
    QCOMPARE(sides.chiSquare().degreesOfFreedom, degreesOfFreedom);
    const QString summary = sides.summary().join(u'\n');
    QVERIFY2(summary.contains(said), qPrintable(summary));
    QCOMPARE(summary.contains(u", p-value "_s), degreesOfFreedom > 0);
    QCOMPARE(stats::dieName(draws, 1), set ? u"Die 1: Two"_s : u"Die 1"_s);
}

// "2 × Six, 1 × Coin", the coin worth 0 or 10 and weighing 1 : 3, rolled fairly from a fixed sequence.
void StatisticsTest::setDiceEachFollowTheirOwnLaw_data() {
    QTest::addColumn<core::RollMode>("mode");
    QTest::addColumn<int>("die");
    QTest::addColumn<QStringList>("expected"); // Side and Expected of each row, total row last
    QTest::addColumn<int>("degreesOfFreedom");
    const auto six = [](const QString& after) {
        QStringList rows;
        for (int side = 1; side <= 6; ++side)
            rows << QString::number(side) + after;
        return rows;
    };
    // Every die's table names each side by its die.
    const QStringList all = six(u" (Six) 1333.33"_s)
                            << u"0 (Coin) 1000.00"_s << u"10 (Coin) 3000.00"_s << u"Total 12000.00"_s;
    const auto independent = core::RollMode::Independent;
    QTest::newRow("a six") << independent << 2 << (six(u" 666.67"_s) << u"Total 4000.00"_s) << 5;
    QTest::newRow("the coin") << independent << 3 << QStringList{u"0 1000.00"_s, u"10 3000.00"_s, u"Total 4000.00"_s}
                              << 1;
    QTest::newRow("every die") << independent << 0 << all << 6;
    // The sixes never match each other; the coin, one die of its kind, is still drawn by its weights.
    QTest::newRow("no side twice, every die") << core::RollMode::Distinct << 0 << all << 6;
}

void StatisticsTest::setDiceEachFollowTheirOwnLaw() {
    QFETCH(core::RollMode, mode);
    QFETCH(int, die);
    QFETCH(QStringList, expected);
    QFETCH(int, degreesOfFreedom);
    auto labels = std::make_shared<core::TextRows>();
    for (const QString& label : {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"0"_s, u"10"_s})
        labels->append(label);
    auto layout = std::make_shared<core::DiceLayout>();
    layout->kinds = {{u"Six"_s, 0, 6, {}}, {u"Coin"_s, 6, 2, {1, 3}}};
    layout->parts = {{0, 2}, {1, 1}};
    core::DrawRows draws(labels, 3, mode, layout);
    std::uint64_t state = 7;
    const auto next = [&](std::uint64_t below) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33) % below;
    };
    std::map<QString, std::uint64_t> totals;
    draws.build([&](auto& indices) {
        using Index = std::decay_t<decltype(indices[0])>;
        for (int row = 0; row < 4000; ++row) {
            const auto first = next(6);
            const auto second = mode == core::RollMode::Distinct ? (first + 1 + next(5)) % 6 : next(6);
            const bool tails = next(4) > 0;
            indices.insert(indices.end(), {Index(first), Index(second), Index(tails ? 7 : 6)});
            ++totals[QString::number(first + second + 2 + (tails ? 10 : 0))];
        }
    });
    const Statistics result = compute(draws, {Statistics::View::Sides, die, false});
    QStringList shown;
    for (std::int64_t row = 0; row < result.table()->rowCount(); ++row)
        shown << result.table()->cell(row, 0) + u' ' + result.table()->cell(row, 3);
    QCOMPARE(shown, expected);
    QCOMPARE(result.chiSquare().degreesOfFreedom, degreesOfFreedom);
    QVERIFY2(result.chiSquare().pValue > 0.001, qPrintable(result.summary().join(u'\n')));

    // and the totals are counted as the rows add up, from each die's own lowest value
    const Statistics byTotal = compute(draws, {Statistics::View::Totals, 0, false});
    std::map<QString, std::uint64_t> counted = tableCounts(*byTotal.table());
    std::erase_if(counted, [](const auto& entry) { return entry.second == 0; });
    QCOMPARE(counted, totals);
    QVERIFY(byTotal.chiSquare().pValue > 0.001);
}

// The law of a set's totals against every roll its dice can show, enumerated: each die's sides as
// value and weight (a die whose sides all weigh 1 unweighted), and the die of each position.
void StatisticsTest::setTotalsMatchEveryRollCounted_data() {
    using Die = QList<std::pair<int, std::uint32_t>>;
    QTest::addColumn<core::RollMode>("mode");
    QTest::addColumn<QList<Die>>("kinds");
    QTest::addColumn<QList<int>>("positions");
    const Die d4{{1, 1}, {2, 1}, {3, 1}, {4, 1}};
    const Die coin{{0, 1}, {5, 3}};
    const Die odd{{-1, 2}, {0, 0}, {7, 1}, {7, 4}};
    const auto independent = core::RollMode::Independent;
    QTest::newRow("two d4 and a weighted coin") << independent << QList<Die>{d4, coin} << QList<int>{0, 1, 0};
    QTest::newRow("three different dice") << independent << QList<Die>{coin, odd, d4} << QList<int>{2, 1, 0};
    QTest::newRow("no side twice within a kind")
        << core::RollMode::Distinct << QList<Die>{d4, coin} << QList<int>{0, 0, 0, 1};
}

void StatisticsTest::setTotalsMatchEveryRollCounted() {
    using Die = QList<std::pair<int, std::uint32_t>>;
    QFETCH(core::RollMode, mode);
    QFETCH(QList<Die>, kinds);
    QFETCH(QList<int>, positions);
    core::DiceLayout layout;
    std::vector<std::int64_t> values;
    for (qsizetype k = 0; k < kinds.size(); ++k) {
        layout.kinds.push_back({QString::number(k), std::ssize(values), kinds[k].size(), {}});
        for (const auto& [value, weight] : kinds[k]) {
            values.push_back(value);
            layout.kinds.back().weights.push_back(weight);
        }
        if (std::ranges::count(layout.kinds.back().weights, 1U) == kinds[k].size())
            layout.kinds.back().weights.clear();
    }
    for (int kind : positions)
        layout.parts.push_back({kind, 1});
    const std::optional<stats::TotalLaw> totals =
        stats::rollLaw(mode, std::ssize(values), int(positions.size()), &layout)->totals(values);
    QVERIFY(totals);

    // Die by die, a side's chance is its weight over those of the sides its kind may still show.
    std::map<std::int64_t, double> enumerated;
    const auto roll = [&](auto& self, qsizetype at, std::int64_t total, double chance, QSet<int> shown) -> void {
        if (at == positions.size())
            return void(enumerated[total] += chance);
        const Die& die = kinds[positions[at]];
        double left = 0;
        for (qsizetype side = 0; side < die.size(); ++side)
            left += shown.contains(positions[at] * 100 + int(side)) ? 0 : die[side].second;
        for (qsizetype side = 0; side < die.size(); ++side) {
            const int key = positions[at] * 100 + int(side);
            if (!shown.contains(key) && die[side].second > 0)
                self(self, at + 1, total + die[side].first, chance * die[side].second / left,
                     mode == core::RollMode::Distinct ? QSet<int>(shown) << key : shown);
        }
    };
    roll(roll, 0, 0, 1.0, {});
    for (std::size_t cell = 0; cell < totals->probability.size(); ++cell) {
        const std::int64_t total = totals->first + std::int64_t(cell);
        QVERIFY2(std::abs(totals->probability[cell] - enumerated[total]) < 1e-12, qPrintable(QString::number(total)));
        enumerated.erase(total);
    }
    QVERIFY(enumerated.empty()); // no total beyond the law's range
}

void StatisticsTest::totalsFollowTheExactDistribution_data() {
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("dice");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("variance");
    const QStringList six{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s};
    QTest::newRow("2 six-sided dice") << six << 2 << 7.0 << 35.0 / 6;
    QTest::newRow("3 six-sided dice") << six << 3 << 10.5 << 35.0 / 4;
    // Two labels worth 5, and a gap: worked out cell by cell rather than as a moving window.
    QTest::newRow("uneven values") << QStringList{u"-1"_s, u"5"_s, u"05"_s} << 3 << 9.0 << 24.0;
}

void StatisticsTest::totalsFollowTheExactDistribution() {
    QFETCH(QStringList, labels);
    QFETCH(int, dice);
    QFETCH(double, mean);
    QFETCH(double, variance);
    const std::vector<std::int64_t> values = *stats::wholeNumbers(drawsOf(labels, 1, {}).labels());
    const std::optional<stats::TotalLaw> law =
        stats::rollLaw(core::RollMode::Independent, labels.size(), dice)->totals(values);
    QVERIFY(law);

    // Every ordered roll, counted by its total.
    std::map<std::int64_t, double> ways;
    const int rolls = static_cast<int>(std::pow(labels.size(), dice));
    for (int roll = 0; roll < rolls; ++roll) {
        std::int64_t total = 0;
        for (int die = 0, rest = roll; die < dice; ++die, rest /= static_cast<int>(labels.size()))
            total += values[static_cast<std::size_t>(rest % labels.size())];
        ways[total] += 1;
    }
    for (std::size_t cell = 0; cell < law->probability.size(); ++cell) {
        const double expected = ways[law->first + static_cast<std::int64_t>(cell)] / rolls;
        QVERIFY2(std::abs(law->probability[cell] - expected) < 1e-12,
                 qPrintable(QString::number(law->first + static_cast<std::int64_t>(cell))));
    }
    QCOMPARE(law->moments.mean, mean);
    QCOMPARE(law->moments.variance, variance);
    if (dice == 3 && labels.size() == 6) { // the bell's top: 27 of 216 rolls each
        QCOMPARE(law->probability[static_cast<std::size_t>(10 - law->first)], 27.0 / 216);
        QCOMPARE(law->probability[static_cast<std::size_t>(11 - law->first)], 27.0 / 216);
    }
}

void StatisticsTest::rollsWithoutRepeatsFollowTheirLaw_data() {
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("dice");
    const QStringList six{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s};
    QTest::newRow("2 of 6") << six << 2;
    QTest::newRow("3 of 6") << six << 3;
    QTest::newRow("uneven values, two worth 5") << QStringList{u"-1"_s, u"5"_s, u"05"_s, u"2"_s} << 2;
    QTest::newRow("every side") << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s} << 4;
    QTest::newRow("one die") << QStringList{u"1"_s, u"2"_s, u"3"_s} << 1;
}

// Against every roll that can come up: each ordered choice of different sides, equally likely.
void StatisticsTest::rollsWithoutRepeatsFollowTheirLaw() {
    QFETCH(QStringList, labels);
    QFETCH(int, dice);
    const auto sides = static_cast<std::uint32_t>(labels.size());
    const std::vector<std::int64_t> values = *stats::wholeNumbers(drawsOf(labels, 1, {}).labels());
    const auto law = stats::rollLaw(core::RollMode::Distinct, sides, dice);
    std::vector<std::uint32_t> order(sides);
    std::iota(order.begin(), order.end(), 0U);
    std::map<std::vector<std::uint32_t>, int> rolls; // the first D of every order, (s - D)! times each
    do {
        ++rolls[std::vector<std::uint32_t>(order.begin(), order.begin() + dice)];
    } while (std::next_permutation(order.begin(), order.end()));
    const double chance = 1.0 / static_cast<double>(rolls.size());
    std::map<std::int64_t, double> totals;
    double firstSideVariance = 0; // of its count over every die of one roll
    double meanStatistic = 0;     // of the side counts of one roll
    for (const auto& [roll, orders] : rolls) {
        std::vector<std::uint64_t> counts(sides, 0);
        std::int64_t total = 0;
        for (std::uint32_t side : roll) {
            ++counts[side];
            total += values[side];
        }
        totals[total] += chance;
        firstSideVariance += chance * std::pow(counts[0] - double(dice) / sides, 2);
        meanStatistic += chance * law->sidesTest(counts, 1, 0).statistic;
        QCOMPARE(law->orderedProbability(roll), chance);
    }
    QCOMPARE(law->sideCount(1, 0).variance, firstSideVariance);
    QCOMPARE(law->unorderedProbability(rolls.begin()->first), chance * std::tgamma(dice + 1)); // sides 0, 1, ...
    // Two rolls hold a run of two when the last die of one shows again first in the next.
    QCOMPARE(law->expectedLongestRun(2, 0), 1 + 1.0 / sides);
    // Read with the counts' own spread, the statistic averages its degrees of freedom; when every roll
    // shows every side, the counts cannot vary and there is nothing to test.
    if (dice > 1 && dice == int(sides))
        QVERIFY(!law->sidesTest(std::vector<std::uint64_t>(sides, 1), 1, 0).applicable());
    else
        QVERIFY(std::abs(meanStatistic - (sides - 1)) < 1e-9);
    const std::optional<stats::TotalLaw> exact = law->totals(values);
    QVERIFY(exact);
    double mean = 0;
    double square = 0;
    for (std::size_t cell = 0; cell < exact->probability.size(); ++cell) {
        const std::int64_t total = exact->first + static_cast<std::int64_t>(cell);
        QVERIFY2(std::abs(exact->probability[cell] - totals[total]) < 1e-12, qPrintable(QString::number(total)));
        mean += totals[total] * double(total);
        square += totals[total] * double(total) * double(total);
    }
    QVERIFY(std::abs(exact->moments.mean - mean) < 1e-9 &&
            std::abs(exact->moments.variance - (square - mean * mean)) < 1e-9);

    // A bag's rolls, each taken alone, are the same; but they depend on each other, so nothing is tested.
    const auto bag = stats::rollLaw(core::RollMode::Bag, sides, dice);
    QCOMPARE(bag->totals(values)->probability, exact->probability);
    QVERIFY(std::isnan(bag->sideCount(10, 0).variance) && !bag->sidesTest({}, 10, 0).applicable());
    QVERIFY(!bag->untestable().isEmpty() && law->untestable().isEmpty());
}

void StatisticsTest::combinationsExpectMultinomialCounts_data() {
    QTest::addColumn<int>("sides");
    QTest::addColumn<QList<int>>("line");
    QTest::addColumn<double>("unordered");
    QTest::addColumn<double>("ordered");
    QTest::newRow("three alike") << 6 << QList<int>{2, 2, 2} << 1.0 / 216 << 1.0 / 216;
    QTest::newRow("a pair") << 6 << QList<int>{0, 0, 4} << 3.0 / 216 << 1.0 / 216;
    QTest::newRow("all different") << 6 << QList<int>{0, 1, 2} << 6.0 / 216 << 1.0 / 216;
    QTest::newRow("two pairs of a coin") << 2 << QList<int>{0, 0, 1, 1} << 6.0 / 16 << 1.0 / 16;
    QTest::newRow("one die") << 20 << QList<int>{7} << 1.0 / 20 << 1.0 / 20;
}

void StatisticsTest::combinationsExpectMultinomialCounts() {
    QFETCH(int, sides);
    QFETCH(QList<int>, line);
    QFETCH(double, unordered);
    QFETCH(double, ordered);
    const auto law = stats::rollLaw(core::RollMode::Independent, sides, static_cast<std::int32_t>(line.size()));
    const std::vector<std::uint32_t> sorted(line.begin(), line.end());
    QVERIFY(std::abs(law->unorderedProbability(sorted) - unordered) < 1e-15);
    QVERIFY(std::abs(law->orderedProbability(sorted) - ordered) < 1e-15);

    // In the table: 60 rolls of that line, shown as its sorted sides with the multinomial expectation.
    QStringList labels;
    for (int side = 0; side < sides; ++side)
        labels.append(u"s"_s + QString::number(side));
    Rows rows(60, QList<int>(line.rbegin(), line.rend()));
    const Statistics counted =
        compute(drawsOf(labels, static_cast<int>(line.size()), rows), {Statistics::View::Combinations, 0, true});
    QStringList expectedLine;
    for (int side : line)
        expectedLine.append(labels[side]);
    QCOMPARE(counted.table()->rowCount(), 1);
    QCOMPARE(counted.table()->cell(0, 0), expectedLine.join(u" - "_s));
    QCOMPARE(counted.table()->cell(0, 1), u"60"_s);
    QCOMPARE(counted.table()->cell(0, 3), stats::formatExpected(60 * unordered));
}

void StatisticsTest::longestRunAndItsExpectation_data() {
    QTest::addColumn<int>("dice");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("die");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("side");
    QTest::addColumn<double>("expected");
    // A coin (H, T). Expectations by counting all 2^n sequences: n = 3 gives (2 * 3 + 4 * 2 + 2 * 1) / 8.
    QTest::newRow("one draw") << 1 << Rows{{0}} << 0 << 1 << u"H"_s << 1.0;
    QTest::newRow("two draws") << 1 << Rows{{1}, {1}} << 0 << 2 << u"T"_s << 1.5;
    QTest::newRow("three draws") << 1 << Rows{{0}, {1}, {0}} << 0 << 1 << u"H"_s << 2.0;
    QTest::newRow("runs go on across rows") << 2 << Rows{{0, 1}, {1, 1}, {0, 0}} << 0 << 3 << u"T"_s << 2.9375;
    QTest::newRow("one die of each row") << 2 << Rows{{0, 1}, {1, 1}, {0, 0}} << 2 << 2 << u"T"_s << 2.0;
}

void StatisticsTest::longestRunAndItsExpectation() {
    QFETCH(int, dice);
    QFETCH(Rows, rows);
    QFETCH(int, die);
    QFETCH(int, length);
    QFETCH(QString, side);
    QFETCH(double, expected);
    const Statistics counted = compute(drawsOf({u"H"_s, u"T"_s}, dice, rows), {Statistics::View::Sides, die, false});
    QCOMPARE(counted.longestRun().length, std::uint64_t(length));
    QCOMPARE(counted.table()->cell(counted.longestRun().side, 0), side);
    QVERIFY2(std::abs(counted.expectedLongestRun() - expected) < 1e-12,
             qPrintable(QString::number(counted.expectedLongestRun(), 'g', 17)));
}

void StatisticsTest::longRunExpectationJoinsTheExactOne() {
    // Long sequences are estimated rather than worked out; the two meet where one takes over.
    for (double p : {0.5, 1.0 / 6, 1.0 / 40000}) {
        const double exact = stats::expectedLongestRun(100'000, p);
        QVERIFY(std::abs(stats::expectedLongestRun(100'001, p) - exact) < 1e-3);
    }
    QCOMPARE(stats::expectedLongestRun(1'000'000'000, 1.0), 1e9); // a one-sided die
}

void StatisticsTest::countsAgreeWithCountingTheText_data() {
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("dice");
    QTest::addColumn<int>("tickEvery"); // 0: all rows
    QTest::addColumn<Statistics::View>("view");
    QTest::addColumn<int>("die");
    QTest::addColumn<bool>("ignoreOrder");
    const QStringList animals{u"ant"_s, u"bee"_s, u"cat"_s, u"dog"_s, u"eel"_s};
    const QStringList six{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s};
    QStringList many;
    for (int side = 0; side < 300; ++side)
        many.append(u"L"_s + QString::number(side));
    QTest::newRow("sides, every die") << animals << 3 << 0 << Statistics::View::Sides << 0 << false;
    QTest::newRow("sides, die 2, ticked") << animals << 3 << 3 << Statistics::View::Sides << 2 << false;
    QTest::newRow("sides of 300, 2 bytes") << many << 2 << 0 << Statistics::View::Sides << 0 << false;
    QTest::newRow("lines, few possible") << animals << 3 << 0 << Statistics::View::Combinations << 0 << false;
    QTest::newRow("lines, ignoring order") << animals << 3 << 2 << Statistics::View::Combinations << 0 << true;
    QTest::newRow("lines, many possible") << many << 3 << 0 << Statistics::View::Combinations << 0 << false;
    QTest::newRow("lines, many, unordered") << many << 3 << 5 << Statistics::View::Combinations << 0 << true;
    QTest::newRow("totals") << six << 4 << 0 << Statistics::View::Totals << 0 << false;
}

void StatisticsTest::countsAgreeWithCountingTheText() {
    QFETCH(QStringList, labels);
    QFETCH(int, dice);
    QFETCH(int, tickEvery);
    QFETCH(Statistics::View, view);
    QFETCH(int, die);
    QFETCH(bool, ignoreOrder);
    fakes::FakeServices fake;
    core::ListModel sides;
    core::ListModel results;
    for (const QString& label : labels)
        sides.addItem(label);
    roll::startRolling(fake.services, sides, results, u"3000"_s, QString::number(dice));
    std::vector<bool> ticks(3000);
    for (std::int64_t row = 0; tickEvery > 0 && row < 3000; row += tickEvery)
        ticks[static_cast<std::size_t>(row)] = true;

    // The same counts from the rows' text.
    std::map<QString, std::uint64_t> fromText;
    for (std::int64_t position = 1; position <= results.itemCount(); ++position) {
        if (tickEvery > 0 && !ticks[static_cast<std::size_t>(position - 1)])
            continue;
        QStringList line = results.text(position).split(u" - "_s);
        QCOMPARE(line.size(), dice);
        if (view == Statistics::View::Sides) {
            for (int d = 0; d < dice; ++d) {
                if (die == 0 || d == die - 1)
                    ++fromText[line[d]];
            }
        } else if (view == Statistics::View::Totals) {
            int total = 0;
            for (const QString& label : line)
                total += label.toInt();
            ++fromText[QString::number(total)];
        } else {
            if (ignoreOrder)
                std::sort(line.begin(), line.end(),
                          [&](const QString& a, const QString& b) { return labels.indexOf(a) < labels.indexOf(b); });
            ++fromText[line.join(u" - "_s)];
        }
    }

    std::optional<std::vector<bool>> ticked;
    if (tickEvery > 0)
        ticked = ticks;
    const Statistics counted = compute(results.draws(), {view, die, ignoreOrder}, ticked);
    std::map<QString, std::uint64_t> fromDraws = tableCounts(*counted.table());
    std::erase_if(fromDraws, [](const auto& entry) { return entry.second == 0; });
    QCOMPARE(fromDraws, fromText);
    if (view == Statistics::View::Combinations) { // largest first
        for (std::int64_t row = 1; row < counted.table()->rowCount(); ++row)
            QVERIFY(counted.table()->value(row - 1, 1) >= counted.table()->value(row, 1));
    }
}

void StatisticsTest::nothingToTestIsSaidPlainly_data() {
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<bool>("tickedOnly");
    QTest::addColumn<Statistics::View>("view");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("chiSquare");
    QTest::addColumn<core::RollMode>("mode");
    const auto independent = core::RollMode::Independent;
    const QStringList coin{u"H"_s, u"T"_s};
    QTest::newRow("no rows") << coin << Rows{} << false << Statistics::View::Sides << Statistics::kNothingToCount
                             << u"not applicable"_s << independent;
    QTest::newRow("none ticked") << coin << Rows{{0}, {1}} << true << Statistics::View::Sides
                                 << Statistics::kNoTickedRows << u"not applicable"_s << independent;
    QTest::newRow("rolled without sides") << QStringList{} << Rows{{0}} << false << Statistics::View::Sides
                                          << Statistics::kNoSides << u"not applicable"_s << independent;
    QTest::newRow("one-sided die") << QStringList{u"X"_s} << Rows{{0}, {0}} << false << Statistics::View::Sides
                                   << QString() << u"not applicable"_s << independent;
    QTest::newRow("totals of words") << coin << Rows{{0}, {1}} << false << Statistics::View::Totals
                                     << u"Totals need every side to be a whole number, such as 1 to 6."_s
                                     << u"not applicable"_s << independent;
    QTest::newRow("a fair coin") << coin << Rows{{0}, {1}} << false << Statistics::View::Sides << QString()
                                 << u"0.000"_s << independent;
    // A bag's side counts are even by design: they are shown, not tested.
    QTest::newRow("a bag") << coin << Rows{{0}, {1}} << false << Statistics::View::Sides << QString()
                           << u"not applicable"_s << core::RollMode::Bag;
}

void StatisticsTest::nothingToTestIsSaidPlainly() {
    QFETCH(QStringList, labels);
    QFETCH(Rows, rows);
    QFETCH(bool, tickedOnly);
    QFETCH(Statistics::View, view);
    QFETCH(QString, reason);
    QFETCH(QString, chiSquare);
    std::optional<std::vector<bool>> ticked;
    if (tickedOnly)
        ticked = std::vector<bool>(static_cast<std::size_t>(rows.size()), false);
    QFETCH(core::RollMode, mode);
    const Statistics counted = compute(drawsOf(labels, 1, rows, mode), {view, 0, false}, ticked);
    QCOMPARE(counted.emptyReason(), reason);
    QCOMPARE(counted.table() == nullptr, !reason.isEmpty());
    const auto lines = counted.fairnessLines();
    QCOMPARE(lines[2], std::make_pair(u"Roll mode"_s, core::rollModeName(mode)));
    QCOMPARE(lines[3], std::make_pair(u"Chi-square"_s, chiSquare));
    if (mode == core::RollMode::Bag) {
        QCOMPARE(counted.summary().mid(0, 2),
                 (QStringList{u"Roll mode: Draw From A Bag."_s, stats::rollLaw(mode, 2, 1)->untestable()}));
        QCOMPARE(counted.table()->cell(0, 4), QString()); // no deviation without a spread
    }
}

void StatisticsTest::totalsPoolCellsExpectedFewerThanFiveTimes() {
    // Cells 1 + 2 + 3 reach 6; 10 stands alone; the last 2 + 1 fall short and join it.
    const std::vector<std::uint64_t> observed{0, 4, 4, 9, 0, 2};
    const std::vector<double> expected{1, 2, 3, 10, 2, 1};
    const stats::ChiSquare test = stats::pearsonPooled(observed, expected);
    QVERIFY(test.pooled);
    QCOMPARE(test.degreesOfFreedom, 1);
    const double statistic = (8.0 - 6) * (8.0 - 6) / 6 + (11.0 - 13) * (11.0 - 13) / 13;
    QCOMPARE(test.statistic, statistic);
    QCOMPARE(test.pValue, stats::chiSquarePValue(statistic, 1));
}

void StatisticsTest::sortingKeepsTheTotalRowLast_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("sides");
    // Counts: c 1, a 3, b 3 (list order c, a, b).
    QTest::newRow("side, list order") << 0 << false << QStringList{u"c"_s, u"a"_s, u"b"_s, u"Total"_s};
    QTest::newRow("side, reversed") << 0 << true << QStringList{u"b"_s, u"a"_s, u"c"_s, u"Total"_s};
    QTest::newRow("count, largest first, ties in list order")
        << 1 << true << QStringList{u"a"_s, u"b"_s, u"c"_s, u"Total"_s};
    QTest::newRow("deviation, lowest first") << 4 << false << QStringList{u"c"_s, u"a"_s, u"b"_s, u"Total"_s};
}

void StatisticsTest::sortingKeepsTheTotalRowLast() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QStringList, sides);
    const Statistics counted = compute(drawsOf({u"c"_s, u"a"_s, u"b"_s}, 1, {{1}, {2}, {0}, {1}, {2}, {1}, {2}}), {});
    const stats::OrderedTable sorted(counted.table(), stats::sortOrder(*counted.table(), column, descending));
    QStringList shown;
    for (std::int64_t row = 0; row < sorted.rowCount(); ++row)
        shown.append(sorted.cell(row, 0));
    QCOMPARE(shown, sides);
}

void StatisticsTest::exportsCarryTableAndFairnessLines_data() {
    QTest::addColumn<bool>("csv");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("tab-separated") << false
                                   << QStringList{u"Side\tCount\tShare\tExpected\tDeviation"_s,
                                                  u"a, \"b\"\t3\t75.00%\t2.00\t+1.00"_s,
                                                  u"\u00e9\t1\t25.00%\t2.00\t-1.00"_s,
                                                  u"Total\t4\t100.00%\t4.00\t"_s,
                                                  QString(),
                                                  u"Rolls\t4"_s,
                                                  u"Dice per roll\t1"_s,
                                                  u"Roll mode\tEvery Die Independent"_s,
                                                  u"Chi-square\t1.000"_s,
                                                  u"Degrees of freedom\t1"_s,
                                                  u"p-value\t0.3173"_s};
    QTest::newRow("CSV") << true
                         << QStringList{u"Side,Count,Share,Expected,Deviation"_s,
                                        u"\"a, \"\"b\"\"\",3,75.00%,2.00,+1.00"_s,
                                        u"\u00e9,1,25.00%,2.00,-1.00"_s,
                                        u"Total,4,100.00%,4.00,"_s,
                                        QString(),
                                        u"Rolls,4"_s,
                                        u"Dice per roll,1"_s,
                                        u"Roll mode,Every Die Independent"_s,
                                        u"Chi-square,1.000"_s,
                                        u"Degrees of freedom,1"_s,
                                        u"p-value,0.3173"_s};
}

void StatisticsTest::exportsCarryTableAndFairnessLines() {
    QFETCH(bool, csv);
    QFETCH(QStringList, lines);
    const Statistics counted = compute(drawsOf({u"a, \"b\""_s, u"\u00e9"_s}, 1, {{0}, {1}, {0}, {0}}), {});
    QString text = stats::tabSeparated(*counted.table(), counted.fairnessLines());
    if (csv) {
        QTemporaryDir folder;
        const QString path = folder.filePath(u"statistics.csv"_s);
        stats::saveCsv(path, *counted.table(), counted.fairnessLines());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        text = QString::fromUtf8(file.readAll());
    }
    QVERIFY(text.endsWith(u"\r\n"_s));
    QCOMPARE(text.split(u"\r\n"_s).mid(0, lines.size()), lines); // the rest: linesCarryEverythingTheSummarySays
}

void StatisticsTest::tallyInBlocksMatchesKeptRows_data() {
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("dice");
    QTest::addColumn<core::RollMode>("mode");
    QTest::addColumn<int>("block"); // dice per call, across the rolls' ends
    const QStringList six{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s};
    QTest::newRow("rolls split between blocks") << six << 3 << core::RollMode::Independent << 7;
    QTest::newRow("die by die, no side twice") << six << 2 << core::RollMode::Distinct << 1;
    QTest::newRow("a bag, words") << QStringList{u"ant"_s, u"bee"_s, u"cat"_s} << 2 << core::RollMode::Bag << 5;
}

void StatisticsTest::tallyInBlocksMatchesKeptRows() {
    QFETCH(QStringList, labels);
    QFETCH(int, dice);
    QFETCH(core::RollMode, mode);
    QFETCH(int, block);
    // Few sides and a fixed sequence: long runs, some of them across blocks.
    std::vector<std::uint64_t> drawn(600);
    std::uint64_t state = 12345;
    for (std::uint64_t& side : drawn)
        side = ((state = state * 6364136223846793005ULL + 1) >> 33) % static_cast<std::uint64_t>(labels.size());
    Rows rows(static_cast<qsizetype>(drawn.size()) / dice);
    for (std::size_t at = 0; at < drawn.size(); ++at)
        rows[static_cast<qsizetype>(at) / dice].append(static_cast<int>(drawn[at]));
    const core::DrawRows draws = drawsOf(labels, dice, rows, mode);
    stats::Tally tally(std::make_shared<core::TextRows>(draws.labels()), dice, mode);
    for (std::size_t at = 0; at < drawn.size(); at += static_cast<std::size_t>(block))
        tally.add(std::span(drawn).subspan(at, std::min(drawn.size() - at, static_cast<std::size_t>(block))));

    for (Statistics::View view : {Statistics::View::Sides, Statistics::View::Totals}) {
        const Statistics kept = compute(draws, {view, 0, false});
        const Statistics tallied = Statistics::compute(tally, view);
        QCOMPARE(tallied.emptyReason(), kept.emptyReason());
        QCOMPARE(tallied.summary(), kept.summary());
        if (kept.table()) {
            QCOMPARE(stats::tabSeparated(*tallied.table(), tallied.fairnessLines()),
                     stats::tabSeparated(*kept.table(), kept.fairnessLines()));
        }
    }
}

void StatisticsTest::totalsKeepTheirFarTail() {
    // 200 six-sided dice: every total from 200 to 1,200, the ends 6^-200 each, their neighbours 200 times that.
    const std::optional<stats::TotalLaw> law =
        stats::rollLaw(core::RollMode::Independent, 6, 200)->totals(std::vector<std::int64_t>{1, 2, 3, 4, 5, 6});
    QVERIFY(law && law->first == 200 && law->probability.size() == 1001);
    for (const auto& [cell, ways] : {std::pair{0, 1}, {1, 200}, {999, 200}, {1000, 1}}) {
        const double p = law->probability[static_cast<std::size_t>(cell)];
        QVERIFY2(std::abs(p / (ways * std::pow(6.0, -200)) - 1) < 1e-12, qPrintable(QString::number(p, 'g', 17)));
    }
    QCOMPARE(compute(seededDraws(6, 200, 3), {Statistics::View::Totals, 0, false}).table()->rowCount(), 1001);
}

void StatisticsTest::numbersKeepTwoSignificantDigits() {
    QCOMPARE(stats::formatShare(1.0 / 6), u"16.67%"_s);
    QCOMPARE(stats::formatShare(1.0 / 40000), u"0.0025%"_s);
    QCOMPARE(stats::formatExpected(0.0123), u"0.012"_s);
    QCOMPARE(stats::formatExpected(1000 * std::pow(6.0, -200)), u"2.3e-153"_s);
}

void StatisticsTest::linesCarryEverythingTheSummarySays_data() {
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("dice");
    QTest::addColumn<Statistics::View>("view");
    QTest::addColumn<int>("die");
    QTest::addColumn<core::RollMode>("mode");
    const auto independent = core::RollMode::Independent;
    QTest::newRow("one die") << 6 << 3 << Statistics::View::Sides << 2 << independent;
    QTest::newRow("totals") << 6 << 3 << Statistics::View::Totals << 0 << independent;
    QTest::newRow("totals too large to work out") << 40000 << 30 << Statistics::View::Sides << 0 << independent;
    QTest::newRow("a bag") << 6 << 2 << Statistics::View::Sides << 0 << core::RollMode::Bag;
}

void StatisticsTest::linesCarryEverythingTheSummarySays() {
    QFETCH(int, sides);
    QFETCH(int, dice);
    QFETCH(Statistics::View, view);
    QFETCH(int, die);
    QFETCH(core::RollMode, mode);
    const Statistics counted = compute(seededDraws(sides, dice, 4, mode), {view, die, false});
    // Every number of the summary and every sentence without one is among the lines' values, and every
    // note of the lines in the summary.
    QString values;
    for (const auto& [name, value] : counted.fairnessLines())
        values += value + u'\n';
    const QString summary = counted.summary().join(u'\n');
    static const QRegularExpression number(u"\\d+(\\.\\d+)?(e[-+]\\d+)?"_s);
    for (const QRegularExpressionMatch& match : number.globalMatch(summary))
        QVERIFY2(values.contains(match.captured()), qPrintable(match.captured() + u" of "_s + summary));
    for (const QString& line : counted.summary()) {
        const QString said = line.section(u": "_s, -1).chopped(1).mid(1); // the first letter may change case
        QVERIFY2(line.contains(number) || values.contains(said), qPrintable(line));
    }
    for (const auto& [name, value] : counted.fairnessLines()) {
        if (name.endsWith(u"note"_s, Qt::CaseInsensitive))
            QVERIFY2(summary.contains(value.mid(1)), qPrintable(value));
    }
}

void StatisticsTest::progressGrowsToTheEnd_data() {
    QTest::addColumn<Statistics::View>("view");
    QTest::addColumn<int>("sides");
    QTest::newRow("sides and totals") << Statistics::View::Totals << 6;
    QTest::newRow("combinations, few possible") << Statistics::View::Combinations << 6;
    QTest::newRow("combinations, sorted") << Statistics::View::Combinations << 40000;
}

void StatisticsTest::progressGrowsToTheEnd() {
    QFETCH(Statistics::View, view);
    QFETCH(int, sides);
    stats::Work work;
    std::vector<double> seen;
    work.observe([&](double progress) { seen.push_back(progress); });
    Statistics::compute({seededDraws(sides, 3, 300'000), std::nullopt}, {view, 0, false}, work);
    QVERIFY(seen.size() > 4 && std::is_sorted(seen.begin(), seen.end()));
    QCOMPARE(seen.back(), 1.0);
}

void StatisticsTest::tallyPrintsTheCaveatsAndWhatIsLeftOut() {
    const auto printed = [](int sides, int dice, int rolls) {
        const core::DrawRows draws = seededDraws(sides, dice, rolls);
        stats::Tally tally(std::make_shared<core::TextRows>(draws.labels()), dice, draws.mode());
        for (std::int64_t at = 0; at < draws.size() * dice; ++at)
            tally.add(std::vector<std::uint64_t>{draws.side(at / dice, static_cast<std::int32_t>(at % dice))});
        QString text;
        stats::writeTally(tally, [&](QStringView line) { text += line + u'\n'; });
        return text;
    };
    // Six rolls of 3d6: few expected per side, and the totals' cells joined into one.
    const QString few = printed(6, 3, 6);
    QCOMPARE(few.split(u"\n\n"_s).size(), 4); // the sides table and its lines, the totals table and its lines
    QVERIFY2(few.contains(u"\nNote\tSome sides are expected fewer than 5 times"_s), qPrintable(few));
    QVERIFY2(few.contains(u"\nNote\tThere are too few rolls for the chi-square test"_s), qPrintable(few));
    // Totals too many to work out: one line says so, in place of their table.
    const QString large = printed(40000, 30, 4);
    QCOMPARE(large.split(u"\n\n"_s).size(), 2);
    QCOMPARE(large.count(u"Totals note\tThe totals of these dice span too many values"_s), 1);
}

QTEST_GUILESS_MAIN(StatisticsTest)
#include "tst_statistics.moc"
