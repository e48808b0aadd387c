#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "roll/NoRepeatDraws.h"
#include "roll/StartRolling.h"

#include <QTest>

#include <boost/math/distributions/chi_squared.hpp>

#include <map>
#include <numeric>
#include <set>

using namespace Qt::StringLiterals;
using core::RollMode;

Q_DECLARE_METATYPE(core::RollMode)

namespace {

// Start Rolling over the labels "1" to "sides" after an earlier row, with the fakes' fixed random stream.
QStringList rollRows(fakes::FakeServices& fake, RollMode mode, int sides, const QString& dice, int rolls) {
    core::ListModel sideList;
    for (int side = 1; side <= sides; ++side)
        sideList.addItem(QString::number(side));
    core::ListModel results;
    results.addItem(u"earlier"_s);
    roll::startRolling(fake.services, sideList, results, QString::number(rolls), dice, mode);
    return fakes::itemTexts(results);
}

// Every die of every row, in order.
std::vector<int> allDice(const QStringList& rows) {
    std::vector<int> dice;
    for (const QString& row : rows) {
        for (const QString& label : row.split(u" - "_s))
            dice.push_back(label.toInt());
    }
    return dice;
}

} // namespace

class RollModesTest : public QObject {
    Q_OBJECT
private slots:
    void rollsKeepTheirModesPromiseAndAreUniform_data();
    void rollsKeepTheirModesPromiseAndAreUniform();
    void aLargeDieDrawsARepeatedSideAgain();
    void aFewDiceOfALargeDieDrawUntilTheSideIsNew_data();
    void aFewDiceOfALargeDieDrawUntilTheSideIsNew();
    void aLargeBagDrawsAsThePlainShuffle();
    void tooManyDiceAreRefusedBeforeAnythingChanges_data();
    void tooManyDiceAreRefusedBeforeAnythingChanges();
};

void RollModesTest::rollsKeepTheirModesPromiseAndAreUniform_data() {
    QTest::addColumn<RollMode>("mode");
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("dice");
    QTest::addColumn<int>("group");    // dice read as one outcome of the uniformity test
    QTest::addColumn<int>("outcomes"); // how many there are, all equally likely; 0: no test
    QTest::newRow("no side twice, 4 sides, 2 dice: 12 ordered pairs") << RollMode::Distinct << 4 << 2 << 2 << 12;
    QTest::newRow("no side twice, every side each roll") << RollMode::Distinct << 3 << 3 << 3 << 6;
    // Two rolls of 2 dice empty a bag of 4: all 24 orders of the sides, bag after bag.
    QTest::newRow("bag, refilled between rolls") << RollMode::Bag << 4 << 2 << 4 << 24;
    QTest::newRow("bag, refilled within rolls") << RollMode::Bag << 7 << 3 << 0 << 0;
    QTest::newRow("bag of one die a roll") << RollMode::Bag << 3 << 1 << 3 << 6;
    QTest::newRow("bag of a large die, refilled within rolls") << RollMode::Bag << 70000 << 3 << 0 << 0;
    QTest::newRow("no side twice, a few dice of a large die") << RollMode::Distinct << 70000 << 4 << 0 << 0;
}

void RollModesTest::rollsKeepTheirModesPromiseAndAreUniform() {
    QFETCH(RollMode, mode);
    QFETCH(int, sides);
    QFETCH(int, dice);
    QFETCH(int, group);
    QFETCH(int, outcomes);
    constexpr int kPerOutcome = 400;
    const int rolls = std::max({101, 2 * sides / dice + 1, outcomes * kPerOutcome * std::max(group, 1) / dice});
    fakes::FakeServices fake;
    const std::vector<int> all = allDice(rollRows(fake, mode, sides, QString::number(dice), rolls));
    QVERIFY(fake.messageBox.shown.isEmpty());
    QCOMPARE(int(all.size()), rolls * dice);
    QVERIFY(fake.random.reseeds >= rolls * dice); // the clock mixed in before every pick, and any redraw
    QVERIFY(*std::min_element(all.begin(), all.end()) >= 1 && *std::max_element(all.begin(), all.end()) <= sides);
    auto different = [&](std::size_t start, int count) {
        const auto first = all.begin() + std::ptrdiff_t(start);
        return int(std::set<int>(first, first + count).size());
    };
    for (std::size_t start = 0; start < all.size(); start += std::size_t(dice))
        QCOMPARE(different(start, dice), dice);
    // Every bag holds each side once, across the rolls it spans.
    for (std::size_t start = 0; mode == RollMode::Bag && start + std::size_t(sides) <= all.size();
         start += std::size_t(sides))
        QCOMPARE(different(start, sides), sides);

    std::map<std::vector<int>, int> counts;
    for (auto first = all.begin(); outcomes > 0 && first != all.end(); first += group)
        ++counts[std::vector<int>(first, first + group)];
    QCOMPARE(int(counts.size()), outcomes);
    double statistic = 0;
    for (const auto& [outcome, count] : counts)
        statistic += (count - kPerOutcome) * (count - kPerOutcome) / double(kPerOutcome);
    const double p = outcomes == 0
                         ? 1
                         : boost::math::cdf(boost::math::complement(boost::math::chi_squared(outcomes - 1), statistic));
    QVERIFY2(p > 0.001, qPrintable(u"chi-square %1, p %2"_s.arg(statistic).arg(p)));
}

// A few dice of a large die are drawn from every side, and a side the roll shows already is drawn again.
void RollModesTest::aLargeDieDrawsARepeatedSideAgain() {
    fakes::FakeServices fake;
    // Picks 4375, 4375 again, then 8750, of 70000 sides (from 0).
    for (const std::uint32_t value : {0x10000001U, 0x10000001U, 0x20000001U})
        fake.random.values.enqueue(value);
    QCOMPARE(rollRows(fake, RollMode::Distinct, 70000, u"2"_s, 1), QStringList{u"4376 - 8751"_s});
    QCOMPARE(fake.random.reseeds, 3);
}

void RollModesTest::aFewDiceOfALargeDieDrawUntilTheSideIsNew_data() {
    QTest::addColumn<quint32>("sides");
    QTest::addColumn<int>("dice");
    QTest::addColumn<QList<quint32>>("picks"); // what the pick answers, in turn
    QTest::addColumn<QList<quint32>>("drawn"); // the dice of one roll after another
    QTest::addColumn<bool>("redraws");         // every pick of every side, else a shuffle's shrinking ranges
    using L = QList<quint32>;
    QTest::newRow("a side clashing twice") << 70000U << 2 << L{5, 5, 5, 9} << L{5, 9} << true;
    QTest::newRow("clashing with each earlier die") << 70000U << 3 << L{1, 2, 2, 1, 3} << L{1, 2, 3} << true;
    QTest::newRow("clashing with the first die") << 70000U << 3 << L{1, 2, 1, 4} << L{1, 2, 4} << true;
    QTest::newRow("the next roll may show them again") << 70000U << 2 << L{1, 2, 2, 1} << L{1, 2, 2, 1} << true;
    L sixteen;
    for (quint32 side = 0; side < 16; ++side)
        sixteen.append(side);
    QTest::newRow("16 dice of 65536 sides") << 65536U << 16 << sixteen << sixteen << true;
    QTest::newRow("17 dice shuffle") << 65536U << 17 << L(17, 0) << (sixteen + L{16}) << false;
    QTest::newRow("a die of 65535 sides shuffles") << 65535U << 2 << L{0, 0} << L{0, 1} << false;
}

// A scripted pick: each die of a few of a large die must be new to its roll, however often it clashes.
void RollModesTest::aFewDiceOfALargeDieDrawUntilTheSideIsNew() {
    QFETCH(quint32, sides);
    QFETCH(int, dice);
    QFETCH(QList<quint32>, picks);
    QFETCH(QList<quint32>, drawn);
    QFETCH(bool, redraws);
    QList<quint32> bounds;
    qsizetype next = 0;
    auto pick = [&](std::uint32_t bound) -> std::uint32_t {
        bounds.append(bound);
        const quint32 value = next < picks.size() ? picks[next] : std::uint32_t(next) % bound; // past the script
        ++next;
        return value;
    };
    roll::DistinctDraw<std::uint32_t> draw(sides);
    QList<quint32> got;
    while (got.size() < drawn.size()) {
        draw.startRoll(std::size_t(dice));
        for (int die = 0; die < dice; ++die)
            got.append(draw.next(pick));
    }
    QCOMPARE(got, drawn);
    QCOMPARE(next, picks.size());
    for (qsizetype at = 0; at < bounds.size(); ++at)
        QCOMPARE(bounds[at], redraws ? sides : sides - quint32(at % dice));
}

// A large bag picks ahead to fetch its places early; its dice must be those of the plain bag, the
// sides taken from a shuffled list and a refill within a roll holding that roll's dice back.
void RollModesTest::aLargeBagDrawsAsThePlainShuffle() {
    constexpr std::uint32_t kSides = 70000;
    constexpr int kDice = 3; // 70000 dice are 23333 rolls and 1 die: refills fall within rolls
    std::uint64_t state = 1;
    auto pick = [&state](std::uint32_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>((state >> 32) % bound);
    };
    roll::BagDraw<std::uint32_t> bag(kSides);
    std::vector<std::uint32_t> drawn;
    for (int roll = 0; roll < 100000; ++roll) {
        bag.startRoll(kDice);
        for (int die = 0; die < kDice; ++die)
            drawn.push_back(bag.next(pick));
    }
    state = 1;
    std::vector<std::uint32_t> plain(kSides);
    std::iota(plain.begin(), plain.end(), 0U);
    std::uint32_t taken = 0;
    for (std::size_t at = 0; at < drawn.size(); ++at) {
        const auto inRoll = static_cast<std::uint32_t>(at % kDice);
        if (taken == kSides)
            taken = 0;
        // Dice the roll drew before a refill are the old bag's last places, left out until it ends.
        const std::uint32_t end = taken < inRoll ? kSides - (inRoll - taken) : kSides;
        std::swap(plain[taken], plain[taken + pick(end - taken)]);
        QCOMPARE(drawn[at], plain[taken++]);
    }
}

void RollModesTest::tooManyDiceAreRefusedBeforeAnythingChanges_data() {
    QTest::addColumn<RollMode>("mode");
    QTest::addColumn<int>("sides");
    QTest::addColumn<QString>("dice");
    QTest::addColumn<QString>("message"); // empty: the roll goes ahead
    const QString tooMany = u"A roll of %1 dice needs at least %1 different sides."_s;
    QTest::newRow("7 of 6 sides") << RollMode::Distinct << 6 << u"7"_s << tooMany.arg(7);
    QTest::newRow("a bag without sides") << RollMode::Bag << 0 << u"1"_s << tooMany.arg(1);
    QTest::newRow("7.5 rounds to 8") << RollMode::Bag << 6 << u"7.5"_s << tooMany.arg(8);
    QTest::newRow("6.5 rounds to 6, as many as sides") << RollMode::Distinct << 6 << u"6.5"_s << QString();
    QTest::newRow("independent dice may repeat") << RollMode::Independent << 6 << u"7"_s << QString();
}

void RollModesTest::tooManyDiceAreRefusedBeforeAnythingChanges() {
    QFETCH(RollMode, mode);
    QFETCH(int, sides);
    QFETCH(QString, dice);
    QFETCH(QString, message);
    fakes::FakeServices fake;
    const QStringList rows = rollRows(fake, mode, sides, dice, 3);
    if (message.isEmpty()) {
        QVERIFY(fake.messageBox.shown.isEmpty());
        QCOMPARE(rows.size(), 3);
        return;
    }
    QCOMPARE(fake.messageBox.shown.size(), 1);
    QCOMPARE(fake.messageBox.shown.first().text, message);
    QCOMPARE(fake.messageBox.shown.first().style, int(platform::OkOnly));
    QCOMPARE(fake.messageBox.shown.first().title, QString()); // the application title
    QCOMPARE(rows, QStringList{u"earlier"_s});
    QCOMPARE(fake.random.draws, 0);
}

QTEST_GUILESS_MAIN(RollModesTest)
#include "tst_roll_modes.moc"
