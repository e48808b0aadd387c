#include "cli/HistoryCommand.h"
#include "cli/RollCommand.h"
#include "fakes/Fakes.h"
#include "fakes/MemorySink.h"
#include "fakes/TestSupport.h"
#include "history/HistorySettings.h"
#include "library/Library.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using fakes::MemorySink;
using Outcome = fakes::CommandOutcome;

Outcome historyCommand(const QStringList& arguments, bool terminal = false, bool outputClosed = false,
                       const QString& database = history::defaultDatabasePath()) {
    MemorySink standardOutput;
    standardOutput.terminal = terminal;
    Outcome outcome;
    cli::HistoryEnvironment environment{database, standardOutput,
                                        [&](const QString& line) { outcome.errors.append(line); }, outputClosed};
    outcome.exitCode = cli::runHistory(arguments, environment);
    outcome.output = standardOutput.written;
    return outcome;
}

Outcome runRoll(const QStringList& arguments, bool terminal = false) {
    fakes::FakeSettingsStore settings;
    QBuffer standardInput;
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

} // namespace

class HistoryCommandTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void keptRollReadsBackAsItWasWritten_data();
    void keptRollReadsBackAsItWasWritten();
    void refusesWhatItCannotDo_data();
    void refusesWhatItCannotDo();

private:
    QTemporaryDir m_folder;
};

void HistoryCommandTest::initTestCase() {
    QVERIFY(m_folder.isValid());
    qputenv("XDG_DATA_HOME", m_folder.path().toLocal8Bit());
    fakes::writeFile(m_folder.filePath(u"loaded.tsv"_s), "a\x1B[2J\tb\t3\nc\t1\nd\t0\n");
    dice::Die six{u"Six"_s, {}, {}};
    for (int side = 1; side <= 6; ++side)
        six.append(QString::number(side));
    dice::Die coin{u"Coin"_s, {}, {}};
    coin.append(u"H"_s, 2);
    coin.append(u"T"_s);
    library::Library library;
    library.save(six);
    library.save(coin);
    library.save(dice::DiceSet{u"Game"_s, {{u"Six"_s, 2}, {u"Coin"_s, 1}}});
}

void HistoryCommandTest::keptRollReadsBackAsItWasWritten_data() {
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("listed"); // mode, dice, rolls as list prints them; empty: nothing kept
    QTest::addColumn<bool>("terminal");  // roll and show write to a terminal
    const QString loaded = u" --weighted-sides "_s + m_folder.filePath(u"loaded.tsv"_s);
    QTest::newRow("independent") << u"--example six --dice 3 --rolls 200 --seed 7 --history"_s
                                 << u"independent\t3\t200"_s << false;
    QTest::newRow("bag, fresh seed") << u"--example twenty --dice 20 --rolls 3 --mode bag --history"_s
                                     << u"bag\t20\t3"_s << false;
    QTest::newRow("distinct, statistics")
        << u"--example rps --dice 2 --rolls 9 --mode distinct --stats --history"_s << u"distinct\t2\t9"_s << false;
    QTest::newRow("without --history") << u"--example coin --rolls 5"_s << QString() << false;
    QTest::newRow("a set, bag") << u"--set game --rolls 40 --seed 3 --mode bag --history"_s << u"bag\t3\t40"_s << false;
    QTest::newRow("weighted sides with control characters, to a pipe")
        << u"--dice 2 --rolls 25 --mode distinct --history"_s + loaded << u"distinct\t2\t25"_s << false;
    QTest::newRow("weighted sides with control characters, on a terminal")
        << u"--rolls 25 --history"_s + loaded << u"independent\t1\t25"_s << true;
}

void HistoryCommandTest::keptRollReadsBackAsItWasWritten() {
    QFETCH(QString, arguments);
    QFETCH(QString, listed);
    QFETCH(bool, terminal);
    const QByteArray before = historyCommand({u"list"_s}).output;
    const Outcome rolled = runRoll(arguments.split(u' '), terminal);
    QCOMPARE(rolled.exitCode, 0);
    QCOMPARE(rolled.errors, QStringList());
    const Outcome list = historyCommand({u"list"_s});
    QCOMPARE(list.exitCode, 0);
    if (listed.isEmpty()) {
        QCOMPARE(list.output, before);
        return;
    }
    QCOMPARE(list.output.count('\n'), before.count('\n') + 1);
    const QStringList newest = QString::fromUtf8(list.output.left(list.output.indexOf('\n'))).split(u'\t');
    QCOMPARE(newest.size(), 6);
    QVERIFY2(QDateTime::fromString(newest.at(1), Qt::ISODateWithMs).isValid(), qPrintable(newest.at(1)));
    QCOMPARE(newest.mid(2, 3).join(u'\t'), listed);

    const Outcome shown = historyCommand({u"show"_s, newest.at(0)}, terminal);
    QCOMPARE(shown.exitCode, 0);
    // On a terminal both show the labels escaped, so the lines are no longer the copied ones.
    QCOMPARE(shown.output.contains('\x1B'), arguments.contains(u"loaded"_s) && !terminal);
    if (!arguments.contains(u"--stats"_s)) {
        QCOMPARE(shown.output, rolled.output);
        // The fingerprint is sha256sum of the same lines as the clipboard copy writes them.
        if (!terminal)
            QCOMPARE(newest.at(5).toLatin1(), QCryptographicHash::hash(QByteArray(rolled.output).replace("\n", "\r\n"),
                                                                       QCryptographicHash::Sha256)
                                                  .toHex());
    }
    QCOMPARE(shown.output.count('\n'), newest.at(4).toInt());

    const QString exported = m_folder.filePath(u"exported.txt"_s);
    QCOMPARE(historyCommand({u"export"_s, newest.at(0), u"-o"_s, exported}).exitCode, 0);
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.trimmed().endsWith(newest.at(5).toLatin1()));
    if (!terminal) // "-" is standard output
        QCOMPARE(historyCommand({u"export"_s, newest.at(0), u"-o"_s, u"-"_s}).output, bytes);
}

void HistoryCommandTest::refusesWhatItCannotDo_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error"); // after "quorvin-tessaly history: "

    const QString tryHelp = u" Try 'quorvin-tessaly history --help'."_s;
    QTest::newRow("no command") << QStringList() << cli::kExitUsage
                                << u"say list, show ID or export ID -o FILE."_s + tryHelp;
    QTest::newRow("unknown command") << QStringList{u"drop"_s} << cli::kExitUsage
                                     << u"'drop' is not a history command."_s + tryHelp;
    QTest::newRow("id not a number") << QStringList{u"show"_s, u"first"_s} << cli::kExitUsage
                                     << u"'first' is not an id; history list shows them."_s + tryHelp;
    QTest::newRow("show without id") << QStringList{u"show"_s} << cli::kExitUsage << u"show takes one id."_s + tryHelp;
    QTest::newRow("export without file") << QStringList{u"export"_s, u"1"_s} << cli::kExitUsage
                                         << u"export needs -o FILE."_s + tryHelp;
    QTest::newRow("no such roll") << QStringList{u"show"_s, u"999999"_s} << cli::kExitFailure
                                  << u"there is no roll 999999 in the history."_s;
    const QString unwritable = m_folder.filePath(u"missing/folder/roll.txt"_s);
    QTest::newRow("unwritable export") << QStringList{u"export"_s, u"1"_s, u"-o"_s, unwritable} << cli::kExitFailure
                                       << u"Could not save \""_s + unwritable + u"\": "_s;
    // These two rows are run as their names say.
    QTest::newRow("closed standard output")
        << QStringList{u"list"_s} << cli::kExitFailure << u"standard output is closed; "_s;
    QTest::newRow("history that is a folder") << QStringList{u"list"_s} << cli::kExitFailure
                                              << u"Could not use the roll history \""_s + m_folder.path() + u'"';
    QTest::newRow("negative id") << QStringList{u"show"_s, u"-1"_s} << cli::kExitUsage
                                 << u"Unknown option '1'."_s + tryHelp;
}

void HistoryCommandTest::refusesWhatItCannotDo() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QCOMPARE(runRoll({u"--example"_s, u"coin"_s, u"--history"_s}).exitCode, 0); // roll 1 exists
    const QByteArray row = QTest::currentDataTag();
    const Outcome outcome = historyCommand(arguments, false, row == "closed standard output",
                                           row.endsWith("a folder") ? m_folder.path() : history::defaultDatabasePath());
    QCOMPARE(outcome.exitCode, exitCode);
    QCOMPARE(outcome.output, QByteArray());
    QCOMPARE(outcome.errors.size(), 1);
    QVERIFY2(outcome.errors.first().startsWith(u"quorvin-tessaly history: "_s + error),
             qPrintable(outcome.errors.first()));
}

QTEST_GUILESS_MAIN(HistoryCommandTest)
#include "tst_history_command.moc"
