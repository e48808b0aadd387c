#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "dice/SideListLoader.h"
#include "dice/SideListReader.h"
#include "dice/SidesCommands.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "platform/RuntimeError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using platform::RuntimeError;

namespace {

// The loader's error number, or 0 when it raised none.
int loadError(core::ListModel& list, const QString& path, fakes::FakeMessageBox& messageBox) {
    try {
        Main::LoadListviewFromTextFile(list, path, messageBox);
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

} // namespace

class HostileSideFilesTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void oddBytesLoadWhatTheyCan_data();
    void oddBytesLoadWhatTheyCan();
    void charactersAndLineEndsSplitAcrossReadsComeOutWhole();
    void filesThatAreNotRegularAreRefusedWithoutWaiting_data();
    void filesThatAreNotRegularAreRefusedWithoutWaiting();
    void refusedFileIsReportedAndTheLoadGoesOn();
    void fileGoneBeforeTheReadIsFileNotFound();
    void readErrorMidwayAddsNothing();
    void unreadableFileIsPermissionDenied();
    void fileBeyondTheLimitIsRefusedBeforeAnyLine();
    void utf8ReaderSkipsRepeatsAcrossFiles();

private:
    QString write(const QString& name, const QByteArray& bytes) {
        return fakes::writeFile(m_dir->filePath(name), bytes);
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void HostileSideFilesTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void HostileSideFilesTest::oddBytesLoadWhatTheyCan_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("sides");
    const QChar nul(u'\0');
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("NUL inside and as a line")
        << QByteArray("A\0B\r\n\0\r\nC", 9) << QStringList{u"A"_s + nul + u"B"_s, QString(nul), u"C"_s};
    QTest::newRow("invalid UTF-8 becomes U+FFFD")
        << QByteArray("\xC3\x28\r\n\xED\xA0\x80x") << QStringList{u"\uFFFD("_s, u"\uFFFD\uFFFD\uFFFDx"_s};
    QTest::newRow("truncated last character")
        << QByteArray("ok\r\nd\xE2\x82") << QStringList{u"ok"_s, u"d\uFFFD\uFFFD"_s};
    QTest::newRow("non-BMP character") << QByteArray("\xF0\x9F\x8E\xB2\n") << QStringList{u"\U0001F3B2"_s};
    QTest::newRow("two cut characters in a row")
        << QByteArray("\xE2\x82\xE2\x82\r\xF0\x9F") << QStringList{u"\uFFFD\uFFFD\uFFFD\uFFFD"_s, u"\uFFFD\uFFFD"_s};
    // Side lists are read in the system's 8-bit encoding: a UTF-16 file gives NUL-laden labels, one per
    // CR and per LF, and nothing crashes.
    QTest::newRow("UTF-16 with byte-order mark")
        << QByteArray("\xFF\xFE"
                      "A\0\r\0\n\0B\0",
                      10)
        << QStringList{u"\uFFFD\uFFFDA"_s + nul, QString(nul), nul + u"B"_s + nul};
}

void HostileSideFilesTest::oddBytesLoadWhatTheyCan() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, sides);
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    list.setTextIndexEnabled(true);
    QCOMPARE(loadError(list, write(u"sides.txt"_s, bytes), messageBox), 0);
    QCOMPARE(fakes::itemTexts(list), sides);
    QVERIFY(messageBox.shown.isEmpty());

    // The command line keeps its sides in UTF-8: the same labels, however the bytes arrive.
    for (const qsizetype chunk : {qsizetype{1}, qsizetype{2}, bytes.size() + 1}) {
        dice::Utf8SideListReader reader;
        for (qsizetype at = 0; at < bytes.size(); at += chunk)
            reader.feed(QByteArrayView(bytes).sliced(at, std::min(chunk, bytes.size() - at)));
        const dice::Utf8Labels labels = reader.finish();
        QStringList read;
        for (std::int64_t i = 0; i < labels.size(); ++i)
            read.append(QString::fromUtf8(labels.at(i)));
        QCOMPARE(read, sides);
    }
}

void HostileSideFilesTest::charactersAndLineEndsSplitAcrossReadsComeOutWhole() {
    // The loader reads 1 MiB at a time; put a three-byte character and then a CR LF across the first
    // boundaries, and a line far longer than one read.
    const qsizetype chunk = 1024 * 1024;
    QByteArray bytes(chunk - 1, 'a');
    bytes += "\xE2\x82\xAC";
    bytes += QByteArray(chunk - 4, 'b');
    bytes += "\r\nA\r\nA\r\n";
    bytes += QByteArray(3 * chunk, 'c');
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    list.setTextIndexEnabled(true);
    QCOMPARE(loadError(list, write(u"big.txt"_s, bytes), messageBox), 0);
    QCOMPARE(list.itemCount(), 3);
    QCOMPARE(list.text(1), QString(chunk - 1, u'a') + u'€' + QString(chunk - 4, u'b'));
    QCOMPARE(list.text(2), u"A"_s);
    QCOMPARE(list.text(3), QString(3 * chunk, u'c'));

    // A character cut short just before a boundary, the line end just after it: the end must survive.
    QByteArray broken(chunk - 1, 'd');
    broken += "\xE2\nB";
    core::ListModel second;
    QCOMPARE(loadError(second, write(u"broken.txt"_s, broken), messageBox), 0);
    QCOMPARE(fakes::itemTexts(second), (QStringList{QString(chunk - 1, u'd') + u'\uFFFD', u"B"_s}));
}

void HostileSideFilesTest::filesThatAreNotRegularAreRefusedWithoutWaiting_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO without a writer") << u"fifo"_s;
    QTest::newRow("folder") << u"folder"_s;
    QTest::newRow("endless device") << u"/dev/zero"_s;
    QTest::newRow("empty device") << u"/dev/null"_s;
}

void HostileSideFilesTest::filesThatAreNotRegularAreRefusedWithoutWaiting() {
    QFETCH(QString, kind);
    QString path = kind;
    if (kind == u"fifo"_s) {
        path = m_dir->filePath(u"pipe.txt"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == u"folder"_s) {
        path = m_dir->filePath(u"folder.txt"_s);
        QVERIFY(QDir(m_dir->path()).mkdir(u"folder.txt"_s));
    }
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    list.addItem(u"kept"_s);
    QCOMPARE(loadError(list, path, messageBox), int(RuntimeError::PathFileAccessError));
    QCOMPARE(fakes::itemTexts(list), QStringList{u"kept"_s});
    QVERIFY(messageBox.shown.isEmpty());
}

void HostileSideFilesTest::refusedFileIsReportedAndTheLoadGoesOn() {
    fakes::FakeServices fake;
    core::ListModel sides;
    sides.addColumn(dice::sidesHeaderText(0));
    sides.setTextIndexEnabled(true);
    core::MousePointer pointer;
    dice::SidesCommands commands(sides, pointer, fake.services);
    const QString fifo = m_dir->filePath(u"pipe.txt"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    fake.fileDialogs.openAnswers.enqueue({fifo, write(u"b.txt"_s, "B\r\n")});

    commands.loadListFromFile();

    QCOMPARE(fakes::itemTexts(sides), QStringList{u"B"_s});
    QCOMPARE(fake.messageBox.shown.size(), 1);
    QCOMPARE(fake.messageBox.shown[0].title, u"Application Error"_s);
    QVERIFY(fake.messageBox.shown[0].text.startsWith(u"Path/File access error\r\n"_s));
    QCOMPARE(pointer.value(), int(core::MousePointer::Default));
}

void HostileSideFilesTest::fileGoneBeforeTheReadIsFileNotFound() {
    // The existence test passed when the dialog closed; by the time the file is opened it is gone.
    const QString path = write(u"gone.txt"_s, "A\r\n");
    QVERIFY(QFile::remove(path));
    try {
        platform::TextFileReader reader(path);
        QFAIL("a missing file opened");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), int(RuntimeError::FileNotFound));
    }
}

void HostileSideFilesTest::readErrorMidwayAddsNothing() {
    // A regular file whose read fails: the process's own memory at address 0, which is never mapped.
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    list.addItem(u"kept"_s);
    QCOMPARE(loadError(list, u"/proc/self/mem"_s, messageBox), int(RuntimeError::DeviceIoError));
    QCOMPARE(fakes::itemTexts(list), QStringList{u"kept"_s});
}

void HostileSideFilesTest::unreadableFileIsPermissionDenied() {
    if (::geteuid() == 0)
        QSKIP("permissions do not stop root");
    const QString path = write(u"locked.txt"_s, "A\r\n");
    QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    QCOMPARE(loadError(list, path, messageBox), int(RuntimeError::PermissionDenied));
    QCOMPARE(list.itemCount(), 0);
}

void HostileSideFilesTest::fileBeyondTheLimitIsRefusedBeforeAnyLine() {
    // A sparse file: a gigabyte that takes no room, refused by its size before a byte is read.
    const QString path = write(u"huge.txt"_s, "A\r\n");
    QVERIFY(QFile::resize(path, dice::kMostSideListBytes + 1));
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    QCOMPARE(loadError(list, path, messageBox), int(RuntimeError::OutOfMemory));
    QCOMPARE(list.itemCount(), 0);
}

void HostileSideFilesTest::utf8ReaderSkipsRepeatsAcrossFiles() {
    // Enough labels for the index to grow many times; the second file repeats them all in reverse.
    QByteArray first;
    QByteArray second("new\n");
    for (int i = 0; i < 200000; ++i) {
        first += QByteArray::number(i) + '\n';
        second += QByteArray::number(199999 - i) + "\r\n";
    }
    dice::Utf8SideListReader reader;
    reader.feed(first);
    reader.endFile();
    reader.feed(second);
    const dice::Utf8Labels labels = reader.finish();
    QCOMPARE(labels.size(), 200001);
    QCOMPARE(labels.at(199999), QByteArrayView("199999"));
    QCOMPARE(labels.at(200000), QByteArrayView("new"));
}

QTEST_GUILESS_MAIN(HostileSideFilesTest)
#include "tst_hostile_side_files.moc"
