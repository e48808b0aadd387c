#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "roll/RandomPick.h"
#include "roll/RollPlan.h"
#include "roll/StartRolling.h"
#include "roll/WeightedDraws.h"

#include <QTest>

#include <boost/math/distributions/chi_squared.hpp>

#include <map>
#include <numeric>
#include <set>

using namespace Qt::StringLiterals;
using core::RollMode;
using Weights = QList<quint32>;

Q_DECLARE_METATYPE(core::RollMode)

namespace {

__extension__ typedef unsigned __int128 UInt128;
using Outcome = std::vector<int>;

std::span<const std::uint32_t> span(const Weights& weights) {
    return {weights.constData(), static_cast<std::size_t>(weights.size())};
}

// The sides "0" to "sides - 1".
void addSides(core::ListModel& list, int sides) {
    for (int side = 0; side < sides; ++side)
        list.addItem(QString::number(side));
}

// Every die of every row, by side number.
std::vector<int> allDice(const core::ListModel& results) {
    std::vector<int> dice;
    for (const QString& row : fakes::itemTexts(results)) {
        for (const QString& label : row.split(u" - "_s))
            dice.push_back(label.toInt());
    }
    return dice;
}

// The chance that counts at least this far from the law turn up, cells expected fewer than 5 times
// merged into one. An outcome the law rules out fails the test at once.
double fitPValue(const std::map<Outcome, qint64>& counts, const std::map<Outcome, double>& law) {
    qint64 total = 0;
    for (const auto& [outcome, count] : counts) {
        if (!law.contains(outcome))
            return -1;
        total += count;
    }
    double statistic = 0;
    double mergedExpected = 0;
    double mergedObserved = 0;
    int cells = 0;
    for (const auto& [outcome, probability] : law) {
        const double expected = probability * static_cast<double>(total);
        const auto found = counts.find(outcome);
        const double observed = found == counts.end() ? 0.0 : static_cast<double>(found->second);
        if (expected < 5) {
            mergedExpected += expected;
            mergedObserved += observed;
            continue;
        }
        statistic += (observed - expected) * (observed - expected) / expected;
        ++cells;
    }
    if (mergedExpected > 0) {
        statistic += (mergedObserved - mergedExpected) * (mergedObserved - mergedExpected) / mergedExpected;
        ++cells;
    }
    return boost::math::cdf(boost::math::complement(boost::math::chi_squared(cells - 1), statistic));
}

// The exact law of `dice` draws: independent, or without repeats in proportion to the weights left.
void addOutcomes(const Weights& weights, int dice, bool repeats, Outcome& prefix, double probability,
                 std::map<Outcome, double>& law) {
    if (int(prefix.size()) == dice) {
        law[prefix] = probability;
        return;
    }
    double left = 0;
    for (int side = 0; side < weights.size(); ++side) {
        if (repeats || std::find(prefix.begin(), prefix.end(), side) == prefix.end())
            left += weights[side];
    }
    for (int side = 0; side < weights.size(); ++side) {
        if (weights[side] == 0 || (!repeats && std::find(prefix.begin(), prefix.end(), side) != prefix.end()))
            continue;
        prefix.push_back(side);
        addOutcomes(weights, dice, repeats, prefix, probability * weights[side] / left, law);
        prefix.pop_back();
    }
}

// Every arrangement of a bag's tickets, all equally likely.
std::map<Outcome, double> bagOrders(const Weights& weights) {
    Outcome tickets;
    for (int side = 0; side < weights.size(); ++side)
        tickets.insert(tickets.end(), weights[side], side);
    std::map<Outcome, double> law;
    do
        law[tickets] = 0;
    while (std::next_permutation(tickets.begin(), tickets.end()));
    for (auto& [order, probability] : law)
        probability = 1.0 / double(law.size());
    return law;
}

// A pick that hands out the scripted values and records the bounds it was asked for.
struct ScriptedPick {
    std::vector<std::uint64_t> values;
    std::vector<std::uint64_t> bounds;
    std::uint64_t operator()(std::uint64_t bound) {
        bounds.push_back(bound);
        const std::uint64_t value = values.at(bounds.size() - 1);
        return value;
    }
};

} // namespace

class WeightedDrawsTest : public QObject {
    Q_OBJECT
private slots:
    void aliasTableGivesEverySideExactlyItsWeight_data();
    void aliasTableGivesEverySideExactlyItsWeight();
    void weightedRollsFollowTheirLaw_data();
    void weightedRollsFollowTheirLaw();
    void aBagKeepsItsTicketsAndAddsAFreshSetOnTop();
    void setPositionsFollowTheirOwnDice_data();
    void setPositionsFollowTheirOwnDice();
    void weightsOfOneRollAsThePlainDie();
    void unrollableDiceAreRefusedBeforeAnythingChanges_data();
    void unrollableDiceAreRefusedBeforeAnythingChanges();
};

void WeightedDrawsTest::aliasTableGivesEverySideExactlyItsWeight_data() {
    QTest::addColumn<Weights>("weights");
    QTest::newRow("1 : 3") << Weights{1, 3};
    QTest::newRow("weight 0 never drawn") << Weights{0, 5, 0, 2};
    QTest::newRow("one side") << Weights{7};
    QTest::newRow("five sides in eight columns") << Weights{1, 2, 3, 4, 5};
    QTest::newRow("weights near 10^9") << Weights{1000000000, 999999999, 1, 0, 123456789};
    // K W = 262144 * 1.4 10^14 passes 2^64: the column and the ticket are picked one after the other.
    QTest::newRow("140,000 sides of 10^9, two picks") << Weights(140000, 1000000000);
}

// The table's columns hold exactly K w_j tickets of each side j, counted over every column; every
// (column, ticket) pair equally likely then gives side j with probability K w_j / (K W).
void WeightedDrawsTest::aliasTableGivesEverySideExactlyItsWeight() {
    QFETCH(Weights, weights);
    const roll::AliasTable table(span(weights));
    const std::uint64_t total = table.totalWeight();
    const std::uint64_t columns = table.columns();
    QCOMPARE(columns, std::bit_ceil(std::uint64_t(weights.size())));
    std::vector<UInt128> tickets(columns, 0);
    for (std::size_t column = 0; column < columns; ++column) {
        QVERIFY(table.threshold(column) <= total);
        tickets[column] += table.threshold(column);
        tickets[table.alias(column)] += total - table.threshold(column);
    }
    for (std::size_t side = 0; side < columns; ++side) {
        const UInt128 wanted = side < std::size_t(weights.size()) ? UInt128{weights[qsizetype(side)]} * columns : 0;
        QVERIFY2(tickets[side] == wanted, qPrintable(u"side %1"_s.arg(side)));
    }

    const bool combined = UInt128{total} * columns < (UInt128{1} << 64);
    if (combined && total * columns <= 1000000) {
        // Every value of the one pick, once each.
        std::vector<std::uint64_t> drawn(columns, 0);
        for (std::uint64_t value = 0; value < total * columns; ++value) {
            ScriptedPick pick{{value}, {}};
            ++drawn[table.draw(pick)];
            QCOMPARE(pick.bounds, std::vector<std::uint64_t>{total * columns});
        }
        for (std::size_t side = 0; side < std::size_t(weights.size()); ++side)
            QCOMPARE(drawn[side], std::uint64_t{weights[qsizetype(side)]} * columns);
    }
    // The window's loop for die after die, which keeps the table at hand, draws as draw() does.
    if (table.narrowBound() != 0) {
        fakes::FakeClock clock;
        fakes::FakeRandomSource looped;
        fakes::FakeRandomSource single;
        roll::WindowPick loopedPick(clock, looped);
        roll::WindowPick singlePick(clock, single);
        roll::WeightedIndependentDraw draw(span(weights));
        std::vector<std::uint32_t> dice(500);
        draw.drawInto(std::span<std::uint32_t>(dice), 10, loopedPick);
        for (const std::uint32_t die : dice)
            QCOMPARE(die, 10 + table.draw(singlePick));
        QCOMPARE(looped.draws, single.draws);
    }
    // Each column's last own ticket and first given one.
    for (std::uint64_t column = 0; column < columns; column += std::max<std::uint64_t>(1, columns / 7)) {
        const std::uint64_t threshold = table.threshold(column);
        for (const std::uint64_t ticket : {threshold - 1, threshold}) {
            if (ticket >= total)
                continue;
            ScriptedPick pick;
            pick.values = combined ? std::vector<std::uint64_t>{ticket * columns + column}
                                   : std::vector<std::uint64_t>{column, ticket};
            const std::uint32_t side = table.draw(pick);
            QCOMPARE(side, ticket < threshold ? std::uint32_t(column) : table.alias(column));
            const std::vector<std::uint64_t> bounds =
                combined ? std::vector<std::uint64_t>{total * columns} : std::vector<std::uint64_t>{columns, total};
            QCOMPARE(pick.bounds, bounds);
        }
    }
}

void WeightedDrawsTest::weightedRollsFollowTheirLaw_data() {
    QTest::addColumn<RollMode>("mode");
    QTest::addColumn<Weights>("weights");
    QTest::addColumn<int>("dice");
    QTest::addColumn<int>("rolls");
    QTest::newRow("independent, 1 : 3 : 0 : 4") << RollMode::Independent << Weights{1, 3, 0, 4} << 2 << 20000;
    QTest::newRow("no side twice, ordered pairs") << RollMode::Distinct << Weights{1, 3, 0, 4, 2} << 2 << 20000;
    // Two heavy sides shown hold nearly all the weight: the rest of the roll comes from the tree.
    QTest::newRow("no side twice, past the heavy sides")
        << RollMode::Distinct << Weights{1000, 1000, 1, 2, 3} << 4 << 20000;
    // Bag after bag of six tickets, one die a roll: every order of A B B C C C equally likely.
    QTest::newRow("bag of 1 + 2 + 3 tickets") << RollMode::Bag << Weights{1, 2, 3} << 1 << 6 * 3000;
    QTest::newRow("bag, two dice a roll") << RollMode::Bag << Weights{1, 0, 2, 3} << 2 << 3000;
}

void WeightedDrawsTest::weightedRollsFollowTheirLaw() {
    QFETCH(RollMode, mode);
    QFETCH(Weights, weights);
    QFETCH(int, dice);
    QFETCH(int, rolls);
    fakes::FakeServices fake;
    core::ListModel sides;
    addSides(sides, int(weights.size()));
    core::ListModel results;
    roll::startRolling(fake.services, sides, results, QString::number(rolls), QString::number(dice), mode,
                       span(weights));
    QVERIFY(fake.messageBox.shown.isEmpty());
    const std::vector<int> all = allDice(results);
    QCOMPARE(int(all.size()), rolls * dice);
    QVERIFY(fake.random.reseeds >= rolls * dice); // the clock mixed in before every die
    const core::DiceLayout* layout = results.draws().layout();
    QVERIFY(layout != nullptr);
    QCOMPARE(layout->kinds.at(0).weights, std::vector<std::uint32_t>(weights.begin(), weights.end()));

    for (std::size_t roll = 0; core::drawsDifferentSides(mode) && roll < all.size(); roll += std::size_t(dice))
        QCOMPARE(int(std::set<int>(all.begin() + qsizetype(roll), all.begin() + qsizetype(roll) + dice).size()), dice);
    std::map<Outcome, double> law;
    int group = dice;
    if (mode == RollMode::Bag && dice == 1) {
        group = std::accumulate(weights.begin(), weights.end(), 0);
        law = bagOrders(weights);
    } else if (mode == RollMode::Bag) {
        for (const int side : all)
            QVERIFY(weights[side] > 0);
        return; // a roll's sides hold back the bag's other tickets: no law simpler than the draws
    } else {
        Outcome prefix;
        addOutcomes(weights, dice, mode == RollMode::Independent, prefix, 1.0, law);
    }
    std::map<Outcome, qint64> counts;
    for (auto first = all.begin(); first != all.end(); first += group)
        ++counts[Outcome(first, first + group)];
    const double p = fitPValue(counts, law);
    QVERIFY2(p > 0.001, qPrintable(u"p %1"_s.arg(p)));
}

void WeightedDrawsTest::aBagKeepsItsTicketsAndAddsAFreshSetOnTop() {
    const Weights weights{1, 3};
    roll::WeightedBagDraw bag(span(weights));
    QCOMPARE(bag.ticketsLeft(), std::uint64_t{4});

    // The other side's tickets are gone while a roll shows this one: a fresh set goes in on top.
    QVERIFY(bag.restore(std::vector<std::uint64_t>{0, 2}));
    bag.startRoll(2);
    ScriptedPick pick{{1, 0}, {}};
    QCOMPARE(bag.next(pick), 1U);
    QCOMPARE(bag.next(pick), 0U);
    QCOMPARE(pick.bounds, (std::vector<std::uint64_t>{2, 1}));
    QCOMPARE(bag.tickets(), (std::vector<std::uint64_t>{0, 4})); // 1 left + 3 new, none discarded

    // Near the largest bag: the pick's bound is the whole 2^63, and a fresh set that would pass it
    // replaces what is left.
    const Weights heavy{1000000000, 1};
    roll::WeightedBagDraw full(span(heavy));
    QVERIFY(!full.restore(std::vector<std::uint64_t>{std::uint64_t{1} << 63, 1}));
    QVERIFY(!full.restore(std::vector<std::uint64_t>{1}));
    QVERIFY(full.restore(std::vector<std::uint64_t>{(std::uint64_t{1} << 63) - 1, 1}));
    full.startRoll(1);
    ScriptedPick last{{(std::uint64_t{1} << 63) - 1, (std::uint64_t{1} << 63) - 2}, {}};
    QCOMPARE(full.next(last), 1U);
    full.startRoll(1);
    QCOMPARE(full.next(last), 0U);
    QCOMPARE(last.bounds, (std::vector<std::uint64_t>{std::uint64_t{1} << 63, (std::uint64_t{1} << 63) - 1}));
    QVERIFY(full.restore(std::vector<std::uint64_t>{(std::uint64_t{1} << 63) - 1, 0}));
    full.startRoll(2);
    ScriptedPick overflow{{5, 0}, {}};
    QCOMPARE(full.next(overflow), 0U);
    QCOMPARE(full.next(overflow), 1U);
    QCOMPARE(full.tickets(), (std::vector<std::uint64_t>{1000000000, 0}));

    // A bag taken out between rolls and put into another goes on as the first would.
    const Weights three{2, 0, 5, 1};
    roll::WeightedBagDraw first(span(three));
    std::uint64_t state = 7;
    auto pickOf = [](std::uint64_t& s) {
        return [&s](std::uint64_t bound) {
            s = s * 6364136223846793005ULL + 1442695040888963407ULL;
            return (s >> 33) % bound;
        };
    };
    for (int die = 0; die < 5; ++die) {
        first.startRoll(1);
        first.next(pickOf(state));
    }
    roll::WeightedBagDraw second(span(three));
    QVERIFY(second.restore(std::vector<std::uint64_t>{first.tickets()[0], 7, first.tickets()[2], first.tickets()[3]}));
    QCOMPARE(second.tickets()[1], std::uint64_t{0}); // a side of weight 0 is never drawn: its tickets go
    std::uint64_t copy = state;
    for (int roll = 0; roll < 20; ++roll) {
        first.startRoll(2);
        second.startRoll(2);
        for (int die = 0; die < 2; ++die)
            QCOMPARE(second.next(pickOf(copy)), first.next(pickOf(state)));
    }
}

void WeightedDrawsTest::setPositionsFollowTheirOwnDice_data() {
    QTest::addColumn<RollMode>("mode");
    QTest::newRow("independent") << RollMode::Independent;
    QTest::newRow("no side twice") << RollMode::Distinct;
    QTest::newRow("bag") << RollMode::Bag;
}

// "2 × Loaded, 1 × Coin, 1 × Loaded": the two entries of Loaded are one kind, drawn together.
void WeightedDrawsTest::setPositionsFollowTheirOwnDice() {
    QFETCH(RollMode, mode);
    dice::Die loaded;
    loaded.name = u"Loaded"_s;
    const Weights weights{1, 3, 4};
    for (int side = 0; side < weights.size(); ++side)
        loaded.append(QString(u"L"_s + QString::number(side)), weights[side]);
    dice::Die coin;
    coin.name = u"Coin"_s;
    coin.append(u"H"_s);
    coin.append(u"T"_s);
    const std::vector<dice::CountedDie> set{{loaded, 2}, {coin, 1}, {loaded, 1}};
    constexpr int kRolls = 12000;

    fakes::FakeServices fake;
    core::MousePointer pointer;
    QList<int> shapes;
    pointer.setApply([&](int shape) { shapes.append(shape); });
    core::ListModel results;
    roll::rollSet(fake.services, u"Test.RollSet"_s, pointer, set, results, QString::number(kRolls), mode);
    QVERIFY(fake.messageBox.shown.isEmpty());
    QCOMPARE(shapes, (QList<int>{core::MousePointer::Hourglass, core::MousePointer::Default}));
    QCOMPARE(results.itemCount(), kRolls);
    const core::DiceLayout* layout = results.draws().layout();
    QVERIFY(layout != nullptr);
    QCOMPARE(layout->kinds.size(), std::size_t{2});
    QCOMPARE(layout->kinds[1].name, u"Coin"_s);
    QVERIFY(layout->kinds[1].weights.empty());
    QCOMPARE(layout->kindAt(2), 1);
    QCOMPARE(layout->kindAt(3), 0);

    // The command line draws die after die: the same dice from the same picks.
    roll::RollPlan byRoll(set, mode);
    roll::RollPlan byDie(set, mode);
    std::uint64_t rollState = 3;
    std::uint64_t dieState = 3;
    auto pickOf = [](std::uint64_t& state) {
        return [&state](std::uint64_t bound) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            return (state >> 33) % bound;
        };
    };
    for (int roll = 0; roll < 50; ++roll) {
        std::array<std::uint32_t, 4> row{};
        byRoll.drawRoll(std::span<std::uint32_t>(row), pickOf(rollState));
        for (const std::uint32_t die : row)
            QCOMPARE(byDie.nextDie(pickOf(dieState)), std::uint64_t{die});
    }

    std::vector<std::map<Outcome, qint64>> counts(4);
    for (const QString& row : fakes::itemTexts(results)) {
        const QStringList labels = row.split(u" - "_s);
        QCOMPARE(labels.size(), 4);
        for (int position = 0; position < 4; ++position) {
            const QString& label = labels[position];
            QVERIFY(label.startsWith(position == 2 ? u'H' : u'L') || (position == 2 && label == u"T"_s));
            ++counts[std::size_t(position)][Outcome{position == 2 ? int(label == u"T"_s) : label.mid(1).toInt()}];
        }
        if (core::drawsDifferentSides(mode))
            QCOMPARE(QSet<QString>({labels[0], labels[1], labels[3]}).size(), 3);
    }
    if (mode == RollMode::Bag)
        return; // the promise above; the bags' laws are tested on their own
    // The first die of a kind follows its own die's law; the coin is fair.
    const std::map<Outcome, double> loadedLaw{{{0}, 1.0 / 8}, {{1}, 3.0 / 8}, {{2}, 4.0 / 8}};
    const std::map<Outcome, double> fairCoin{{{0}, 0.5}, {{1}, 0.5}};
    QVERIFY(fitPValue(counts[0], loadedLaw) > 0.001);
    QVERIFY(fitPValue(counts[2], fairCoin) > 0.001);
    if (mode == RollMode::Independent)
        QVERIFY(fitPValue(counts[3], loadedLaw) > 0.001);
}

void WeightedDrawsTest::weightsOfOneRollAsThePlainDie() {
    core::ListModel sides;
    addSides(sides, 6);
    for (const RollMode mode : core::kRollModes) {
        fakes::FakeServices plain;
        fakes::FakeServices weighted;
        core::ListModel plainRows;
        core::ListModel weightedRows;
        roll::startRolling(plain.services, sides, plainRows, u"50"_s, u"3"_s, mode);
        roll::startRolling(weighted.services, sides, weightedRows, u"50"_s, u"3"_s, mode,
                           std::vector<std::uint32_t>(6, 1));
        QCOMPARE(fakes::itemTexts(weightedRows), fakes::itemTexts(plainRows));
        QVERIFY(weightedRows.draws().layout() == nullptr);
    }
}

void WeightedDrawsTest::unrollableDiceAreRefusedBeforeAnythingChanges_data() {
    QTest::addColumn<RollMode>("mode");
    QTest::addColumn<Weights>("weights"); // of a die "Loaded"; empty: a set of three coins
    QTest::addColumn<QString>("message");
    QTest::newRow("two sides above 0 for three dice")
        << RollMode::Distinct << Weights{1, 0, 5, 0}
        << u"A roll of 3 dice needs at least 3 different sides of weight above 0."_s;
    QTest::newRow("every side 0") << RollMode::Independent << Weights{0, 0}
                                  << u"Every side weighs 0: at least one must weigh more to be drawn."_s;
    QTest::newRow("three coins in a bag")
        << RollMode::Bag << Weights{} << u"A roll of 3 dice of \"Coin\" needs at least 3 different sides."_s;
}

void WeightedDrawsTest::unrollableDiceAreRefusedBeforeAnythingChanges() {
    QFETCH(RollMode, mode);
    QFETCH(Weights, weights);
    QFETCH(QString, message);
    fakes::FakeServices fake;
    core::ListModel results;
    results.addItem(u"earlier"_s);
    if (weights.isEmpty()) {
        dice::Die coin;
        coin.name = u"Coin"_s;
        coin.append(u"H"_s);
        coin.append(u"T"_s);
        core::MousePointer pointer;
        const std::vector<dice::CountedDie> set{{coin, 2}, {coin, 1}};
        roll::rollSet(fake.services, u"Test.RollSet"_s, pointer, set, results, u"5"_s, mode);
    } else {
        core::ListModel sides;
        addSides(sides, int(weights.size()));
        roll::startRolling(fake.services, sides, results, u"5"_s, u"3"_s, mode, span(weights));
    }
    QCOMPARE(fake.messageBox.texts(), QStringList{message});
    QCOMPARE(fakes::itemTexts(results), QStringList{u"earlier"_s});
    QCOMPARE(fake.random.draws, 0);
}

QTEST_GUILESS_MAIN(WeightedDrawsTest)
#include "tst_weighted_draws.moc"
