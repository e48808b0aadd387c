// Starts the real program's roll command the ways a shell would.

#include "fakes/TestSupport.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

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
