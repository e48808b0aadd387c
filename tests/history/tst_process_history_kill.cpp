// Kills a process outright in the middle of writing history entries, then opens the file it left.

#include "history/Fingerprint.h"
#include "history/RollStore.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <map>

using namespace Qt::StringLiterals;

class HistoryKillTest : public QObject {
    Q_OBJECT
private slots:
    void killDuringAWriteLosesOnlyThatEntry_data();
    void killDuringAWriteLosesOnlyThatEntry();
};

void HistoryKillTest::killDuringAWriteLosesOnlyThatEntry_data() {
    QTest::addColumn<int>("delayMs");
    QTest::newRow("as the write begins") << 0;
    QTest::newRow("within the write") << 15;
    QTest::newRow("later in the write") << 60;
}

void HistoryKillTest::killDuringAWriteLosesOnlyThatEntry() {
    QFETCH(int, delayMs);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.sqlite"_s);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QStringLiteral(HISTORY_WRITE_CHILD), {path});
    QVERIFY(child.waitForStarted());

    // given two entries kept and a third begun
    std::map<std::int64_t, QString> kept;
    QByteArray pending;
    const auto readLines = [&] {
        pending += child.readAllStandardOutput();
        bool writing = false;
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QList<QByteArray> words = pending.left(end).split(' ');
            writing = words.front() == "writing";
            if (words.front() == "kept" && words.size() == 3)
                kept[words[1].toLongLong()] = QString::fromLatin1(words[2]);
        }
        return writing;
    };
    while (!(readLines() && kept.size() >= 2))
        QVERIFY(child.waitForReadyRead(60000));
    // when it is killed
    QThread::msleep(static_cast<unsigned long>(delayMs));
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(30000));
    readLines();

    // then the file opens as it is, with every entry it reported kept whole
    history::RollStore store(path, u"after"_s);
    const std::vector<history::EntrySummary> entries = store.entries();
    QCOMPARE(store.takeNotices(), QStringList());
    QVERIFY(entries.size() == kept.size() || entries.size() == kept.size() + 1);
    for (const history::EntrySummary& entry : entries) {
        if (kept.count(entry.id))
            QCOMPARE(entry.fingerprint, kept[entry.id]);
        const std::optional<core::DrawRows> rows = store.rows(entry.id);
        QVERIFY(rows);
        QCOMPARE(history::rollFingerprint(*rows), entry.fingerprint);
    }
}

QTEST_GUILESS_MAIN(HistoryKillTest)
#include "tst_process_history_kill.moc"
