#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "core/Trap.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "results/TextExport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

struct Row {
    QString text;
    bool ticked = false;
    QStringList subItems = {};
};
Q_DECLARE_METATYPE(Row)

namespace {

void fill(core::ListModel& list, const QStringList& headers, const QList<Row>& rows) {
    for (const QString& header : headers)
        list.addColumn(header);
    for (const Row& row : rows) {
        list.addItem(row.text);
        const std::int64_t position = list.itemCount();
        list.setTicked(position, row.ticked);
        for (int k = 0; k < row.subItems.size(); ++k)
            list.setSubItem(position, k + 1, row.subItems[k]);
    }
}


// Makes file permissions apply to this thread even for root, by dropping the capabilities that override
// them from its effective set; they come back at the end.
class PermissionsApply {
public:
    PermissionsApply() {
        if (syscall(SYS_capget, &m_header, m_caps) != 0)
            return;
        m_saved = m_caps[0].effective;
        m_caps[0].effective &= ~((1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH) | (1U << CAP_FOWNER));
        syscall(SYS_capset, &m_header, m_caps);
    }
    ~PermissionsApply() {
        m_caps[0].effective = m_saved;
        syscall(SYS_capset, &m_header, m_caps);
    }
    PermissionsApply(const PermissionsApply&) = delete;
    PermissionsApply& operator=(const PermissionsApply&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_caps[2]{};
    std::uint32_t m_saved = 0;
};

} // namespace

class TextExportTest : public QObject {
    Q_OBJECT
private slots:
    void writesAlignedBytes_data();
    void writesAlignedBytes();
    void clickSavesUnderTheNameGivenAndReplacesAnOldFile();
    void cancelWritesNothingAndKeepsThePointer();
    void missingFolderReportsEachFileStatementOnce();
    void uncreatableFileReportsFourTimesWhateverTheRows_data();
    void uncreatableFileReportsFourTimesWhateverTheRows();
    void pathThatIsAFolderIsReportedAndLeftAlone();
    void failedWriteKeepsTheEarlierFile_data();
    void failedWriteKeepsTheEarlierFile();
    void rowsClearedMidwayAreReportedAndTheFileStillCloses();
    void readOnlyFolderStillTakesAWritableFile_data();
    void readOnlyFolderStillTakesAWritableFile();
};

void TextExportTest::writesAlignedBytes_data() {
    QTest::addColumn<QStringList>("headers");
    QTest::addColumn<QList<Row>>("rows");
    QTest::addColumn<QByteArray>("expected");

    const QStringList results{u"Results"_s};
    QTest::newRow("empty list") << results << QList<Row>{} << QByteArray("Results\t\r\n");
    QTest::newRow("unticked row sets the width")
        << results << QList<Row>{{u"3 - 5"_s, true}, {u"12 - 1"_s, true}, {u"6 - 6 - 6 - 6"_s, false}}
        << QByteArray("Results      \t\r\n3 - 5        \t\r\n12 - 1       \t\r\n");
    QTest::newRow("no row ticked") << results << QList<Row>{{u"Heads - Tails - Heads"_s, false}}
                                   << QByteArray("Results              \t\r\n");
    QTest::newRow("longest row ticked carries no spaces")
        << results << QList<Row>{{u"Rock - Scissors"_s, true}, {u"Paper"_s, true}}
        << QByteArray("Results        \t\r\nRock - Scissors\t\r\nPaper          \t\r\n");
    QTest::newRow("two columns") << QStringList{u"A"_s, u"Name"_s} << QList<Row>{{u"xyz"_s, true, {u"b"_s}}}
                                 << QByteArray("A  \tName\t\r\nxyz\tb   \t\r\n");
    QTest::newRow("empty cells and untouched tabs")
        << QStringList{u"A"_s, u""_s} << QList<Row>{{u""_s, true}, {u"a\tb"_s, true, {u""_s}}}
        << QByteArray("A  \t\t\r\n   \t\t\r\na\tb\t\t\r\n");
    // Widths count UTF-16 code units; the bytes are the locale's encoding (UTF-8 here).
    QTest::newRow("non-ASCII labels") << results << QList<Row>{{u"Würfel – €"_s, true}, {u"Ass"_s, true}}
                                      << QByteArray("Results   \t\r\nW\xc3\xbcrfel \xe2\x80\x93 \xe2\x82\xac\t\r\n"
                                                    "Ass       \t\r\n");
}

void TextExportTest::writesAlignedBytes() {
    QFETCH(QStringList, headers);
    QFETCH(QList<Row>, rows);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    fakes::FakeServices fake;
    core::ListModel list;
    fill(list, headers, rows);

    const QString path = dir.filePath(u"out.txt"_s);
    Main::SaveListviewProperlySpacedWithoutProgressBar(list, path, fake.services);

    QCOMPARE(fake.messageBox.texts(), QStringList());
    QCOMPARE(fakes::readFile(path), expected);

    // The same layout for callers that write the lines themselves.
    QString lines;
    results::writeAlignedText(list, [&](QStringView line) { lines += line + u"\r\n"_s; });
    QCOMPARE(lines.toUtf8(), expected);
}

void TextExportTest::clickSavesUnderTheNameGivenAndReplacesAnOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"rolls"_s);
    fakes::writeFile(path, QByteArray(500, 'x'));
    fakes::FakeServices fake;
    fake.fileDialogs.saveAnswers.enqueue(path);
    core::ListModel list;
    fill(list, {u"Results"_s}, {{u"Heads"_s, true}});
    core::MousePointer pointer;
    QList<int> shapes;
    pointer.setApply([&](int shape) { shapes.append(shape); });

    results::saveResultsAsTextFile(list, pointer, fake.services);

    QCOMPARE(fake.fileDialogs.saveTitles, QStringList{u"Save"_s});
    QCOMPARE(fake.fileDialogs.saveFilters, QStringList{u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"_s});
    QCOMPARE(fakes::readFile(path), QByteArray("Results\t\r\nHeads  \t\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"rolls"_s}); // no ".txt", no leftovers
    QCOMPARE(shapes, (QList<int>{11, 0}));
    QCOMPARE(fake.messageBox.texts(), QStringList());
}

void TextExportTest::cancelWritesNothingAndKeepsThePointer() {
    QTemporaryDir dir;
    fakes::FakeServices fake; // no queued answer: the dialog is cancelled
    core::ListModel list;
    fill(list, {u"Results"_s}, {{u"Heads"_s, true}});
    core::MousePointer pointer;
    QList<int> shapes;
    pointer.setApply([&](int shape) { shapes.append(shape); });

    results::saveResultsAsTextFile(list, pointer, fake.services);

    QCOMPARE(fake.fileDialogs.saveTitles.size(), 1);
    QCOMPARE(shapes, QList<int>());
    QCOMPARE(fake.messageBox.texts(), QStringList());
}

void TextExportTest::missingFolderReportsEachFileStatementOnce() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"no such folder/out.txt"_s);
    fakes::FakeServices fake;
    fake.fileDialogs.saveAnswers.enqueue(path);
    core::ListModel list;
    fill(list, {u"Results"_s}, {{u"a"_s, true}, {u"b"_s, false}, {u"c"_s, true}});
    core::MousePointer pointer;
    QList<int> shapes;
    pointer.setApply([&](int shape) { shapes.append(shape); });

    results::saveResultsAsTextFile(list, pointer, fake.services);

    // Creation fails, then the header, the first ticked row and the close: one report each, from the writer.
    QCOMPARE(fake.messageBox.reportedLines(), (QStringList{u"136"_s, u"150"_s, u"180"_s, u"184"_s}));
    const QStringList texts = fake.messageBox.texts();
    QVERIFY(texts.first().startsWith(u"Path not found\r\n"_s));
    for (const QString& text : texts)
        QVERIFY(text.contains(u".Main.SaveListviewProperlySpacedWithoutProgressBar at line"_s));
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(shapes, (QList<int>{11, 0}));
}

void TextExportTest::uncreatableFileReportsFourTimesWhateverTheRows_data() {
    QTest::addColumn<QString>("path"); // relative paths go into a fresh temporary folder
    QTest::newRow("missing folder") << u"gone/out.txt"_s;
    QTest::newRow("a folder's name") << u"."_s;
    // Permissions do not stop root; these file systems refuse new files to everyone.
    QTest::newRow("read-only /proc") << u"/proc/quorvin-tessaly-results.txt"_s;
    QTest::newRow("read-only /sys") << u"/sys/kernel/quorvin-tessaly-results.txt"_s;
}

void TextExportTest::uncreatableFileReportsFourTimesWhateverTheRows() {
    QFETCH(QString, path);
    QTemporaryDir dir;
    if (QDir::isRelativePath(path))
        path = dir.filePath(path);
    constexpr int kRows = 100000;
    fakes::FakeServices fake;
    core::ListModel list;
    list.addColumn(u"Results"_s);
    for (int i = 0; i < kRows; ++i)
        list.addItem(u"Heads - Tails"_s);
    list.setAllTicked(true);

    Main::SaveListviewProperlySpacedWithoutProgressBar(list, path, fake.services, std::chrono::microseconds(0));

    QCOMPARE(fake.messageBox.reportedLines(), (QStringList{u"136"_s, u"150"_s, u"180"_s, u"184"_s}));
    QVERIFY(!QFileInfo(path).isFile());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    // Measuring yields once per row; the rows after the first failed write are not gone through again.
    QVERIFY2(fake.events.calls < kRows + 10, qPrintable(QString::number(fake.events.calls)));
}

void TextExportTest::pathThatIsAFolderIsReportedAndLeftAlone() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"taken"_s));
    fakes::FakeServices fake;
    core::ListModel list;
    fill(list, {u"Results"_s}, {});

    Main::SaveListviewProperlySpacedWithoutProgressBar(list, dir.filePath(u"taken"_s), fake.services);

    QCOMPARE(fake.messageBox.reportedLines(), (QStringList{u"136"_s, u"150"_s, u"184"_s}));
    QVERIFY(QFileInfo(dir.filePath(u"taken"_s)).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{u"taken"_s});
}

void TextExportTest::failedWriteKeepsTheEarlierFile_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("failingLine");
    QTest::newRow("lost in the final flush") << 10 << u"184"_s;
    QTest::newRow("lost while writing rows") << 200000 << u"180"_s;
}

void TextExportTest::failedWriteKeepsTheEarlierFile() {
    QFETCH(int, rows);
    QFETCH(QString, failingLine);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"results.txt"_s);
    const QByteArray earlier("the user's earlier results\r\n");
    fakes::writeFile(path, earlier);
    fakes::FakeServices fake;
    core::ListModel list;
    list.addColumn(u"Results"_s);
    for (int i = 0; i < rows; ++i)
        list.addItem(u"Rock - Paper - Scissors"_s);
    list.setAllTicked(true);

    {
        const fakes::FileSizeLimit limit(64);
        Main::SaveListviewProperlySpacedWithoutProgressBar(list, path, fake.services);
    }

    // One report for the lost bytes, not one per row after them.
    QCOMPARE(fake.messageBox.reportedLines(), QStringList{failingLine});
    QVERIFY(fake.messageBox.texts().first().startsWith(u"Disk full\r\n"_s));
    QCOMPARE(fakes::readFile(path), earlier);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{u"results.txt"_s});
}

void TextExportTest::rowsClearedMidwayAreReportedAndTheFileStillCloses() {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.txt"_s);
    fakes::FakeServices fake;
    core::ListModel list;
    fill(list, {u"Results"_s}, {{u"first"_s, true}, {u"second"_s, true}});
    // "Clear Results" runs while the writer lets the window process its events in the rows loop.
    int yields = 0;
    fake.events.onProcess = [&] {
        if (++yields == 5) // two rows measured, the header, row 1, then row 1's first cell
            list.removeAll();
    };

    Main::SaveListviewProperlySpacedWithoutProgressBar(list, path, fake.services, std::chrono::microseconds(0));

    // Row 1's cell can no longer be read (its test, then its branch); row 2's tick test fails too, and
    // a failing test counts as holding; row 2's cell fails as row 1's did and is not reported again.
    // The rows lose their text but the file is still written.
    QCOMPARE(fake.messageBox.reportedLines(), (QStringList{u"166"_s, u"168"_s, u"158"_s}));
    QVERIFY(fake.messageBox.texts().first().startsWith(u"Index out of bounds\r\n"_s));
    QCOMPARE(fakes::readFile(path), QByteArray("Results\t\r\n\r\n\r\n"));
}

void TextExportTest::readOnlyFolderStillTakesAWritableFile_data() {
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("permissions");
    QTest::addColumn<bool>("saved");
    const int readWrite = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QTest::newRow("writable file, written in place") << true << readWrite << true;
    QTest::newRow("read-only file") << true << int(QFileDevice::ReadOwner) << false;
    QTest::newRow("no file yet") << false << readWrite << false;
}

void TextExportTest::readOnlyFolderStillTakesAWritableFile() {
    QFETCH(bool, exists);
    QFETCH(int, permissions);
    QFETCH(bool, saved);
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"shared"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString path = folder + u"/results.txt"_s;
    const QByteArray earlier("the user's earlier results\r\n");
    if (exists) {
        fakes::writeFile(path, earlier);
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions(permissions)));
    }
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    fakes::FakeServices fake;
    core::ListModel list;
    fill(list, {u"Results"_s}, {{u"Heads"_s, true}});

    {
        const PermissionsApply asAUser;
        Main::SaveListviewProperlySpacedWithoutProgressBar(list, path, fake.services);
    }
    QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

    QCOMPARE(fakes::readFile(path), saved ? QByteArray("Results\t\r\nHeads  \t\r\n") : exists ? earlier : "<unreadable>");
    QCOMPARE(fake.messageBox.shown.isEmpty(), saved);
    if (!saved)
        QVERIFY(fake.messageBox.texts().first().startsWith(u"Permission denied\r\n"_s));
}

QTEST_GUILESS_MAIN(TextExportTest)
#include "tst_textexport.moc"
