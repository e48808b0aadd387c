#include "core/ListModel.h"
#include "core/TextIndex.h"
#include "fakes/TestSupport.h"
#include "platform/RuntimeError.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <unordered_map>

using namespace Qt::StringLiterals;
using core::ListModel;
using platform::RuntimeError;

namespace {

bool throwsIndexError(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const RuntimeError& error) {
        return error.number() == RuntimeError::IndexOutOfBounds;
    }
    return false;
}

} // namespace

class ListModelTest : public QObject {
    Q_OBJECT
private slots:
    void itemsKeepOrderAndRemovalShiftsTheRest();
    void positionsOutsideTheListRaiseTheIndexError();
    void ticksAndSubItemsFollowTheirRowsOnRemoval();
    void batchAppendAddsAfterExistingRows();
    void takenItemsGoBackWhereTheyWere_data();
    void takenItemsGoBackWhereTheyWere();
    void indexedDuplicateTestAgreesWithAScan();
    void indexKeepsItsProbeRunsWholeWhenATailGoes();
    void labelsSharingAHashAreToldApart_data();
    void labelsSharingAHashAreToldApart();
    void columnsCarryHeaderAndWidth();
    void modelStaysConsistentForViews();
};

void ListModelTest::itemsKeepOrderAndRemovalShiftsTheRest() {
    ListModel list;
    for (const QString& text : {u"a"_s, u""_s, u"a"_s, u" c "_s})
        list.addItem(text);
    QCOMPARE(fakes::itemTexts(list), (QStringList{u"a"_s, u""_s, u"a"_s, u" c "_s}));
    list.removeItem(2);
    QCOMPARE(fakes::itemTexts(list), (QStringList{u"a"_s, u"a"_s, u" c "_s}));
    list.removeItem(3);
    list.removeItem(1);
    QCOMPARE(fakes::itemTexts(list), QStringList{u"a"_s});
    // A row too long to lay out is shown by its start, and kept whole.
    const QString huge(ListModel::kMostShownCharacters + 1, u'y');
    list.addColumn(u"Sides"_s);
    list.addItem(huge);
    QCOMPARE(list.index(1, 0).data().toString(), huge.chopped(1) + u'\u2026');
    QCOMPARE(list.text(2), huge);
    list.removeAll();
    QCOMPARE(list.itemCount(), 0);
}

void ListModelTest::positionsOutsideTheListRaiseTheIndexError() {
    ListModel list;
    QVERIFY(throwsIndexError([&] { list.text(1); }));
    QVERIFY(throwsIndexError([&] { list.removeItem(1); }));
    list.addItem(u"x");
    QVERIFY(throwsIndexError([&] { list.text(0); }));
    QVERIFY(throwsIndexError([&] { list.text(2); }));
    QVERIFY(throwsIndexError([&] { list.isTicked(2); }));
    QVERIFY(throwsIndexError([&] { list.subItem(-1, 1); }));
    QVERIFY(throwsIndexError([&] { list.headerText(1); }));
    QCOMPARE(list.text(1), u"x"_s);
    QCOMPARE(list.subItem(1, 3), QString());
}

void ListModelTest::ticksAndSubItemsFollowTheirRowsOnRemoval() {
    ListModel list;
    for (int i = 1; i <= 5; ++i)
        list.addItem(QString::number(i));
    QVERIFY(!list.isTicked(1));
    list.setTicked(2, true);
    list.setTicked(4, true);
    list.setSubItem(4, 1, u"four"_s);
    list.removeItem(3);
    QCOMPARE(list.text(3), u"4"_s);
    QVERIFY(list.isTicked(2));
    QVERIFY(list.isTicked(3));
    QVERIFY(!list.isTicked(4));
    QCOMPARE(list.subItem(3, 1), u"four"_s);
    QCOMPARE(list.tickedCount(), 2);
    list.removeItem(2);
    QCOMPARE(list.tickedCount(), 1);
    list.setAllTicked(true);
    QCOMPARE(list.tickedCount(), 3);
}

void ListModelTest::batchAppendAddsAfterExistingRows() {
    ListModel list;
    list.addItem(u"first");
    core::TextRows batch;
    batch.append(u"second");
    batch.appendPiece(u"th");
    batch.appendPiece(u"ird");
    batch.endRow();
    batch.append(u"");
    list.addItems(batch);
    QCOMPARE(fakes::itemTexts(list), (QStringList{u"first"_s, u"second"_s, u"third"_s, u""_s}));
    QCOMPARE(list.rowCount(), 4);
    QCOMPARE(list.textLength(3), 5);
}

void ListModelTest::takenItemsGoBackWhereTheyWere_data() {
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("first") << qint64(1) << qint64(1) << QStringList{u"bb"_s, u""_s, u"d d"_s, u"a"_s};
    QTest::newRow("middle run") << qint64(2) << qint64(3) << QStringList{u"a"_s, u"a"_s};
    QTest::newRow("tail") << qint64(4) << qint64(2) << QStringList{u"a"_s, u"bb"_s, u""_s};
    QTest::newRow("everything") << qint64(1) << qint64(5) << QStringList{};
}

void ListModelTest::takenItemsGoBackWhereTheyWere() {
    QFETCH(qint64, position);
    QFETCH(qint64, count);
    QFETCH(QStringList, left);
    const QStringList all = {u"a"_s, u"bb"_s, u""_s, u"d d"_s, u"a"_s};
    ListModel list;
    list.addColumn(u"Sides"_s);
    list.setTextIndexEnabled(true);
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    for (const QString& text : all)
        list.addItem(text);
    list.setTicked(2, true);

    core::TextRows taken = list.takeItems(position, count);
    QCOMPARE(taken.size(), count);
    QCOMPARE(fakes::itemTexts(list), left);
    QCOMPARE(list.containsText(u"d d"), left.contains(u"d d"_s));
    QCOMPARE(list.containsText(u"a"), left.contains(u"a"_s)); // equal texts share one slot of the index
    list.insertItems(position, std::move(taken));
    QCOMPARE(fakes::itemTexts(list), all);
    QVERIFY(taken.empty());
    QVERIFY(list.containsText(u"d d") && list.containsText(u"bb"));
    QCOMPARE(list.tickedCount(), position <= 2 && position + count > 2 ? 0 : 1); // a taken item comes back unticked
    QVERIFY(throwsIndexError([&] { list.takeItems(5, 2); }));
}

void ListModelTest::indexedDuplicateTestAgreesWithAScan() {
    // The same random edits on an indexed and a plain list must answer every lookup alike.
    ListModel indexed;
    indexed.setTextIndexEnabled(true);
    ListModel scanned;
    QRandomGenerator random(20261207);
    auto label = [&]() -> QString {
        return QString::number(random.bounded(300)) + (random.bounded(2) ? u" "_s : u""_s);
    };
    for (int step = 0; step < 3000; ++step) {
        const int action = random.bounded(10);
        if (action < 6) {
            const QString text = label();
            indexed.addItem(text);
            scanned.addItem(text);
        } else if (action < 8 && indexed.itemCount() > 0) {
            const std::int64_t position = 1 + random.bounded(static_cast<int>(indexed.itemCount()));
            indexed.removeItem(position);
            scanned.removeItem(position);
        } else if (action == 8 && indexed.itemCount() > 0) {
            const auto count = 1 + random.bounded(static_cast<int>(std::min<std::int64_t>(indexed.itemCount(), 40)));
            indexed.takeItems(indexed.itemCount() - count + 1, count); // a tail: the index forgets it in place
            scanned.takeItems(scanned.itemCount() - count + 1, count);
        } else if (action == 9 && random.bounded(20) == 0) {
            indexed.removeAll();
            scanned.removeAll();
        }
        const QString probe = label();
        QCOMPARE(indexed.containsText(probe), scanned.containsText(probe));
    }
    QVERIFY(!indexed.containsText(u"HEADS"));
    indexed.addItem(u"Heads");
    QVERIFY(indexed.containsText(u"Heads"));
    QVERIFY(!indexed.containsText(u"heads"));
    QVERIFY(!indexed.containsText(u"Heads "));
}

void ListModelTest::indexKeepsItsProbeRunsWholeWhenATailGoes() {
    // Hashes chosen so that the growth from 64 to 128 slots puts the later row R first in the run of
    // the earlier row K (K wraps round to slot 0): taking R out must not cut K off.
    core::TextRows rows;
    core::TextIndex index(rows);
    auto add = [&](const QString& text, std::uint32_t hash) {
        rows.append(text);
        index.add(hash);
    };
    add(u"K"_s, 127); // slot 63 of 64
    add(u"R"_s, 255); // home 63 too: wraps to slot 0
    for (std::uint32_t filler = 10; filler <= 40; ++filler)
        add(QString::number(filler), filler); // the last one makes the table grow
    index.truncate(1);
    QVERIFY(index.contains(u"K", 127));
    QVERIFY(!index.contains(u"R", 255));
    QVERIFY(!index.contains(u"10", 10));
}

void ListModelTest::labelsSharingAHashAreToldApart_data() {
    QTest::addColumn<QStringList>("labels"); // every one indexed under one hash
    QTest::addColumn<int>("kept");           // the rows left after the tail goes
    QStringList many;
    for (int n = 0; n < 40; ++n)
        many.append(QString::number(n));
    QTest::newRow("two labels") << QStringList{u"a"_s, u"b"_s} << 2;
    QTest::newRow("an equal label after them") << QStringList{u"a"_s, u"b"_s, u"a"_s} << 3;
    QTest::newRow("the later label goes") << QStringList{u"a"_s, u"b"_s} << 1;
    QTest::newRow("the first label's twin goes") << QStringList{u"a"_s, u"b"_s, u"a"_s} << 2;
    QTest::newRow("a twin of a kept label goes") << QStringList{u"a"_s, u"b"_s, u"c"_s, u"b"_s} << 2;
    QTest::newRow("many, past a growth, half of them go") << many << 20;
}

void ListModelTest::labelsSharingAHashAreToldApart() {
    QFETCH(QStringList, labels);
    QFETCH(int, kept);
    constexpr std::uint32_t kHash = 7;
    core::TextRows rows;
    core::TextIndex index(rows);
    for (qsizetype row = 0; row < labels.size(); ++row) {
        QCOMPARE(index.contains(labels[row], kHash), labels.mid(0, row).contains(labels[row]));
        rows.append(labels[row]);
        index.add(kHash);
    }
    index.truncate(kept);
    const QStringList left = labels.mid(0, kept);
    for (const QString& label : labels + QStringList{u"absent"_s})
        QVERIFY2(index.contains(label, kHash) == left.contains(label), qPrintable(label));

    // Two real labels of one hash, the same through the list's own index.
    static const std::pair<QString, QString> twins = [] {
        std::unordered_map<std::uint32_t, int> seen;
        for (int n = 0;; ++n) {
            const auto [at, added] = seen.emplace(core::TextIndex::hashOf(QString::number(n)), n);
            if (!added)
                return std::pair(QString::number(at->second), QString::number(n));
        }
    }();
    ListModel list;
    list.setTextIndexEnabled(true);
    list.addItem(twins.first);
    QVERIFY(!list.containsText(twins.second));
    list.addItem(twins.second);
    list.removeItem(1);
    QVERIFY(!list.containsText(twins.first) && list.containsText(twins.second));
}

void ListModelTest::columnsCarryHeaderAndWidth() {
    ListModel list;
    QSignalSpy headerChanged(&list, &QAbstractItemModel::headerDataChanged);
    list.addColumn(u"There are currently 0 sides on this dice."_s);
    list.setColumnWidthTwips(1, 7000);
    list.setHeaderText(1, u"There are currently 2 sides on this dice."_s);
    QCOMPARE(headerChanged.count(), 1);
    QCOMPARE(list.listColumnCount(), 1);
    QCOMPARE(list.columnWidthTwips(1), 7000);
    QCOMPARE(list.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), list.headerText(1));
}

void ListModelTest::modelStaysConsistentForViews() {
    ListModel list;
    list.setCheckable(true);
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    list.addColumn(u"Results"_s);
    for (int i = 0; i < 20; ++i)
        list.addItem(QString::number(i));
    core::TextRows batch;
    for (int i = 0; i < 100; ++i)
        batch.append(u"row");
    list.addItems(batch);
    QVERIFY(list.setData(list.index(3, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(list.isTicked(4));
    QCOMPARE(list.data(list.index(3, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    list.toggleTicks(QModelIndexList{list.index(3, 0), list.index(5, 0)});
    QVERIFY(!list.isTicked(4));
    QVERIFY(list.isTicked(6));
    list.removeItem(1);
    list.removeAll();
    QCOMPARE(list.rowCount(), 0);
}

QTEST_GUILESS_MAIN(ListModelTest)
#include "tst_list_model.moc"
