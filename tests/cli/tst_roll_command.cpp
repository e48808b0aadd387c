#include "cli/ByteSink.h"
#include "cli/RollCommand.h"
#include "cli/RollOptions.h"
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
    QByteArray written;
};

struct Outcome {
    int exitCode = -1;
    QByteArray output;
    QStringList errors;
};

Outcome roll(const QStringList& arguments, const Stored& stored = {}, const QByteArray& input = {}) {
    fakes::FakeSettingsStore settings;
    settings.values = stored;
    QBuffer standardInput;
    standardInput.setData(input);
    standardInput.open(QIODevice::ReadOnly);
    MemorySink standardOutput;
    Outcome outcome;
    cli::RollEnvironment environment{settings, standardInput, standardOutput,
                                     [&](const QString& line) { outcome.errors.append(line); },
                                     [] { return std::uint64_t{42}; }};
    outcome.exitCode = cli::runRoll(arguments, environment);
    outcome.output = standardOutput.written;
    return outcome;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QString exactly(const QString& message) {
    return u'^' + QRegularExpression::escape(message) + u'$';
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
    void dieIsFairAndDiceIndependent_data();
    void dieIsFairAndDiceIndependent();
    void generatorGivesItsPublishedOutputs_data();
    void generatorGivesItsPublishedOutputs();

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
    QTest::addColumn<QString>("errorPattern"); // empty: nothing on standard error

    const auto path = [this](const char16_t* name) { return m_folder.filePath(QString::fromUtf16(name)); };
    const QString tryHelp = u" Try 'quorvin-tessaly roll --help'."_s;
    const auto usage = [&](const QString& problem) { return exactly(u"quorvin-tessaly roll: "_s + problem + tryHelp); };
    const auto failure = [](const QString& problem) { return exactly(u"quorvin-tessaly roll: "_s + problem); };
    const Stored storedSix{{u"Dice"_s, u"1;2;3;4;5;6"_s}};

    // The lines of a seeded roll never change: a different generator or pick fails here first.
    QTest::newRow("seeded roll, pinned") << QStringList{u"--example"_s, u"six"_s, u"--dice"_s, u"3"_s,
                                                        u"--rolls"_s,   u"5"_s,   u"--seed"_s, u"1"_s}
                                         << Stored() << QByteArray() << 0
                                         << QByteArray("5 - 4 - 4\n3 - 5 - 1\n1 - 3 - 6\n4 - 6 - 6\n6 - 5 - 4\n")
                                         << QString();
    // Stored as the window stores them: counts converted with rounding, sides with repeats kept.
    QTest::newRow("stored sides and counts")
        << QStringList{u"--seed"_s, u"9"_s}
        << Stored{{u"Dice"_s, u"x;;x;y;"_s}, {u"Text1"_s, u"2.5"_s}, {u"Text2"_s, u" 3 "_s}} << QByteArray() << 0
        << QByteArray("x - x\nx - y\ny - y\n") << QString();
    QTest::newRow("options override stored counts")
        << QStringList{u"--dice"_s, u"1"_s, u"--rolls"_s, u"2"_s, u"--seed"_s, u"1"_s}
        << Stored{{u"Dice"_s, u"1;2;3;4;5;6"_s}, {u"Text1"_s, u"abc"_s}, {u"Text2"_s, u"0"_s}} << QByteArray() << 0
        << QByteArray("5\n4\n") << QString();
    QTest::newRow("standard input, repeats and empty lines skipped")
        << QStringList{u"--sides"_s, u"-"_s, u"--dice"_s, u"1"_s, u"--rolls"_s, u"6"_s, u"--seed"_s, u"3"_s} << Stored()
        << QByteArray("b\r\na\n\nb\rc") << 0 << QByteArray("c\na\nb\na\na\na\n") << QString();
    // The same three sides as above, in the same order, from two files.
    QTest::newRow("files in order, repeats across files skipped")
        << QStringList{u"--sides"_s, path(u"first.txt"), u"--sides"_s, path(u"second.txt"), u"--dice"_s,
                       u"1"_s,       u"--rolls"_s,       u"6"_s,       u"--seed"_s,         u"3"_s}
        << Stored() << QByteArray() << 0 << QByteArray("c\nb\na\nb\nb\nb\n") << QString();
    QTest::newRow("help") << QStringList{u"--help"_s} << Stored() << QByteArray() << 0 << cli::rollHelpText().toUtf8()
                          << QString();

    QTest::newRow("unknown option") << QStringList{u"--bogus"_s} << storedSix << QByteArray() << 2 << QByteArray()
                                    << usage(u"Unknown option 'bogus'."_s);
    QTest::newRow("missing value") << QStringList{u"--rolls"_s} << storedSix << QByteArray() << 2 << QByteArray()
                                   << usage(u"Missing value after '--rolls'."_s);
    QTest::newRow("stray argument") << QStringList{u"6"_s} << storedSix << QByteArray() << 2 << QByteArray()
                                    << usage(u"unexpected argument '6'."_s);
    QTest::newRow("no dice") << QStringList{u"--dice"_s, u"0"_s} << storedSix << QByteArray() << 2 << QByteArray()
                             << usage(u"--dice takes a whole number from 1 to 2147483647, not '0'."_s);
    QTest::newRow("too many dice") << QStringList{u"--dice"_s, u"2147483648"_s} << storedSix << QByteArray() << 2
                                   << QByteArray()
                                   << usage(u"--dice takes a whole number from 1 to 2147483647, not '2147483648'."_s);
    QTest::newRow("fractional rolls")
        << QStringList{u"--rolls"_s, u"1.5"_s} << storedSix << QByteArray() << 2 << QByteArray()
        << usage(u"--rolls takes a whole number from 1 to 9223372036854775807, not '1.5'."_s);
    QTest::newRow("negative rolls") << QStringList{u"--rolls"_s, u"-3"_s} << storedSix << QByteArray() << 2
                                    << QByteArray()
                                    << usage(
                                           u"--rolls takes a whole number from 1 to 9223372036854775807, not '-3'."_s);
    QTest::newRow("seed beyond 64 bits")
        << QStringList{u"--seed"_s, u"18446744073709551616"_s} << storedSix << QByteArray() << 2 << QByteArray()
        << usage(u"--seed takes a whole number from 0 to 18446744073709551615, not '18446744073709551616'."_s);
    QTest::newRow("unknown example") << QStringList{u"--example"_s, u"d6"_s} << Stored() << QByteArray() << 2
                                     << QByteArray() << usage(u"--example takes coin, six, twenty or rps, not 'd6'."_s);
    QTest::newRow("two sources") << QStringList{u"--sides"_s, u"-"_s, u"--example"_s, u"coin"_s} << Stored()
                                 << QByteArray() << 2 << QByteArray()
                                 << usage(u"give --sides or --example, not both."_s);
    QTest::newRow("stored dice not a number")
        << QStringList() << Stored{{u"Dice"_s, u"a;b"_s}, {u"Text1"_s, u"abc"_s}} << QByteArray() << 2 << QByteArray()
        << failure(u"the stored number of dice 'abc' cannot be used: Must be a numeric entry. Give --dice N."_s);
    QTest::newRow("stored rolls below one")
        << QStringList() << Stored{{u"Dice"_s, u"a;b"_s}, {u"Text2"_s, u"0.5"_s}} << QByteArray() << 2 << QByteArray()
        << failure(
               u"the stored number of rolls '0.5' cannot be used: Sides must be greater than zero. Give --rolls N."_s);
    QTest::newRow("stored dice too many")
        << QStringList() << Stored{{u"Dice"_s, u"a;b"_s}, {u"Text1"_s, u"1e12"_s}} << QByteArray() << 2 << QByteArray()
        << failure(u"the stored number of dice '1e12' cannot be used: Must be a whole number no greater than "
                   u"2147483647. Give --dice N."_s);

    QTest::newRow("no stored sides") << QStringList() << Stored{{u"Dice"_s, u";;"_s}} << QByteArray() << 1
                                     << QByteArray()
                                     << failure(u"no sides are stored; give --sides FILE or --example NAME."_s);
    QTest::newRow("missing file") << QStringList{u"--sides"_s, path(u"first.txt"), u"--sides"_s, path(u"gone.txt")}
                                  << Stored() << QByteArray() << 1 << QByteArray()
                                  << failure(path(u"gone.txt") + u": File not found"_s);
    QTest::newRow("folder") << QStringList{u"--sides"_s, m_folder.path()} << Stored() << QByteArray() << 1
                            << QByteArray() << failure(m_folder.path() + u": Path/File access error"_s);
    QTest::newRow("files without sides") << QStringList{u"--sides"_s, path(u"empty.txt"), u"--sides"_s, u"-"_s}
                                         << Stored() << QByteArray("\n\r\n") << 1 << QByteArray()
                                         << failure(u"the sides files hold no sides."_s);
    QTest::newRow("output in a missing folder")
        << QStringList{u"--example"_s, u"coin"_s, u"-o"_s, path(u"no/such/folder/rolls.txt")} << Stored()
        << QByteArray() << 1 << QByteArray()
        << u'^' +
               QRegularExpression::escape(u"quorvin-tessaly roll: "_s + path(u"no/such/folder/rolls.txt") + u": "_s) +
               u".+$"_s;
}

void RollCommandTest::answersEveryCommandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(Stored, stored);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QString, errorPattern);

    const Outcome outcome = roll(arguments, stored, input);
    QCOMPARE(outcome.output, output);
    if (errorPattern.isEmpty()) {
        QCOMPARE(outcome.errors, QStringList());
    } else {
        QCOMPARE(outcome.errors.size(), 1);
        QVERIFY2(QRegularExpression(errorPattern).match(outcome.errors.first()).hasMatch(),
                 qPrintable(outcome.errors.first()));
    }
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
    QCOMPARE(contents(file), QByteArray("earlier\n"));
    const Outcome done = roll(arguments + QStringList{u"-o"_s, file});
    QCOMPARE(done.exitCode, 0);
    QCOMPARE(done.output, QByteArray());
    QCOMPARE(contents(file), expected);
    QCOMPARE(QDir(m_folder.filePath(u"out"_s)).entryList(QDir::Files | QDir::Hidden), QStringList{u"rolls.txt"_s});
}

void RollCommandTest::dieIsFairAndDiceIndependent_data() {
    QTest::addColumn<int>("sides");
    QTest::addColumn<int>("dice");
    QTest::addColumn<int>("rolls");
    QTest::addColumn<quint64>("seed");
    QTest::newRow("coin") << 2 << 4 << 5000 << quint64{11};
    QTest::newRow("six") << 6 << 3 << 20000 << quint64{12};
    QTest::newRow("seven") << 7 << 2 << 20000 << quint64{13};
    QTest::newRow("twenty") << 20 << 2 << 40000 << quint64{14};
}

void RollCommandTest::dieIsFairAndDiceIndependent() {
    QFETCH(int, sides);
    QFETCH(int, dice);
    QFETCH(int, rolls);
    QFETCH(quint64, seed);
    QByteArray labels;
    for (int side = 1; side <= sides; ++side)
        labels += "side " + QByteArray::number(side) + '\n';

    const Outcome outcome = roll({u"--sides"_s, u"-"_s, u"--dice"_s, QString::number(dice), u"--rolls"_s,
                                  QString::number(rolls), u"--seed"_s, QString::number(seed)},
                                 {}, labels);
    QCOMPARE(outcome.exitCode, 0);
    QVERIFY(outcome.output.endsWith('\n'));
    const QStringList lines = QString::fromUtf8(outcome.output.chopped(1)).split(u'\n');
    QCOMPARE(lines.size(), rolls);
    std::map<QString, qint64> singles;
    std::map<QString, qint64> pairs; // a die with the next one of its roll
    for (const QString& line : lines) {
        const QStringList drawn = line.split(u" - "_s);
        QCOMPARE(drawn.size(), dice);
        for (qsizetype i = 0; i < drawn.size(); ++i) {
            ++singles[drawn[i]];
            if (i + 1 < drawn.size())
                ++pairs[drawn[i] + u'|' + drawn[i + 1]];
        }
    }
    QCOMPARE(qsizetype(singles.size()), qsizetype(sides)); // no label but the sides
    const double singlesP = uniformityPValue(singles, sides);
    const double pairsP = uniformityPValue(pairs, qint64{sides} * sides);
    QVERIFY2(singlesP > 0.001, qPrintable(u"sides: p = "_s + QString::number(singlesP)));
    QVERIFY2(pairsP > 0.001, qPrintable(u"pairs: p = "_s + QString::number(pairsP)));
}

void RollCommandTest::generatorGivesItsPublishedOutputs_data() {
    QTest::addColumn<QList<quint64>>("state"); // empty: seeded
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<QList<quint64>>("outputs");
    // The reference outputs of xoshiro256** as its authors' code gives them.
    QTest::newRow("seed 0 through SplitMix64")
        << QList<quint64>() << quint64{0} << 0
        << QList<quint64>{0x99ec5f36cb75f2b4ULL, 0xbf6e1f784956452aULL, 0x1a5f849d4933e6e0ULL};
    QTest::newRow("state 0, 0, 0, 1") << QList<quint64>{0, 0, 0, 1} << quint64{0} << 6
                                      << QList<quint64>{0x68b45a5a2d0b57a0ULL, 0x68b48716ad000120ULL,
                                                        0x1cb48716b2a00288ULL, 0x11b10070bdeb59bcULL};
}

void RollCommandTest::generatorGivesItsPublishedOutputs() {
    QFETCH(QList<quint64>, state);
    QFETCH(quint64, seed);
    QFETCH(int, skipped);
    QFETCH(QList<quint64>, outputs);
    cli::SeededGenerator generator = state.isEmpty()
                                         ? cli::SeededGenerator(seed)
                                         : cli::SeededGenerator::fromState({state[0], state[1], state[2], state[3]});
    for (int i = 0; i < skipped; ++i)
        generator.next();
    for (const quint64 output : outputs)
        QCOMPARE(generator.next(), output);
}

QTEST_GUILESS_MAIN(RollCommandTest)
#include "tst_roll_command.moc"
