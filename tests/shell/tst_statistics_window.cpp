#include "fakes/Fakes.h"
#include "shell/Form1.h"
#include "shell/ListView.h"
#include "shell/StatisticsChart.h"
#include "shell/StatisticsWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using stats::Statistics;

class StatisticsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void opensOnceFromTheMenuAndCtrlI();
    void followsRollsTicksAndClearing();
    void copyAndSaveTakeTheTableAsShown();

private:
    void roll(int rolls);
    std::int64_t countedRolls() const;

    fakes::FakeServices* m_fake = nullptr;
    shell::Form1* m_form = nullptr;
};

void StatisticsWindowTest::init() {
    m_fake = new fakes::FakeServices;
    m_form = new shell::Form1(m_fake->services);
    m_form->Form_Load();
    for (const QString& side : {u"Heads"_s, u"Tails"_s})
        m_form->sides().addItem(side);
    m_form->Text1->setText(u"2"_s);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void StatisticsWindowTest::cleanup() {
    delete m_form;
    delete m_fake;
}

void StatisticsWindowTest::roll(int rolls) {
    m_form->Text2->setText(QString::number(rolls));
    QTest::mouseClick(m_form->PushButton8, Qt::LeftButton);
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
    QCOMPARE(m_form->ListView2->menuActions(), QList<QAction*>{action});
    QCOMPARE(action->text(), u"Statistics\u2026"_s);

    QTest::keyClick(m_form->Text2, Qt::Key_I, Qt::ControlModifier);
    shell::StatisticsWindow* window = m_form->statisticsWindow();
    QVERIFY(window != nullptr);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), u"Statistics"_s);
    for (QWidget* control : QList<QWidget*>{window->scope, window->views, window->die, window->ignoreOrder,
                                            window->table, window->chart, window->copyButton, window->saveButton})
        QVERIFY2(!control->accessibleName().isEmpty(), control->metaObject()->className());

    window->close();
    action->trigger();
    QCOMPARE(m_form->statisticsWindow(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(m_form->size(), mainSize);
}

void StatisticsWindowTest::followsRollsTicksAndClearing() {
    roll(10);
    m_form->showStatistics();
    shell::StatisticsWindow* window = m_form->statisticsWindow();
    QTRY_COMPARE(countedRolls(), 10);
    QAbstractItemModel* table = window->table->model();
    QCOMPARE(table->rowCount(), 3); // Heads, Tails, Total
    QCOMPARE(table->index(2, 1).data().toString(), u"20"_s);
    // Hovering the chart's right half shows the second side's row.
    const QRect chart = window->chart->rect();
    const std::optional<std::int64_t> bar = window->chart->barAt(QPointF(chart.right() - 20, chart.center().y()));
    QCOMPARE(bar, std::optional<std::int64_t>(1));
    QVERIFY(window->chart->barText(*bar).startsWith(u"Side: Tails\nCount: "_s + table->index(1, 1).data().toString()));

    roll(25);
    QTRY_COMPARE(countedRolls(), 25);

    window->scope->setCurrentIndex(1); // ticked rows only
    QTRY_COMPARE(window->statusText(), Statistics::kNoTickedRows);
    m_form->results().setTicked(2, true);
    m_form->results().setTicked(5, true);
    QTRY_COMPARE(countedRolls(), 2);
    window->die->setValue(2);
    QTRY_COMPARE(window->table->model()->index(2, 1).data().toString(), u"2"_s); // one die of two rows

    QTest::mouseClick(m_form->PushButton10, Qt::LeftButton);
    QTRY_COMPARE(window->statusText(), Statistics::kNothingToCount);
    QCOMPARE(window->table->model()->rowCount(), 0);
}

void StatisticsWindowTest::copyAndSaveTakeTheTableAsShown() {
    m_form->RollMode_Click(core::RollMode::Distinct); // the lines name it
    roll(40);
    m_form->showStatistics();
    shell::StatisticsWindow* window = m_form->statisticsWindow();
    QTRY_COMPARE(countedRolls(), 40);
    window->views->setCurrentIndex(1);
    QTRY_VERIFY(countedRolls() == 40 && window->table->model()->columnCount() == 4);

    window->table->setFocus();
    QTest::keyClick(window->table, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = m_fake->clipboard.text.split(u"\r\n"_s);
    QCOMPARE(lines.first(), u"Combination\tCount\tShare\tExpected"_s);
    const QAbstractItemModel* table = window->table->model();
    for (int row = 0; row < table->rowCount(); ++row)
        QCOMPARE(lines[row + 1].section(u'\t', 0, 1),
                 table->index(row, 0).data().toString() + u'\t' + table->index(row, 1).data().toString());
    QCOMPARE(lines.mid(table->rowCount() + 1, 5),
             (QStringList{QString(), u"Rolls\t40"_s, u"Dice per roll\t2"_s, u"Roll mode\tNo Side Twice In A Roll"_s,
                          lines[table->rowCount() + 5]}));
    QVERIFY(lines[table->rowCount() + 5].startsWith(u"Chi-square\t"_s));

    QTemporaryDir folder;
    const QString path = folder.filePath(u"statistics.csv"_s);
    m_fake->fileDialogs.saveAnswers.enqueue(path);
    QTest::mouseClick(window->saveButton, Qt::LeftButton);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QString expected = m_fake->clipboard.text;
    QCOMPARE(QString::fromUtf8(saved.readAll()), expected.replace(u'\t', u','));
    QVERIFY(m_fake->messageBox.shown.isEmpty());
}

QTEST_MAIN(StatisticsWindowTest)
#include "tst_statistics_window.moc"
