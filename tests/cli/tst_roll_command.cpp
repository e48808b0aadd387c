#include "cli/ByteSink.h"
#include "cli/RollCommand.h"
#include "cli/SeededGenerator.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"

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

class MemorySink final : public cli::ByteSink {
public:
    bool write(std::span<const char> bytes) override {
        written.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
        return true;
    }
    bool isTerminal() const override { return terminal; }
    QByteArray written;
    bool terminal = false;
};

struct Outcome {
    int exitCode = -1;
    QByteArray output;
    QStringList errors;
};

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

void RollCommandTest::initTestCase() {
    QVERIFY(m_folder.isValid());
    fakes::writeFile(m_folder.filePath(u"first.txt"_s), "a\r\n\r\nb\n");
    fakes::writeFile(m_folder.filePath(u"second.txt"_s), "b\rc");
    fakes::writeFile(m_folder.filePath(u"empty.txt"_s), "");
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
    auto row = [](const char* name, const QString& arguments, const QString& modeName, bool numeric) {
        QTest::newRow(name) << arguments.split(u' ') << modeName << numeric;
    };
    row("six, three dice", u"--example six --dice 3 --rolls 3000 --seed 7"_s, u"Every Die Independent"_s, true);
    row("rock, paper, scissors: no totals", u"--example rps --dice 2 --rolls 500 --seed 7"_s,
        u"Every Die Independent"_s, false);
    row("twenty, no side twice", u"--example twenty --dice 4 --rolls 900 --seed 8 --mode distinct"_s,
        u"No Side Twice In A Roll"_s, true);
    // A roll larger than one block of draws is counted across blocks.
    row("rolls of 5000 dice", u"--example six --dice 5000 --rolls 3 --seed 4"_s, u"Every Die Independent"_s, true);
}

void RollCommandTest::statsCountTheLinesOfTheSameRoll() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, modeName);
    QFETCH(bool, numeric);
    const qint64 rolls = arguments[arguments.indexOf(u"--rolls"_s) + 1].toLongLong();
    const qint64 dice = arguments[arguments.indexOf(u"--dice"_s) + 1].toLongLong();

    // given the sides and totals counted from the lines of the same seeded roll
    const Outcome lines = roll(arguments);
    QCOMPARE(lines.exitCode, 0);
    std::map<QString, qint64> sides;
    std::map<QString, qint64> totals;
    for (const QString& line : QString::fromUtf8(lines.output).split(u'\n', Qt::SkipEmptyParts)) {
        qint64 total = 0;
        for (const QString& side : line.split(u" - "_s)) {
            ++sides[side];
            total += side.toLongLong();
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
    QCOMPARE(blocks.size(), numeric ? 4 : 2);
    for (qsizetype at = 0; at < blocks.size(); at += 2) {
        QStringList rows = blocks[at].split(u'\n');
        const QString first = at == 0 ? u"Side"_s : u"Total"_s;
        QCOMPARE(rows.takeFirst(), first + u"\tCount\tShare\tExpected\tDeviation"_s);
        if (at == 0)
            QCOMPARE(rows.takeLast().section(u'\t', 0, 1), u"Total\t"_s + QString::number(rolls * dice));
        std::map<QString, qint64> shown;
        for (const QString& row : rows) {
            if (row.section(u'\t', 1, 1) != u"0")
                shown[row.section(u'\t', 0, 0)] = row.section(u'\t', 1, 1).toLongLong();
        }
        QCOMPARE(shown, at == 0 ? sides : totals);
        const QRegularExpression fairness(u"^Rolls\t%1\nDice per roll\t%2\nRoll mode\t%3\nChi-square\t.+\n"
                                          u"Degrees of freedom\t.+\np-value\t.+\n"_s.arg(rolls)
                                              .arg(dice)
                                              .arg(modeName));
        QVERIFY2(fairness.match(blocks[at + 1]).hasMatch(), qPrintable(blocks[at + 1]));
    }
}

QTEST_GUILESS_MAIN(RollCommandTest)
#include "tst_roll_command.moc"
