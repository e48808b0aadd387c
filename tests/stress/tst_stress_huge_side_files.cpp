// Side-list files of hundreds of megabytes: run on demand only (see README, "Testing"). Each load runs
// in a child process that measures its own peak resident memory, which must stay within a small
// multiple of what the loaded list itself holds; a dropped file or pasted text is undone and redone
// on top.

#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "dice/SideListLoader.h"
#include "dice/SideListReader.h"
#include "dice/SidesCommands.h"
#include "fakes/Fakes.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

std::int64_t statusKiB(const char* field) {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(std::strlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

struct LoadFigures {
    std::int64_t items = 0;
    std::int64_t listBytes = 0;
    std::int64_t peakGrowth = 0; // peak resident bytes during the load, above the resident bytes before it
};

// Loads the file in a child process, so the peak belongs to this load alone.
LoadFigures loadInChild(const QString& path, const QString& via) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        qFatal("pipe");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        core::ListModel list;
        list.addColumn(dice::sidesHeaderText(0));
        list.setTextIndexEnabled(true);
        fakes::FakeServices fake;
        core::MousePointer pointer;
        dice::SidesCommands commands(list, pointer, fake.services);
        if (via == u"paste"_s) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                ::_exit(4);
            fake.clipboard.text = QString::fromUtf8(file.readAll());
        }
        QFile clear(u"/proc/self/clear_refs"_s);
        if (clear.open(QIODevice::WriteOnly)) // resets the peak to the current size
            clear.write("5");
        clear.close();
        const std::int64_t before = statusKiB("VmRSS:") * 1024;
        if (via != u"load"_s) {
            via == u"paste"_s ? commands.paste() : commands.dropFiles({path});
            commands.undo();
            if (list.itemCount() != 0)
                ::_exit(3);
            commands.redo();
        } else {
            Main::LoadListviewFromTextFile(list, path, fake.messageBox);
        }
        LoadFigures figures{list.itemCount(), static_cast<std::int64_t>(list.bytesUsed()),
                            statusKiB("VmHWM:") * 1024 - before};
        if (::write(pipeEnds[1], &figures, sizeof figures) != sizeof figures)
            ::_exit(2);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    LoadFigures figures;
    const bool complete = ::read(pipeEnds[0], &figures, sizeof figures) == sizeof figures;
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        qFatal("the loading child process failed");
    return figures;
}

void writeRepeated(const QString& path, const QByteArray& block, int times) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot create the test file");
    for (int i = 0; i < times; ++i) {
        if (file.write(block) != block.size())
            qFatal("cannot write the test file");
    }
}

QByteArray numberedLines(int first, int count, int width) {
    QByteArray block;
    block.reserve(static_cast<qsizetype>(count) * (width + 1));
    char line[32];
    for (int i = first; i < first + count; ++i) {
        std::snprintf(line, sizeof line, "%0*d\n", width, i);
        block += line;
    }
    return block;
}

struct RollFigures {
    int exitCode = -1;
    std::int64_t peak = 0; // peak resident bytes of the whole process
};

// Runs `roll` with its standard input read from inputPath and its output thrown away.
RollFigures rollPeak(const QStringList& arguments, const QString& inputPath) {
    std::vector<QByteArray> bytes{QByteArrayLiteral(TESSALY_EXECUTABLE), "roll"};
    for (const QString& argument : arguments)
        bytes.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int input = ::open(QFile::encodeName(inputPath).constData(), O_RDONLY);
        const int output = ::open("/dev/null", O_WRONLY);
        if (input < 0 || output < 0 || ::dup2(input, 0) < 0 || ::dup2(output, 1) < 0)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::int64_t{usage.ru_maxrss} * 1024};
}

} // namespace

class StressHugeSideFilesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void memoryStaysNearTheList_data();
    void memoryStaysNearTheList();
    void rollHoldsSidesInTwiceTheirSize_data();
    void rollHoldsSidesInTwiceTheirSize();

private:
    QTemporaryDir m_dir;
};

void StressHugeSideFilesTest::memoryStaysNearTheList_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<std::int64_t>("items");
    QTest::addColumn<QString>("via"); // load, drop or paste; the last two are undone and redone too
    QTest::newRow("one 100 MB line") << u"line"_s << std::int64_t{1} << u"load"_s;
    QTest::newRow("1 GiB of a million labels repeated") << u"repeats"_s << std::int64_t{1048576} << u"load"_s;
    QTest::newRow("64 MiB of distinct labels") << u"distinct"_s << std::int64_t{6100805} << u"load"_s;
    QTest::newRow("1 GiB dropped") << u"repeats"_s << std::int64_t{1048576} << u"drop"_s;
    QTest::newRow("10 MiB of distinct labels pasted") << u"ten"_s << std::int64_t{953251} << u"paste"_s;
}

void StressHugeSideFilesTest::memoryStaysNearTheList() {
    QFETCH(QString, kind);
    QFETCH(std::int64_t, items);
    QFETCH(QString, via);
    const QString path = m_dir.filePath(kind + u".txt"_s);
    if (kind == u"line"_s) {
        writeRepeated(path, QByteArray(kMiB, 'x'), 100);
    } else if (kind == u"repeats"_s) {
        writeRepeated(path, numberedLines(0, 1048576, 7), 128); // 8 MiB a round
    } else if (kind == u"ten"_s) {
        QByteArray lines = numberedLines(0, 953251, 10);
        lines.truncate(10 * kMiB); // the last line without its end
        writeRepeated(path, lines, 1);
    } else {
        QByteArray lines = numberedLines(0, 6100805, 10);
        lines.truncate(64 * kMiB);
        writeRepeated(path, lines, 1);
    }

    const LoadFigures figures = loadInChild(path, via);
    QFile::remove(path);
    qInfo("%s: %lld items, list %lld MiB, peak growth %lld MiB", qPrintable(kind),
          static_cast<long long>(figures.items), static_cast<long long>(figures.listBytes / kMiB),
          static_cast<long long>(figures.peakGrowth / kMiB));
    QCOMPARE(figures.items, items);
    // Room for the batch being built beside the list, the read buffer and the allocator's slack.
    QVERIFY2(figures.peakGrowth <= 3 * figures.listBytes + 32 * kMiB, "the load's peak memory outgrew the list");
}

void StressHugeSideFilesTest::rollHoldsSidesInTwiceTheirSize_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("20,000,000 short lines, 189 MB") << u"numbers"_s << 0;
    QTest::newRow("endless input stops at the limit") << u"endless"_s << 1;
}

void StressHugeSideFilesTest::rollHoldsSidesInTwiceTheirSize() {
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    const QString empty = m_dir.filePath(u"empty"_s);
    writeRepeated(empty, {}, 0);
    const RollFigures bare = rollPeak({u"--example"_s, u"six"_s, u"--rolls"_s, u"1"_s}, empty);
    QCOMPARE(bare.exitCode, 0);

    QString input = m_dir.filePath(kind);
    std::int64_t inputBytes = dice::kMostSideListBytes;
    if (kind == u"numbers"_s) {
        // The numbers 1 to 20,000,000 with CR LF ends: 188,888,897 bytes.
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray block;
        for (int i = 1; i <= 20000000; ++i) {
            block += QByteArray::number(i) + "\r\n";
            if (block.size() > kMiB || i == 20000000) {
                QCOMPARE(file.write(block), block.size());
                block.clear();
            }
        }
        inputBytes = file.size();
    } else if (::mknod(QFile::encodeName(input).constData(), S_IFCHR | 0444, makedev(1, 5)) != 0) {
        input = u"/dev/zero"_s; // read only, never written
    }
    const RollFigures figures = rollPeak({u"--sides"_s, u"-"_s, u"--dice"_s, u"1"_s, u"--rolls"_s, u"1"_s}, input);
    QFile::remove(input);
    qInfo("%s: peak %lld MiB, %lld MiB without sides, input %lld MiB", qPrintable(kind),
          static_cast<long long>(figures.peak / kMiB), static_cast<long long>(bare.peak / kMiB),
          static_cast<long long>(inputBytes / kMiB));
    QCOMPARE(figures.exitCode, exitCode);
    QVERIFY2(figures.peak - bare.peak <= inputBytes * 22 / 10, "reading the sides outgrew twice the input");
}

QTEST_GUILESS_MAIN(StressHugeSideFilesTest)
#include "tst_stress_huge_side_files.moc"
