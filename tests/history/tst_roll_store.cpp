#include "RollMaker.h"

#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "history/Fingerprint.h"
#include "history/HistoryExport.h"
#include "history/HistorySettings.h"
#include "history/RollStore.h"
#include "platform/RuntimeError.h"
#include "results/ClipboardCopy.h"
#include "results/TextExport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using Layout = std::shared_ptr<const core::DiceLayout>;
Q_DECLARE_METATYPE(Layout)

namespace {

QStringList numberedLabels(int count) {
    QStringList labels;
    for (int i = 1; i <= count; ++i)
        labels.append(u"side "_s + QString::number(i));
    return labels;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The rows as the results list holds them after a roll, every row ticked.
void showAllTicked(core::ListModel& list, const core::DrawRows& rows) {
    list.addColumn(u"Results"_s);
    list.addItems(core::DrawRows(rows));
    list.setAllTicked(true);
}

// A file of a few entries, closed.
QString storeWithEntries(const QString& path, int entries, std::int64_t rolls) {
    history::RollStore store(path, u"setup"_s);
    for (int i = 0; i < entries; ++i) {
        const core::DrawRows rows = fakes::makeRoll({u"a"_s, QString::number(i)}, 1, rolls);
        store.add(rows, {}, QDateTime::currentDateTimeUtc(), history::rollFingerprint(rows), 1'000'000'000);
    }
    return path;
}

// Whether work() says yes in a child process that writes at most fileBytes a file, as nobody when this is
// root, whom no permission stops. Its folders' permissions are the caller's.
bool inChild(const std::function<bool()>& work, rlim_t fileBytes = RLIM_INFINITY) {
    const pid_t child = ::fork();
    if (child == 0) {
        const rlimit limit{fileBytes, fileBytes};
        std::signal(SIGXFSZ, SIG_IGN);
        const bool ready = (::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0)) &&
                           ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        try {
            ::_exit(ready && work() ? 0 : 1);
        } catch (const platform::RuntimeError&) {
            ::_exit(1);
        }
    }
    int status = -1;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

class RollStoreTest : public QObject {
    Q_OBJECT
private slots:
    void keepsEveryKindOfRollAsItWas_data();
    void keepsEveryKindOfRollAsItWas();
    void fingerprintIsTheSha256SumOfTheCopiedRows_data();
    void fingerprintIsTheSha256SumOfTheCopiedRows();
    void sizeLimitDropsTheOldestEntries();
    void clearingGivesTheDiskSpaceBack();
    void damagedFileIsMovedAsideAndANewOneBegun_data();
    void damagedFileIsMovedAsideAndANewOneBegun();
    void exportIsTheTextExportAndTheFingerprint();
    void exportNeverCutsShortTheFileItReplaces();
    void readOnlyHistoryIsStillRead();
};

void RollStoreTest::keepsEveryKindOfRollAsItWas_data() {
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<int>("dice");
    QTest::addColumn<qint64>("rolls");
    QTest::addColumn<core::RollMode>("mode");
    QTest::addColumn<QString>("setName");
    QTest::addColumn<Layout>("layout");

    QTest::newRow("six sides") << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s} << 3 << qint64(1000)
                               << core::RollMode::Independent << QString() << Layout();
    QTest::newRow("awkward labels") << QStringList{u"a  "_s, u"\tb"_s, u"\U0001F3B2"_s, u""_s, u"x\r\ny"_s} << 2
                                    << qint64(50) << core::RollMode::Distinct << QString() << Layout();
    QTest::newRow("300 sides, two-byte draws")
        << numberedLabels(300) << 4 << qint64(2000) << core::RollMode::Bag << QString() << Layout();
    QTest::newRow("70000 sides, four-byte draws in two parts")
        << numberedLabels(70000) << 3 << qint64(800'000) << core::RollMode::Independent << QString() << Layout();
    QTest::newRow("no sides") << QStringList() << 2 << qint64(5) << core::RollMode::Independent << QString()
                              << Layout();
    QTest::newRow("no rolls") << QStringList{u"x"_s} << 1 << qint64(0) << core::RollMode::Independent << QString()
                              << Layout();
    QTest::newRow("a set") << QStringList{u"d4"_s, u"d6"_s} << 2 << qint64(10) << core::RollMode::Independent
                           << u"Dragon set"_s << Layout();
    QTest::newRow("a weighted die, a side of weight 0")
        << QStringList{u"a"_s, u"b"_s, u"c"_s} << 2 << qint64(40) << core::RollMode::Distinct << QString()
        << Layout(new core::DiceLayout{{{QString(), 0, 3, {3, 0, 1'000'000'000}}}, {}});
    QTest::newRow("a set of a die, a weighted coin and the die again")
        << QStringList{u"1"_s, u"2"_s, u"3"_s, u"H"_s, u"\t\u00d7T"_s} << 4 << qint64(30) << core::RollMode::Bag
        << u"Two \u00d7 Six"_s
        << Layout(new core::DiceLayout{{{u"Three"_s, 0, 3, {}}, {u"Coin \U0001F3B2"_s, 3, 2, {1, 3}}},
                                       {{0, 2}, {1, 1}, {0, 1}}});
}

void RollStoreTest::keepsEveryKindOfRollAsItWas() {
    QFETCH(QStringList, labels);
    QFETCH(int, dice);
    QFETCH(qint64, rolls);
    QFETCH(core::RollMode, mode);
    QFETCH(QString, setName);
    QFETCH(Layout, layout);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"deep/folder/history.sqlite"_s);
    const core::DrawRows rolled = fakes::makeRoll(labels, dice, rolls, mode, layout);
    const history::RollOrigin origin =
        setName.isEmpty() ? history::RollOrigin::sides() : history::RollOrigin::set(setName);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC);
    {
        history::RollStore store(path, u"write"_s);
        store.add(rolled, origin, time, history::rollFingerprint(rolled), 1'000'000'000);
    }

    history::RollStore store(path, u"read"_s);
    const std::vector<history::EntrySummary> entries = store.entries();
    QCOMPARE(entries.size(), 1u);
    const history::EntrySummary& entry = entries.front();
    QCOMPARE(entry.time, time);
    QCOMPARE(entry.mode, mode);
    QCOMPARE(entry.dice, dice);
    QCOMPARE(entry.rolls, rolls);
    QCOMPARE(entry.origin.kind, setName.isEmpty() ? history::RollOrigin::Kind::Sides : history::RollOrigin::Kind::Set);
    QCOMPARE(entry.origin.name, setName);
    QCOMPARE(entry.fingerprint, history::rollFingerprint(rolled));
    QString firstRow;
    if (rolls > 0)
        rolled.appendText(0, firstRow);
    QCOMPARE(entry.firstRow, firstRow.left(200));

    const std::optional<core::DrawRows> stored = store.rows(entry.id);
    QVERIFY(stored);
    QCOMPARE(stored->mode(), mode);
    QCOMPARE(stored->dice(), dice);
    QCOMPARE(stored->size(), rolls);
    QCOMPARE(stored->sideCount(), qint64(labels.size()));
    for (qsizetype side = 0; side < labels.size(); ++side)
        QCOMPARE(stored->labels().at(side), QStringView(labels[side]));
    QVERIFY(stored->indices() == rolled.indices());
    QCOMPARE(stored->layout() != nullptr, layout != nullptr);
    QVERIFY(!layout || *stored->layout() == *layout);
    QVERIFY(!store.rows(entry.id + 1));
}

void RollStoreTest::fingerprintIsTheSha256SumOfTheCopiedRows_data() {
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("plain") << QStringList{u"ant"_s, u"bee"_s, u"cat"_s};
    QTest::newRow("trailing spaces") << QStringList{u"a  "_s, u"b "_s, u" "_s};
    QTest::newRow("tabs") << QStringList{u"\t"_s, u"x\t"_s, u"\ty "_s};
    QTest::newRow("beyond the BMP") << QStringList{u"\U0001D518"_s, u"\U0001F3B2 "_s, u"\u00e9"_s};
    QTest::newRow("empty labels") << QStringList{u""_s, u""_s, u"z"_s};
    QTest::newRow("no sides") << QStringList();
}

void RollStoreTest::fingerprintIsTheSha256SumOfTheCopiedRows() {
    QFETCH(QStringList, labels);
    const core::DrawRows rows = fakes::makeRoll(labels, 3, 300);
    fakes::FakeServices fake;
    core::ListModel list;
    showAllTicked(list, rows);
    Main::CopyListviewToClipboard(list, fake.services);
    QVERIFY(!fake.clipboard.text.isEmpty());

    QTemporaryDir dir;
    QProcess sum;
    sum.start(u"sha256sum"_s, {fakes::writeFile(dir.filePath(u"copied.txt"_s), fake.clipboard.text.toUtf8())});
    QVERIFY(sum.waitForFinished(30000));
    QCOMPARE(sum.exitCode(), 0);
    QCOMPARE(history::rollFingerprint(rows), QString::fromLatin1(sum.readAllStandardOutput().left(64)));
}

void RollStoreTest::sizeLimitDropsTheOldestEntries() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.sqlite"_s);
    constexpr std::int64_t kLimit = 3 * history::kMegabyte;
    constexpr std::int64_t kRolls = 700'000; // a byte a roll
    history::RollStore store(path, u"store"_s);
    std::vector<std::int64_t> added, dropped;
    for (int i = 0; i < 8; ++i) {
        const core::DrawRows rows = fakes::makeRoll({u"a"_s, QString::number(i)}, 1, kRolls);
        const auto result = store.add(rows, {}, QDateTime::currentDateTimeUtc(), QString(), kLimit);
        QVERIFY(result.entry);
        added.push_back(result.entry->id);
        dropped.insert(dropped.end(), result.dropped.begin(), result.dropped.end());
        QVERIFY2(store.usedBytes() <= kLimit, qPrintable(QString::number(store.usedBytes())));
        QVERIFY(QFileInfo(path).size() <= kLimit);
    }
    // The oldest went first, and no more of them than the limit asked for.
    std::vector<std::int64_t> kept;
    for (const history::EntrySummary& entry : store.entries())
        kept.insert(kept.begin(), entry.id);
    QCOMPARE(std::vector<std::int64_t>(added.begin(), added.begin() + qsizetype(dropped.size())), dropped);
    QCOMPARE(std::vector<std::int64_t>(added.begin() + qsizetype(dropped.size()), added.end()), kept);
    QCOMPARE(kept.size(), std::size_t(kLimit / kRolls));

    // A roll larger than the limit on its own is not kept, and takes nothing with it.
    const core::DrawRows huge = fakes::makeRoll({u"a"_s, u"b"_s}, 1, kLimit);
    const auto refused = store.add(huge, {}, QDateTime::currentDateTimeUtc(), QString(), kLimit);
    QVERIFY(!refused.entry);
    QVERIFY(refused.dropped.empty());
    QCOMPARE(store.entries().size(), kept.size());
}

void RollStoreTest::clearingGivesTheDiskSpaceBack() {
    QTemporaryDir dir;
    const QString path = storeWithEntries(dir.filePath(u"history.sqlite"_s), 2, 2'000'000);
    const qint64 before = QFileInfo(path).size();
    history::RollStore(path, u"store"_s).clear();
    QVERIFY2(QFileInfo(path).size() < before / 10, qPrintable(QString::number(QFileInfo(path).size())));
}

void RollStoreTest::damagedFileIsMovedAsideAndANewOneBegun_data() {
    QTest::addColumn<QString>("damage");
    QTest::newRow("not a database") << u"garbage"_s;
    QTest::newRow("header overwritten") << u"header"_s;
    QTest::newRow("cut short") << u"cut"_s;
}

void RollStoreTest::damagedFileIsMovedAsideAndANewOneBegun() {
    QFETCH(QString, damage);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"history.sqlite"_s);
    if (damage == u"garbage") {
        fakes::writeFile(path, QByteArray("no database here\n").repeated(500));
    } else {
        storeWithEntries(path, 3, 300'000);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (damage == u"header")
            file.write(QByteArray(100, 'x'));
        else
            QVERIFY(file.resize(file.size() * 2 / 5));
    }
    const QByteArray damagedBytes = readAll(path);

    history::RollStore store(path, u"store"_s);
    store.open();
    const QStringList notices = store.takeNotices();
    QCOMPARE(notices.size(), 1);
    const QStringList aside = QDir(dir.path()).entryList({u"history.sqlite.damaged-*"_s}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QCOMPARE(readAll(dir.filePath(aside.front())), damagedBytes);
    QVERIFY2(notices.front().contains(path) && notices.front().contains(dir.filePath(aside.front())),
             qPrintable(notices.front()));

    // The new file works, and opening it again reports nothing more.
    const core::DrawRows rows = fakes::makeRoll({u"a"_s}, 1, 10);
    QVERIFY(store.add(rows, {}, QDateTime::currentDateTimeUtc(), QString(), 1'000'000'000).entry);
    history::RollStore again(path, u"again"_s);
    QCOMPARE(again.entries().size(), 1u);
    QCOMPARE(again.takeNotices(), QStringList());
}

void RollStoreTest::exportIsTheTextExportAndTheFingerprint() {
    QTemporaryDir dir;
    const core::DrawRows rows = fakes::makeRoll({u"ant"_s, u"bee "_s, u"\U0001F3B2"_s}, 2, 20);
    const QString fingerprint = history::rollFingerprint(rows);
    fakes::FakeServices fake;
    core::ListModel list;
    showAllTicked(list, rows);
    const QString textExport = dir.filePath(u"results.txt"_s);
    Main::SaveListviewProperlySpacedWithoutProgressBar(list, textExport, fake.services);

    const QString exported = dir.filePath(u"entry.txt"_s);
    history::exportEntryText(rows, fingerprint, exported);
    QCOMPARE(readAll(exported), readAll(textExport) + "SHA-256 of the copied rows: " + fingerprint.toLatin1() + "\r\n");

    QString nowhere = dir.filePath(u"missing/entry.txt"_s);
    try {
        history::exportEntryText(rows, fingerprint, nowhere);
        QFAIL("an export into a missing folder succeeded");
    } catch (const platform::RuntimeError& error) {
        QCOMPARE(error.description(), u"Could not save \""_s + nowhere + u"\": Path not found."_s);
    }
    // A pipe is refused, not replaced by a file its reader never sees.
    QCOMPARE(::mkfifo(QFile::encodeName(nowhere = dir.filePath(u"pipe"_s)).constData(), 0600), 0);
    QVERIFY_THROWS_EXCEPTION(platform::RuntimeError, history::exportEntryText(rows, fingerprint, nowhere));
    QVERIFY(!QFileInfo(nowhere).isFile());
}

void RollStoreTest::exportNeverCutsShortTheFileItReplaces() {
    QTemporaryDir dir;
    const QString path = fakes::writeFile(dir.filePath(u"entry.txt"_s), "kept\n");
    const QByteArray folder = QFile::encodeName(dir.path());
    // A file that may be written, in a folder that takes no new file, on a disk that takes 4 KB.
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0666) == 0 && ::chmod(folder.constData(), 0555) == 0);
    const bool refused = inChild(
        [&] {
            try {
                history::exportEntryText(fakes::makeRoll({u"ant"_s, u"bee"_s}, 3, 20'000), QString(), path);
            } catch (const platform::RuntimeError&) {
                return true;
            }
            return false;
        },
        4096);
    ::chmod(folder.constData(), 0700); // for the folder's removal
    QVERIFY(refused);
    QCOMPARE(readAll(path), QByteArray("kept\n"));
}

void RollStoreTest::readOnlyHistoryIsStillRead() {
    QTemporaryDir dir;
    const QString path = storeWithEntries(dir.filePath(u"history.sqlite"_s), 1, 10);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0 &&
            ::chmod(QFile::encodeName(path).constData(), 0444) == 0);
    QVERIFY(inChild([&] {
        history::RollStore store(path, u"reader"_s);
        const std::vector<history::EntrySummary> entries = store.entries();
        return entries.size() == 1 && store.rows(entries.front().id);
    }));
}

QTEST_GUILESS_MAIN(RollStoreTest)
#include "tst_roll_store.moc"
