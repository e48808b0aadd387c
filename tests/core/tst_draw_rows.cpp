#include "core/DrawRows.h"
#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "roll/StartRolling.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(core::RollMode)

namespace {

void fillSides(core::ListModel& sides, int count, const QString& prefix = QString()) {
    core::TextRows labels;
    for (int side = 1; side <= count; ++side)
        labels.append(QString(prefix + QString::number(side)));
    sides.addItems(labels);
}

} // namespace

class DrawRowsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void rowsKeepEachDrawInTheNarrowestWidth_data();
    void rowsKeepEachDrawInTheNarrowestWidth();
    void otherRowsJoinAsTextAndKeepEveryText_data();
    void otherRowsJoinAsTextAndKeepEveryText();
    void rowsKeepTheLabelsAndDrawsOfTheirRoll();
    void rowsJoinAsDrawsOnlyInTheirOwnRollMode_data();
    void rowsJoinAsDrawsOnlyInTheirOwnRollMode();

private:
    fakes::FakeServices* m_fake = nullptr;
    core::ListModel* m_sides = nullptr;
    core::ListModel* m_results = nullptr;
};

void DrawRowsTest::init() {
    m_fake = new fakes::FakeServices;
    m_sides = new core::ListModel;
    m_results = new core::ListModel;
    m_results->setCheckable(true);
    m_results->addColumn(u"Results"_s);
}

void DrawRowsTest::cleanup() {
    delete m_results;
    delete m_sides;
    delete m_fake;
}

void DrawRowsTest::rowsKeepEachDrawInTheNarrowestWidth_data() {
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("bytes");
    QTest::newRow("2 sides") << 2 << 1;
    QTest::newRow("256 sides") << 256 << 1;
    QTest::newRow("257 sides") << 257 << 2;
    QTest::newRow("65536 sides") << 65536 << 2;
    QTest::newRow("65537 sides") << 65537 << 4;
}

void DrawRowsTest::rowsKeepEachDrawInTheNarrowestWidth() {
    QFETCH(int, sides);
    QFETCH(int, bytes);
    fillSides(*m_sides, sides, u"side "_s);

    roll::startRolling(m_fake->services, *m_sides, *m_results, u"100000"_s, u"3"_s);

    const core::DrawRows& draws = m_results->draws();
    QCOMPARE(draws.size(), 100000);
    QCOMPARE(draws.indexBytes(), bytes);
    // Per row: its draws and its tick bit, besides the labels the roll keeps once.
    const std::size_t labels = m_sides->textSnapshot()->bytesUsed();
    QCOMPARE_LE(m_results->bytesUsed() - labels, std::size_t(100000) * (3 * bytes + 1));
    for (std::int64_t position : {std::int64_t{1}, std::int64_t{100000}}) {
        const QStringList line = m_results->text(position).split(u" - "_s);
        QCOMPARE(line.size(), 3);
        for (int die = 0; die < 3; ++die)
            QCOMPARE(line[die], m_sides->text(draws.side(position - 1, die) + 1));
    }
}

void DrawRowsTest::otherRowsJoinAsTextAndKeepEveryText_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("keepsDraws");
    QTest::newRow("a row given as text") << u"text"_s << false;
    QTest::newRow("the rows of another roll") << u"other roll"_s << false;
    QTest::newRow("more rows of the same roll") << u"same roll"_s << true;
    QTest::newRow("a row removed") << u"remove"_s << true;
    QTest::newRow("a duplicate index") << u"index"_s << false;
}

void DrawRowsTest::otherRowsJoinAsTextAndKeepEveryText() {
    QFETCH(QString, change);
    QFETCH(bool, keepsDraws);
    QAbstractItemModelTester tester(m_results, QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_sides->addItem(u"a - b"_s); // a separator inside a label stays part of the label
    m_sides->addItem(QString());
    m_sides->addItem(u"c"_s);
    roll::startRolling(m_fake->services, *m_sides, *m_results, u"40"_s, u"2"_s);
    QStringList expected = fakes::itemTexts(*m_results);

    if (change == u"text"_s) {
        m_results->addItem(u"typed"_s);
        expected.append(u"typed"_s);
    } else if (change == u"other roll"_s) {
        core::ListModel other;
        roll::startRolling(m_fake->services, *m_sides, other, u"5"_s, u"1"_s);
        expected += fakes::itemTexts(other);
        m_results->addItems(core::DrawRows(other.draws()));
    } else if (change == u"same roll"_s) {
        m_results->addItems(core::DrawRows(m_results->draws()));
        expected += expected;
    } else if (change == u"remove"_s) {
        m_results->removeItem(2);
        expected.removeAt(1);
    } else {
        m_results->setTextIndexEnabled(true);
        QVERIFY(m_results->containsText(expected.last()));
    }

    QCOMPARE(!m_results->draws().empty(), keepsDraws);
    QCOMPARE(fakes::itemTexts(*m_results), expected);
    for (std::int64_t position = 1; position <= m_results->itemCount(); ++position) {
        const QString& text = expected[static_cast<qsizetype>(position - 1)];
        QCOMPARE(m_results->textLength(position), text.size());
        QCOMPARE(m_results->textView(position), text);
        QCOMPARE(m_results->data(m_results->index(static_cast<int>(position - 1), 0), Qt::DisplayRole), text);
    }
}

void DrawRowsTest::rowsKeepTheLabelsAndDrawsOfTheirRoll() {
    fillSides(*m_sides, 6);
    roll::startRolling(m_fake->services, *m_sides, *m_results, u"300"_s, u"3"_s);
    const QStringList rolled = fakes::itemTexts(*m_results);
    const core::DrawRows counted = m_results->draws(); // what the statistics would be counting

    // given the sides list changed and a row of the list removed
    m_sides->removeAll();
    fillSides(*m_sides, 6, u"other "_s);
    m_results->removeItem(1);

    QCOMPARE(fakes::itemTexts(*m_results), rolled.mid(1));
    QCOMPARE(counted.size(), 300);
    QString first;
    counted.appendText(0, first);
    QCOMPARE(first, rolled.first());
}

void DrawRowsTest::rowsJoinAsDrawsOnlyInTheirOwnRollMode_data() {
    QTest::addColumn<core::RollMode>("mode");
    QTest::addColumn<core::RollMode>("joined"); // the mode of the rows added after them
    for (const core::RollMode mode : core::kRollModes) {
        for (const core::RollMode joined : core::kRollModes)
            QTest::addRow("%s, then %s", qPrintable(core::rollModeWord(mode)), qPrintable(core::rollModeWord(joined)))
                << mode << joined;
    }
}

void DrawRowsTest::rowsJoinAsDrawsOnlyInTheirOwnRollMode() {
    QFETCH(core::RollMode, mode);
    QFETCH(core::RollMode, joined);
    fillSides(*m_sides, 6);
    roll::startRolling(m_fake->services, *m_sides, *m_results, u"20"_s, u"2"_s, mode);
    QCOMPARE(m_results->draws().mode(), mode); // what the statistics expect of them
    core::ListModel other;
    roll::startRolling(m_fake->services, *m_sides, other, u"5"_s, u"2"_s, joined);
    const QStringList expected = fakes::itemTexts(*m_results) + fakes::itemTexts(other);

    m_results->addItems(core::DrawRows(other.draws()));
    QCOMPARE(fakes::itemTexts(*m_results), expected);
    QCOMPARE(m_results->draws().empty(), mode != joined);
}

QTEST_GUILESS_MAIN(DrawRowsTest)
#include "tst_draw_rows.moc"
