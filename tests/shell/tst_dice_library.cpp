#include "core/ListModel.h"
#include "core/RollMode.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "fakes/WidgetSupport.h"
#include "library/Library.h"
#include "shell/DiceLibraryWindow.h"
#include "shell/Form1.h"
#include "shell/ListView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(core::RollMode)

// Mnemonics are on in the desktop's themes; the offscreen platform of the tests leaves them off.
Q_GUI_EXPORT void qt_set_sequence_auto_mnemonic(bool on);

namespace {

dice::Die die(const QString& name, const QStringList& labels, const QList<std::uint32_t>& weights = {}) {
    dice::Die made{name, {}, {}};
    for (qsizetype i = 0; i < labels.size(); ++i)
        made.append(labels[i], i < weights.size() ? weights[i] : 1);
    return made;
}

QStringList labelsOf(const dice::Die& made) {
    QStringList labels;
    for (std::int64_t i = 0; i < made.labels.size(); ++i)
        labels.append(made.labels.at(i).toString());
    return labels;
}

QStringList namesIn(const library::Library& library) {
    QStringList names;
    for (const library::Entry& entry : library.list().entries)
        names.append(entry.name);
    return names;
}

// A main window with sides, and its library window over a folder of its own.
struct Fixture {
    explicit Fixture(const QStringList& sides = {u"A"_s, u"B"_s}) {
        form.Form_Load();
        for (const QString& side : sides)
            form.sides().addItem(side);
    }
    shell::DiceLibraryWindow& window() {
        if (!opened) {
            opened = std::make_unique<shell::DiceLibraryWindow>(form, fake.services, folder.path());
            opened->show();
            listed();
        }
        return *opened;
    }
    void listed() {
        opened->refresh();
        QTRY_VERIFY(opened->listed());
    }
    fakes::FakeServices fake;
    shell::Form1 form{fake.services};
    QTemporaryDir folder;
    library::Library library{folder.path()};
    std::unique_ptr<shell::DiceLibraryWindow> opened;
};

} // namespace

class DiceLibraryTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qt_set_sequence_auto_mnemonic(true); }
    void saveCurrentDieAsAsksBeforeReplacing_data();
    void saveCurrentDieAsAsksBeforeReplacing();
    void useIsOneUndoStepAndTheWeightsStay_data();
    void useIsOneUndoStepAndTheWeightsStay();
    void longLabelIsShownShortAndUsedWhole();
    void weightsAreEditedAndShared_data();
    void weightsAreEditedAndShared();
    void rollSetFillsTheResults_data();
    void rollSetFillsTheResults();
    void keyboardOnly_data();
    void keyboardOnly();
    void makesASetFromTheKeyboard();
};

void DiceLibraryTest::saveCurrentDieAsAsksBeforeReplacing_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("savedSix");
    QTest::addColumn<int>("questions");
    QTest::newRow("new name") << u"Mine"_s << false << QStringList{u"Mine"_s, u"Six"_s} << QStringList{u"1"_s} << 0;
    QTest::newRow("replaced after yes, any case")
        << u"six"_s << true << QStringList{u"six"_s} << QStringList{u"A"_s, u"B"_s} << 1;
    QTest::newRow("kept after no") << u"Six"_s << false << QStringList{u"Six"_s} << QStringList{u"1"_s} << 1;
    QTest::newRow("cancelled") << QString() << false << QStringList{u"Six"_s} << QStringList{u"1"_s} << 0;
    QTest::newRow("bad name refused") << u" Six"_s << false << QStringList{u"Six"_s} << QStringList{u"1"_s} << 0;
}

void DiceLibraryTest::saveCurrentDieAsAsksBeforeReplacing() {
    QFETCH(QString, answer);
    QFETCH(bool, replace);
    QFETCH(QStringList, names);
    QFETCH(QStringList, savedSix);
    QFETCH(int, questions);
    Fixture fixture;
    fixture.library.save(die(u"Six"_s, {u"1"_s}));
    fixture.fake.inputBox.answers.enqueue(answer);
    fixture.fake.messageBox.yesNoAnswers.enqueue(replace);
    fixture.window().saveCurrentDieAs();
    fixture.listed();
    QCOMPARE(namesIn(fixture.library), names);
    QCOMPARE(labelsOf(fixture.library.loadDie(u"six"_s)), savedSix);
    QCOMPARE(fixture.fake.messageBox.questions.size(), questions);
    QCOMPARE(fixture.fake.messageBox.shown.size(), answer.startsWith(u' ') ? 1 : 0);
}

void DiceLibraryTest::useIsOneUndoStepAndTheWeightsStay_data() {
    QTest::addColumn<QList<std::uint32_t>>("weights");
    QTest::addColumn<QString>("weighted");
    QTest::newRow("weighted") << QList<std::uint32_t>{1, 0, 3} << u"Weighted die: 3 sides, 4 tickets"_s;
    QTest::newRow("plain") << QList<std::uint32_t>{1, 1, 1} << QString();
}

void DiceLibraryTest::useIsOneUndoStepAndTheWeightsStay() {
    QFETCH(QList<std::uint32_t>, weights);
    QFETCH(QString, weighted);
    Fixture fixture;
    fixture.library.save(die(u"Class 7B"_s, {u"Ann"_s, u"Ben"_s, u"Cy"_s}, weights));
    fixture.window().selectEntry(u"Class 7B");
    fixture.window().useCurrent();
    auto* list = fakes::control<shell::ListView>(fixture.form, u"ListView1"_s);
    auto* start = fakes::control<QPushButton>(fixture.form, u"PushButton8"_s);
    QCOMPARE(fakes::itemTexts(fixture.form.sides()), (QStringList{u"Ann"_s, u"Ben"_s, u"Cy"_s}));
    QCOMPARE(list->toolTip().contains(u"Weighted die"_s), !weighted.isEmpty());
    QVERIFY(start->toolTip().endsWith(weighted));

    // Start Rolling draws by the weights: a side of weight 0 never comes up.
    fakes::control<QLineEdit>(fixture.form, u"Text2"_s)->setText(u"200"_s);
    fixture.form.PushButton8_Click();
    QCOMPARE(fakes::itemTexts(fixture.form.results()).contains(u"Ben"_s), weighted.isEmpty());

    // One step back gives the earlier die, unweighted; one forward the library's, weights and all.
    fixture.form.ListView1_Undo();
    QCOMPARE(fakes::itemTexts(fixture.form.sides()), (QStringList{u"A"_s, u"B"_s}));
    QVERIFY(!start->toolTip().contains(u"Weighted"_s));
    fixture.form.ListView1_Redo();
    QVERIFY(start->toolTip().endsWith(weighted));

    // A side added weighs 1, those that stay keep theirs; the weights survive a restart.
    fixture.form.ListView1_DropText(u"Dee"_s);
    QTRY_COMPARE(fixture.form.sides().itemCount(), 4);
    fixture.form.SaveDice();
    fakes::FakeServices restarted;
    restarted.settings.values = fixture.fake.settings.values;
    shell::Form1 again(restarted.services);
    again.Form_Load();
    const dice::Die restored = again.currentDie();
    QCOMPARE(labelsOf(restored), (QStringList{u"Ann"_s, u"Ben"_s, u"Cy"_s, u"Dee"_s}));
    QCOMPARE(QList<std::uint32_t>(restored.weights.begin(), restored.weights.end()), weights + QList<std::uint32_t>{1});
    QCOMPARE(restarted.settings.values.contains(u"DiceWeights"_s), !weighted.isEmpty());
}

void DiceLibraryTest::longLabelIsShownShortAndUsedWhole() {
    // Laid out whole, a label this long stalls every paint of the sides table for seconds.
    const QString label(2'000'000, u'y');
    Fixture fixture;
    fixture.library.save(die(u"Long"_s, {label, u"B"_s}));
    fixture.window().selectEntry(u"Long");
    auto* table = fakes::control<QTableView>(fixture.window(), u"DieSidesTable"_s);
    const QString shown = table->model()->index(0, 0).data().toString();
    QVERIFY2(shown.size() < 2000 && label.startsWith(shown.chopped(1)), qPrintable(shown.left(40)));
    fixture.window().useCurrent();
    QCOMPARE(fakes::itemTexts(fixture.form.sides()), (QStringList{label, u"B"_s}));
}

void DiceLibraryTest::weightsAreEditedAndShared_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QStringList>("shares");
    QTest::addColumn<int>("messages");
    QTest::newRow("typed weight") << u" 3 "_s << QString() << QStringList{u"3 of 4 (75%)"_s, u"1 of 4 (25%)"_s} << 0;
    QTest::newRow("weight that does not read")
        << u"-1"_s << QString() << QStringList{u"1 of 2 (50%)"_s, u"1 of 2 (50%)"_s} << 1;
    QTest::newRow("no weight left") << u"0"_s << u"B\t0"_s << QStringList{u"0 of 1 (0%)"_s, u"1 of 1 (100%)"_s} << 1;
    QTest::newRow("pasted lines, a new side")
        << QString() << u"B\t6\nC\t3\n"_s << QStringList{u"1 of 10 (10%)"_s, u"6 of 10 (60%)"_s, u"3 of 10 (30%)"_s}
        << 0;
    QTest::newRow("pasted line that does not read")
        << QString() << u"B\t6\nC\tmany\n"_s << QStringList{u"1 of 2 (50%)"_s, u"1 of 2 (50%)"_s} << 1;
}

void DiceLibraryTest::weightsAreEditedAndShared() {
    QFETCH(QString, typed);
    QFETCH(QString, pasted);
    QFETCH(QStringList, shares);
    QFETCH(int, messages);
    Fixture fixture;
    fixture.library.save(die(u"Coin"_s, {u"A"_s, u"B"_s}));
    shell::DiceLibraryWindow& window = fixture.window();
    auto* table = fakes::control<QTableView>(window, u"DieSidesTable"_s);
    if (!typed.isEmpty())
        table->model()->setData(table->model()->index(0, 1), typed);
    if (!pasted.isEmpty()) {
        fixture.fake.clipboard.setText(pasted, 0);
        table->setFocus();
        QTest::keySequence(table, QKeySequence::Paste);
    }
    fixture.listed();
    QStringList shown;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        shown.append(table->model()->index(row, 2).data().toString());
    QCOMPARE(shown, shares);
    QCOMPARE(fixture.fake.messageBox.shown.size(), messages);
    // What the window shows is what the library holds.
    const dice::Die stored = fixture.library.loadDie(u"Coin"_s);
    QCOMPARE(stored.weights, window.shownDie().weights);
    QCOMPARE(fixture.library.list().entries.front().weighted, shares[0] != u"1 of 2 (50%)"_s);
}

void DiceLibraryTest::rollSetFillsTheResults_data() {
    QTest::addColumn<core::RollMode>("mode");
    QTest::addColumn<QString>("rolls");
    QTest::addColumn<int>("rows");
    QTest::newRow("independent") << core::RollMode::Independent << u"40"_s << 40;
    QTest::newRow("no side twice, Text2 converted") << core::RollMode::Distinct << u" 12.4"_s << 12;
    QTest::newRow("bag") << core::RollMode::Bag << u"30"_s << 30;
}

void DiceLibraryTest::rollSetFillsTheResults() {
    QFETCH(core::RollMode, mode);
    QFETCH(QString, rolls);
    QFETCH(int, rows);
    Fixture fixture;
    fixture.library.save(die(u"Six"_s, {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}));
    fixture.library.save(die(u"Coin"_s, {u"Heads"_s, u"Tails"_s}));
    fixture.library.save(dice::DiceSet{u"Mixed"_s, {{u"Six"_s, 2}, {u"Coin"_s, 1}}});
    fixture.form.results().addItem(u"old"_s);
    fixture.form.results().setTicked(1, true);
    fakes::control<QLineEdit>(fixture.form, u"Text2"_s)->setText(rolls);
    fixture.form.RollMode_Click(mode);
    fixture.window().selectEntry(u"mixed");
    fixture.window().rollCurrentSet();

    const QStringList results = fakes::itemTexts(fixture.form.results());
    QCOMPARE(results.size(), rows);
    QCOMPARE(fixture.form.results().tickedCount(), 0);
    QVERIFY(!fixture.form.mousePointer().isBusy());
    for (const QString& row : results) {
        const QStringList labels = row.split(u" - "_s);
        QCOMPARE(labels.size(), 3);
        for (const QString& six : {labels[0], labels[1]})
            QVERIFY2(six.toInt() >= 1 && six.toInt() <= 6, qPrintable(row));
        QVERIFY2(labels[2] == u"Heads"_s || labels[2] == u"Tails"_s, qPrintable(row));
        if (mode != core::RollMode::Independent)
            QVERIFY2(labels[0] != labels[1], qPrintable(row));
    }
}

void DiceLibraryTest::keyboardOnly_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sides");
    QTest::newRow("Return uses the die") << u"Down, Return"_s << QString() << QStringList{u"Coin"_s, u"Six"_s}
                                         << QStringList{u"1"_s, u"2"_s};
    QTest::newRow("Delete asks first") << u"Delete"_s << u"yes"_s << QStringList{u"Six"_s}
                                       << QStringList{u"A"_s, u"B"_s};
    QTest::newRow("F2 renames") << u"F2"_s << u"Toss"_s << QStringList{u"Six"_s, u"Toss"_s}
                                << QStringList{u"A"_s, u"B"_s};
    QTest::newRow("Alt+A saves the main die")
        << u"Alt+A"_s << u"Pair"_s << QStringList{u"Coin"_s, u"Pair"_s, u"Six"_s} << QStringList{u"A"_s, u"B"_s};
    QTest::newRow("Alt+P duplicates") << u"Alt+P"_s << QString() << QStringList{u"Coin"_s, u"Coin (copy)"_s, u"Six"_s}
                                      << QStringList{u"A"_s, u"B"_s};
}

void DiceLibraryTest::keyboardOnly() {
    QFETCH(QString, keys);
    QFETCH(QString, answer);
    QFETCH(QStringList, names);
    QFETCH(QStringList, sides);
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toUtf8());
    Fixture fixture;
    library::Library library(library::Library::defaultFolder());
    library.save(die(u"Six"_s, {u"1"_s, u"2"_s}));
    library.save(die(u"Coin"_s, {u"H"_s, u"T"_s}));
    fakes::writeFile(library.filePath(u"Broken.die"_s), "not a die\n");
    fixture.fake.inputBox.answers.enqueue(answer);
    fixture.fake.messageBox.yesNoAnswers.enqueue(!answer.isEmpty());

    fixture.form.show();
    QVERIFY(QTest::qWaitForWindowActive(&fixture.form));
    QTest::keyClick(&fixture.form, Qt::Key_D, Qt::ControlModifier);
    shell::DiceLibraryWindow* window = fixture.form.diceLibraryWindow();
    QVERIFY(window != nullptr);
    QTRY_VERIFY(window->listed());
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto* table = fakes::control<QTableView>(*window, u"LibraryTable"_s);
    table->setFocus();
    // The damaged file is named once, however often the list is read.
    QCOMPARE(fixture.fake.messageBox.shown.size(), 1);
    QVERIFY(fixture.fake.messageBox.shown[0].text.contains(u"Broken.die"_s));

    for (const QString& key : keys.split(u", "_s))
        QTest::keySequence(QApplication::focusWidget(), QKeySequence(key));
    // A mnemonic clicks its button a moment later, as the button shows itself pressed.
    QTRY_COMPARE(namesIn(library), names);
    window->refresh();
    QTRY_VERIFY(window->listed());
    QCOMPARE(fakes::itemTexts(fixture.form.sides()), sides);
    QCOMPARE(fixture.fake.messageBox.shown.size(), 1);

    // Tab leaves the table, and Escape closes the window.
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != table);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    qunsetenv("XDG_DATA_HOME");
}

void DiceLibraryTest::makesASetFromTheKeyboard() {
    Fixture fixture;
    fixture.library.save(die(u"Six"_s, {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}));
    fixture.library.save(die(u"Coin"_s, {u"Heads"_s, u"Tails"_s}));
    fixture.fake.inputBox.answers.enqueue(u"Mixed"_s);
    shell::DiceLibraryWindow& window = fixture.window();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    fakes::control<QTableView>(window, u"LibraryTable"_s)->setFocus();
    auto* rows = fakes::control<QTableView>(window, u"SetDiceTable"_s);

    // The new set starts as 1 × Coin, the chosen die; Insert adds the die it lacks and opens its choice,
    // Ctrl+Up puts it first, and its count is typed. Each change is saved as it is made.
    QTest::keySequence(QApplication::focusWidget(), QKeySequence(u"Alt+N"_s));
    QTRY_COMPARE(QApplication::focusWidget(), rows);
    for (const QString& key : {u"Ins"_s, u"Return"_s, u"Ctrl+Up"_s, u"Right"_s, u"2"_s, u"Return"_s}) {
        QTest::keySequence(QApplication::focusWidget(), QKeySequence(key));
        QCoreApplication::processEvents(); // an editor closes on Return once its key is handled
    }
    QCOMPARE(dice::setSummary(fixture.library.loadSet(u"Mixed"_s)), u"2 × Six, 1 × Coin"_s);
    QTest::keyClick(rows, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != rows);

    // A die the set rolls is renamed: the row keeps its name, and says the library has no such die.
    fixture.library.rename(u"Coin", u"Toss"_s);
    fixture.listed();
    QCOMPARE(rows->model()->index(1, 0).data().toString(), u"Coin (not in the library)"_s);
    QVERIFY(fakes::control<QLabel>(window, u"SetProblems"_s)->text().contains(u"\"Coin\""_s));
    QCOMPARE(dice::setSummary(fixture.library.loadSet(u"Mixed"_s)), u"2 × Six, 1 × Coin"_s);
    QCOMPARE(fixture.fake.messageBox.shown.size(), 0);
}

QTEST_MAIN(DiceLibraryTest)
#include "tst_dice_library.moc"
