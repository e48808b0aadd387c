// Starts the real program and ends it the ways a desktop or a terminal ends a process.

#include "fakes/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class ProcessCloseTest : public QObject {
    Q_OBJECT
private slots:
    void terminationSignalsCloseThroughTheSave_data();
    void terminationSignalsCloseThroughTheSave();
};

void ProcessCloseTest::terminationSignalsCloseThroughTheSave_data() {
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void ProcessCloseTest::terminationSignalsCloseThroughTheSave() {
    QFETCH(int, signalNumber);
    QTemporaryDir config;
    const QString file = fakes::settingsFileIn(config.path());
    {
        QSettings seed(file, QSettings::IniFormat);
        // Saving rewrites the restored sides without the empty pieces: proof that the save ran.
        seed.setValue(u"Dice"_s, u"x;;y;"_s);
    }

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, config.path());
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(TESSALY_EXECUTABLE), {});
    QVERIFY(program.waitForStarted(10000));

    // Start-up writes the count fields back as it restores them: the window is loaded once they appear.
    QTRY_VERIFY_WITH_TIMEOUT(QSettings(file, QSettings::IniFormat).contains(u"Text2"_s), 20000);
    ::kill(static_cast<pid_t>(program.processId()), signalNumber);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QCOMPARE(QSettings(file, QSettings::IniFormat).value(u"Dice"_s).toString(), u"x;y"_s);
}

QTEST_GUILESS_MAIN(ProcessCloseTest)
#include "tst_process_close.moc"
