// The bag kept between rolls, through the window: over presses and restarts, under edits of the
// sides list, and when it cannot be kept.

#include "bag/KeptBag.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "shell/Form1.h"
#include "shell/StatisticsWindow.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <numeric>

using namespace Qt::StringLiterals;

namespace {

// A class of sides labelled "S1", "S2", ..., drawn from a kept bag; the window can be closed and
// opened again over the same settings and bag file. Side i weighs weights[i - 1], if given.
struct Classroom {
    Classroom(int sides, int dice, int rolls, const QList<int>& weights = {}) {
        QStringList labels;
        QStringList weighed;
        for (int i = 1; i <= sides; ++i) {
            labels.append(u"S"_s + QString::number(i));
            if (!weights.isEmpty())
                weighed.append(u"[\"S%1\",%2]"_s.arg(i).arg(weights[i - 1]));
        }
        fake.settings.values = {{u"Dice"_s, labels.join(u';')},
                                {u"Text1"_s, QString::number(dice)},
                                {u"Text2"_s, QString::number(rolls)},
                                {u"RollMode"_s, u"bag"_s},
                                {u"KeepBag"_s, u"true"_s}};
        if (!weighed.isEmpty())
            fake.settings.values.insert(u"DiceWeights"_s, u'[' + weighed.join(u',') + u']');
        open();
    }
    void open() {
        form = std::make_unique<shell::Form1>(fake.services);
        form->Form_Load();
        form->openKeptBag(bagPath);
    }
    void restart() {
        form->close();
        fake.events.ended = false; // a new process
        open();
    }
    QStringList press() {
        form->PushButton8_Click();
        return fakes::itemTexts(form->results());
    }
    void trigger(const QString& action) { form->findChild<QAction*>(action)->trigger(); }
    void remove(const QString& label) {
        const QStringList sides = fakes::itemTexts(form->sides());
        form->sides().selectPosition(sides.indexOf(label) + 1);
        form->ListView1_KeyDown(Qt::Key_Delete, {});
    }
    QString tip() const { return form->findChild<QPushButton*>(u"PushButton8"_s)->toolTip(); }

    QTemporaryDir folder;
    QString bagPath = folder.filePath(u"data/kept-bag.txt"_s);
    fakes::FakeServices fake;
    std::unique_ptr<shell::Form1> form;
};

} // namespace

class KeptBagTest : public QObject {
    Q_OBJECT
private slots:
    void callsEverySideOnceABagOverPressesAndRestarts_data();
    void callsEverySideOnceABagOverPressesAndRestarts();
    void editsChangeTheBagAsATeacherExpects_data();
    void editsChangeTheBagAsATeacherExpects();
    void aRollThatCannotBeKeptIsNotShown();
};

void KeptBagTest::callsEverySideOnceABagOverPressesAndRestarts_data() {
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("dice");
    QTest::addColumn<int>("rolls");
    QTest::addColumn<int>("pressesBefore");
    QTest::addColumn<int>("pressesAfter");
    QTest::addColumn<QList<int>>("weights");
    QTest::newRow("a class of 24, one name a press, then a second round") << 24 << 1 << 1 << 12 << 20 << QList<int>{};
    QTest::newRow("pairs of 7, the bag refilled within a roll") << 7 << 2 << 1 << 5 << 6 << QList<int>{};
    QTest::newRow("rolls of 3 dice of 5, four rolls a press") << 5 << 3 << 4 << 2 << 3 << QList<int>{};
    QTest::newRow("weights 2, 1, 0: a restart within the second bag") << 3 << 1 << 1 << 4 << 5 << QList<int>{2, 1, 0};
    QTest::newRow("five weighted sides, two rolls a press") << 5 << 1 << 2 << 3 << 8 << QList<int>{3, 1, 2, 0, 1};
}

void KeptBagTest::callsEverySideOnceABagOverPressesAndRestarts() {
    QFETCH(int, sides);
    QFETCH(int, dice);
    QFETCH(int, rolls);
    QFETCH(int, pressesBefore);
    QFETCH(int, pressesAfter);
    QFETCH(QList<int>, weights);
    Classroom room(sides, dice, rolls, weights);
    QStringList called;
    for (int press = 0; press < pressesBefore + pressesAfter; ++press) {
        if (press == pressesBefore)
            room.restart();
        const QStringList rows = room.press();
        QCOMPARE(rows.size(), rolls);
        for (const QString& row : rows) {
            const QStringList roll = row.split(u" - "_s);
            QCOMPARE(QSet<QString>(roll.begin(), roll.end()).size(), dice);
            called += roll;
        }
    }
    // Every bag, the last one too, calls each side at most as often as it weighs (once unweighted); the
    // full ones call them all that often.
    if (weights.isEmpty())
        weights.fill(1, sides);
    const auto bagSize = std::accumulate(weights.begin(), weights.end(), qsizetype{0});
    for (qsizetype bag = 0; bag < called.size(); bag += bagSize) {
        const QStringList one = called.mid(bag, bagSize);
        for (int side = 1; side <= sides; ++side)
            QVERIFY(one.count(u"S"_s + QString::number(side)) <= weights[side - 1]);
    }
}

void KeptBagTest::editsChangeTheBagAsATeacherExpects_data() {
    QTest::addColumn<QString>("edits");
    QTest::addColumn<QStringList>("inBag");
    QTest::addColumn<int>("sides"); // tickets, for a die put to use with weights
    const QStringList kept = {u"S3"_s, u"S4"_s, u"S5"_s, u"S6"_s};
    QTest::newRow("no edit") << u""_s << kept << 6;
    QTest::newRow("a side added goes in") << u"add S7"_s << kept + QStringList{u"S7"_s} << 7;
    QTest::newRow("a side removed leaves it") << u"remove S3"_s << kept.mid(1) << 5;
    QTest::newRow("an undo brings back a side in the bag") << u"remove S3,undo"_s << kept << 6;
    QTest::newRow("a redo takes it out again") << u"remove S3,undo,redo"_s << kept.mid(1) << 5;
    QTest::newRow("an undo brings back a drawn side drawn") << u"remove S1,undo"_s << kept << 6;
    QTest::newRow("a drawn side added anew goes in") << u"remove S1,add S1"_s << kept + QStringList{u"S1"_s} << 6;
    QTest::newRow("a restart keeps an edited bag") << u"remove S3,restart"_s << kept.mid(1) << 5;
    QTest::newRow("another mode leaves the bag alone") << u"mode independent,press,mode bag"_s << kept << 6;
    QTest::newRow("turned off leaves the bag alone") << u"KeepBag,press,KeepBag"_s << kept << 6;
    QTest::newRow("a refill puts every side back")
        << u"RefillBag"_s << QStringList{u"S1"_s, u"S2"_s, u"S3"_s, u"S4"_s, u"S5"_s, u"S6"_s} << 6;
    // A die put to use keeps the tickets left of the sides it lists again, at most as many as they weigh.
    QTest::newRow("a side weighed 0 leaves the bag") << u"use S3:0"_s << kept.mid(1) << 5;
    QTest::newRow("a heavier side gets its tickets with the next set") << u"use S4:3"_s << kept << 8;
    QTest::newRow("a weighted refill puts every ticket back")
        << u"use S2:2,RefillBag"_s << QStringList{u"S1"_s, u"S2"_s, u"S2"_s, u"S3"_s, u"S4"_s, u"S5"_s, u"S6"_s} << 7;
}

void KeptBagTest::editsChangeTheBagAsATeacherExpects() {
    QFETCH(QString, edits);
    QFETCH(QStringList, inBag);
    QFETCH(int, sides);
    // given: S1 and S2 called from a bag of six
    Classroom room(6, 1, 1);
    QDir().mkpath(room.folder.filePath(u"data"_s));
    fakes::writeFile(room.bagPath, "Quorvin Tessaly kept bag 1\n0\tS1\n0\tS2\n1\tS3\n1\tS4\n1\tS5\n1\tS6\n");
    room.restart();

    // when
    for (const QString& edit : edits.split(u',', Qt::SkipEmptyParts)) {
        const QString operand = edit.section(u' ', 1);
        if (edit.startsWith(u"add "_s)) {
            room.fake.inputBox.answers.enqueue(operand);
            room.form->PushButton6_Click();
        } else if (edit.startsWith(u"remove "_s)) {
            room.remove(operand);
        } else if (edit.startsWith(u"mode "_s)) {
            room.form->RollMode_Click(*core::rollModeFromWord(operand));
        } else if (edit.startsWith(u"use "_s)) {
            dice::Die die = room.form->currentDie();
            die.weights[operand.section(u':', 0, 0).mid(1).toULong() - 1] = operand.section(u':', 1).toUInt();
            QVERIFY(room.form->useDie(die));
        } else if (edit == u"undo"_s) {
            room.form->ListView1_Undo();
        } else if (edit == u"redo"_s) {
            room.form->ListView1_Redo();
        } else if (edit == u"press"_s) {
            room.press();
        } else if (edit == u"restart"_s) {
            room.restart();
        } else {
            room.trigger(edit);
        }
    }

    // then: the tooltip and the Statistics window say what is left, and the next presses call it
    const QString line = u"Draw From A Bag: %1 of %2 %3 left in the bag"_s.arg(inBag.size())
                             .arg(sides)
                             .arg(edits.contains(u"use"_s) ? u"tickets"_s : u"sides"_s);
    QTRY_COMPARE(room.tip().section(u'.', 0, 0), line);
    room.form->showStatistics();
    QCOMPARE(room.form->statisticsWindow()->findChild<QLabel*>(u"KeptBag"_s)->text(), line);
    QStringList called;
    for (qsizetype i = 0; i < inBag.size(); ++i)
        called += room.press();
    called.sort();
    inBag.sort();
    QCOMPARE(called, inBag);
    QVERIFY(room.fake.messageBox.shown.isEmpty());
}

void KeptBagTest::aRollThatCannotBeKeptIsNotShown() {
    // given: a bag whose folder is a file
    Classroom room(4, 1, 1);
    fakes::writeFile(room.folder.filePath(u"blocked"_s), "");
    room.bagPath = room.folder.filePath(u"blocked/kept-bag.txt"_s);
    room.restart();
    const QString before = room.tip();

    // when
    const QStringList rows = room.press();

    // then
    QVERIFY(rows.isEmpty());
    QCOMPARE(room.fake.messageBox.texts(), QStringList{u"Could not save \"%1\": Path not found."_s.arg(room.bagPath)});
    QCOMPARE(room.tip(), before);
}

QTEST_MAIN(KeptBagTest)
#include "tst_kept_bag.moc"
