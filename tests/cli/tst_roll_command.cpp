#include "cli/LibraryCommand.h"
#include "cli/RollCommand.h"
#include "cli/SeededGenerator.h"
#include "fakes/Fakes.h"
#include "fakes/MemorySink.h"
#include "fakes/TestSupport.h"
#include "library/Library.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <boost/math/distributions/chi_squared.hpp>

#include <map>

using namespace Qt::StringLiterals;

namespace {

using Stored = QHash<QString, QString>;

using fakes::MemorySink;
using Outcome = fakes::CommandOutcome;

Outcome roll(const QStringList& arguments, const Stored& stored = {}, const QByteArray& input = {},
             bool terminal = false) {
    fakes::FakeSettingsStore settings;
    settings.values = stored;
    QBuffer standardInput;
    standardInput.setData(input);
    standardInput.open(QIODevice::ReadOnly);
    MemorySink standardOutput;
    standardOutput.terminal = terminal;
    Outcome outcome;
    cli::RollEnvironment environment{settings, standardInput, standardOutput,
                                     [&](const QString& line) { outcome.errors.append(line); },
                                     [] { return std::uint64_t{42}; }};
    outcome.exitCode = cli::runRoll(arguments, environment);
    outcome.output = standardOutput.written;
    return outcome;
}

// The chance of counts at least this far from equal, were every cell equally likely.
double uniformityPValue(const std::map<QString, qint64>& counts, qint64 cells) {
    qint64 total = 0;
    for (const auto& [cell, count] : counts)
        total += count;
    const double expected = static_cast<double>(total) / static_cast<double>(cells);
    double statistic = expected * static_cast<double>(cells - static_cast<qint64>(counts.size())); // unseen cells
    for (const auto& [cell, count] : counts)
        statistic += (static_cast<double>(count) - expected) * (static_cast<double>(count) - expected) / expected;
    const boost::math::chi_squared distribution(static_cast<double>(cells - 1));
    return boost::math::cdf(boost::math::complement(distribution, statistic));
}

} // namespace

class RollCommandTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void answersEveryCommandLine_data();
    void answersEveryCommandLine();
    void libraryAnswersEveryCommandLine_data();
    void libraryAnswersEveryCommandLine();
    void outputFileAppearsOnlyWhole();
    void labelsAreEscapedOnlyForATerminal_data();
    void labelsAreEscapedOnlyForATerminal();
    void dieIsFairAndDiceIndependent_data();
    void dieIsFairAndDiceIndependent();
    void generatorGivesItsPublishedOutputs();
    void statsCountTheLinesOfTheSameRoll_data();
    void statsCountTheLinesOfTheSameRoll();

private:
    QTemporaryDir m_folder;
};

// The dice library of the --die and --set rows, in the test's own data folder.
void addDice(library::Library& library) {
    dice::Die six{u"Six"_s, {}, {}};
    for (int side = 1; side <= 6; ++side)
        six.append(QString::number(side));
    library.save(six);
    dice::Die coin{u"Coin"_s, {}, {}};
    coin.append(u"H"_s);
    coin.append(u"T"_s);
    library.save(coin);
    dice::Die loaded{u"Loaded"_s, {}, {}};
    for (const auto& [label, weight] : {std::pair{u"a"_s, 1U}, {u"b"_s, 3U}, {u"c"_s, 0U}, {u"d"_s, 4U}})
        loaded.append(label, weight);
    library.save(loaded);
    library.save(dice::DiceSet{u"Game"_s, {{u"Six"_s, 2}, {u"Coin"_s, 1}}});
}

void RollCommandTest::initTestCase() {
    QVERIFY(m_folder.isValid());
    fakes::writeFile(m_folder.filePath(u"first.txt"_s), "a\r\n\r\nb\n");
    fakes::writeFile(m_folder.filePath(u"second.txt"_s), "b\rc");
    fakes::writeFile(m_folder.filePath(u"empty.txt"_s), "");
    fakes::writeFile(m_folder.filePath(u"loaded.tsv"_s), "a\t1\nb\t3\nc\t0\nd\t4\n");
    fakes::writeFile(m_folder.filePath(u"prizes.tsv"_s), "gold\t1\nsilver\t9\n");
    fakes::writeFile(m_folder.filePath(u"d3.tsv"_s), "1\t0\n2\t1\n3\t3\n");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_folder.path()));
    library::Library library;
    addDice(library);
}

void RollCommandTest::answersEveryCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Stored>("stored");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("error"); // after "quorvin-tessaly roll: "; empty: nothing on standard error

    const Stored six{{u"Dice"_s, u"1;2;3;4;5;6"_s}};
    const QString tryHelp = u" Try 'quorvin-tessaly roll --help'."_s;
    auto row = [&](const char* name, const QString& arguments, const Stored& stored, const QByteArray& input,
                   int exitCode, const QByteArray& output, const QString& error) {
        QTest::newRow(name) << arguments.split(u' ', Qt::SkipEmptyParts) << stored << input << exitCode << output
                            << error;
    };
    const QString first = m_folder.filePath(u"first.txt"_s);
    const QString second = m_folder.filePath(u"second.txt"_s);
    const QString gone = m_folder.filePath(u"gone.txt"_s);
    const QString empty = m_folder.filePath(u"empty.txt"_s);
    const QString nowhere = m_folder.filePath(u"no/folder/rolls.txt"_s);

    // The lines of a seeded roll never change: a different generator or pick fails here first.
    row("seeded roll, pinned", u"--example six --dice 3 --rolls 5 --seed 1"_s, {}, {}, 0,
        "5 - 4 - 4\n3 - 5 - 1\n1 - 3 - 6\n4 - 6 - 6\n6 - 5 - 4\n", {});
    row("seeded roll without repeats, pinned", u"--example six --dice 3 --rolls 5 --seed 1 --mode distinct"_s, {}, {},
        0, "5 - 4 - 1\n1 - 3 - 5\n1 - 5 - 6\n2 - 3 - 5\n6 - 4 - 3\n", {});
    // Bags of six, refilled within the second roll: its 6 and 2 wait until it ends.
    row("seeded bag, pinned, from the stored mode", u"--example six --dice 4 --rolls 3 --seed 1"_s,
        {{u"RollMode"_s, u"bag"_s}}, {}, 0, "5 - 4 - 1 - 3\n6 - 2 - 5 - 1\n2 - 6 - 4 - 3\n", {});
    row("unknown stored mode rolls independent dice", u"--example six --dice 3 --rolls 2 --seed 1"_s,
        {{u"RollMode"_s, u"Bag"_s}}, {}, 0, "5 - 4 - 4\n3 - 5 - 1\n", {});
    // Stored as the window stores them: counts converted with rounding, sides with repeats kept.
    row("stored sides and counts", u"--seed 9"_s,
        {{u"Dice"_s, u"x;;x;y;"_s}, {u"Text1"_s, u"2.5"_s}, {u"Text2"_s, u" 3 "_s}}, {}, 0, "x - x\nx - y\ny - y\n",
        {});
    // The same pick as the process test's pipe, here over the sides a, b, c.
    row("files in order, repeats across files skipped",
        u"--sides "_s + first + u" --sides "_s + second + u" --dice 1 --rolls 6 --seed 3"_s, {}, {}, 0,
        "c\nb\na\nb\nb\nb\n", {});

    row("unknown option", u"--bogus"_s, six, {}, 2, {}, u"Unknown option 'bogus'."_s + tryHelp);
    row("stray argument", u"6"_s, six, {}, 2, {}, u"unexpected argument '6'."_s + tryHelp);
    row("no dice", u"--dice 0"_s, six, {}, 2, {},
        u"--dice takes a whole number from 1 to 2147483647, not '0'."_s + tryHelp);
    row("fractional rolls", u"--rolls 1.5"_s, six, {}, 2, {},
        u"--rolls takes a whole number from 1 to 9223372036854775807, not '1.5'."_s + tryHelp);
    row("seed beyond 64 bits", u"--seed 18446744073709551616"_s, six, {}, 2, {},
        u"--seed takes a whole number from 0 to 18446744073709551615, not '18446744073709551616'."_s + tryHelp);
    row("unknown mode", u"--mode shuffle"_s, six, {}, 2, {},
        u"--mode takes independent, distinct or bag, not 'shuffle'."_s + tryHelp);
    row("more dice than sides without repeats", u"--example coin --dice 3 --mode distinct"_s,
        {{u"RollMode"_s, u"bag"_s}}, {}, 2, {}, u"A roll of 3 dice needs at least 3 different sides."_s);
    row("unknown example", u"--example d6"_s, {}, {}, 2, {},
        u"--example takes coin, six, twenty or rps, not 'd6'."_s + tryHelp);
    row("two sources", u"--sides - --example coin"_s, {}, {}, 2, {},
        u"give --sides or --example, not both."_s + tryHelp);
    row("stored dice not a number", {}, {{u"Dice"_s, u"a"_s}, {u"Text1"_s, u"abc"_s}}, {}, 2, {},
        u"the stored number of dice 'abc' cannot be used: Must be a numeric entry. Give --dice N."_s);
    row("stored rolls below one", {}, {{u"Dice"_s, u"a"_s}, {u"Text2"_s, u"0.5"_s}}, {}, 2, {},
        u"the stored number of rolls '0.5' cannot be used: Sides must be greater than zero. Give --rolls N."_s);

    row("no stored sides", {}, {{u"Dice"_s, u";;"_s}}, {}, 1, {},
        u"no sides are stored; give --sides FILE or --example NAME."_s);
    row("missing file", u"--sides "_s + first + u" --sides "_s + gone, {}, {}, 1, {},
        u'"' + gone + u"\": File not found"_s);
    row("folder", u"--sides "_s + m_folder.path(), {}, {}, 1, {},
        u'"' + m_folder.path() + u"\": Path/File access error"_s);
    row("files without sides", u"--sides "_s + empty + u" --sides -"_s, {}, "\n\r\n", 1, {},
        u"the sides files hold no sides."_s);
    row("output in a missing folder", u"--example coin -o "_s + nowhere, {}, {}, 1, {},
        u'"' + nowhere + u"\": No such file or directory"_s);

    // What comes from outside is shown escaped and cut short, so that it can neither act on the terminal
    // nor bury the message.
    row("control characters in a value", u"--dice \x1B]0;title\x07"_s, six, {}, 2, {},
        u"--dice takes a whole number from 1 to 2147483647, not '\\x1B]0;title\\x07'."_s + tryHelp);
    row("a very long value", u"--mode "_s + QString(500, u'x'), six, {}, 2, {},
        u"--mode takes independent, distinct or bag, not '"_s + QString(60, u'x') + u"…'."_s + tryHelp);
    row("a stored count with a line break", {}, {{u"Dice"_s, u"a"_s}, {u"Text1"_s, u"1\r\n2"_s}}, {}, 2, {},
        u"the stored number of dice '1\\r\\n2' cannot be used: Must be a numeric entry. Give --dice N."_s);
    row("a file name with an escape sequence", u"--sides "_s + m_folder.filePath(u"\x1B[2J"_s), {}, {}, 1, {},
        u'"' + m_folder.filePath(u"\\x1B[2J"_s) + u"\": File not found"_s);
    row("a stored side with a line break", u"--dice 1"_s, {{u"Dice"_s, u"a;b\u2028c"_s}}, {}, 1, {},
        u"side 2 ('b\\u2028c') holds a line break, which would split its rolls' lines."_s);

    // The library's dice: an unweighted die rolls as the same sides do; weighted dice and sets are
    // pinned as the plain rolls are (Loaded weighs a 1, b 3, c 0, d 4).
    row("a library die rolls as its sides", u"--die Six:3 --rolls 5 --seed 1"_s, {}, {}, 0,
        "5 - 4 - 4\n3 - 5 - 1\n1 - 3 - 6\n4 - 6 - 6\n6 - 5 - 4\n", {});
    row("weighted, pinned", u"--die Loaded:2 --rolls 4 --seed 1"_s, {}, {}, 0, "d - d\nd - a\nd - a\nd - a\n", {});
    row("weighted without repeats, pinned", u"--die Loaded:3 --mode distinct --rolls 3 --seed 1"_s, {}, {}, 0,
        "d - a - b\na - d - b\nb - d - a\n", {});
    row("weighted bag, pinned", u"--die Loaded:2 --mode bag --rolls 4 --seed 1"_s, {}, {}, 0,
        "d - b\nd - b\nd - a\nb - d\n", {});
    row("a set, pinned", u"--set game --rolls 3 --seed 1"_s, {}, {}, 0, "5 - 4 - T\n3 - 5 - H\n1 - 3 - T\n", {});
    row("different dice in the order given", u"--die Coin --die Six:2 --die Loaded --rolls 2 --seed 1"_s, {}, {}, 0,
        "T - 4 - 4 - a\nT - 1 - 1 - a\n", {});
    row("a weighted list",
        u"--weighted-sides "_s + m_folder.filePath(u"loaded.tsv"_s) + u" --dice 2 --rolls 3 --seed 4"_s, {}, {}, 0,
        "a - b\nd - b\nd - b\n", {});
    row("library dice carry their counts", u"--die Six --dice 2"_s, {}, {}, 2, {},
        u"--die and --set give their own numbers of dice; leave out --dice."_s + tryHelp);
    row("a die and a set", u"--die Six --set Game"_s, {}, {}, 2, {},
        u"give only one of --sides, --example, --weighted-sides, --die and --set."_s + tryHelp);
    row("no dice of a die", u"--die Six:0"_s, {}, {}, 2, {},
        u"--die takes a name and a count from 1 to 2147483647, not 'Six:0'."_s + tryHelp);
    row("too few sides of weight above 0", u"--die Loaded:4 --mode bag"_s, {}, {}, 2, {},
        u"A roll of 4 dice of \"Loaded\" needs at least 4 different sides of weight above 0."_s);
    row("a die the library lacks", u"--die \x1B[2JNope"_s, {}, {}, 1, {},
        u"The library has no die or set named \"\\u{1B}[2JNope\"."_s);
}

void RollCommandTest::answersEveryCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(Stored, stored);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QString, error);

    const Outcome outcome = roll(arguments, stored, input);
    QCOMPARE(outcome.output, output);
    QCOMPARE(outcome.errors, error.isEmpty() ? QStringList() : QStringList{u"quorvin-tessaly roll: "_s + error});
    QCOMPARE(outcome.exitCode, exitCode);
}

void RollCommandTest::libraryAnswersEveryCommandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("damaged"); // written to broken.die first, when not empty (not always damaged)
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("error");  // after "quorvin-tessaly library: "
    QTest::addColumn<QString>("listed"); // the entries' names afterwards
    const QString all = u"Coin Game Loaded Six"_s;
    const QString tryHelp = u" Try 'quorvin-tessaly library --help'."_s;
    const QString weighted = m_folder.filePath(u"loaded.tsv"_s);
    auto row = [&](const char* name, const QString& arguments, const QByteArray& damaged, int exitCode,
                   const QByteArray& output, const QString& error, const QString& listed) {
        QTest::newRow(name) << arguments.split(u' ', Qt::SkipEmptyParts) << damaged << exitCode << output << error
                            << listed;
    };
    row("list", u"list"_s, {}, 0,
        "Coin\tdie\t2 sides\tunweighted\nGame\tset\t3 dice\t2 \u00d7 Six, 1 \u00d7 Coin\nLoaded\tdie\t4 "
        "sides\tweighted\nSix\tdie\t6 sides\tunweighted\n",
        {}, all);
    row("a damaged file is named and the rest listed", u"list"_s, "Quorvin Tessaly die 1\nname\tX\n1\ta\nx\tb\n", 1,
        "Coin\tdie\t2 sides\tunweighted\nGame\tset\t3 dice\t2 \u00d7 Six, 1 \u00d7 Coin\nLoaded\tdie\t4 "
        "sides\tweighted\nSix\tdie\t6 sides\tunweighted\n",
        u"left out \"%1/broken.die\": line 4: \"x\" is not a weight, a whole number from 0 to 1000000000."_s, all);
    row("a die of one side", u"list"_s, "Quorvin Tessaly die 1\nname\tOne\n1\tonly\n", 0,
        "Coin\tdie\t2 sides\tunweighted\nGame\tset\t3 dice\t2 \u00d7 Six, 1 \u00d7 Coin\nLoaded\tdie\t4 "
        "sides\tweighted\nOne\tdie\t1 side\tunweighted\nSix\tdie\t6 sides\tunweighted\n",
        {}, u"Coin Game Loaded One Six"_s);
    row("import a weighted list under its file's name", u"import "_s + m_folder.filePath(u"prizes.tsv"_s), {}, 0, {},
        {}, u"Coin Game Loaded prizes Six"_s);
    row("import a taken name", u"import "_s + weighted + u" --name LOADED"_s, {}, 1, {},
        u"the library has a die \"Loaded\" already; give --name NAME, or --replace."_s, all);
    row("import over it", u"import "_s + weighted + u" --name LOADED --replace"_s, {}, 0, {}, {},
        u"Coin Game LOADED Six"_s);
    row("export a set", u"export game"_s, {}, 0, "Quorvin Tessaly set 1\nname\tGame\n2\tSix\n1\tCoin\n", {}, all);
    row("export a weighted list", u"export Loaded --format weighted"_s, {}, 0, "a\t1\nb\t3\nc\t0\nd\t4\n", {}, all);
    row("a weighted die is no side list", u"export Loaded --format side-list"_s, {}, 1, {},
        u"Could not write the die \"Loaded\" as a side list: a side list cannot hold the weights of a weighted die: "
        u"export it as a weighted list or a library file."_s,
        all);
    row("no command", {}, {}, 2, {}, u"give list, import FILE or export NAME."_s + tryHelp, all);
    row("an option of another command", u"list --name x"_s, {}, 2, {},
        u"--name and --replace go with import."_s + tryHelp, all);
}

// Each row on a library of its own: Coin, Six, Loaded (weighted) and the set Game.
void RollCommandTest::libraryAnswersEveryCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, damaged);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QString, error);
    QFETCH(QString, listed);
    QTemporaryDir folder;
    library::Library library(folder.path());
    addDice(library);
    if (!damaged.isEmpty())
        fakes::writeFile(library.filePath(u"broken.die"_s), damaged);
    MemorySink standardOutput;
    QStringList errors;
    cli::LibraryEnvironment environment{standardOutput, [&](const QString& line) { errors.append(line); },
                                        folder.path()};
    QCOMPARE(cli::runLibrary(arguments, environment), exitCode);
    QCOMPARE(QString::fromUtf8(standardOutput.written), QString::fromUtf8(output));
    const QString reported = error.contains(u"%1"_s) ? error.arg(folder.path()) : error;
    QCOMPARE(errors, error.isEmpty() ? QStringList() : QStringList{u"quorvin-tessaly library: "_s + reported});
    QStringList names;
    for (const library::Entry& entry : library.list().entries)
        names.append(entry.name);
    QCOMPARE(names.join(u' '), listed);
    if (!damaged.isEmpty())
        QCOMPARE(fakes::readFile(library.filePath(u"broken.die"_s)), damaged);
}

void RollCommandTest::outputFileAppearsOnlyWhole() {
    // given an earlier file
    QVERIFY(QDir(m_folder.path()).mkpath(u"out"_s));
    const QString file = fakes::writeFile(m_folder.filePath(u"out/rolls.txt"_s), "earlier\n");
    const QStringList arguments{u"--example"_s, u"rps"_s,  u"--dice"_s, u"2"_s,
                                u"--rolls"_s,   u"3000"_s, u"--seed"_s, u"5"_s};
    const QByteArray expected = roll(arguments).output;

    // when a run fails, the earlier file stays; when it succeeds, the file holds exactly its lines
    const Outcome failed = roll(arguments + QStringList{u"-o"_s, file, u"--dice"_s, u"x"_s});
    QCOMPARE(failed.exitCode, 2);
    QCOMPARE(fakes::readFile(file), QByteArray("earlier\n"));
    const Outcome done = roll(arguments + QStringList{u"-o"_s, file});
    QCOMPARE(done.exitCode, 0);
    QCOMPARE(done.output, QByteArray());
    QCOMPARE(fakes::readFile(file), expected);
    QCOMPARE(QDir(m_folder.filePath(u"out"_s)).entryList(QDir::Files | QDir::Hidden), QStringList{u"rolls.txt"_s});
}

void RollCommandTest::labelsAreEscapedOnlyForATerminal_data() {
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QString>("extra");
    QTest::addColumn<QByteArray>("expected"); // what the output holds, past the first line for --stats
    // An escape sequence that would clear the screen, and a tab.
    QTest::newRow("terminal") << true << QString() << QByteArray("a\\x1B[2J\\tb\n");
    QTest::newRow("pipe or file") << false << QString() << QByteArray("a\x1B[2J\tb\n");
    QTest::newRow("statistics on a terminal") << true << u"--stats"_s << QByteArray("a\\x1B[2J\\tb\t1\t");
}

void RollCommandTest::labelsAreEscapedOnlyForATerminal() {
    QFETCH(bool, terminal);
    QFETCH(QString, extra);
    QFETCH(QByteArray, expected);
    QStringList arguments{u"--dice"_s, u"1"_s, u"--rolls"_s, u"1"_s};
    if (!extra.isEmpty())
        arguments.append(extra);
    const Outcome outcome = roll(arguments, {{u"Dice"_s, u"a\x1B[2J\tb"_s}}, {}, terminal);
    QCOMPARE(outcome.errors, QStringList());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(extra.isEmpty() ? outcome.output : outcome.output.split('\n').value(1).left(expected.size()), expected);
}

void RollCommandTest::dieIsFairAndDiceIndependent_data() {
    QTest::addColumn<QString>("example");
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("dice");
    QTest::addColumn<int>("rolls");
    QTest::addColumn<QString>("mode");
    QTest::newRow("coin") << u"coin"_s << 2 << 4 << 5000 << u"independent"_s;
    QTest::newRow("rock, paper, scissors") << u"rps"_s << 3 << 3 << 10000 << u"independent"_s;
    QTest::newRow("six") << u"six"_s << 6 << 3 << 20000 << u"independent"_s;
    QTest::newRow("twenty") << u"twenty"_s << 20 << 2 << 40000 << u"independent"_s;
    // Pairs of different sides only, every ordered one alike.
    QTest::newRow("six, no side twice") << u"six"_s << 6 << 3 << 20000 << u"distinct"_s;
}

void RollCommandTest::dieIsFairAndDiceIndependent() {
    QFETCH(QString, example);
    QFETCH(int, sides);
    QFETCH(int, dice);
    QFETCH(int, rolls);
    QFETCH(QString, mode);
    const Outcome outcome = roll({u"--example"_s, example, u"--dice"_s, QString::number(dice), u"--rolls"_s,
                                  QString::number(rolls), u"--seed"_s, u"2024"_s, u"--mode"_s, mode});
    QCOMPARE(outcome.exitCode, 0);
    const QStringList lines = QString::fromUtf8(outcome.output).split(u'\n');
    QCOMPARE(lines.size(), rolls + 1); // the last line ends too
    std::map<QString, qint64> singles;
    std::map<QString, qint64> pairs; // a die with the next one of its roll
    for (const QString& line : lines.first(rolls)) {
        const QStringList drawn = line.split(u" - "_s);
        QCOMPARE(drawn.size(), dice);
        for (qsizetype i = 0; i < drawn.size(); ++i) {
            ++singles[drawn[i]];
            if (i + 1 < drawn.size())
                ++pairs[drawn[i] + u'|' + drawn[i + 1]];
        }
    }
    QCOMPARE(qsizetype(singles.size()), qsizetype(sides));
    const double singlesP = uniformityPValue(singles, sides);
    const qint64 pairCells = qint64{sides} * (mode == u"distinct" ? sides - 1 : sides);
    QCOMPARE_LE(qint64(pairs.size()), pairCells);
    const double pairsP = uniformityPValue(pairs, pairCells);
    QVERIFY2(singlesP > 0.001 && pairsP > 0.001,
             qPrintable(u"p = %1 for sides, %2 for pairs"_s.arg(singlesP).arg(pairsP)));
}

void RollCommandTest::generatorGivesItsPublishedOutputs() {
    // xoshiro256**'s reference outputs, seeded with 0 through SplitMix64 and from the state 0, 0, 0, 1.
    cli::SeededGenerator seeded(0);
    QCOMPARE(seeded.next(), 0x99ec5f36cb75f2b4ULL);
    QCOMPARE(seeded.next(), 0xbf6e1f784956452aULL);
    cli::SeededGenerator fromState = cli::SeededGenerator::fromState({0, 0, 0, 1});
    for (int i = 0; i < 9; ++i)
        fromState.next();
    QCOMPARE(fromState.next(), 0x11b10070bdeb59bcULL);
}

void RollCommandTest::statsCountTheLinesOfTheSameRoll_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<int>("tablesByDie"); // sides tables of one die each, after the one of all dice
    auto row = [](const char* name, const QString& arguments, const QString& modeName, bool numeric,
                  int tablesByDie = 0) {
        QTest::newRow(name) << arguments.split(u' ') << modeName << numeric << tablesByDie;
    };
    row("six, three dice", u"--example six --dice 3 --rolls 3000 --seed 7"_s, u"Every Die Independent"_s, true);
    row("rock, paper, scissors: no totals", u"--example rps --dice 2 --rolls 500 --seed 7"_s,
        u"Every Die Independent"_s, false);
    row("twenty, no side twice", u"--example twenty --dice 4 --rolls 900 --seed 8 --mode distinct"_s,
        u"No Side Twice In A Roll"_s, true);
    // A roll larger than one block of draws is counted across blocks.
    row("rolls of 5000 dice", u"--example six --dice 5000 --rolls 3 --seed 4"_s, u"Every Die Independent"_s, true);
    row("a set, each die apart", u"--set Game --rolls 700 --seed 5 --mode distinct"_s, u"No Side Twice In A Roll"_s,
        false, 3);
    row("a weighted list",
        u"--weighted-sides "_s + m_folder.filePath(u"d3.tsv"_s) + u" --dice 3 --rolls 800 --seed 2"_s,
        u"Every Die Independent"_s, true);
}

void RollCommandTest::statsCountTheLinesOfTheSameRoll() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, modeName);
    QFETCH(bool, numeric);
    QFETCH(int, tablesByDie);
    const qint64 rolls = arguments[arguments.indexOf(u"--rolls"_s) + 1].toLongLong();
    const qint64 dice = tablesByDie > 0 ? tablesByDie : arguments[arguments.indexOf(u"--dice"_s) + 1].toLongLong();

    // given the sides (of all dice, and of each die), and totals counted from the lines of the same seeded roll
    const Outcome lines = roll(arguments);
    QCOMPARE(lines.exitCode, 0);
    std::map<QString, qint64> sides;
    std::vector<std::map<QString, qint64>> sidesByDie(static_cast<std::size_t>(tablesByDie));
    std::map<QString, qint64> totals;
    for (const QString& line : QString::fromUtf8(lines.output).split(u'\n', Qt::SkipEmptyParts)) {
        qint64 total = 0;
        const QStringList shown = line.split(u" - "_s);
        for (qsizetype die = 0; die < shown.size(); ++die) {
            ++sides[shown[die]];
            if (die < tablesByDie)
                ++sidesByDie[static_cast<std::size_t>(die)][shown[die]];
            total += shown[die].toLongLong();
        }
        ++totals[QString::number(total)];
    }

    // when its statistics are printed, to standard output and to a file alike
    const Outcome printed = roll(arguments + QStringList{u"--stats"_s});
    QCOMPARE(printed.exitCode, 0);
    QCOMPARE(printed.errors, QStringList());
    const QString file = m_folder.filePath(u"statistics.tsv"_s);
    QCOMPARE(roll(arguments + QStringList{u"--stats"_s, u"-o"_s, file}).exitCode, 0);
    QCOMPARE(fakes::readFile(file), printed.output);

    // then each block is a table and its fairness lines: the counts are those of the lines
    const QStringList blocks = QString::fromUtf8(printed.output).split(u"\n\n"_s);
    QCOMPARE(blocks.size(), (numeric ? 4 : 2) + 2 * tablesByDie);
    for (qsizetype at = 0; at < blocks.size(); at += 2) {
        const qsizetype die = at / 2; // 0 for all dice
        const bool ofTotals = at == blocks.size() - 2 && numeric;
        QStringList rows = blocks[at].split(u'\n');
        const QString first = ofTotals ? u"Total"_s : u"Side"_s;
        QCOMPARE(rows.takeFirst(), first + u"\tCount\tShare\tExpected\tDeviation"_s);
        if (!ofTotals)
            QCOMPARE(rows.takeLast().section(u'\t', 0, 1), u"Total\t"_s + QString::number(rolls * (die ? 1 : dice)));
        std::map<QString, qint64> shown;
        for (const QString& row : rows) {
            if (row.section(u'\t', 1, 1) != u"0")
                shown[row.section(u'\t', 0, 0).section(u" ("_s, 0, 0)] = row.section(u'\t', 1, 1).toLongLong();
        }
        QCOMPARE(shown, ofTotals ? totals : die ? sidesByDie[static_cast<std::size_t>(die - 1)] : sides);
        // and a fair roll's tests pass: each die is held to its own law and weights
        const QString pValue = blocks[at + 1].section(u"p-value\t"_s, 1).section(u'\n', 0, 0);
        QVERIFY2(pValue == u"not applicable" || pValue.toDouble() > 0.001, qPrintable(blocks[at + 1]));
        const QRegularExpression fairness(u"^Rolls\t%1\nDice per roll\t%2\nRoll mode\t%3\nChi-square\t.+\n"
                                          u"Degrees of freedom\t.+\np-value\t.+\n"_s.arg(rolls)
                                              .arg(dice)
                                              .arg(modeName));
        QVERIFY2(fairness.match(blocks[at + 1]).hasMatch(), qPrintable(blocks[at + 1]));
    }
}

QTEST_GUILESS_MAIN(RollCommandTest)
#include "tst_roll_command.moc"
