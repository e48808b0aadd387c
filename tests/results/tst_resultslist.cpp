#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "fakes/WidgetSupport.h"
#include "results/ResultsCommands.h"
#include "results/SpreadsheetExport.h"
#include "results/TextExport.h"
#include "shell/Form1.h"
#include "shell/ListView.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class ResultsListTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void buttonsRollCopyAndClear();
    void rowsShowAnUntickedCheckBox();
    void spaceTogglesEverySelectedRow();
    void ctrlASpaceTicksAllRows();
    void contextMenuTicksAndUnticksAll();
    void sidesListIsNotTickable();
    void overlappingSelectionRangesFlipOnce();
    void batchOf15CharacterRowsStaysUnder48BytesEach();
    void closingTheWindowStopsALongCommand_data();
    void closingTheWindowStopsALongCommand();

private:
    QPoint rowCentre(int row) const;

    fakes::FakeServices* m_fake = nullptr;
    shell::Form1* m_form = nullptr;
    QAbstractItemModelTester* m_tester = nullptr;
};

void ResultsListTest::init() {
    m_fake = new fakes::FakeServices;
    m_form = new shell::Form1(m_fake->services);
    m_form->Form_Load();
    m_tester = new QAbstractItemModelTester(&m_form->results(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void ResultsListTest::cleanup() {
    delete m_tester;
    delete m_form;
    delete m_fake;
}

QPoint ResultsListTest::rowCentre(int row) const {
    const shell::ListView* view = fakes::control<shell::ListView>(*m_form, u"ListView2"_s);
    return view->visualRect(view->model()->index(row, 0)).center();
}

void ResultsListTest::buttonsRollCopyAndClear() {
    for (const QString& side : {u"Heads"_s, u"Tails"_s})
        m_form->sides().addItem(side);
    fakes::control<QLineEdit>(*m_form, u"Text1"_s)->setText(u"2"_s);
    fakes::control<QLineEdit>(*m_form, u"Text2"_s)->setText(u"4"_s);

    QTest::mouseClick(fakes::control(*m_form, u"PushButton8"_s), Qt::LeftButton);
    core::ListModel& results = m_form->results();
    QCOMPARE(results.itemCount(), 4);
    QCOMPARE(results.text(1).split(u" - "_s).size(), 2);

    results.setTicked(3, true);
    QTest::mouseClick(fakes::control(*m_form, u"PushButton11"_s), Qt::LeftButton);
    QCOMPARE(m_fake->clipboard.text, results.text(3) + u"\r\n"_s);

    QTest::mouseClick(fakes::control(*m_form, u"PushButton10"_s), Qt::LeftButton);
    QCOMPARE(results.itemCount(), 0);
    QVERIFY(m_fake->messageBox.shown.isEmpty());
}

void ResultsListTest::rowsShowAnUntickedCheckBox() {
    core::ListModel& results = m_form->results();
    results.addItem(u"a - b"_s);
    const QModelIndex first = results.index(0, 0);
    QVERIFY(results.flags(first).testFlag(Qt::ItemIsUserCheckable));
    QCOMPARE(results.data(first, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));

    // A click on the check box, at the left of the cell, ticks the row; a second one unticks it.
    shell::ListView* view = fakes::control<shell::ListView>(*m_form, u"ListView2"_s);
    const QRect cell = view->visualRect(first);
    const QPoint checkBox(cell.left() + view->style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 3,
                          cell.center().y());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, checkBox);
    QVERIFY(results.isTicked(1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, checkBox);
    QVERIFY(!results.isTicked(1));
}

void ResultsListTest::spaceTogglesEverySelectedRow() {
    core::ListModel& results = m_form->results();
    for (int i = 1; i <= 5; ++i)
        results.addItem(u"row %1"_s.arg(i));
    results.setTicked(3, true);
    shell::ListView* view = fakes::control<shell::ListView>(*m_form, u"ListView2"_s);
    view->setFocus();

    // given rows 1, 3 and 4 selected (3 is ticked already)
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(3));
    QCOMPARE(view->selectionModel()->selectedRows().size(), 3);

    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE((QList<bool>{results.isTicked(1), results.isTicked(2), results.isTicked(3), results.isTicked(4),
                          results.isTicked(5)}),
             (QList<bool>{true, false, false, true, false}));
    QCOMPARE(view->selectionModel()->selectedRows().size(), 3); // Space keeps the selection

    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(results.tickedCount(), 1);
    QVERIFY(results.isTicked(3));
}

void ResultsListTest::ctrlASpaceTicksAllRows() {
    core::TextRows rows;
    for (int i = 0; i < 1000; ++i)
        rows.append(u"row"_s);
    core::ListModel& results = m_form->results();
    results.addItems(rows);
    shell::ListView* view = fakes::control<shell::ListView>(*m_form, u"ListView2"_s);
    view->setFocus();

    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(results.tickedCount(), 1000);

    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(results.tickedCount(), 0);
}

void ResultsListTest::contextMenuTicksAndUnticksAll() {
    core::ListModel& results = m_form->results();
    for (int i = 0; i < 3; ++i)
        results.addItem(u"row"_s);
    results.setTicked(2, true);
    const QWidget* list = fakes::control(*m_form, u"ListView2"_s);
    const QList<QAction*> actions = list->actions();
    QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->text(), u"Tick All"_s);
    QCOMPARE(actions[1]->text(), u"Untick All"_s);

    actions[0]->trigger();
    QCOMPARE(results.tickedCount(), 3);
    actions[1]->trigger();
    QCOMPARE(results.tickedCount(), 0);
    QVERIFY(!results.isTicked(2));
}

void ResultsListTest::sidesListIsNotTickable() {
    m_form->sides().addItem(u"Heads"_s);
    m_form->sides().addItem(u"Tails"_s);
    shell::ListView* view = fakes::control<shell::ListView>(*m_form, u"ListView1"_s);
    for (const QAction* action : view->actions())
        QVERIFY(!action->text().contains(u"Tick"_s));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier); // selects the sides, for copying
    QTest::keyClick(view, Qt::Key_Space);
    QCOMPARE(m_form->sides().tickedCount(), 0);
    QVERIFY(!m_form->sides().data(m_form->sides().index(0, 0), Qt::CheckStateRole).isValid());
}

void ResultsListTest::overlappingSelectionRangesFlipOnce() {
    core::ListModel& results = m_form->results();
    for (int i = 0; i < 6; ++i)
        results.addItem(u"row"_s);
    QItemSelection selection(results.index(0, 0), results.index(3, 0));
    selection.append(QItemSelectionRange(results.index(2, 0), results.index(4, 0)));

    results.toggleTicks(selection);

    QCOMPARE(results.tickedCount(), 5);
    QVERIFY(!results.isTicked(6));
}

void ResultsListTest::batchOf15CharacterRowsStaysUnder48BytesEach() {
    core::TextRows rows;
    for (int i = 0; i < 100000; ++i)
        rows.append(u"abc - def - ghi"_s);
    core::ListModel& results = m_form->results();
    results.addItems(rows);
    results.addItems(core::TextRows(rows)); // appended to a full list
    QCOMPARE(results.itemCount(), 200000);
    QCOMPARE_LE(results.bytesUsed(), 200000U * 48U);
}

void ResultsListTest::closingTheWindowStopsALongCommand_data() {
    QTest::addColumn<int>("button");       // the command's button: PushButton<n>
    QTest::addColumn<int>("closingYield"); // 0: the window closes while the command's first error report is up
    QTest::newRow("copy") << 11 << 150;
    QTest::newRow("text export") << 9 << 150;
    QTest::newRow("spreadsheet export") << 13 << 150;
    QTest::newRow("spreadsheet export, report up") << 13 << 0;
}

void ResultsListTest::closingTheWindowStopsALongCommand() {
    QFETCH(int, button);
    QFETCH(int, closingYield);
    // given: long ticked rows (the text export has written to its temporary file), an earlier file
    core::TextRows rows;
    for (int i = 0; i < 100; ++i)
        rows.append(QString(4000, u'x'));
    m_form->results().addItems(rows);
    m_form->results().setAllTicked(true);
    QTemporaryDir dir;
    const QString earlier = fakes::writeFile(dir.filePath(u"results.txt"_s), "earlier\r\n");
    m_fake->fileDialogs.saveAnswers.enqueue(earlier);
    // when: the window closes while the command lets it process its events, well into the rows, or while
    // it reports that the spreadsheet application went away (which would fail every later statement)
    m_fake->events.onProcess = [&] {
        if (m_fake->events.calls == closingYield)
            m_form->close();
    };
    if (closingYield == 0) {
        m_fake->spreadsheets.creationOutcomes << true << false;
        m_fake->messageBox.onShow = [this](const fakes::ShownMessage&) { m_form->close(); };
    }
    const std::chrono::microseconds everyCall(0);
    if (button == 11)
        results::copyResults(m_fake->services, m_form->results(), everyCall);
    else if (button == 9)
        results::saveResultsAsTextFile(m_form->results(), m_form->mousePointer(), m_fake->services, everyCall);
    else
        results::saveResultsAsSpreadsheet(m_form->results(), m_form->mousePointer(), m_fake->services, everyCall);

    // then: the command went no further (the last call is the closing's own), and nothing left the program
    QVERIFY(m_fake->events.quitting());
    QCOMPARE(m_fake->events.calls, closingYield + 1);
    QCOMPARE(m_fake->messageBox.shown.size(), closingYield == 0 ? 1 : 0);
    QCOMPARE(m_fake->clipboard.setAttempts + m_fake->clipboard.clearAttempts, 0);
    QCOMPARE(fakes::readFile(earlier), QByteArray("earlier\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"results.txt"_s});
    QVERIFY(!m_fake->spreadsheets.calls.contains(u"visible"_s));
}

QTEST_MAIN(ResultsListTest)
#include "tst_resultslist.moc"
