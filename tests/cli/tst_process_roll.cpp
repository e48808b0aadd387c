// Starts the real program's roll command the ways a shell would.

#include "fakes/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A terminal session without any display: the command must not need one, nor load a GUI platform at all
// (a platform that does not exist would end it).
QProcessEnvironment withoutDisplay(const QString& configFolder) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"no-such-platform"_s);
    environment.insert(u"XDG_CONFIG_HOME"_s, configFolder);
    return environment;
}

// Runs a bash script in a fresh folder of its own, with $Q the program, XDG_CONFIG_HOME the folder
// "config" in it and no display; gives all that it printed, with the folder's path shown as ".".
QByteArray shellSays(const QString& script) {
    QTemporaryDir folder;
    QProcess shell;
    QProcessEnvironment environment = withoutDisplay(folder.filePath(u"config"_s));
    environment.insert(u"Q"_s, QStringLiteral(TESSALY_EXECUTABLE));
    shell.setProcessEnvironment(environment);
    shell.setWorkingDirectory(folder.path());
    shell.setProcessChannelMode(QProcess::MergedChannels);
    // Permissions that root's capabilities would override apply to what `drop` runs.
    shell.start(u"bash"_s, {u"-c"_s, u"drop() { if [ \"$(id -u)\" = 0 ]; then "
                                     u"setpriv --bounding-set=-dac_override,-dac_read_search \"$@\"; "
                                     u"else \"$@\"; fi; }; "_s +
                                         script});
    if (!shell.waitForFinished(120000))
        return "(still running)";
    return shell.readAll().replace(QFile::encodeName(folder.path()), ".");
}

long childrenPeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

} // namespace

class ProcessRollTest : public QObject {
    Q_OBJECT
private slots:
    // First: it reads the peak of every child reaped so far.
    void memoryDoesNotGrowWithRolls();
    void rollsInATerminal_data();
    void rollsInATerminal();
    void closedPipeEndsQuietly();
    void outputGoesToWhatIsThere_data();
    void outputGoesToWhatIsThere();
    void brokenSurroundingsAreRefusedPlainly_data();
    void brokenSurroundingsAreRefusedPlainly();

private:
    QTemporaryDir m_config;
};

void ProcessRollTest::rollsInATerminal_data() {
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("outputFile"); // empty: read back through a pipe
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("error");
    QTest::newRow("stored sides and counts")
        << u"roll --seed 9"_s << QByteArray() << QString() << 0 << QByteArray("x - x\nx - y\ny - y\n") << QByteArray();
    QTest::newRow("sides from a pipe") << u"roll --sides - --rolls 6 --dice 1 --seed 3"_s
                                       << QByteArray("b\r\na\n\nb\rc") << QString() << 0
                                       << QByteArray("c\na\nb\na\na\na\n") << QByteArray();
    QTest::newRow("full disk") << u"roll --example coin"_s << QByteArray() << u"/dev/full"_s << 1 << QByteArray()
                               << QByteArray("quorvin-tessaly roll: standard output: No space left on device\n");
}

void ProcessRollTest::rollsInATerminal() {
    QFETCH(QString, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QString, outputFile);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, error);
    QVERIFY(m_config.isValid());
    {
        // Stored as the window stores them, with a repeated side and counts that need rounding.
        QSettings stored(fakes::settingsFileIn(m_config.path()), QSettings::IniFormat);
        stored.setValue(u"Dice"_s, u"x;;x;y;"_s);
        stored.setValue(u"Text1"_s, u"2.5"_s);
        stored.setValue(u"Text2"_s, u" 3 "_s);
    }

    QProcess program;
    program.setProcessEnvironment(withoutDisplay(m_config.path()));
    if (!outputFile.isEmpty())
        program.setStandardOutputFile(outputFile);
    program.start(QStringLiteral(TESSALY_EXECUTABLE), arguments.split(u' '));
    QVERIFY(program.waitForStarted(10000));
    program.write(input);
    program.closeWriteChannel();
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.readAllStandardError(), error);
    QCOMPARE(program.readAllStandardOutput(), output);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
}

void ProcessRollTest::closedPipeEndsQuietly() {
    // A hundred million rolls, of which the reader takes three.
    QProcess shell;
    shell.setProcessEnvironment(withoutDisplay(m_config.path()));
    shell.start(u"bash"_s, {u"-c"_s,
                            u"set -o pipefail; \"$0\" roll --example six --dice 3 --rolls 100000000 "
                            u"--seed 1 | head -n 3"_s,
                            QStringLiteral(TESSALY_EXECUTABLE)});
    QVERIFY(shell.waitForFinished(120000));
    QCOMPARE(shell.readAllStandardError(), QByteArray());
    QCOMPARE(shell.readAllStandardOutput(), QByteArray("5 - 4 - 4\n3 - 5 - 1\n1 - 3 - 6\n"));
    QCOMPARE(shell.exitCode(), 0);
}

void ProcessRollTest::outputGoesToWhatIsThere_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("says");
    const QString coin = u"\"$Q\" roll --example coin --dice 1 --rolls 2 --seed 2 "_s;
    const QByteArray rolled("Heads\nTails\n");
    // Devices and pipes are written as they are, never replaced by a file.
    QTest::newRow("device") << u"mknod null c 1 3 && "_s + coin + u"-o null; echo $?; stat -c %F null"_s
                            << QByteArray("0\ncharacter special file\n");
    QTest::newRow("full device") << u"mknod full c 1 7 && "_s + coin + u"-o full; echo $?; stat -c %F full"_s
                                 << QByteArray("quorvin-tessaly roll: \"full\": No space left on device\n"
                                               "1\ncharacter special file\n");
    QTest::newRow("pipe with a reader") << u"mkfifo pipe && { cat pipe & "_s + coin +
                                               u"-o pipe; wait; }; stat -c %F pipe"_s
                                        << rolled + "fifo\n";
    // Descriptors as the shell opened them, appending: the log keeps its earlier lines.
    QTest::newRow("standard output appended")
        << u"echo earlier > log && "_s + coin + u"-o /dev/stdout >> log; cat log"_s << "earlier\n" + rolled;
    QTest::newRow("link to a descriptor")
        << u"echo earlier > log && ln -s /dev/fd/3 three && "_s + coin + u"-o three 3>> log; cat log"_s
        << "earlier\n" + rolled;
    // A regular file is replaced whole, keeping its permissions; through a link, the link stays.
    QTest::newRow("regular file, linked") << u"echo old > real && chmod 640 real && ln -s real link && "_s + coin +
                                                 u"-o link; stat -c '%a %F' real link; cat real"_s
                                          << "640 regular file\n777 symbolic link\n" + rolled;
    // A write error names its cause, and the earlier file stays.
    QTest::newRow("file size limit") << u"echo earlier > rolls && (ulimit -f 1; "_s + coin +
                                            u"--rolls 100000 -o rolls; echo $?); cat rolls"_s
                                     << QByteArray("quorvin-tessaly roll: \"rolls\": File too large\n1\nearlier\n");
    QTest::newRow("names that are not UTF-8")
        << u"printf 'a\\nb\\n' > $'in\\xff' && \"$Q\" roll --sides $'in\\xff' --dice 3 --rolls 1 --seed 1 "_s
           u"-o $'out\\xfe' && cat $'out\\xfe'"_s
        << QByteArray("b - b - b\n");
}

void ProcessRollTest::outputGoesToWhatIsThere() {
    QFETCH(QString, script);
    QFETCH(QByteArray, says);
    if (::geteuid() != 0 && script.contains(u"mknod"))
        QSKIP("making a device needs root");
    QCOMPARE(shellSays(script), says);
}

void ProcessRollTest::brokenSurroundingsAreRefusedPlainly_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("says");
    const QString settings = u"mkdir -p config/Calverin && S='config/Calverin/Quorvin Tessaly.conf' && "_s;
    const QString coin = u"\"$Q\" roll --example coin --dice 1 --rolls 1 --seed 2"_s;
    // A pipe in place of the settings is never opened: said once when a stored value is wanted.
    QTest::newRow("settings file a pipe")
        << settings + u"mkfifo \"$S\" && timeout 20 "_s + coin + u"; echo $?; timeout 20 "_s + coin +
               u" --mode bag; echo $?"_s
        << QByteArray("quorvin-tessaly roll: the settings file \"./config/Calverin/Quorvin Tessaly.conf\" is not a "
                      "regular file; stored values are not used.\nHeads\n0\nHeads\n0\n");
    QTest::newRow("settings unreadable") << settings + u"echo '[General]' > \"$S\" && chmod 000 \"$S\" && drop "_s +
                                                coin + u"; echo $?"_s
                                         << QByteArray("quorvin-tessaly roll: cannot read settings \"./config/Calverin/"
                                                       "Quorvin Tessaly.conf\": Permission denied\n1\n");
    QTest::newRow("settings a folder") << settings + u"mkdir \"$S\" && "_s + coin + u"; echo $?"_s
                                       << QByteArray("quorvin-tessaly roll: cannot read settings \"./config/Calverin/"
                                                     "Quorvin Tessaly.conf\": Is a directory\n1\n");
    // A closed stream is refused only where the options would use it.
    QTest::newRow("standard output closed") << coin + u" >&-; echo $?; "_s + coin + u" -o out >&-; echo $?; cat out"_s
                                            << QByteArray("quorvin-tessaly roll: standard output is closed; give it a "
                                                          "file or a pipe, or use -o FILE.\n1\n0\nHeads\n");
    QTest::newRow("standard input closed")
        << u"\"$Q\" roll --sides - --dice 1 --rolls 1 <&-; echo $?; "_s + coin + u" <&-; echo $?"_s
        << QByteArray("quorvin-tessaly roll: standard input is closed; give it a file or a pipe, or </dev/null.\n1\n"
                      "Heads\n0\n");
    QTest::newRow("unknown option without a display")
        << u"\"$Q\" --bogus; echo $?"_s
        << QByteArray("quorvin-tessaly: unknown option '--bogus'.\nUsage: quorvin-tessaly [--help | --version] [Qt "
                      "options]\n       quorvin-tessaly roll [options]\n       quorvin-tessaly library list | import "
                      "FILE | export NAME\n       quorvin-tessaly history list | show ID | export ID -o FILE\n2\n");
    QTest::newRow("answers into a full disk")
        << u"mknod full c 1 7 && \"$Q\" --help > full; echo $?; \"$Q\" --version > full; echo $?; "
           u"\"$Q\" library --help > full; echo $?"_s
        << QByteArray("quorvin-tessaly: standard output: No space left on device\n1\n"
                      "quorvin-tessaly: standard output: No space left on device\n1\n"
                      "quorvin-tessaly library: Could not write standard output: No space left on device.\n1\n");
}

void ProcessRollTest::brokenSurroundingsAreRefusedPlainly() {
    QFETCH(QString, script);
    QFETCH(QByteArray, says);
    if (::geteuid() != 0 && script.contains(u"mknod"))
        QSKIP("making a device needs root");
    QCOMPARE(shellSays(script), says);
}

void ProcessRollTest::memoryDoesNotGrowWithRolls() {
    // The largest child so far: a few rolls first, then two million, then the statistics of four million.
    auto peakAfter = [this](const QString& rolls, const QStringList& more = {}) {
        QProcess program;
        program.setProcessEnvironment(withoutDisplay(m_config.path()));
        program.setStandardOutputFile(QProcess::nullDevice());
        program.start(QStringLiteral(TESSALY_EXECUTABLE),
                      QStringList{u"roll"_s, u"--example"_s, u"twenty"_s, u"--dice"_s, u"3"_s, u"--rolls"_s, rolls} +
                          more);
        const bool finished = program.waitForFinished(300000) && program.exitCode() == 0;
        return finished ? childrenPeakKilobytes() : -1L;
    };
    const long few = peakAfter(u"10"_s);
    QVERIFY(few > 0);
    const long many = peakAfter(u"2000000"_s);
    QVERIFY(many > 0);
    // Two million lines are over 20 MB of text; none of it may stay.
    QVERIFY2(many - few < 4096, qPrintable(u"peak grew by %1 kB"_s.arg(many - few)));
    // Twelve million dice would be 12 MB kept at a byte each: counted as drawn, none of them stays.
    const long counted = peakAfter(u"4000000"_s, {u"--stats"_s});
    QVERIFY(counted > 0);
    QVERIFY2(counted - few < 4096, qPrintable(u"peak with --stats grew by %1 kB"_s.arg(counted - few)));
}

QTEST_GUILESS_MAIN(ProcessRollTest)
#include "tst_process_roll.moc"
