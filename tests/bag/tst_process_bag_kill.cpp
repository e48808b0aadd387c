// Kills a process in the middle of its presses of Start Rolling over a kept bag, again and again,
// and reads the bag it left: every roll it showed is on record, and at most the one it was making more.

#include "bag/KeptBag.h"
#include "core/ListModel.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace Qt::StringLiterals;

class ProcessBagKillTest : public QObject {
    Q_OBJECT
private slots:
    void killAtAnyMomentKeepsEveryShownRoll();
};

void ProcessBagKillTest::killAtAnyMomentKeepsEveryShownRoll() {
    // Enough sides that a press takes a while, and no bag runs out within the runs.
    constexpr int kSides = 5000;
    QTemporaryDir folder;
    const QString path = folder.filePath(u"kept-bag.txt"_s);
    core::ListModel sides;
    sides.setTextIndexEnabled(true);
    for (int n = 1; n <= kSides; ++n)
        sides.addItem(QString(u"side "_s + QString::number(n)));
    QStringList shown;
    qsizetype lostBefore = 0;
    for (int run = 0; run < 6; ++run) {
        // given: a process pressing over the bag that the last one left
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(KEPT_BAG_CHILD), {path, QString::number(kSides)});
        QVERIFY(child.waitForStarted(10000));
        QByteArray out;
        while (out.count('\n') < 3 && child.waitForReadyRead(30000))
            out += child.readAllStandardOutput();

        // when: killed at some moment of a press
        QThread::usleep(QRandomGenerator::global()->bounded(3000U));
        ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(30000));
        out += child.readAllStandardOutput();
        for (const QByteArray& line : out.split('\n')) {
            if (!line.isEmpty())
                shown.append(QString::fromUtf8(line));
        }

        // then
        bag::KeptBag bag(path);
        QVERIFY_THROWS_NO_EXCEPTION(bag.load(sides)); // never half a file
        const std::shared_ptr<const core::TextRows> labels = sides.textSnapshot();
        const std::vector<std::uint64_t> left = bag.ticketsLeft(*labels);
        QSet<QString> drawn;
        for (std::int64_t side = 0; side < labels->size(); ++side) {
            if (left[side] == 0)
                drawn.insert(labels->at(side).toString());
        }
        QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), shown.size());
        for (const QString& roll : std::as_const(shown))
            QVERIFY2(drawn.contains(roll), qPrintable(roll));
        // Each kill may lose the roll it interrupted, and only that one.
        const qsizetype lost = drawn.size() - shown.size();
        QVERIFY(lost - lostBefore <= 1);
        lostBefore = lost;
    }
}

QTEST_GUILESS_MAIN(ProcessBagKillTest)
#include "tst_process_bag_kill.moc"
