#include "core/ListModel.h"
#include "fakes/TestSupport.h"
#include "platform/RuntimeError.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

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
    void indexedDuplicateTestAgreesWithAScan();
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
        } else if (action < 9 && indexed.itemCount() > 0) {
            const std::int64_t position = 1 + random.bounded(static_cast<int>(indexed.itemCount()));
            indexed.removeItem(position);
            scanned.removeItem(position);
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
