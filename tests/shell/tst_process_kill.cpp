// Starts the real program on a virtual X display, changes the sides and both counts through its
// window as a user would, kills it outright, starts it again and finds what the user left.

#include "fakes/TestSupport.h"
#include "platform/Twips.h"

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// Centres of the controls the test clicks, in pixels from the window's top left (the window's layout
// in twips; a group box's child counts from the box).
const QPoint kCoinButton = platform::twipsRect(120, 4050, 4080, 405).center();
const QPoint kText1 = platform::twipsRect(120 + 240, 4530 + 300, 3600, 375).center();
const QPoint kText2 = platform::twipsRect(4320 + 240, 4545 + 300, 3600, 375).center();

// Xvfb on a display number of its own choosing, told back on its standard output once it accepts
// clients. It must not reset when its last client leaves: the program's restart would race the reset.
class VirtualDisplay {
public:
    ~VirtualDisplay() {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(10000)) {
            m_server.kill();
            m_server.waitForFinished(10000);
        }
    }

    bool start(const QString& xvfb) {
        m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server.start(xvfb, {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1024x768x24"_s, u"-nolisten"_s, u"tcp"_s,
                              u"-noreset"_s});
        if (!m_server.waitForStarted(30000))
            return false;
        QByteArray number;
        while (!number.contains('\n')) {
            if (!m_server.waitForReadyRead(60000))
                return false;
            number += m_server.readAllStandardOutput();
        }
        m_name = u':' + QString::fromLatin1(number.trimmed());
        return true;
    }

    const QString& name() const { return m_name; }

private:
    QProcess m_server;
    QString m_name;
};

} // namespace

class ProcessKillTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void killedProgramKeepsTheLastSidesAndCounts();

private:
    QString xdotool(const QStringList& args);
    QString findWindow();
    void click(const QString& window, QPoint at);
    void startProgram(QProcess& program);
    QString stored(const QString& key);

    QString m_xvfb;
    QString m_xdotool;
    VirtualDisplay m_display;
    QTemporaryDir m_config;
};

void ProcessKillTest::initTestCase() {
    m_xvfb = QStandardPaths::findExecutable(u"Xvfb"_s);
    m_xdotool = QStandardPaths::findExecutable(u"xdotool"_s);
    if (m_xvfb.isEmpty() || m_xdotool.isEmpty())
        QSKIP("Needs Xvfb and xdotool (scripts/deps --test installs them)");
    QVERIFY(m_config.isValid());
    QVERIFY2(m_display.start(m_xvfb), "Xvfb did not start");
}

QString ProcessKillTest::xdotool(const QStringList& args) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"DISPLAY"_s, m_display.name());
    tool.setProcessEnvironment(env);
    tool.start(m_xdotool, args);
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

QString ProcessKillTest::findWindow() {
    return xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Quorvin Tessaly$"_s}).section(u'\n', 0, 0);
}

void ProcessKillTest::click(const QString& window, QPoint at) {
    xdotool(
        {u"mousemove"_s, u"--window"_s, window, QString::number(at.x()), QString::number(at.y()), u"click"_s, u"1"_s});
}

void ProcessKillTest::startProgram(QProcess& program) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_CONFIG_HOME"_s, m_config.path());
    env.insert(u"DISPLAY"_s, m_display.name());
    env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    // Under AddressSanitizer: libxkbcommon-x11 copies the keymap's names with strndup from buffers that
    // hold exactly the name, no terminating NUL; the checked strndup reads one byte past them. Not ours.
    if (env.contains(u"ASAN_OPTIONS"_s))
        env.insert(u"ASAN_OPTIONS"_s, env.value(u"ASAN_OPTIONS"_s) + u":intercept_strndup=0"_s);
    program.setProcessEnvironment(env);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel); // a sanitizer's report shows in the log
    program.start(QStringLiteral(TESSALY_EXECUTABLE), {});
}

QString ProcessKillTest::stored(const QString& key) {
    const QSettings settings(fakes::settingsFileIn(m_config.path()), QSettings::IniFormat);
    return settings.value(key, u"<absent>"_s).toString();
}

void ProcessKillTest::killedProgramKeepsTheLastSidesAndCounts() {
    // given: a fresh start, and the user's changes through the window
    QProcess first;
    startProgram(first);
    QVERIFY(first.waitForStarted(10000));
    QString window;
    QTRY_VERIFY_WITH_TIMEOUT(!(window = findWindow()).isEmpty(), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(stored(u"Text2"_s), u"5"_s, 30000); // loaded: the counts are written back

    click(window, kCoinButton);
    for (const auto& [field, text] : {std::pair{kText1, u"3"_s}, std::pair{kText2, u"12"_s}}) {
        click(window, field);
        xdotool({u"key"_s, u"--clearmodifiers"_s, u"ctrl+a"_s});
        xdotool({u"type"_s, u"--delay"_s, u"20"_s, text});
    }
    QTRY_COMPARE_WITH_TIMEOUT(stored(u"Dice"_s), u"Heads;Tails"_s, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(stored(u"Text1"_s), u"3"_s, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(stored(u"Text2"_s), u"12"_s, 30000);

    // when: killed without a chance to save anything
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitStatus(), QProcess::CrashExit);
    QTRY_VERIFY_WITH_TIMEOUT(findWindow().isEmpty(), 30000); // the display has let go of its window

    // then: the next start shows them; its close writes back what it restored
    QProcess second;
    startProgram(second);
    QVERIFY(second.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!findWindow().isEmpty(), 60000);
    ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(stored(u"Dice"_s), u"Heads;Tails"_s);
    QCOMPARE(stored(u"Text1"_s), u"3"_s);
    QCOMPARE(stored(u"Text2"_s), u"12"_s);
}

QTEST_GUILESS_MAIN(ProcessKillTest)
#include "tst_process_kill.moc"
