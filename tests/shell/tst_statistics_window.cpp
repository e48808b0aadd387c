#include "fakes/Contrast.h"
#include "fakes/Fakes.h"
#include "shell/Form1.h"
#include "shell/ListView.h"
#include "shell/StatisticsChart.h"
#include "shell/StatisticsWindow.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using stats::Statistics;

namespace {

// The fields of a CSV line whose fields hold no line ends: quoted ones may hold commas and quotes.
QStringList csvFields(const QString& line) {
    static const QRegularExpression field(u"(?:^|,)(\"(?:[^\"]|\"\")*\"|[^,]*)"_s);
    QStringList fields;
    for (const QRegularExpressionMatch& match : field.globalMatch(line)) {
        const QString text = match.captured(1);
        fields.append(text.startsWith(u'"') ? text.mid(1, text.size() - 2).replace(u"\"\""_s, u"\""_s) : text);
    }
    return fields;
}

} // namespace

class StatisticsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensOnceFromTheMenuAndCtrlI();
    void followsRollsTicksAndClearing();
    void copyAndSaveTakeTheTableAsShown_data();
    void copyAndSaveTakeTheTableAsShown();
    void keysLeaveTheTableAndCloseTheWindow_data();
    void keysLeaveTheTableAndCloseTheWindow();
    void summaryIsReadAndNeverCutOff();
    void chartBarsStandForTrueValues();
    void axisNumbersFollowTheLocale();

private:
    void roll(int rolls);
    shell::StatisticsWindow* openWindow(int rolls);
    std::int64_t countedRolls() const;
    template <typename T> T* control(const QString& name) const {
        return m_form->statisticsWindow()->findChild<T*>(name);
    }

    fakes::FakeServices* m_fake = nullptr;
    shell::Form1* m_form = nullptr;
};

void StatisticsWindowTest::init() {
    m_fake = new fakes::FakeServices;
    m_form = new shell::Form1(m_fake->services);
    m_form->Form_Load();
    for (const QString& side : {u"Heads"_s, u"Tails"_s})
        m_form->sides().addItem(side);
    m_form->findChild<QLineEdit*>(u"Text1"_s)->setText(u"2"_s);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void StatisticsWindowTest::cleanup() {
    delete m_form;
    delete m_fake;
}

void StatisticsWindowTest::roll(int rolls) {
    m_form->findChild<QLineEdit*>(u"Text2"_s)->setText(QString::number(rolls));
    QTest::mouseClick(m_form->findChild<QPushButton*>(u"PushButton8"_s), Qt::LeftButton);
}

shell::StatisticsWindow* StatisticsWindowTest::openWindow(int rolls) {
    roll(rolls);
    m_form->showStatistics();
    if (!QTest::qWaitFor([&] { return countedRolls() == rolls; }))
        qFatal("the window did not count %d rolls", rolls);
    return m_form->statisticsWindow();
}

std::int64_t StatisticsWindowTest::countedRolls() const {
    const shell::StatisticsWindow* window = m_form->statisticsWindow();
    if (window == nullptr || window->isCounting() || !window->statistics())
        return -1;
    return static_cast<std::int64_t>(window->statistics()->rolls());
}

void StatisticsWindowTest::opensOnceFromTheMenuAndCtrlI() {
    const QSize mainSize = m_form->size();
    QAction* action = m_form->statisticsAction();
    QVERIFY(m_form->findChild<shell::ListView*>(u"ListView2"_s)->menuActions().contains(action));
    QCOMPARE(action->text(), u"Statistics\u2026"_s);

    QTest::keyClick(m_form->findChild<QLineEdit*>(u"Text2"_s), Qt::Key_I, Qt::ControlModifier);
    shell::StatisticsWindow* window = m_form->statisticsWindow();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), u"Statistics"_s);
    QCOMPARE(fakes::unnamedControls(*window).join(u","_s), QString());

    window->close();
    action->trigger();
    QCOMPARE(m_form->statisticsWindow(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(m_form->size(), mainSize);
}

void StatisticsWindowTest::followsRollsTicksAndClearing() {
    openWindow(10);
    const auto* chart = control<shell::StatisticsChart>(u"Chart"_s);
    auto* status = control<QLabel>(u"Status"_s);
    QAbstractItemModel* table = control<QTableView>(u"Table"_s)->model();
    QCOMPARE(table->rowCount(), 3); // Heads, Tails, Total
    QCOMPARE(table->index(2, 1).data().toString(), u"20"_s);
    // Hovering the chart's right half shows the second side's row.
    const QRect area = chart->rect();
    const std::optional<std::int64_t> bar = chart->barAt(QPointF(area.right() - 20, area.center().y()));
    QCOMPARE(bar, std::optional<std::int64_t>(1));
    QVERIFY(chart->barText(*bar).startsWith(u"Side: Tails\nCount: "_s + table->index(1, 1).data().toString()));

    // A new count shows nothing of the last one, from before it starts.
    roll(25);
    QCOMPARE(table->rowCount(), 0);
    QCOMPARE(control<QLabel>(u"Summary"_s)->text(), u"Counting\u2026"_s);
    QVERIFY(!control<QPushButton>(u"CopyButton"_s)->isEnabled() && !control<QPushButton>(u"SaveButton"_s)->isEnabled());
    QVERIFY(chart->bars().observed.empty());
    QTRY_COMPARE(countedRolls(), 25);

    control<QComboBox>(u"Scope"_s)->setCurrentIndex(1); // ticked rows only
    QTRY_COMPARE(status->text(), Statistics::kNoTickedRows);
    QCOMPARE(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), status->text());
    m_form->results().setTicked(2, true);
    m_form->results().setTicked(5, true);
    QTRY_COMPARE(countedRolls(), 2);
    control<QSpinBox>(u"Die"_s)->setValue(2);
    QTRY_COMPARE(table->index(2, 1).data().toString(), u"2"_s); // one die of two rows

    QTest::mouseClick(m_form->findChild<QPushButton*>(u"PushButton10"_s), Qt::LeftButton);
    QTRY_COMPARE(status->text(), Statistics::kNothingToCount);
    QCOMPARE(table->rowCount(), 0);
}

void StatisticsWindowTest::copyAndSaveTakeTheTableAsShown_data() {
    QTest::addColumn<int>("view");
    QTest::addColumn<bool>("tickedOnly");
    QTest::addColumn<int>("die");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QStringList>("named"); // the rows and the dice the lines name
    QTest::newRow("combinations of all rows") << 1 << false << 0 << u"Combination\tCount\tShare\tExpected"_s
                                              << QStringList{u"Rows\tAll rows"_s, u"Dice\tAll dice"_s};
    QTest::newRow("die 2 of the ticked rows") << 0 << true << 2 << u"Side\tCount\tShare\tExpected\tDeviation"_s
                                              << QStringList{u"Rows\tTicked rows only"_s, u"Dice\tDie 2"_s};
}

void StatisticsWindowTest::copyAndSaveTakeTheTableAsShown() {
    QFETCH(int, view);
    QFETCH(bool, tickedOnly);
    QFETCH(int, die);
    QFETCH(QString, header);
    QFETCH(QStringList, named);
    m_form->RollMode_Click(core::RollMode::Distinct); // the lines name it
    const shell::StatisticsWindow* window = openWindow(40);
    for (int row = 1; row <= 40; row += 3)
        m_form->results().setTicked(row, true);
    control<QTabBar>(u"Views"_s)->setCurrentIndex(view);
    control<QComboBox>(u"Scope"_s)->setCurrentIndex(tickedOnly ? 1 : 0);
    control<QSpinBox>(u"Die"_s)->setValue(die);
    QTRY_COMPARE(countedRolls(), tickedOnly ? 14 : 40);

    auto* tableView = control<QTableView>(u"Table"_s);
    tableView->setFocus();
    QTest::keyClick(tableView, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = m_fake->clipboard.text.split(u"\r\n"_s);
    QCOMPARE(lines.first(), header);
    const QAbstractItemModel* table = tableView->model();
    for (int row = 0; row < table->rowCount(); ++row)
        QCOMPARE(lines[row + 1].section(u'\t', 0, 1),
                 table->index(row, 0).data().toString() + u'\t' + table->index(row, 1).data().toString());
    const QStringList fairness = lines.mid(table->rowCount() + 1);
    QCOMPARE(fairness.mid(0, 4), (QStringList{QString(), u"Rolls\t%1"_s.arg(tickedOnly ? 14 : 40),
                                              u"Dice per roll\t2"_s, u"Roll mode\tNo Side Twice In A Roll"_s}));
    QVERIFY(fairness[4].startsWith(u"Chi-square\t"_s));
    for (const QString& line : named)
        QVERIFY2(fairness.contains(line), qPrintable(line));
    QCOMPARE(fairness.filter(QRegularExpression(u"^Longest run\t\\d+$"_s)).size(), 1);

    // The CSV holds the same fields, some of them with commas.
    QTemporaryDir folder;
    const QString path = folder.filePath(u"statistics.csv"_s);
    m_fake->fileDialogs.saveAnswers.enqueue(path);
    QTest::mouseClick(control<QPushButton>(u"SaveButton"_s), Qt::LeftButton);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(saved.readAll()).split(u"\r\n"_s);
    QCOMPARE(rows.size(), lines.size());
    for (qsizetype row = 0; row < rows.size(); ++row)
        QCOMPARE(csvFields(rows[row]).join(u'\t'), lines[row]);
    QVERIFY(m_fake->messageBox.shown.isEmpty());
    // A save that fails is reported over the window, not the main one.
    m_fake->fileDialogs.saveAnswers.enqueue(folder.filePath(u"missing/statistics.csv"_s));
    QTest::mouseClick(control<QPushButton>(u"SaveButton"_s), Qt::LeftButton);
    QCOMPARE(m_fake->messageBox.shown.size(), 1);
    QCOMPARE(m_fake->messageBox.shown.first().owner, window);
}

void StatisticsWindowTest::keysLeaveTheTableAndCloseTheWindow_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("focus"); // where the focus goes; empty when the window closes
    QTest::newRow("Tab") << u"Tab"_s << u"SummaryArea"_s;
    QTest::newRow("Shift+Tab") << u"Shift+Tab"_s << u"Views"_s;
    QTest::newRow("Escape") << u"Esc"_s << QString();
    QTest::newRow("Close button") << QString() << QString();
    // An open list takes the Escape that would close the window.
    QTest::newRow("Escape in an open list") << u"Esc"_s << u"Scope"_s;
}

void StatisticsWindowTest::keysLeaveTheTableAndCloseTheWindow() {
    QFETCH(QString, keys);
    QFETCH(QString, focus);
    shell::StatisticsWindow* window = openWindow(30);
    if (focus.isEmpty())
        roll(30); // closing the window drops a count under way
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto* table = control<QTableView>(u"Table"_s);
    table->setCurrentIndex(table->model()->index(0, 0)); // Tab would move on from here, were it the table's
    table->setFocus();
    QVERIFY(table->hasFocus());
    auto* scope = control<QComboBox>(u"Scope"_s);
    const bool inList = focus == scope->objectName();
    if (inList) {
        scope->setFocus();
        scope->showPopup();
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    }
    if (keys.isEmpty())
        QTest::mouseClick(control<QPushButton>(u"CloseButton"_s), Qt::LeftButton);
    else if (inList) // through the window system, where the window's shortcuts see the key first
        QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), Qt::Key_Escape);
    else
        QTest::keySequence(table, QKeySequence(keys));
    if (inList)
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
    if (focus.isEmpty()) {
        QVERIFY(!window->isVisible());
        QVERIFY(!window->isCounting());
    } else {
        QVERIFY(window->isVisible());
        QCOMPARE(window->focusWidget()->objectName(), focus);
    }
}

void StatisticsWindowTest::summaryIsReadAndNeverCutOff() {
    shell::StatisticsWindow* window = openWindow(30);
    window->resize(window->minimumSize());
    QTRY_COMPARE(window->size(), window->minimumSize());
    auto* summary = control<QLabel>(u"Summary"_s);
    auto* area = control<QScrollArea>(u"SummaryArea"_s);
    // Every line of the summary is there, scrolled to where it does not fit.
    QVERIFY(summary->height() >= summary->heightForWidth(summary->width()));
    QVERIFY(summary->width() <= area->viewport()->width());
    QCOMPARE(area->verticalScrollBar()->maximum(), std::max(0, summary->height() - area->viewport()->height()));
    // A screen reader reads its text, not only what it is.
    QCOMPARE(QAccessible::queryAccessibleInterface(summary)->text(QAccessible::Name), summary->text());
    QCOMPARE(QAccessible::queryAccessibleInterface(area)->text(QAccessible::Description), summary->text());
}

void StatisticsWindowTest::chartBarsStandForTrueValues() {
    // A fair die of 40,000 sides: counts of 15 and 35 by turns, 25 expected of each.
    auto names = std::make_shared<core::TextRows>();
    for (int side = 1; side <= 40000; ++side)
        names->append(QString::number(side));
    core::DrawRows draws(names, 1, core::RollMode::Independent);
    draws.build([&](auto& indices) {
        for (std::uint16_t side = 0; side < 40000; ++side)
            indices.insert(indices.end(), side % 2 == 0 ? 15 : 35, side);
    });
    stats::Work work;
    const Statistics counted = Statistics::compute({draws, std::nullopt}, {}, work);
    shell::StatisticsChart chart;
    chart.resize(600, 300);
    chart.setChart(counted.chart(), counted.table());

    // Bins of neighbouring sides, each bar their mean (a last, shorter bin aside), and the chart says so.
    const Statistics::Chart& bars = chart.bars();
    QVERIFY(bars.binSize > 1 && std::ssize(bars.observed) <= chart.width());
    const auto [lowest, highest] = std::minmax_element(bars.observed.begin(), bars.observed.end() - 1);
    QVERIFY(*lowest > 24 && *highest < 26);
    QVERIFY2(chart.barText(0).startsWith(u"Sides: 1\u2013"_s), qPrintable(chart.barText(0)));
    // The axis names more than the ends, none over another.
    const auto named = chart.axisLabels();
    QVERIFY(named.size() > 2 && named.first().second == u"1"_s && named.last().second == u"40000"_s);
    for (qsizetype at = 1; at < named.size(); ++at)
        QVERIFY(named[at].first.left() > named[at - 1].first.right());
    // At its smallest the legend, its longest names, still fits.
    chart.resize(chart.minimumSizeHint());
    QVERIFY(QRectF(chart.rect()).contains(chart.legendArea()));
}

void StatisticsWindowTest::axisNumbersFollowTheLocale() {
    const QLocale english(u"en_US"_s);
    QCOMPARE(shell::axisNumber(25000, 5000, english), u"25,000"_s);
    QCOMPARE(shell::axisNumber(12500, 2500, QLocale(u"de_DE"_s)), u"12.500"_s);
    QCOMPARE(shell::axisNumber(1.5e6, 5e5, english), u"1.5M"_s);
    QCOMPARE(shell::axisNumber(2e9, 1e9, english), u"2B"_s);
    QCOMPARE(shell::axisNumber(2.5, 0.5, english), u"2.5"_s);
}

QTEST_MAIN(StatisticsWindowTest)
#include "tst_statistics_window.moc"
