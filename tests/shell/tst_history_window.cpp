#include "../history/RollMaker.h"

#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "history/Fingerprint.h"
#include "history/HistoryExport.h"
#include "history/HistorySettings.h"
#include "history/RollHistory.h"
#include "shell/Form1.h"
#include "shell/HistoryWindow.h"
#include "shell/ListView.h"
#include "shell/StatisticsWindow.h"

#include <QAction>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(core::DrawRows)

class HistoryWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void listsTheRollsNewestFirst();
    void showInResultsHandsOverTheSelectedRoll();
    void copyAndExportTheSelectedRoll();
    void deleteAsksFirst();
    void keyboardAndScreenReaders();
    void sizeLimitIsStoredAndSaidOnce();
    void anUnreadableHistoryIsSaidInTheWindow();
    void theWindowKeepsEachRollAndShowsOneBack_data();
    void theWindowKeepsEachRollAndShowsOneBack();
    void keepAndClearFromTheResultsMenu_data();
    void keepAndClearFromTheResultsMenu();

private:
    void select(int row);
    void waitForHistory() { m_history->waitUntilIdle(); }

    QTemporaryDir* m_dir = nullptr;
    fakes::FakeServices* m_fake = nullptr;
    history::RollHistory* m_history = nullptr;
    shell::HistoryWindow* m_window = nullptr;
    QTableView* m_table = nullptr;
    std::vector<core::DrawRows> m_rolls;
};

void HistoryWindowTest::init() {
    m_dir = new QTemporaryDir;
    m_fake = new fakes::FakeServices;
    m_history = new history::RollHistory(m_dir->filePath(u"history.sqlite"_s));
    m_rolls = {fakes::makeRoll({u"ant"_s, u"bee"_s}, 3, 10), fakes::makeRoll({u"1"_s, u"2"_s, u"3"_s}, 2, 20),
               fakes::makeRoll({u"x "_s, u"\U0001F3B2"_s}, 1, 30, core::RollMode::Bag)};
    for (const core::DrawRows& rows : m_rolls)
        m_history->record(rows);
    waitForHistory();
    m_window = new shell::HistoryWindow(*m_history, m_fake->services);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    waitForHistory();
    m_table = m_window->findChild<QTableView*>(u"HistoryTable"_s);
    QVERIFY(m_table);
}

void HistoryWindowTest::cleanup() {
    delete m_window;
    delete m_history;
    delete m_fake;
    delete m_dir;
}

void HistoryWindowTest::select(int row) {
    m_table->setFocus();
    m_table->setCurrentIndex(m_table->model()->index(row, 0));
}

void HistoryWindowTest::listsTheRollsNewestFirst() {
    const QAbstractItemModel& model = *m_table->model();
    QCOMPARE(model.rowCount(), 3);
    const auto cell = [&](int row, int column) { return model.index(row, column).data().toString(); };
    QCOMPARE(cell(0, 1), u"Draw From A Bag"_s);
    QCOMPARE(cell(0, 2), u"1 \u00d7 30"_s);
    QCOMPARE(cell(0, 3), u"2 sides: x , \U0001F3B2"_s);
    QCOMPARE(cell(1, 4), history::rollFingerprint(m_rolls[1]));
    QCOMPARE(cell(2, 5), m_rolls[0].toTextRows().at(0).toString());
    QCOMPARE(m_table->currentIndex().row(), 0);
    QVERIFY2(m_window->statusText().startsWith(u"3 rolls kept"_s), qPrintable(m_window->statusText()));

    // A roll kept while the window is open goes on top.
    m_history->record(fakes::makeRoll({u"new"_s}, 1, 1));
    waitForHistory();
    QCOMPARE(cell(0, 5), u"new"_s);
}

void HistoryWindowTest::showInResultsHandsOverTheSelectedRoll() {
    QSignalSpy shown(m_window, &shell::HistoryWindow::showRows);
    select(1);
    QTest::keyClick(m_table, Qt::Key_Return);
    waitForHistory();
    QCOMPARE(shown.size(), 1);
    const auto rows = shown.front().front().value<core::DrawRows>();
    QCOMPARE(rows.toTextRows().charCount(), m_rolls[1].toTextRows().charCount());
    QVERIFY(rows.indices() == m_rolls[1].indices());
    QCOMPARE(history::rollFingerprint(rows), history::rollFingerprint(m_rolls[1]));
}

void HistoryWindowTest::copyAndExportTheSelectedRoll() {
    select(2);
    QTest::keyClick(m_table, Qt::Key_C, Qt::ControlModifier);
    const QString fingerprint = history::rollFingerprint(m_rolls[0]);
    QCOMPARE(m_fake->clipboard.text, fingerprint);

    const QString path = m_dir->filePath(u"roll.txt"_s);
    m_fake->fileDialogs.saveAnswers.enqueue(path);
    QTest::keyClick(m_table, Qt::Key_S, Qt::ControlModifier);
    waitForHistory();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().endsWith(QByteArray(history::fingerprintLine(fingerprint).toLatin1() + "\r\n")));
    QCOMPARE(m_fake->messageBox.texts(), QStringList());

    const QString nowhere = m_dir->filePath(u"missing/roll.txt"_s);
    m_fake->fileDialogs.saveAnswers.enqueue(nowhere);
    m_window->findChild<QPushButton*>(u"Export"_s)->click();
    waitForHistory();
    QCOMPARE(m_fake->messageBox.texts(), QStringList{u"Could not save \""_s + nowhere + u"\": Path not found."_s});
}

void HistoryWindowTest::deleteAsksFirst() {
    select(0);
    m_fake->messageBox.yesNoAnswers << false << true;
    QTest::keyClick(m_table, Qt::Key_Delete);
    waitForHistory();
    QCOMPARE(m_table->model()->rowCount(), 3);
    QTest::keyClick(m_table, Qt::Key_Delete);
    waitForHistory();
    QCOMPARE(m_fake->messageBox.questions.size(), 2);
    QCOMPARE(m_table->model()->rowCount(), 2);
    QCOMPARE(m_table->model()->index(0, 4).data().toString(), history::rollFingerprint(m_rolls[1]));

    // The file agrees.
    history::HistoryModel reread(*m_history);
    waitForHistory();
    QCOMPARE(reread.rowCount(), 2);
}

void HistoryWindowTest::keyboardAndScreenReaders() {
    for (QWidget* control : m_window->findChildren<QWidget*>()) {
        // A spin box speaks for the line edit inside it.
        if (control->focusPolicy() & Qt::TabFocus && control->isVisibleTo(m_window) &&
            !qobject_cast<QAbstractSpinBox*>(control->parentWidget()))
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }
    select(0);
    QTest::keyClick(m_table, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != m_table);
    QCOMPARE(m_table->currentIndex().row(), 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!m_window->isVisible());
}

void HistoryWindowTest::sizeLimitIsStoredAndSaidOnce() {
    QSignalSpy notices(m_history, &history::RollHistory::notice);
    auto* limit = m_window->findChild<QSpinBox*>(u"SizeLimit"_s);
    QCOMPARE(limit->value(), 500);
    for (int i = 0; i < 4; ++i)
        m_history->record(fakes::makeRoll({u"a"_s, u"b"_s}, 1, 400'000));
    waitForHistory();
    QCOMPARE(m_table->model()->rowCount(), 7);
    // A lower limit applies at once, and so does it to the next roll; it is said once.
    limit->setValue(1);
    QCOMPARE(m_fake->settings.values.value(QString::fromUtf16(history::kSizeLimitKey)), u"1"_s);
    waitForHistory();
    QCOMPARE(m_table->model()->rowCount(), 2);
    m_history->record(fakes::makeRoll({u"a"_s, u"b"_s}, 1, 400'000));
    waitForHistory();
    QCOMPARE(m_table->model()->rowCount(), 2);
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices.front().front().toString().contains(u"size limit of 1.0 MB"_s),
             qPrintable(notices.front().front().toString()));
    // A roll that cannot be kept is said once, and once more after a roll has been kept since.
    for (const int rolls : {3'000'000, 3'000'000, 10, 3'000'000})
        m_history->record(fakes::makeRoll({u"a"_s, u"b"_s}, 1, rolls));
    waitForHistory();
    QCOMPARE(notices.size(), 3);
    QVERIFY(notices.back().front().toString().contains(u" rows was not kept in the roll history"_s));
}

void HistoryWindowTest::anUnreadableHistoryIsSaidInTheWindow() {
    history::RollHistory unreadable(m_dir->path()); // a folder
    shell::HistoryWindow window(unreadable, m_fake->services);
    unreadable.waitUntilIdle();
    QVERIFY2(window.statusText().startsWith(u"Could not use the roll history \""_s + m_dir->path()),
             qPrintable(window.statusText()));
}

namespace {

// The main window with a coin, rolling `dice` dice `rolls` times, keeping its rolls in history.
struct RollingForm {
    RollingForm(fakes::FakeServices& fake, history::RollHistory& history)
        : form(fake.services) {
        form.Form_Load();
        form.setRollHistory(&history);
        form.sides().addItem(u"Heads"_s);
        form.sides().addItem(u"Tails "_s);
        form.findChild<QLineEdit*>(u"Text1"_s)->setText(u"3"_s);
        form.findChild<QLineEdit*>(u"Text2"_s)->setText(u"25"_s);
        form.show();
    }
    void roll() { form.findChild<QPushButton*>(u"PushButton8"_s)->click(); }
    // Start Rolling, or Roll Set of the library window with "2 × Six, 1 × Coin".
    void roll(const QString& kind) {
        dice::Die six{u"Six"_s, {}, {}}, coin = form.currentDie();
        for (int side = 1; side <= 6; ++side)
            six.append(QString::number(side));
        coin.name = u"Coin"_s;
        kind == u"set" ? form.rollSet(std::vector<dice::CountedDie>{{six, 2}, {coin, 1}}, u"Game"_s) : roll();
    }
    QAction* menuEntry(const QString& name) { return form.findChild<QAction*>(name); }
    shell::Form1 form;
};

} // namespace

void HistoryWindowTest::theWindowKeepsEachRollAndShowsOneBack_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("die"); // as the list names it
    QTest::newRow("even") << u"even"_s << u"2 sides: Heads, Tails "_s;
    QTest::newRow("weighted") << u"weighted"_s << u"2 sides, 4 tickets: Heads (3), Tails  (1)"_s;
    QTest::newRow("set") << u"set"_s << u"Game"_s;
}

void HistoryWindowTest::theWindowKeepsEachRollAndShowsOneBack() {
    QFETCH(QString, kind);
    QFETCH(QString, die);
    RollingForm rolling(*m_fake, *m_history);
    QVERIFY(QTest::qWaitForWindowExposed(&rolling.form));
    if (kind == u"weighted") {
        dice::Die coin = rolling.form.currentDie();
        coin.weights = {3, 1};
        QVERIFY(rolling.form.useDie(coin));
    }
    QStringList second;
    for (int roll = 0; roll < 3; ++roll) {
        rolling.roll(kind);
        if (roll == 1)
            second = fakes::itemTexts(rolling.form.results());
    }
    waitForHistory();
    QTest::keyClick(&rolling.form, Qt::Key_I, Qt::ControlModifier); // the Statistics window follows
    QTest::keyClick(&rolling.form, Qt::Key_H, Qt::ControlModifier);
    shell::HistoryWindow* window = rolling.form.historyWindow();
    QVERIFY(window && window->isVisible());
    waitForHistory();
    auto* table = window->findChild<QTableView*>(u"HistoryTable"_s);
    QCOMPARE(table->model()->rowCount(), 6); // three from init(), three from the window

    rolling.form.results().setAllTicked(true);
    table->setCurrentIndex(table->model()->index(1, 0));
    window->findChild<QPushButton*>(u"ShowInResults"_s)->click();
    waitForHistory();
    QCOMPARE(fakes::itemTexts(rolling.form.results()), second);
    QCOMPARE(rolling.form.results().tickedCount(), 0);
    QCOMPARE(rolling.form.results().draws().layout() != nullptr, kind != u"even");
    QCOMPARE(table->model()->index(1, 3).data().toString(), die);
    // The fingerprint is sha256sum of what Copy Results To Clipboard copies.
    rolling.form.results().setAllTicked(true);
    rolling.form.PushButton11_Click();
    QCOMPARE(QCryptographicHash::hash(m_fake->clipboard.text.toUtf8(), QCryptographicHash::Sha256).toHex(),
             table->model()->index(1, 4).data().toString().toLatin1());
    QTRY_VERIFY(rolling.form.statisticsWindow()->statistics() && !rolling.form.statisticsWindow()->isCounting());
    QCOMPARE(rolling.form.statisticsWindow()->statistics()->rolls(), 25u);
}

void HistoryWindowTest::keepAndClearFromTheResultsMenu_data() {
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("rolls");
    QTest::addColumn<int>("kept");
    QTest::newRow("kept") << true << u"25"_s << 1;
    QTest::newRow("not kept") << false << u"25"_s << 0;
    QTest::newRow("a roll of no rows") << true << u"0"_s << 0;
}

void HistoryWindowTest::keepAndClearFromTheResultsMenu() {
    QFETCH(bool, keep);
    QFETCH(QString, rolls);
    QFETCH(int, kept);
    RollingForm rolling(*m_fake, *m_history);
    QAction* keepEntry = rolling.menuEntry(u"KeepRollHistory"_s);
    QVERIFY(rolling.form.findChild<shell::ListView*>(u"ListView2"_s)->menuActions().contains(keepEntry));
    QVERIFY(keepEntry->isChecked());
    if (!keep)
        keepEntry->trigger();
    QCOMPARE(m_fake->settings.values.value(QString::fromUtf16(history::kKeepHistoryKey), u"1"_s),
             keep ? u"1"_s : u"0"_s);
    rolling.form.findChild<QLineEdit*>(u"Text2"_s)->setText(rolls);
    rolling.roll();
    waitForHistory();
    QCOMPARE(m_table->model()->rowCount(), 3 + kept);
    // The choice holds for the next start.
    RollingForm restarted(*m_fake, *m_history);
    QCOMPARE(restarted.menuEntry(u"KeepRollHistory"_s)->isChecked(), keep);

    m_fake->messageBox.yesNoAnswers << false << true;
    QAction* clear = rolling.menuEntry(u"ClearRollHistory"_s);
    clear->trigger();
    waitForHistory();
    QCOMPARE(m_table->model()->rowCount(), 3 + kept);
    clear->trigger();
    waitForHistory();
    QCOMPARE(m_table->model()->rowCount(), 0);
    QCOMPARE(m_fake->messageBox.questions.size(), 2);
}

QTEST_MAIN(HistoryWindowTest)
#include "tst_history_window.moc"
