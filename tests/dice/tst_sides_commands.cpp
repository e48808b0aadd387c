#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "dice/SideListLoader.h"
#include "dice/SidesCommands.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using dice::Example;

enum class Edit { AddSide, DoubleClick, DeleteKey, ClearList, Example, LoadFile, Paste, DropFiles, DropText };

namespace {

// The sides list as the window sets it up: one column with the count header, the text index on.
struct Dice {
    Dice() {
        sides.addColumn(dice::sidesHeaderText(0));
        sides.setTextIndexEnabled(true);
    }
    void fill(const QStringList& labels) {
        for (const QString& label : labels)
            sides.addItem(label);
    }
    QStringList labels() const {
        QStringList result;
        for (std::int64_t i = 1; i <= sides.itemCount(); ++i)
            result.append(sides.text(i));
        return result;
    }
    QString header() const { return sides.headerText(1); }
    void answer(const QStringList& answers) {
        for (const QString& text : answers)
            fake.inputBox.answers.enqueue(text);
    }

    fakes::FakeServices fake;
    core::ListModel sides;
    core::MousePointer pointer;
    dice::SidesCommands commands{sides, pointer, fake.services};
    QSignalSpy refreshes{&sides, &QAbstractItemModel::headerDataChanged};
};

QStringList numbers(int last) {
    QStringList result;
    for (int n = 1; n <= last; ++n)
        result.append(QString::number(n));
    return result;
}

} // namespace

class SidesCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void addSideKeepsTheAnswerExactlyAndRefusesExactDuplicates();
    void addSideCancelledOrEmptyChangesNothing();
    void deleteKeyRemovesTheSelectionButLeavesTheHeaderStale();
    void doubleClickRefreshesTheHeaderEvenWhenNothingIsRemoved();
    void clearListEmptiesAndRefreshes();
    void examplesLeaveExactlyTheirLabels_data();
    void examplesLeaveExactlyTheirLabels();
    void examplesRefreshAtTheirOwnMoments();
    void busyPointerSkipsClearingAndRemovingButNotAdding();
    void diceBeyond32767SidesKeepWorking();
    void duplicateTestAgreesWithALinearScan();
    void failedHeaderRefreshIsReportedAndTheCommandGoesOn();
    void pastedAndDroppedTextFollowTheFileRules_data();
    void pastedAndDroppedTextFollowTheFileRules();
    void everyChangeUndoesAndRedoes_data();
    void everyChangeUndoesAndRedoes();
    void undoStepsBackInOrderAndWaitsForTheBusyPointer();
    void copiedAndSavedSidesReadBackAsTheSameList();
};

void SidesCommandsTest::addSideKeepsTheAnswerExactlyAndRefusesExactDuplicates() {
    Dice dice;
    dice.answer({u"Heads"_s, u"Heads"_s, u"heads"_s, u" "_s, u"Heads "_s});
    for (int i = 0; i < 5; ++i)
        dice.commands.addSide();

    QCOMPARE(dice.labels(), (QStringList{u"Heads"_s, u"heads"_s, u" "_s, u"Heads "_s}));
    QCOMPARE(dice.header(), u"There are currently 4 sides on this dice."_s);
    QCOMPARE(dice.refreshes.size(), 4); // the refused duplicate does not refresh
    QCOMPARE(dice.fake.inputBox.prompts.first(), u"Enter new entry to add: "_s);
    QVERIFY(dice.fake.inputBox.titles.first().isEmpty());
    QVERIFY(dice.fake.inputBox.defaults.first().isEmpty());
    QVERIFY(dice.fake.messageBox.shown.isEmpty());
}

void SidesCommandsTest::addSideCancelledOrEmptyChangesNothing() {
    Dice dice;
    dice.fill({u"A"_s});
    dice.answer({QString()});
    dice.commands.addSide(); // an empty answer
    dice.commands.addSide(); // an empty queue answers like Cancel
    QCOMPARE(dice.labels(), QStringList{u"A"_s});
    QCOMPARE(dice.refreshes.size(), 0);
    QVERIFY(dice.fake.messageBox.shown.isEmpty());
}

void SidesCommandsTest::deleteKeyRemovesTheSelectionButLeavesTheHeaderStale() {
    Dice dice;
    dice.commands.loadExample(Example::RockPaperScissors);
    dice.sides.selectPosition(2);
    dice.commands.keyDown(Qt::Key_Backspace); // only Delete acts
    QCOMPARE(dice.sides.itemCount(), 3);

    dice.commands.keyDown(Qt::Key_Delete);
    QCOMPARE(dice.labels(), (QStringList{u"Paper"_s, u"Scissor"_s}));
    QCOMPARE(dice.header(), u"There are currently 3 sides on this dice."_s);

    // Items but no selection: nothing the user pointed at, nothing removed.
    dice.sides.selectionModel()->clear();
    dice.commands.keyDown(Qt::Key_Delete);
    QCOMPARE(dice.sides.itemCount(), 2);

    dice.commands.clearList();
    QCOMPARE(dice.header(), u"There are currently 0 sides on this dice."_s);
}

void SidesCommandsTest::doubleClickRefreshesTheHeaderEvenWhenNothingIsRemoved() {
    Dice dice;
    dice.commands.removeOnDoubleClick();
    QCOMPARE(dice.refreshes.size(), 1);
    QCOMPARE(dice.header(), u"There are currently 0 sides on this dice."_s);

    dice.fill({u"A"_s, u"B"_s, u"C"_s});
    dice.sides.selectPosition(3);
    dice.commands.removeOnDoubleClick();
    QCOMPARE(dice.labels(), (QStringList{u"A"_s, u"B"_s}));
    QCOMPARE(dice.header(), u"There are currently 2 sides on this dice."_s);
    QVERIFY(dice.fake.messageBox.shown.isEmpty());
}

void SidesCommandsTest::clearListEmptiesAndRefreshes() {
    Dice dice;
    dice.fill({u"A"_s, u"B"_s});
    dice.commands.clearList();
    QCOMPARE(dice.sides.itemCount(), 0);
    QCOMPARE(dice.header(), u"There are currently 0 sides on this dice."_s);
    QVERIFY(!dice.commands.SideAlreadyInList(u"A"_s));
}

void SidesCommandsTest::examplesLeaveExactlyTheirLabels_data() {
    QTest::addColumn<Example>("example");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("coin") << Example::Coin << QStringList{u"Heads"_s, u"Tails"_s};
    QTest::newRow("classic six") << Example::ClassicSixSided << numbers(6);
    QTest::newRow("twenty") << Example::TwentySided << numbers(20);
    QTest::newRow("rock-paper-scissors") << Example::RockPaperScissors
                                         << QStringList{u"Paper"_s, u"Rock"_s, u"Scissor"_s};
}

void SidesCommandsTest::examplesLeaveExactlyTheirLabels() {
    QFETCH(Example, example);
    QFETCH(QStringList, labels);
    Dice dice;
    dice.fill({u"Tails"_s, u"7"_s, u"Rock"_s, u"x"_s});
    dice.commands.loadExample(example);
    QCOMPARE(dice.labels(), labels);
    QCOMPARE(dice.header(), dice::sidesHeaderText(labels.size()));
}

void SidesCommandsTest::examplesRefreshAtTheirOwnMoments() {
    {
        Dice dice;
        dice.commands.loadExample(Example::ClassicSixSided);
        QCOMPARE(dice.refreshes.size(), 6); // after each appended number
    }
    {
        Dice dice;
        dice.commands.loadExample(Example::Coin);
        QCOMPARE(dice.refreshes.size(), 1); // once, after both labels
    }
    {
        // Busy, so nothing is cleared: numbers already listed are skipped and skip their refresh.
        Dice dice;
        dice.fill({u"3"_s, u"7"_s});
        dice.pointer.set(core::MousePointer::Hourglass);
        dice.commands.loadExample(Example::TwentySided);
        QCOMPARE(dice.refreshes.size(), 18);
        QCOMPARE(dice.sides.itemCount(), 20);
    }
    {
        // ... whereas the coin refreshes even when both labels were skipped.
        Dice dice;
        dice.fill({u"Tails"_s, u"Heads"_s});
        dice.pointer.set(core::MousePointer::Hourglass);
        dice.commands.loadExample(Example::Coin);
        QCOMPARE(dice.refreshes.size(), 1);
        QCOMPARE(dice.labels(), (QStringList{u"Tails"_s, u"Heads"_s}));
    }
}

void SidesCommandsTest::busyPointerSkipsClearingAndRemovingButNotAdding() {
    Dice dice;
    dice.fill({u"Rock"_s, u"Lizard"_s});
    dice.sides.selectPosition(1);
    dice.pointer.set(core::MousePointer::Hourglass);

    dice.commands.clearList();
    dice.commands.removeOnDoubleClick();
    dice.commands.keyDown(Qt::Key_Delete);
    QCOMPARE(dice.labels(), (QStringList{u"Rock"_s, u"Lizard"_s}));
    QCOMPARE(dice.refreshes.size(), 2); // clear and double-click still refresh

    dice.answer({u"Spock"_s});
    dice.commands.addSide();
    dice.commands.loadExample(Example::RockPaperScissors);
    QCOMPARE(dice.labels(), (QStringList{u"Rock"_s, u"Lizard"_s, u"Spock"_s, u"Paper"_s, u"Scissor"_s}));
    QCOMPARE(dice.pointer.value(), int(core::MousePointer::Hourglass)); // nobody here resets it

    dice.pointer.set(core::MousePointer::Default);
    dice.commands.clearList();
    QCOMPARE(dice.sides.itemCount(), 0);
}

void SidesCommandsTest::diceBeyond32767SidesKeepWorking() {
    Dice dice;
    core::TextRows many;
    for (int n = 1; n <= 40000; ++n)
        many.append(QString::number(n));
    dice.sides.addItems(many);

    dice.answer({u"39999"_s, u"40001"_s});
    dice.commands.addSide();
    dice.commands.addSide();
    QCOMPARE(dice.sides.itemCount(), 40001);
    QCOMPARE(dice.sides.text(40001), u"40001"_s);
    QCOMPARE(dice.header(), u"There are currently 40001 sides on this dice."_s);

    dice.sides.selectPosition(35000);
    dice.commands.removeOnDoubleClick();
    QCOMPARE(dice.sides.itemCount(), 40000);
    QVERIFY(!dice.commands.SideAlreadyInList(u"35000"_s));
    QVERIFY(dice.commands.SideAlreadyInList(u"35001"_s));
    QVERIFY(dice.fake.messageBox.shown.isEmpty());
}

void SidesCommandsTest::duplicateTestAgreesWithALinearScan() {
    // The index must follow every kind of edit, undo and redo included; a linear scan is the reference.
    Dice dice;
    QRandomGenerator random(20240611);
    const QStringList pool = {u"a"_s, u"A"_s, u"a "_s, u" a"_s, u"b"_s, u"1"_s, u"2"_s, u"Heads"_s, u"Tails"_s};
    for (int step = 0; step < 1000; ++step) {
        switch (random.bounded(8)) {
        case 0:
        case 1:
            dice.answer({pool[random.bounded(pool.size())]});
            dice.commands.addSide();
            break;
        case 2:
            if (dice.sides.itemCount() > 0) {
                dice.sides.selectPosition(1 + random.bounded(static_cast<int>(dice.sides.itemCount())));
                dice.commands.keyDown(Qt::Key_Delete);
            }
            break;
        case 3:
            dice.commands.loadExample(random.bounded(2) ? Example::Coin : Example::ClassicSixSided);
            break;
        case 4:
            dice.sides.addItem(pool[random.bounded(pool.size())]); // the unchecked restore path
            break;
        case 5:
            dice.commands.undo();
            break;
        case 6:
            dice.commands.redo();
            break;
        default:
            if (random.bounded(4) == 0)
                dice.commands.clearList();
            break;
        }
        const QStringList listed = dice.labels();
        for (const QString& label : pool)
            QCOMPARE(Main::ListviewContainsText(dice.sides, label), listed.contains(label));
    }
}

void SidesCommandsTest::failedHeaderRefreshIsReportedAndTheCommandGoesOn() {
    fakes::FakeServices fake;
    core::ListModel sides; // no column: the header cannot be written
    core::MousePointer pointer;
    dice::SidesCommands commands(sides, pointer, fake.services);
    fake.inputBox.answers.enqueue(u"A"_s);
    commands.addSide();
    QCOMPARE(sides.itemCount(), 1);
    QCOMPARE(fake.messageBox.shown.size(), 1);
    QVERIFY(fake.messageBox.shown[0].text.contains(u"in Quorvin2021/08/31.Form1.PushButton6_Click at line 108"_s));
}

void SidesCommandsTest::pastedAndDroppedTextFollowTheFileRules_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("added"); // to a list holding "A"
    QTest::newRow("CR, LF and CR LF") << u"B\rC\nD\r\nE"_s << QStringList{u"B"_s, u"C"_s, u"D"_s, u"E"_s};
    QTest::newRow("empty lines") << u"\n\nB\r\n\r\nC\n"_s << QStringList{u"B"_s, u"C"_s};
    QTest::newRow("duplicates") << u"A\nB\nB\na"_s << QStringList{u"B"_s, u"a"_s};
    QTest::newRow("nothing trimmed") << u" B\tb \n  "_s << QStringList{u" B\tb "_s, u"  "_s};
    QTest::newRow("nothing") << QString() << QStringList{};
}

void SidesCommandsTest::pastedAndDroppedTextFollowTheFileRules() {
    QFETCH(QString, text);
    QFETCH(QStringList, added);
    for (const bool drop : {false, true}) {
        Dice dice;
        dice.fill({u"A"_s});
        dice.fake.clipboard.text = text;
        drop ? dice.commands.dropText(text) : dice.commands.paste();
        QCOMPARE(dice.labels(), QStringList{u"A"_s} + added);
        QCOMPARE(dice.header(), dice::sidesHeaderText(1 + added.size()));
    }
}

void SidesCommandsTest::everyChangeUndoesAndRedoes_data() {
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<QStringList>("after"); // of A, B, C, D with B and D selected
    const QStringList abcd = {u"A"_s, u"B"_s, u"C"_s, u"D"_s};
    QTest::newRow("add side") << Edit::AddSide << abcd + QStringList{u"E"_s};
    QTest::newRow("double-click") << Edit::DoubleClick << QStringList{u"A"_s, u"B"_s, u"C"_s};
    QTest::newRow("Delete key") << Edit::DeleteKey << QStringList{u"A"_s, u"C"_s};
    QTest::newRow("clear list") << Edit::ClearList << QStringList{};
    QTest::newRow("example") << Edit::Example << QStringList{u"Heads"_s, u"Tails"_s};
    QTest::newRow("load file") << Edit::LoadFile << abcd + QStringList{u"E"_s, u"F"_s};
    QTest::newRow("paste") << Edit::Paste << abcd + QStringList{u"E"_s};
    QTest::newRow("drop files") << Edit::DropFiles << abcd + QStringList{u"E"_s, u"F"_s, u"G"_s};
    QTest::newRow("drop text") << Edit::DropText << abcd + QStringList{u"G"_s};
}

void SidesCommandsTest::everyChangeUndoesAndRedoes() {
    QFETCH(Edit, edit);
    QFETCH(QStringList, after);
    Dice dice;
    const QStringList before = {u"A"_s, u"B"_s, u"C"_s, u"D"_s};
    dice.fill(before);
    dice.sides.selectionModel()->select(dice.sides.index(1, 0), QItemSelectionModel::Select);
    dice.sides.selectionModel()->setCurrentIndex(dice.sides.index(3, 0), QItemSelectionModel::Select);
    QTemporaryDir dir;
    const QString e = fakes::writeFile(dir.filePath(u"e.txt"_s), "E\nA\r\nF");
    const QString g = fakes::writeFile(dir.filePath(u"g.txt"_s), "G\r\nE");
    switch (edit) {
    case Edit::AddSide:
        dice.answer({u"E"_s});
        dice.commands.addSide();
        break;
    case Edit::DoubleClick:
        dice.commands.removeOnDoubleClick();
        break;
    case Edit::DeleteKey:
        dice.commands.keyDown(Qt::Key_Delete);
        break;
    case Edit::ClearList:
        dice.commands.clearList();
        break;
    case Edit::Example:
        dice.commands.loadExample(Example::Coin);
        break;
    case Edit::LoadFile:
        dice.fake.fileDialogs.openAnswers.enqueue({e});
        dice.commands.loadListFromFile();
        break;
    case Edit::Paste:
        dice.fake.clipboard.text = u"C\nE"_s;
        dice.commands.paste();
        break;
    case Edit::DropFiles:
        dice.commands.dropFiles({e, g});
        break;
    case Edit::DropText:
        dice.commands.dropText(u"G"_s);
        break;
    }
    QCOMPARE(dice.labels(), after);
    for (int round = 0; round < 2; ++round) {
        dice.commands.undo();
        QCOMPARE(dice.labels(), before);
        QCOMPARE(dice.header(), dice::sidesHeaderText(before.size()));
        dice.commands.redo();
        QCOMPARE(dice.labels(), after);
        QCOMPARE(dice.header(), dice::sidesHeaderText(after.size()));
    }
    QVERIFY(dice.fake.messageBox.shown.isEmpty());
}

void SidesCommandsTest::undoStepsBackInOrderAndWaitsForTheBusyPointer() {
    Dice dice;
    dice.fill({u"A"_s});
    dice.answer({u"B"_s});
    dice.commands.addSide();
    dice.commands.clearList();
    dice.fake.clipboard.text = u"C"_s;
    dice.commands.paste();

    dice.pointer.set(core::MousePointer::Hourglass); // an undo may remove sides: it waits, as removing does
    dice.commands.undo();
    QCOMPARE(dice.labels(), QStringList{u"C"_s});
    dice.pointer.set(core::MousePointer::Default);
    const QList<QStringList> back = {{}, {u"A"_s, u"B"_s}, {u"A"_s}, {u"A"_s}};
    for (const QStringList& labels : back) {
        dice.commands.undo();
        QCOMPARE(dice.labels(), labels);
    }
    for (int step = 0; step < 4; ++step)
        dice.commands.redo();
    QCOMPARE(dice.labels(), QStringList{u"C"_s});

    // A list changed behind the history's back drops the history rather than undoing the wrong rows.
    dice.sides.addItem(u"X"_s);
    dice.commands.undo();
    QCOMPARE(dice.labels(), (QStringList{u"C"_s, u"X"_s}));
    QVERIFY(!dice.commands.undoStack().canUndo());
}

void SidesCommandsTest::copiedAndSavedSidesReadBackAsTheSameList() {
    Dice dice;
    const QStringList labels = {u"\uFEFFfirst"_s, u" two  "_s, u"\t3"_s, u"\u00E9\U0001F3B2"_s, u"last;"_s};
    dice.fill(labels);
    QTemporaryDir dir;
    const QString path = fakes::writeFile(dir.filePath(u"sides.txt"_s), "older and longer content");
    dice.fake.fileDialogs.saveAnswers.enqueue(path);
    dice.commands.saveSideList();
    QCOMPARE(dice.fake.fileDialogs.saveTitles, QStringList{u"Save Side List"_s});
    QCOMPARE(fakes::readFile(path), (labels.join(u'\n') + u'\n').toUtf8());

    Dice reloaded;
    Main::LoadListviewFromTextFile(reloaded.sides, path, reloaded.fake.messageBox);
    QCOMPARE(reloaded.labels(), labels);

    // Selected sides, in list order whatever the order of selecting, paste back as the same labels.
    dice.sides.selectionModel()->select(dice.sides.index(3, 0), QItemSelectionModel::Select);
    dice.sides.selectionModel()->select(dice.sides.index(0, 0), QItemSelectionModel::Select);
    dice.sides.selectionModel()->select(dice.sides.index(1, 0), QItemSelectionModel::Select);
    dice.commands.copySelection();
    QCOMPARE(dice.fake.clipboard.text, labels[0] + u'\n' + labels[1] + u'\n' + labels[3] + u'\n');
    Dice other;
    other.fake.clipboard.text = dice.fake.clipboard.text;
    other.commands.paste();
    QCOMPARE(other.labels(), (QStringList{labels[0], labels[1], labels[3]}));
    QVERIFY(dice.fake.messageBox.shown.isEmpty());
}

QTEST_GUILESS_MAIN(SidesCommandsTest)
#include "tst_sides_commands.moc"
