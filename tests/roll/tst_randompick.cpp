#include "fakes/Fakes.h"
#include "platform/Clock.h"
#include "platform/RandomSource.h"
#include "roll/RandomPick.h"

#include <QSet>
#include <QTest>
#include <QTime>

#include <cmath>
#include <limits>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr std::int32_t kLargestDie = std::numeric_limits<std::int32_t>::max();
// Every generator test starts from this seed, so a run is reproducible.
constexpr std::uint64_t kSeed = 20240531;

// Upper critical value of chi-square with df degrees of freedom at significance 0.001, by the
// Wilson-Hilferty approximation; for thousands of degrees of freedom it matches the tables closely.
double chiSquareCritical(double df) {
    constexpr double z = 3.090232; // the standard normal's 0.999 quantile
    const double a = 2.0 / (9.0 * df);
    return df * std::pow(1.0 - a + z * std::sqrt(a), 3.0);
}

} // namespace

class RandomPickTest : public QObject {
    Q_OBJECT
private slots:
    void pickMapsDrawsWithoutBias_data();
    void pickMapsDrawsWithoutBias();
    void pickBelowTakesTwoDrawsForWideBounds_data();
    void pickBelowTakesTwoDrawsForWideBounds();
    void emptyDieGivesOne();
    void largestDieReachesBothEnds();
    void picksAreFair_data();
    void picksAreFair();
    void sameTimeContinuesTheSequence();
    void newTimeChangesTheSequence();
    void sameSeedAndTimesRepeatTheSequence();
    void systemClockTellsTheTimeOfDay();
    void processWidePickStaysInRange();
};

void RandomPickTest::pickMapsDrawsWithoutBias_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QList<std::uint32_t>>("draws");
    QTest::addColumn<int>("pick");
    QTest::addColumn<int>("drawsUsed");

    // 2^32 mod 3 = 1: the draw 0 is one of the surplus draws and is drawn again.
    QTest::newRow("n 3, surplus draw rejected") << 3 << QList<std::uint32_t>{0U, 0xffffffffU} << 3 << 2;
    QTest::newRow("n 3, first draw kept") << 3 << QList<std::uint32_t>{1U} << 1 << 1;
    QTest::newRow("n 3, middle third") << 3 << QList<std::uint32_t>{0x60000000U} << 2 << 1;
    QTest::newRow("n 6, top draw is the top side") << 6 << QList<std::uint32_t>{0xffffffffU} << 6 << 1;
    // A power of two has no surplus: every draw is kept.
    QTest::newRow("n 2, draw 0 kept") << 2 << QList<std::uint32_t>{0U} << 1 << 1;
    // 2^32 mod (2^31 - 1) = 2: draws whose low word is 0 or 1 are surplus, here 0 and 2^31 - 1
    // ((2^31 - 1)^2 = 1 modulo 2^32).
    QTest::newRow("largest die, two surplus draws")
        << kLargestDie << QList<std::uint32_t>{0U, 0x7fffffffU, 2U} << 1 << 3;
    QTest::newRow("largest die, top draw") << kLargestDie << QList<std::uint32_t>{0xffffffffU} << kLargestDie << 1;
    // Straight after the largest die: 2^32 mod 3000000 = 1967296, so the draw 1432 (low word 1032704)
    // is surplus for this die although it would not be for the one before.
    QTest::newRow("another large die") << 3000000 << QList<std::uint32_t>{1432U, 1U} << 1 << 2;
}

void RandomPickTest::pickMapsDrawsWithoutBias() {
    QFETCH(int, n);
    QFETCH(QList<std::uint32_t>, draws);
    QFETCH(int, pick);
    QFETCH(int, drawsUsed);
    fakes::FakeClock clock;
    fakes::FakeRandomSource random;
    for (std::uint32_t draw : draws)
        random.values.enqueue(draw);

    QCOMPARE(Main::PickRandomIndex(n, clock, random), pick);
    QCOMPARE(random.draws, drawsUsed);
    QCOMPARE(random.reseeds, 1);
}

void RandomPickTest::pickBelowTakesTwoDrawsForWideBounds_data() {
    QTest::addColumn<quint64>("bound");
    QTest::addColumn<QList<std::uint32_t>>("draws");
    QTest::addColumn<quint64>("pick");
    QTest::addColumn<int>("drawsUsed");
    // Up to 2^31 - 1 a bound is one 32-bit draw, as PickRandomIndex takes it.
    QTest::newRow("6, one draw") << quint64{6} << QList<std::uint32_t>{0xffffffffU} << quint64{5} << 1;
    QTest::newRow("2^31 - 1, one draw") << quint64{0x7fffffff} << QList<std::uint32_t>{0xffffffffU}
                                        << quint64{0x7ffffffe} << 1;
    // 2^64 mod (2^32 + 1) = 1: the 64-bit draw 0 is surplus; the draw 2^63 (high word first) picks 2^31.
    QTest::newRow("2^32 + 1, surplus draw")
        << (quint64{1} << 32) + 1 << QList<std::uint32_t>{0U, 0U, 0U, 1U} << quint64{0} << 4;
    QTest::newRow("2^32 + 1, middle") << (quint64{1} << 32) + 1 << QList<std::uint32_t>{0x80000000U, 0U}
                                      << quint64{0x80000000} << 2;
    // 2^64 mod (2^63 + 1) = 2^63 - 1: almost half the draws are surplus. The draw 1 has the low word
    // 2^63 + 1 and is kept; the top draw's low word is 2^63 - 1 itself, kept too, for the top pick.
    QTest::newRow("2^63 + 1, surplus draw")
        << (quint64{1} << 63) + 1 << QList<std::uint32_t>{0U, 0U, 0U, 1U} << quint64{0} << 4;
    QTest::newRow("2^63 + 1, top draw") << (quint64{1} << 63) + 1 << QList<std::uint32_t>{0xffffffffU, 0xffffffffU}
                                        << (quint64{1} << 63) << 2;
}

void RandomPickTest::pickBelowTakesTwoDrawsForWideBounds() {
    QFETCH(quint64, bound);
    QFETCH(QList<std::uint32_t>, draws);
    QFETCH(quint64, pick);
    QFETCH(int, drawsUsed);
    fakes::FakeClock clock;
    fakes::FakeRandomSource random;
    for (std::uint32_t draw : draws)
        random.values.enqueue(draw);
    QCOMPARE(quint64{roll::pickBelow(bound, clock, random)}, pick);
    QCOMPARE(random.draws, drawsUsed);
    QCOMPARE(random.reseeds, 1);
}

void RandomPickTest::emptyDieGivesOne() {
    fakes::FakeClock clock;
    fakes::FakeRandomSource random;
    for (int i = 0; i < 100; ++i) {
        QCOMPARE(Main::PickRandomIndex(0, clock, random), 1);
        QCOMPARE(Main::PickRandomIndex(-7, clock, random), 1);
    }
}

void RandomPickTest::largestDieReachesBothEnds() {
    fakes::FakeClock clock;
    platform::MixingRandomSource random(kSeed);
    std::int32_t lowest = kLargestDie;
    std::int32_t highest = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::int32_t pick = Main::PickRandomIndex(kLargestDie, clock, random);
        QVERIFY(pick >= 1 && pick <= kLargestDie);
        lowest = std::min(lowest, pick);
        highest = std::max(highest, pick);
    }
    // 100000 uniform picks come within about 2^31 / 100000 of either end.
    QVERIFY(lowest < 1000000);
    QVERIFY(highest > kLargestDie - 1000000);
}

void RandomPickTest::picksAreFair_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("draws");
    QTest::addColumn<double>("critical"); // chi-square at significance 0.001 with n - 1 degrees of freedom
    QTest::newRow("coin") << 2 << 200000 << 10.828;
    QTest::newRow("six sides") << 6 << 600000 << 20.515;
    QTest::newRow("twenty sides") << 20 << 600000 << 43.820;
    QTest::newRow("40000 sides") << 40000 << 4000000 << chiSquareCritical(39999);
}

// Chi-square goodness of fit at significance 0.001, seed kSeed, through the real generator and the
// clock seam: the fake clock moves by 1 ms per read, so at noon a float holds the same value for
// about four reads and then changes, as the coarse system clock does.
void RandomPickTest::picksAreFair() {
    QFETCH(int, n);
    QFETCH(int, draws);
    QFETCH(double, critical);
    fakes::FakeClock clock;
    clock.step = 0.001F;
    platform::MixingRandomSource random(kSeed);

    std::vector<std::int64_t> counts(static_cast<std::size_t>(n) + 1, 0);
    for (int i = 0; i < draws; ++i)
        ++counts[static_cast<std::size_t>(Main::PickRandomIndex(n, clock, random))];

    QCOMPARE(counts[0], 0);
    const double expected = static_cast<double>(draws) / n;
    double chiSquare = 0;
    for (int side = 1; side <= n; ++side) {
        const double difference = static_cast<double>(counts[static_cast<std::size_t>(side)]) - expected;
        chiSquare += difference * difference / expected;
    }
    QVERIFY2(chiSquare < critical, qPrintable(u"chi-square %1, critical %2"_s.arg(chiSquare).arg(critical)));
}

void RandomPickTest::sameTimeContinuesTheSequence() {
    // A thousand dice within one clock tick: the draws go on rather than repeat.
    platform::MixingRandomSource random(kSeed);
    QSet<std::uint32_t> values;
    for (int i = 0; i < 1000; ++i) {
        random.reseed(1234.5F);
        values.insert(random.next());
    }
    QCOMPARE(values.size(), 1000);

    fakes::FakeClock clock;
    QSet<int> faces;
    for (int i = 0; i < 1000; ++i)
        faces.insert(Main::PickRandomIndex(6, clock, random));
    QCOMPARE(faces.size(), 6);
}

void RandomPickTest::newTimeChangesTheSequence() {
    platform::MixingRandomSource steady(kSeed);
    platform::MixingRandomSource moved(kSeed);
    steady.reseed(100.0F);
    moved.reseed(100.0F);
    QCOMPARE(steady.next(), moved.next());

    steady.reseed(100.0F);
    moved.reseed(100.0078125F);
    int equal = 0;
    for (int i = 0; i < 100; ++i)
        equal += steady.next() == moved.next() ? 1 : 0;
    QCOMPARE(equal, 0);
}

void RandomPickTest::sameSeedAndTimesRepeatTheSequence() {
    platform::MixingRandomSource first(kSeed);
    platform::MixingRandomSource second(kSeed);
    platform::MixingRandomSource otherSeed(kSeed + 1);
    int sameAsOtherSeed = 0;
    for (int i = 0; i < 1000; ++i) {
        const float time = 30000.0F + static_cast<float>(i / 7);
        first.reseed(time);
        second.reseed(time);
        otherSeed.reseed(time);
        const std::uint32_t value = first.next();
        QCOMPARE(second.next(), value);
        sameAsOtherSeed += otherSeed.next() == value ? 1 : 0;
    }
    QCOMPARE(sameAsOtherSeed, 0);
}

void RandomPickTest::systemClockTellsTheTimeOfDay() {
    platform::SystemClock clock;
    for (int i = 0; i < 3; ++i) {
        const double before = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
        const double reading = clock.secondsSinceMidnight();
        const double after = QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
        QVERIFY(reading >= 0 && reading < 86400);
        if (after < before)
            continue; // midnight passed in between
        // The coarse clock may lag by a few milliseconds; a float at 86400 s resolves about 8 ms.
        QVERIFY2(reading > before - 0.05 && reading < after + 0.05,
                 qPrintable(u"%1 not in [%2, %3]"_s.arg(reading).arg(before).arg(after)));
    }
}

void RandomPickTest::processWidePickStaysInRange() {
    QSet<int> faces;
    for (int i = 0; i < 1000; ++i) {
        const int pick = Main::PickRandomIndex(4);
        QVERIFY(pick >= 1 && pick <= 4);
        faces.insert(pick);
    }
    QCOMPARE(faces.size(), 4);
    QCOMPARE(Main::PickRandomIndex(0), 1);
}

QTEST_GUILESS_MAIN(RandomPickTest)
#include "tst_randompick.moc"
