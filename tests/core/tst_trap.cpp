#include "core/Trap.h"
#include "fakes/Fakes.h"

#include <QTest>

#include <limits>
#include <vector>

using namespace Qt::StringLiterals;
using platform::RuntimeError;

class TrapTest : public QObject {
    Q_OBJECT
private slots:
    void reportTextIsExactToTheByte();
    void failingStatementIsReportedAndTheNextOneRuns();
    void eachFailureGetsItsOwnReportWithItsLine();
    void outOfMemoryIsReportedNotFatal();
    void failingTestResumesInsideTheBranch();
    void lineReportedOnceStillRunsAndFailsEveryTime();
};

void TrapTest::reportTextIsExactToTheByte() {
    const QString text = core::errorReportText(u"Overflow"_s, u"Form1.Form_Load"_s, 102);
    QCOMPARE(text, u"Overflow\r\nin Quorvin2021/08/31.Form1.Form_Load at line 102\r\rPlease email screenshot of "
                   u"this message to quorvin.support@example.com"_s);
    QCOMPARE(text.count(u'\n'), 1);
}

void TrapTest::failingStatementIsReportedAndTheNextOneRuns() {
    fakes::FakeServices fake;
    core::Trap trap(fake.services, u"Form1.PushButton8_Click"_s);
    QStringList ran;
    QVERIFY(trap(100, [&] { ran << u"100"_s; }));
    QVERIFY(!trap(102, [&] {
        throw RuntimeError(RuntimeError::TypeMismatch);
        ran << u"never"_s;
    }));
    trap(104, [&] { ran << u"104"_s; });

    QCOMPARE(ran, (QStringList{u"100"_s, u"104"_s}));
    QCOMPARE(fake.messageBox.shown.size(), 1);
    const fakes::ShownMessage& shown = fake.messageBox.shown.first();
    QCOMPARE(shown.title, u"Application Error"_s);
    QCOMPARE(shown.style, 48);
    QCOMPARE(shown.text, core::errorReportText(u"Type mismatch"_s, u"Form1.PushButton8_Click"_s, 102));
}

void TrapTest::eachFailureGetsItsOwnReportWithItsLine() {
    fakes::FakeServices fake;
    core::Trap trap(fake.services, u"Main.SaveListviewProperlySpacedWithoutProgressBar"_s);
    for (int line : {136, 150, 184})
        trap(line, [] { throw RuntimeError(RuntimeError::PathNotFound); });
    QCOMPARE(trap.reportCount(), 3);
    QVERIFY(fake.messageBox.shown[0].text.contains(u"at line 136\r\r"_s));
    QVERIFY(fake.messageBox.shown[1].text.contains(u"at line 150\r\r"_s));
    QVERIFY(fake.messageBox.shown[2].text.contains(u"at line 184\r\r"_s));
}

void TrapTest::outOfMemoryIsReportedNotFatal() {
    fakes::FakeServices fake;
    core::Trap trap(fake.services, u"Form1.PushButton8_Click"_s);
    trap(118, [] {
        std::vector<char> huge;
        huge.reserve(std::numeric_limits<std::size_t>::max()); // beyond max_size(): length_error, no allocation
    });
    trap(118, [] { throw std::bad_alloc(); });
    QCOMPARE(fake.messageBox.shown.size(), 2);
    for (const auto& shown : fake.messageBox.shown)
        QVERIFY(shown.text.startsWith(u"Out of memory\r\n"_s));
    QCOMPARE(trap.lastErrorNumber(), 7);
}

void TrapTest::failingTestResumesInsideTheBranch() {
    fakes::FakeServices fake;
    core::Trap trap(fake.services, u"Form1.Form_Load"_s);
    QVERIFY(trap.test(134, []() -> bool { throw RuntimeError(RuntimeError::Overflow); }));
    QVERIFY(!trap.test(134, [] { return false; }));
    QCOMPARE(fake.messageBox.shown.size(), 1);
}

void TrapTest::lineReportedOnceStillRunsAndFailsEveryTime() {
    fakes::FakeServices fake;
    core::Trap trap(fake.services, u"Main.SaveListviewProperlySpacedWithoutProgressBar"_s);
    trap.reportEachLineOnce();
    int runs = 0;
    int failures = 0;
    const auto fail = [&] {
        ++runs;
        throw RuntimeError(RuntimeError::DiskFull);
    };
    trap(150, fail);
    for (int row = 0; row < 1000; ++row)
        failures += trap(180, fail) ? 0 : 1;
    trap(150, fail); // an earlier line failing again stays quiet too
    trap(184, fail);

    QCOMPARE(runs, 1003);
    QCOMPARE(failures, 1000);
    QCOMPARE(trap.reportCount(), 3);
    QCOMPARE(fake.messageBox.shown.size(), 3);
    QVERIFY(fake.messageBox.shown[0].text.contains(u"at line 150\r\r"_s));
    QVERIFY(fake.messageBox.shown[1].text.contains(u"at line 180\r\r"_s));
    QVERIFY(fake.messageBox.shown[2].text.contains(u"at line 184\r\r"_s));
    QVERIFY(trap.hasReported(180));
    QVERIFY(!trap.hasReported(170));
    QCOMPARE(trap.lastErrorNumber(), int(RuntimeError::DiskFull));
}

QTEST_GUILESS_MAIN(TrapTest)
#include "tst_trap.moc"
