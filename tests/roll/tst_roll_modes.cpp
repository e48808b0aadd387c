#include "core/ListModel.h"
#include "core/Trap.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "roll/StartRolling.h"

#include <QTest>

#include <boost/math/distributions/chi_squared.hpp>

#include <map>
#include <set>

using namespace Qt::StringLiterals;
using core::RollMode;

Q_DECLARE_METATYPE(core::RollMode)

namespace {

struct Rolled {
    QStringList texts;
    std::vector<std::vector<int>> rows; // side numbers from 1, as the labels read
    QStringList messages;
};

// Rolls the labels "1" to "sides" with the fakes, whose random source is a fixed pseudo-random stream.
Rolled rollLabels(fakes::FakeServices& fake, RollMode mode, int sides, const QString& dice, int rolls,
                  const QString& earlier = {}) {
    core::ListModel sideList;
    for (int side = 1; side <= sides; ++side)
        sideList.addItem(QString::number(side));
    core::ListModel results;
    results.addColumn(u"Results"_s);
    if (!earlier.isEmpty())
        results.addItem(earlier);
    roll::startRolling(fake.services, sideList, results, QString::number(rolls), dice, mode);
    Rolled rolled{fakes::itemTexts(results), {}, fake.messageBox.texts()};
    for (const QString& row : rolled.texts) {
        std::vector<int>& drawn = rolled.rows.emplace_back();
        for (const QString& label : row.split(u" - "_s))
            drawn.push_back(label.toInt());
    }
    return rolled;
}

} // namespace

class RollModesTest : public QObject {
    Q_OBJECT
private slots:
    void rollsKeepTheirModesPromise_data();
    void rollsKeepTheirModesPromise();
    void everyOrderedChoiceIsEquallyLikely_data();
    void everyOrderedChoiceIsEquallyLikely();
    void tooManyDiceAreRefusedBeforeAnythingChanges_data();
    void tooManyDiceAreRefusedBeforeAnythingChanges();
};

void RollModesTest::rollsKeepTheirModesPromise_data() {
    QTest::addColumn<RollMode>("mode");
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("dice");
    QTest::addColumn<int>("rolls");
    QTest::newRow("no side twice") << RollMode::Distinct << 6 << 3 << 200;
    QTest::newRow("no side twice, every side each roll") << RollMode::Distinct << 4 << 4 << 50;
    QTest::newRow("bag, refilled between rolls") << RollMode::Bag << 6 << 3 << 101;
    QTest::newRow("bag, refilled within rolls") << RollMode::Bag << 7 << 3 << 150;
    QTest::newRow("bag, every side each roll") << RollMode::Bag << 5 << 5 << 20;
    QTest::newRow("bag of one die a roll") << RollMode::Bag << 4 << 1 << 41;
    QTest::newRow("bag of a large die") << RollMode::Bag << 70000 << 4 << 40000;
}

void RollModesTest::rollsKeepTheirModesPromise() {
    QFETCH(RollMode, mode);
    QFETCH(int, sides);
    QFETCH(int, dice);
    QFETCH(int, rolls);
    fakes::FakeServices fake;
    const Rolled rolled = rollLabels(fake, mode, sides, QString::number(dice), rolls);

    QCOMPARE(rolled.messages, QStringList());
    QCOMPARE(int(rolled.rows.size()), rolls);
    // Every pick mixes the clock in first, one pick a die.
    QCOMPARE(fake.clock.reads, rolls * dice);
    QCOMPARE(fake.random.reseeds, rolls * dice);
    std::vector<int> all;
    for (const std::vector<int>& row : rolled.rows) {
        QCOMPARE(int(row.size()), dice);
        const std::set<int> shown(row.begin(), row.end());
        QCOMPARE(int(shown.size()), dice);
        QVERIFY(*shown.begin() >= 1 && *shown.rbegin() <= sides);
        all.insert(all.end(), row.begin(), row.end());
    }
    if (mode != RollMode::Bag)
        return;
    // Every bag, one after the other, holds every side once: the last one as far as it got.
    for (std::size_t start = 0; start < all.size(); start += static_cast<std::size_t>(sides)) {
        const std::size_t end = std::min(all.size(), start + static_cast<std::size_t>(sides));
        const std::set<int> bag(all.begin() + static_cast<std::ptrdiff_t>(start),
                                all.begin() + static_cast<std::ptrdiff_t>(end));
        QVERIFY2(bag.size() == end - start, qPrintable(u"bag from draw %1"_s.arg(start)));
    }
}

void RollModesTest::everyOrderedChoiceIsEquallyLikely_data() {
    QTest::addColumn<RollMode>("mode");
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("dice");
    QTest::addColumn<int>("group"); // dice read as one outcome
    QTest::addColumn<int>("outcomes");
    // One roll: every ordered pair of different sides, 4 x 3 of them.
    QTest::newRow("no side twice, 4 sides, 2 dice") << RollMode::Distinct << 4 << 2 << 2 << 12;
    QTest::newRow("no side twice, 3 sides, 3 dice") << RollMode::Distinct << 3 << 3 << 3 << 6;
    // A bag of 4 sides is two rolls of 2 dice: every one of the 24 orders of the sides, bag after bag.
    QTest::newRow("bag, 4 sides, 2 dice") << RollMode::Bag << 4 << 2 << 4 << 24;
    QTest::newRow("bag, 3 sides, 1 die") << RollMode::Bag << 3 << 1 << 3 << 6;
}

void RollModesTest::everyOrderedChoiceIsEquallyLikely() {
    QFETCH(RollMode, mode);
    QFETCH(int, sides);
    QFETCH(int, dice);
    QFETCH(int, group);
    QFETCH(int, outcomes);
    constexpr int kPerOutcome = 400;
    fakes::FakeServices fake;
    const Rolled rolled = rollLabels(fake, mode, sides, QString::number(dice), outcomes * kPerOutcome * group / dice);

    std::map<std::vector<int>, int> counts;
    std::vector<int> outcome;
    for (const std::vector<int>& row : rolled.rows) {
        for (int side : row) {
            outcome.push_back(side);
            if (int(outcome.size()) == group) {
                ++counts[outcome];
                outcome.clear();
            }
        }
    }
    QCOMPARE(int(counts.size()), outcomes);
    double statistic = 0;
    for (const auto& [shown, count] : counts)
        statistic += (count - kPerOutcome) * (count - kPerOutcome) / double(kPerOutcome);
    const boost::math::chi_squared law(outcomes - 1);
    const double p = boost::math::cdf(boost::math::complement(law, statistic));
    QVERIFY2(p > 0.001, qPrintable(u"chi-square %1, p %2"_s.arg(statistic).arg(p)));
}

void RollModesTest::tooManyDiceAreRefusedBeforeAnythingChanges_data() {
    QTest::addColumn<RollMode>("mode");
    QTest::addColumn<int>("sides");
    QTest::addColumn<QString>("dice");
    QTest::addColumn<QString>("message"); // empty: the roll goes ahead
    QTest::newRow("7 of 6 sides, no side twice")
        << RollMode::Distinct << 6 << u"7"_s << u"A roll of 7 dice needs at least 7 different sides."_s;
    QTest::newRow("a bag without sides") << RollMode::Bag << 0 << u"1"_s
                                         << u"A roll of 1 dice needs at least 1 different sides."_s;
    QTest::newRow("7.5 rounds to 8") << RollMode::Bag << 6 << u"7.5"_s
                                     << u"A roll of 8 dice needs at least 8 different sides."_s;
    QTest::newRow("6.5 rounds to 6, as many as sides") << RollMode::Distinct << 6 << u"6.5"_s << QString();
    QTest::newRow("independent dice may repeat") << RollMode::Independent << 6 << u"7"_s << QString();
}

void RollModesTest::tooManyDiceAreRefusedBeforeAnythingChanges() {
    QFETCH(RollMode, mode);
    QFETCH(int, sides);
    QFETCH(QString, dice);
    QFETCH(QString, message);
    fakes::FakeServices fake;
    const Rolled rolled = rollLabels(fake, mode, sides, dice, 3, u"from an earlier roll"_s);

    if (message.isEmpty()) {
        QCOMPARE(rolled.messages, QStringList());
        QCOMPARE(int(rolled.rows.size()), 3);
        return;
    }
    QCOMPARE(fake.messageBox.shown.size(), 1);
    QCOMPARE(fake.messageBox.shown[0].text, message);
    QCOMPARE(fake.messageBox.shown[0].style, int(platform::OkOnly));
    QCOMPARE(fake.messageBox.shown[0].title, QString()); // the application title
    QCOMPARE(rolled.texts, QStringList{u"from an earlier roll"_s});
    QCOMPARE(fake.random.draws, 0);
}

QTEST_GUILESS_MAIN(RollModesTest)
#include "tst_roll_modes.moc"
