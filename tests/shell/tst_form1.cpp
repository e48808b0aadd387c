#include "dice/SidesCommands.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "fakes/WidgetSupport.h"
#include "platform/ApplicationTitle.h"
#include "shell/Form1.h"
#include "shell/ListView.h"
#include "shell/StatisticsWindow.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(core::RollMode)

class Form1Test : public QObject {
    Q_OBJECT
private slots:
    void firstStartShowsDefaultsAndStoresThem();
    void restoreSkipsEmptyPiecesAndKeepsEqualOnes_data();
    void restoreSkipsEmptyPiecesAndKeepsEqualOnes();
    void closingStoresSidesInListOrder();
    void closingStillEndsWhenTheStoreFails();
    void sidesReachTheStoreSoonOnceABurst();
    void closingWritesAPendingSaveAtOnce();
    void failedSaveIsReportedAndTheSidesStay();
    void unwritableStoreIsReportedOnceUntilAWriteSucceeds_data();
    void unwritableStoreIsReportedOnceUntilAWriteSucceeds();
    void helpShowsItsMessageUnderTheApplicationTitle();
    void windowIsLaidOutInTwips();
    void enterOnAFocusedButtonRunsItsCommand();
    void tabLeavesAListForTheNeighbouringControl_data();
    void tabLeavesAListForTheNeighbouringControl();
    void homeAndEndGoToTheFirstAndLastRow_data();
    void homeAndEndGoToTheFirstAndLastRow();
    void saveCommandsAskTheirOwnWayAndReportFailures_data();
    void saveCommandsAskTheirOwnWayAndReportFailures();
    void rollModeIsChosenKeptAndShown_data();
    void rollModeIsChosenKeptAndShown();
};

void Form1Test::firstStartShowsDefaultsAndStoresThem() {
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    QCOMPARE(form.windowTitle(), u"Quorvin Tessaly"_s);
    QCOMPARE(fakes::control<QLineEdit>(form, u"Text1"_s)->text(), u"1"_s);
    QCOMPARE(fakes::control<QLineEdit>(form, u"Text2"_s)->text(), u"5"_s);
    QCOMPARE(form.sides().itemCount(), 0);
    QCOMPARE(form.sides().headerText(1), u"There are currently 0 sides on this dice."_s);
    QCOMPARE(form.results().headerText(1), u"Results"_s);
    QCOMPARE(form.sides().columnWidthTwips(1), 7000);
    QCOMPARE(form.results().columnWidthTwips(1), 7000);
    QVERIFY(fake.messageBox.shown.isEmpty());
}

void Form1Test::restoreSkipsEmptyPiecesAndKeepsEqualOnes_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("sides");
    QTest::newRow("two labels") << u"Heads;Tails"_s << QStringList{u"Heads"_s, u"Tails"_s};
    QTest::newRow("empty pieces") << u"Heads;;Tails;"_s << QStringList{u"Heads"_s, u"Tails"_s};
    QTest::newRow("single separator") << u";"_s << QStringList{};
    QTest::newRow("equal pieces kept") << u"6;6; 6"_s << QStringList{u"6"_s, u"6"_s, u" 6"_s};
}

void Form1Test::restoreSkipsEmptyPiecesAndKeepsEqualOnes() {
    QFETCH(QString, stored);
    QFETCH(QStringList, sides);
    fakes::FakeServices fake;
    fake.settings.values.insert(u"Dice"_s, stored);
    fake.settings.values.insert(u"Text1"_s, u"abc"_s);
    shell::Form1 form(fake.services);
    form.Form_Load();
    QCOMPARE(fakes::itemTexts(form.sides()), sides);
    QCOMPARE(form.sides().headerText(1), dice::sidesHeaderText(sides.size()));
    QCOMPARE(fakes::control<QLineEdit>(form, u"Text1"_s)->text(), u"abc"_s); // restored as it stood, valid or not
}

void Form1Test::closingStoresSidesInListOrder() {
    fakes::FakeServices fake;
    {
        shell::Form1 form(fake.services);
        form.Form_Load();
        form.close();
        QCOMPARE(fake.settings.values.value(u"Dice"_s, u"absent"_s), QString());
        QVERIFY(fake.events.quitting()); // the program ends with its window
    }
    fake.events.ended = false; // a second run
    fake.settings.values.insert(u"Dice"_s, u"b;a;c"_s);
    shell::Form1 form(fake.services);
    form.Form_Load();
    form.sides().addItem(u"a;b");
    form.sides().removeItem(1);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QVERIFY(form.close());
    QCOMPARE(fake.settings.values.value(u"Dice"_s), u"a;c;a;b"_s);
    QVERIFY(fake.events.calls >= 1);
}

void Form1Test::closingStillEndsWhenTheStoreFails() {
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    fake.settings.failWrites = true;
    form.show();
    QVERIFY(form.close());
    QCOMPARE(fake.messageBox.shown.size(), 1);
    QVERIFY(fake.messageBox.shown.first().text.contains(u"in Quorvin2021/08/31.Form1.Form_QueryUnload at line 110"_s));
    QVERIFY(!form.isVisible());
}

void Form1Test::sidesReachTheStoreSoonOnceABurst() {
    fakes::FakeServices fake;
    fake.settings.values.insert(u"Dice"_s, u"b;;a"_s);
    shell::Form1 form(fake.services);
    form.Form_Load();
    QVERIFY(!form.diceSavePending()); // restoring is no change to store

    // given: a burst, as a user clicking through the examples
    form.PushButton1_Click();
    form.PushButton4_Click();
    form.sides().addItem(u"x");
    // then: one write, of the last state
    QTRY_VERIFY_WITH_TIMEOUT(!form.diceSavePending(), 10000);
    QStringList twenty;
    for (int n = 1; n <= 20; ++n)
        twenty.append(QString::number(n));
    QCOMPARE(fake.settings.writesOf(u"Dice"_s), QStringList{twenty.join(u';') + u";x"_s});

    form.sides().removeAll();
    QVERIFY(form.diceSavePending());
    QTRY_COMPARE_WITH_TIMEOUT(fake.settings.writesOf(u"Dice"_s).size(), 2, 10000);
    QCOMPARE(fake.settings.values.value(u"Dice"_s, u"absent"_s), QString());
    QVERIFY(fake.messageBox.shown.isEmpty());
}

void Form1Test::closingWritesAPendingSaveAtOnce() {
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    form.show();
    form.PushButton7_Click();
    QVERIFY(form.diceSavePending());
    QVERIFY(form.close());
    QVERIFY(!form.diceSavePending());
    QCOMPARE(fake.settings.writesOf(u"Dice"_s), QStringList{u"Paper;Rock;Scissor"_s});
}

void Form1Test::failedSaveIsReportedAndTheSidesStay() {
    fakes::FakeServices fake;
    fake.settings.values.insert(u"Dice"_s, u"a;b"_s);
    shell::Form1 form(fake.services);
    form.Form_Load();
    fake.settings.failWrites = true;
    form.sides().addItem(u"c");
    QTRY_COMPARE_WITH_TIMEOUT(fake.messageBox.shown.size(), 1, 10000);
    QVERIFY(fake.messageBox.shown.first().text.contains(u"in Quorvin2021/08/31.Form1.SaveDice at line 102"_s));
    QCOMPARE(fakes::itemTexts(form.sides()), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QCOMPARE(fake.settings.values.value(u"Dice"_s), u"a;b"_s);
}

void Form1Test::unwritableStoreIsReportedOnceUntilAWriteSucceeds_data() {
    // Steps while the store refuses writes: D the sides' autosave, T a key typed into Text1, C closing;
    // d is the sides' autosave once the store takes writes again.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("reports");
    QTest::newRow("autosave after autosave") << u"DDD"_s << 1;
    QTest::newRow("typing shares the silence") << u"TDT"_s << 1;
    QTest::newRow("news again after a write got through") << u"DDdD"_s << 2;
    QTest::newRow("closing reports all the same") << u"DDC"_s << 2;
}

void Form1Test::unwritableStoreIsReportedOnceUntilAWriteSucceeds() {
    QFETCH(QString, steps);
    QFETCH(int, reports);
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    form.show();
    QLineEdit* text1 = fakes::control<QLineEdit>(form, u"Text1"_s);
    for (QChar step : steps) {
        fake.settings.failWrites = step.isUpper();
        if (step.toUpper() == u'D')
            form.SaveDice();
        else if (step == u'T')
            text1->setText(text1->text() + u'2');
        else
            form.close();
    }
    QCOMPARE(fake.messageBox.shown.size(), reports);
}

void Form1Test::helpShowsItsMessageUnderTheApplicationTitle() {
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    QCOMPARE(platform::applicationTitle(), u"Quorvin"_s);
    QTest::mouseClick(fakes::control(form, u"PushButton12"_s), Qt::LeftButton);
    QCOMPARE(fake.messageBox.shown.size(), 1);
    const fakes::ShownMessage& help = fake.messageBox.shown.first();
    QCOMPARE(help.text, u"Use the Load Example buttons if you would like to see how this software works quickly. "
                        u"Please email quorvin.support@example.com if you have any questions."_s);
    QCOMPARE(help.style, 0);
    QVERIFY(help.title.isEmpty()); // the message box shows the application title
}

void Form1Test::windowIsLaidOutInTwips() {
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.size(), QSize(568, 596));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    const QPushButton* start = fakes::control<QPushButton>(form, u"PushButton8"_s);
    QCOMPARE(start->geometry(), QRect(8, 365, 552, 27));
    QCOMPARE(fakes::control<QGroupBox>(form, u"Frame2"_s)->geometry().top(), 303);
    QCOMPARE(fakes::control<QGroupBox>(form, u"Frame3"_s)->geometry().top(), 302);
    QCOMPARE(start->text(), u"Start Rolling"_s);
    QCOMPARE(start->font().pointSizeF(), 11.25);
    QVERIFY(start->font().bold());
    const shell::ListView* sides = fakes::control<shell::ListView>(form, u"ListView1"_s);
    QCOMPARE(fakes::control<shell::ListView>(form, u"ListView2"_s)->toolTip(), sides->toolTip());
    QCOMPARE(QApplication::focusWidget(), sides);

    // Tab walks the controls in layout order.
    const QStringList order = {u"PushButton6"_s, u"PushButton3"_s,  u"PushButton5"_s,  u"PushButton12"_s,
                               u"PushButton2"_s, u"PushButton4"_s,  u"PushButton1"_s,  u"PushButton7"_s,
                               u"Text1"_s,       u"Text2"_s,        u"PushButton8"_s,  u"ListView2"_s,
                               u"PushButton9"_s, u"PushButton13"_s, u"PushButton11"_s, u"PushButton10"_s};
    for (const QString& next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), fakes::control<QWidget>(form, next));
    }
}

void Form1Test::enterOnAFocusedButtonRunsItsCommand() {
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QPushButton* help = fakes::control<QPushButton>(form, u"PushButton12"_s);
    help->setFocus();
    QTest::keyClick(help, Qt::Key_Return);
    QTest::keyClick(help, Qt::Key_Enter);
    QCOMPARE(fake.messageBox.shown.size(), 2);
    for (const QPushButton* button : form.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly))
        QVERIFY2(!button->text().contains(u'&'), qPrintable(button->text()));
}

void Form1Test::tabLeavesAListForTheNeighbouringControl_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("reached");
    const std::tuple<const char*, Qt::Key, Qt::KeyboardModifiers, bool> keys[] = {
        {"Tab", Qt::Key_Tab, Qt::NoModifier, true},
        {"Shift+Tab", Qt::Key_Backtab, Qt::ShiftModifier, false},
        {"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, true},
        {"Ctrl+Shift+Tab", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, false},
    };
    // The neighbours in layout order; the order goes round from the last control to the first.
    const std::tuple<const char*, const char*, const char*> lists[] = {{"ListView1", "PushButton10", "PushButton6"},
                                                                       {"ListView2", "PushButton8", "PushButton9"}};
    for (const auto& [list, previous, next] : lists) {
        for (const auto& [name, key, modifiers, forward] : keys)
            QTest::addRow("%s, %s", list, name)
                << QString::fromLatin1(list) << int(key) << modifiers << QString::fromLatin1(forward ? next : previous);
    }
}

void Form1Test::tabLeavesAListForTheNeighbouringControl() {
    QFETCH(QString, list);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, reached);
    // given: both lists hold rows, the focus in one of them on a middle row
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    for (const QString& text : {u"a"_s, u"b"_s, u"c"_s}) {
        form.sides().addItem(text);
        form.results().addItem(text);
    }
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* view = form.findChild<QAbstractItemView*>(list);
    QVERIFY(view != nullptr);
    view->setFocus();
    view->setCurrentIndex(view->model()->index(1, 0));

    QTest::keyClick(view, Qt::Key(key), modifiers);
    QCOMPARE(QApplication::focusWidget()->objectName(), reached);
    QCOMPARE(view->currentIndex().row(), 1);
}

void Form1Test::homeAndEndGoToTheFirstAndLastRow_data() {
    QTest::addColumn<bool>("results"); // the results list, else the sides list
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("control");
    QTest::addColumn<int>("row");
    for (const bool results : {false, true}) {
        const char* list = results ? "results" : "sides";
        QTest::addRow("%s: Home", list) << results << int(Qt::Key_Home) << false << 0;
        QTest::addRow("%s: End", list) << results << int(Qt::Key_End) << false << 4;
        QTest::addRow("%s: Ctrl+Home", list) << results << int(Qt::Key_Home) << true << 0;
        QTest::addRow("%s: Ctrl+End", list) << results << int(Qt::Key_End) << true << 4;
    }
}

void Form1Test::homeAndEndGoToTheFirstAndLastRow() {
    QFETCH(bool, results);
    QFETCH(int, key);
    QFETCH(bool, control);
    QFETCH(int, row);
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    shell::ListView* view = fakes::control<shell::ListView>(form, results ? u"ListView2"_s : u"ListView1"_s);
    for (const QString& text : {u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s})
        (results ? form.results() : form.sides()).addItem(text);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    view->setFocus();
    view->setCurrentIndex(view->model()->index(2, 0));

    QTest::keyClick(view, Qt::Key(key), control ? Qt::ControlModifier : Qt::NoModifier);
    QCOMPARE(view->currentIndex().row(), row);
    if (!control) // moving with Ctrl leaves a multiple selection as it is
        QVERIFY(view->selectionModel()->isRowSelected(row, QModelIndex()));
}

void Form1Test::saveCommandsAskTheirOwnWayAndReportFailures_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("title"); // of the save dialog; empty: none
    QTest::addColumn<QString>("memory");
    QTest::addColumn<bool>("asksAndAdds");
    QTest::addColumn<QString>("message"); // %1: the file; empty: the window's error report
    const QString plain = u"Could not save \"%1\": Path not found."_s;
    QTest::newRow("Save Side List") << u"Ctrl+S"_s << u"Save Side List"_s << u"Side List"_s << true << plain;
    QTest::newRow("the Statistics window's Save")
        << u"statistics"_s << u"Save Statistics"_s << u"Statistics"_s << true << plain;
    QTest::newRow("the results' own rules") << u"PushButton9"_s << u"Save"_s << u"Results"_s << false << QString();
    QTest::newRow("a dropped file is a load") << u"drop"_s << QString() << QString() << false << QString();
}

void Form1Test::saveCommandsAskTheirOwnWayAndReportFailures() {
    QFETCH(QString, command);
    QFETCH(QString, title);
    QFETCH(QString, memory);
    QFETCH(bool, asksAndAdds);
    QFETCH(QString, message);
    // given: a roll counted by the Statistics window, and a file in a folder that is not there
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    form.sides().addItem(u"Heads"_s);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.findChild<QPushButton*>(u"PushButton8"_s), Qt::LeftButton);
    QTest::keyClick(&form, Qt::Key_I, Qt::ControlModifier);
    auto* statistics = form.findChild<shell::StatisticsWindow*>(u"Statistics"_s);
    QVERIFY(statistics != nullptr);
    QTRY_VERIFY(!statistics->isCounting() && statistics->statistics());
    QTemporaryDir dir;
    const QString file = dir.filePath(u"missing/sides.txt"_s);
    fake.fileDialogs.saveAnswers.enqueue(file);

    if (command == u"Ctrl+S"_s) {
        auto* sides = form.findChild<QWidget*>(u"ListView1"_s);
        QApplication::setActiveWindow(&form);
        sides->setFocus();
        QTest::keyClick(sides, Qt::Key_S, Qt::ControlModifier);
    } else if (command == u"statistics"_s) {
        QTest::mouseClick(statistics->findChild<QPushButton*>(u"SaveButton"_s), Qt::LeftButton);
    } else if (command == u"drop"_s) {
        form.ListView1_DropFiles({dir.path()}); // a folder, which the load cannot read
    } else {
        QTest::mouseClick(form.findChild<QPushButton*>(command), Qt::LeftButton);
    }

    QCOMPARE(fake.fileDialogs.saveRequests.size(), title.isEmpty() ? 0 : 1);
    if (!title.isEmpty()) {
        const platform::SaveRequest& asked = fake.fileDialogs.saveRequests.first();
        QCOMPARE(asked.title, title);
        QCOMPARE(asked.memory, memory); // none offers another's file
        QCOMPARE(asked.askBeforeReplacing, asksAndAdds);
        QCOMPARE(asked.addFilterExtension, asksAndAdds);
        QCOMPARE(asked.owner, command == u"statistics"_s ? statistics : nullptr);
    }
    QVERIFY(!fake.messageBox.shown.isEmpty());
    const fakes::ShownMessage& shown = fake.messageBox.shown.first();
    if (message.isEmpty()) {
        QCOMPARE(shown.title, u"Application Error"_s);
    } else {
        QCOMPARE(fake.messageBox.shown.size(), 1);
        QCOMPARE(shown.text, message.arg(file));
        QCOMPARE(shown.title, QString()); // the application's
    }
}

void Form1Test::rollModeIsChosenKeptAndShown_data() {
    QTest::addColumn<QString>("stored"); // null: nothing stored
    QTest::addColumn<int>("chosen");     // the menu entry triggered, or -1
    QTest::addColumn<core::RollMode>("mode");
    QTest::newRow("nothing stored") << QString() << -1 << core::RollMode::Independent;
    QTest::newRow("a stored bag") << u"bag"_s << -1 << core::RollMode::Bag;
    QTest::newRow("an unknown stored mode") << u"Distinct"_s << -1 << core::RollMode::Independent;
    QTest::newRow("no side twice, chosen") << u"bag"_s << 1 << core::RollMode::Distinct;
    QTest::newRow("independent, chosen") << u"distinct"_s << 0 << core::RollMode::Independent;
}

void Form1Test::rollModeIsChosenKeptAndShown() {
    QFETCH(QString, stored);
    QFETCH(int, chosen);
    QFETCH(core::RollMode, mode);
    fakes::FakeServices fake;
    if (!stored.isNull())
        fake.settings.values.insert(u"RollMode"_s, stored);
    shell::Form1 form(fake.services);
    form.Form_Load();
    QPushButton* button = fakes::control<QPushButton>(form, u"PushButton8"_s);
    // The modes, a line, then the kept bag's two entries.
    QCOMPARE(button->actions().size(), 6);
    const QList<QAction*> entries = button->actions().first(3);
    if (chosen >= 0)
        entries[chosen]->trigger();

    for (const QAction* entry : entries)
        QCOMPARE(entry->isChecked(), entry->text() == core::rollModeName(mode));
    QVERIFY(button->toolTip().startsWith(u"Roll mode: "_s + core::rollModeName(mode) + u'.'));
    QCOMPARE(fake.settings.writesOf(u"RollMode"_s), chosen < 0 ? QStringList() : QStringList{core::rollModeWord(mode)});
    // Start Rolling rolls in that mode: 30 rolls of 3 dice over rock, paper, scissors repeat a side only
    // when independent.
    form.PushButton7_Click();
    fakes::control<QLineEdit>(form, u"Text1"_s)->setText(u"3"_s);
    fakes::control<QLineEdit>(form, u"Text2"_s)->setText(u"30"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    const QStringList rows = fakes::itemTexts(form.results());
    QCOMPARE(rows.size(), 30);
    const bool repeats = std::any_of(rows.begin(), rows.end(), [](const QString& row) {
        const QStringList labels = row.split(u" - "_s);
        return QSet<QString>(labels.begin(), labels.end()).size() < 3;
    });
    QCOMPARE(repeats, mode == core::RollMode::Independent);

    // Shift+F10 on the button asks for its menu.
    const fakes::ContextMenuCatcher catcher(button);
    QTest::keyClick(button, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(catcher.reasons, QList<QContextMenuEvent::Reason>{QContextMenuEvent::Keyboard});
}

QTEST_MAIN(Form1Test)
#include "tst_form1.moc"
