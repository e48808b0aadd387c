#include "dice/CountFields.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "fakes/WidgetSupport.h"
#include "shell/Form1.h"
#include "shell/ListView.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using core::MousePointer;

namespace {

// A loaded, shown and active main window over fresh fakes.
struct Window {
    explicit Window(QHash<QString, QString> stored = {}) {
        fake.settings.values = std::move(stored);
        form.Form_Load();
        form.show();
        form.activateWindow();
    }
    QStringList sides() {
        QStringList result;
        for (std::int64_t i = 1; i <= form.sides().itemCount(); ++i)
            result.append(form.sides().text(i));
        return result;
    }
    QString header() { return form.sides().headerText(1); }

    fakes::FakeServices fake;
    shell::Form1 form{fake.services};
};

// Delivered like a move from the window system (event filters, then the parents while unhandled), but
// without depending on where an earlier test left the pointer.
void moveOver(QWidget* widget, QPoint at = {}) {
    const QPointF local = at.isNull() ? widget->rect().center() : at;
    QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

class Form1DiceTest : public QObject {
    Q_OBJECT
private slots:
    void countFieldsSaveOncePerChangeFromStartOn();
    void buttonsRunTheirSidesCommands();
    void deleteKeyAndDoubleClickRemoveTheSelectedSide();
    void leavingACountFieldChecksItAndReturnsTheFocus();
    void twoBadFieldsDoNotBounceTheFocus();
    void buttonsShowTheHandTheRestTheOrdinaryPointer();
    void handlersNeverReplaceTheBusyPointer();
    void sidesMenuShowsEveryEntryWithItsShortcut();
    void shortcutsEditTheSidesAndUndoFromAnywhere();
    void droppedFilesLoadAndDroppedTextAdds();
};

void Form1DiceTest::countFieldsSaveOncePerChangeFromStartOn() {
    Window window({{u"Text1"_s, u"abc"_s}});
    QCOMPARE(window.fake.settings.writesOf(u"Text1"_s), QStringList{u"abc"_s}); // the restore is a change too
    QCOMPARE(window.fake.settings.writesOf(u"Text2"_s), QStringList{u"5"_s});

    QLineEdit* text2 = fakes::control<QLineEdit>(window.form, u"Text2"_s);
    text2->clear();
    QTest::keyClicks(text2, u"12"_s);
    QCOMPARE(window.fake.settings.writesOf(u"Text2"_s), (QStringList{u"5"_s, QString(), u"1"_s, u"12"_s}));
    QCOMPARE(window.fake.settings.values.value(u"Text2"_s), u"12"_s);
}

void Form1DiceTest::buttonsRunTheirSidesCommands() {
    Window window;
    QTest::mouseClick(fakes::control(window.form, u"PushButton1"_s), Qt::LeftButton);
    QCOMPARE(window.sides(), (QStringList{u"Heads"_s, u"Tails"_s}));
    QTest::mouseClick(fakes::control(window.form, u"PushButton4"_s), Qt::LeftButton);
    QCOMPARE(window.header(), u"There are currently 20 sides on this dice."_s);
    QTest::mouseClick(fakes::control(window.form, u"PushButton2"_s), Qt::LeftButton);
    QCOMPARE(window.form.sides().itemCount(), 6);
    QTest::mouseClick(fakes::control(window.form, u"PushButton7"_s), Qt::LeftButton);
    QCOMPARE(window.sides(), (QStringList{u"Paper"_s, u"Rock"_s, u"Scissor"_s}));
    QTest::mouseClick(fakes::control(window.form, u"PushButton5"_s), Qt::LeftButton);
    QCOMPARE(window.form.sides().itemCount(), 0);

    window.fake.inputBox.answers.enqueue(u"Edge"_s);
    QTest::mouseClick(fakes::control(window.form, u"PushButton6"_s), Qt::LeftButton);
    QCOMPARE(window.sides(), QStringList{u"Edge"_s});

    QTemporaryDir dir;
    const QString path = dir.filePath(u"sides.txt"_s);
    fakes::writeFile(path, "Edge\r\nCorner\r\n");
    window.fake.fileDialogs.openAnswers.enqueue({path});
    QTest::mouseClick(fakes::control(window.form, u"PushButton3"_s), Qt::LeftButton);
    QCOMPARE(window.sides(), (QStringList{u"Edge"_s, u"Corner"_s}));
    QCOMPARE(window.header(), u"There are currently 2 sides on this dice."_s);
    QVERIFY(window.fake.messageBox.shown.isEmpty());
}

void Form1DiceTest::deleteKeyAndDoubleClickRemoveTheSelectedSide() {
    Window window;
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    window.form.PushButton7_Click();
    shell::ListView* list = fakes::control<shell::ListView>(window.form, u"ListView1"_s);

    window.form.sides().selectPosition(1);
    QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(window.sides(), (QStringList{u"Rock"_s, u"Scissor"_s}));
    QCOMPARE(window.header(), u"There are currently 3 sides on this dice."_s); // stale by design

    const QRect row = list->visualRect(window.form.sides().index(1, 0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(window.sides(), QStringList{u"Rock"_s});
    QCOMPARE(window.header(), u"There are currently 1 sides on this dice."_s);
}

void Form1DiceTest::leavingACountFieldChecksItAndReturnsTheFocus() {
    Window window;
    QVERIFY(QTest::qWaitForWindowActive(&window.form));
    QLineEdit* text1 = fakes::control<QLineEdit>(window.form, u"Text1"_s);
    QLineEdit* text2 = fakes::control<QLineEdit>(window.form, u"Text2"_s);

    text2->setFocus();
    text2->setText(u"1e12"_s);
    fakes::control(window.form, u"PushButton8"_s)->setFocus();
    QTRY_COMPARE(window.fake.messageBox.texts(), QStringList{QString::fromUtf16(dice::kTooLargeMessage)});
    QTRY_VERIFY(text2->hasFocus());
    QCOMPARE(text2->text(), u"1e12"_s);

    text2->setText(u" 7 "_s);
    text1->setText(QString());
    text1->setFocus(); // Text2 holds a good count: leaving it says nothing
    QTest::qWait(20);
    QCOMPARE(window.fake.messageBox.shown.size(), 1);

    fakes::control(window.form, u"ListView1"_s)->setFocus();
    QTRY_COMPARE(window.fake.messageBox.shown.size(), 2);
    QCOMPARE(window.fake.messageBox.shown[1].text, u"Must be a numeric entry."_s);
    QCOMPARE(window.fake.messageBox.shown[1].style, 0);
    QTRY_VERIFY(text1->hasFocus());
    QCOMPARE(window.fake.settings.values.value(u"Text1"_s), QString()); // saved before it was checked
}

void Form1DiceTest::twoBadFieldsDoNotBounceTheFocus() {
    Window window;
    QVERIFY(QTest::qWaitForWindowActive(&window.form));
    QLineEdit* text1 = fakes::control<QLineEdit>(window.form, u"Text1"_s);
    QLineEdit* text2 = fakes::control<QLineEdit>(window.form, u"Text2"_s);
    text1->setText(u"0"_s);
    text2->setText(u"abc"_s);
    text1->setFocus();
    text2->setFocus();
    QTRY_VERIFY(text1->hasFocus());
    QTest::qWait(50);
    QCOMPARE(window.fake.messageBox.texts(), QStringList{u"Sides must be greater than zero."_s});
    QVERIFY(text1->hasFocus());
}

void Form1DiceTest::buttonsShowTheHandTheRestTheOrdinaryPointer() {
    Window window;
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    shell::Form1& form = window.form;
    const QList<QPushButton*> buttons = form.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(buttons.size(), 13);
    QWidget* sides = fakes::control<shell::ListView>(form, u"ListView1"_s)->viewport();
    QWidget* results = fakes::control<shell::ListView>(form, u"ListView2"_s)->viewport();
    for (QPushButton* button : buttons) {
        moveOver(results);
        QCOMPARE(form.mousePointer().value(), int(MousePointer::Default));
        moveOver(button);
        QCOMPARE(form.mousePointer().value(), int(MousePointer::Custom));
    }
    // No hand pointer file beside the test: the hand value shows the ordinary pointer.
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);

    moveOver(sides);
    QCOMPARE(form.mousePointer().value(), int(MousePointer::Default));
    QWidget* frame1 = fakes::control(form, u"Frame1"_s);
    QWidget* frame2 = fakes::control(form, u"Frame2"_s);
    QWidget* frame3 = fakes::control(form, u"Frame3"_s);
    const std::pair<QWidget*, QPoint> plainSpots[] = {
        {frame1, QPoint(2, frame1->height() - 2)},
        {frame2, QPoint(frame2->width() - 3, frame2->height() - 3)},
        {frame3, QPoint(3, frame3->height() - 3)},
        {&form, QPoint(2, 2)},
    };
    for (const auto& [widget, spot] : plainSpots) {
        QCOMPARE(widget->childAt(spot), nullptr);
        moveOver(fakes::control(form, u"PushButton8"_s));
        moveOver(widget, spot);
        QCOMPARE(form.mousePointer().value(), int(MousePointer::Default));
    }
}

void Form1DiceTest::handlersNeverReplaceTheBusyPointer() {
    Window window;
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    shell::Form1& form = window.form;
    form.mousePointer().set(MousePointer::Hourglass);
    for (QWidget* widget :
         {fakes::control(form, u"PushButton3"_s), fakes::control<shell::ListView>(form, u"ListView1"_s)->viewport(),
          fakes::control(form, u"PushButton13"_s), fakes::control<shell::ListView>(form, u"ListView2"_s)->viewport()}) {
        moveOver(widget);
        QCOMPARE(form.mousePointer().value(), int(MousePointer::Hourglass));
    }
    moveOver(&form, QPoint(2, 2));
    QCOMPARE(form.mousePointer().value(), int(MousePointer::Hourglass));
    QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    // Over the fields too, whose own pointer is the I-beam.
    QVERIFY(QApplication::overrideCursor() != nullptr);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    form.mousePointer().set(MousePointer::Default);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void Form1DiceTest::sidesMenuShowsEveryEntryWithItsShortcut() {
    Window window;
    QVERIFY(QTest::qWaitForWindowActive(&window.form));
    shell::ListView* list = fakes::control<shell::ListView>(window.form, u"ListView1"_s);
    QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
    QStringList entries;
    for (const QAction* action : list->actions()) {
        if (action->isSeparator())
            continue;
        entries.append(action->text());
        QVERIFY2(!action->shortcut().isEmpty() && action->isShortcutVisibleInContextMenu(), qPrintable(action->text()));
    }
    QCOMPARE(entries, (QStringList{u"Add Side…"_s, u"Paste"_s, u"Copy"_s, u"Remove"_s, u"Clear List"_s, u"Undo"_s,
                                   u"Redo"_s, u"Save Side List…"_s, u"Dice Library…"_s}));

    // The keyboard opens it too (the Menu key through the platform, which a test cannot send).
    const fakes::ContextMenuCatcher catcher(list);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
    QCOMPARE(catcher.reasons, QList<QContextMenuEvent::Reason>{QContextMenuEvent::Keyboard});
}

void Form1DiceTest::shortcutsEditTheSidesAndUndoFromAnywhere() {
    Window window;
    QVERIFY(QTest::qWaitForWindowActive(&window.form));
    shell::Form1& form = window.form;
    form.PushButton1_Click();
    QTest::mouseClick(fakes::control(form, u"PushButton5"_s), Qt::LeftButton); // "Clear List" asks nothing
    QCOMPARE(form.sides().itemCount(), 0);

    QTest::keyClick(fakes::control(form, u"PushButton5"_s), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window.sides(), (QStringList{u"Heads"_s, u"Tails"_s}));
    QCOMPARE(window.header(), u"There are currently 2 sides on this dice."_s);
    QVERIFY(form.diceSavePending());
    form.SaveDice();
    QCOMPARE(window.fake.settings.values.value(u"Dice"_s), u"Heads;Tails"_s);
    QTest::keyClick(fakes::control(form, u"PushButton8"_s), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(form.sides().itemCount(), 0);
    QTest::keyClick(fakes::control(form, u"PushButton8"_s), Qt::Key_Z,
                    Qt::ControlModifier | Qt::ShiftModifier);                          // nothing left to redo
    QTest::keyClick(fakes::control(form, u"Text1"_s), Qt::Key_Z, Qt::ControlModifier); // the field's own undo
    QCOMPARE(form.sides().itemCount(), 0);

    shell::ListView* list = fakes::control<shell::ListView>(form, u"ListView1"_s);
    list->setFocus();
    window.fake.clipboard.text = u"Edge\nCorner\n"_s;
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(window.sides(), (QStringList{u"Edge"_s, u"Corner"_s}));
    form.sides().selectPosition(2);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(window.fake.clipboard.text, u"Corner\n"_s);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(window.sides(), QStringList{u"Edge"_s});
    QCOMPARE(window.header(), u"There are currently 2 sides on this dice."_s); // still stale by design
    QTest::keyClick(list, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(window.sides(), (QStringList{u"Edge"_s, u"Corner"_s}));
    QVERIFY(window.fake.messageBox.shown.isEmpty());
}

void Form1DiceTest::droppedFilesLoadAndDroppedTextAdds() {
    Window window;
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    QWidget* target = fakes::control<shell::ListView>(window.form, u"ListView1"_s)->viewport();
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"folder"_s));
    const QString file = fakes::writeFile(dir.filePath(u"sides.txt"_s), "Edge\nCorner");
    auto drop = [&](QMimeData& data) {
        QDragEnterEvent enter(target->rect().center(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction); // a file manager must never move the file away
        QDropEvent dropped(target->rect().center(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropped);
        QCOMPARE(dropped.dropAction(), Qt::CopyAction);
    };

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(dir.filePath(u"folder"_s)), QUrl::fromLocalFile(file)});
    drop(files);
    QTRY_COMPARE(window.sides(), (QStringList{u"Edge"_s, u"Corner"_s}));
    QCOMPARE(window.fake.messageBox.shown.size(), 1); // the folder, reported as a load reports it
    QVERIFY(window.fake.messageBox.shown[0].text.startsWith(u"Path/File access error\r\n"_s));
    QCOMPARE(window.form.mousePointer().value(), int(MousePointer::Default));

    QMimeData text;
    text.setText(u"Corner\r\nVertex"_s);
    drop(text);
    QTRY_COMPARE(window.sides(), (QStringList{u"Edge"_s, u"Corner"_s, u"Vertex"_s}));
    QCOMPARE(window.header(), u"There are currently 3 sides on this dice."_s);
}

QTEST_MAIN(Form1DiceTest)
#include "tst_form1_dice.moc"
