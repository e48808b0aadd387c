#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "dice/SideListLoader.h"
#include "dice/SideListReader.h"
#include "dice/SidesCommands.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {} // namespace

class SideListLoaderTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void lineRules_data();
    void lineRules();
    void skipsLabelsAlreadyListed();
    void badBytesNeitherCrashNorStopTheLoad();
    void missingFileSaysFileNotFoundAndAddsNothing();
    void failedReadKeepsTheLinesReadBeforeIt_data();
    void failedReadKeepsTheLinesReadBeforeIt();

    void commandAsksWithItsTitleAndFilter();
    void cancelledDialogDoesNothing();
    void severalFilesLoadInOrderWithARefreshAfterEach();
    void missingOrUnreadableFileDoesNotStopTheNextOne();
    void busyPointerShowsWhileLoading();

    void fixPathBackslashes_data();
    void fixPathBackslashes();
    void joinedPathsHaveSingleSeparators();

private:
    QString write(const QString& name, const QByteArray& bytes) {
        return fakes::writeFile(m_dir->filePath(name), bytes);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void SideListLoaderTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void SideListLoaderTest::lineRules_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("sides");
    const QStringList ab = {u"A"_s, u"B"_s};
    QTest::newRow("CR LF") << QByteArray("A\r\nB\r\n") << ab;
    QTest::newRow("LF only") << QByteArray("A\nB\n") << ab;
    QTest::newRow("CR only") << QByteArray("A\rB\r") << ab;
    QTest::newRow("mixed, last line unterminated")
        << QByteArray("A\nB\r\nC\rD") << QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s};
    QTest::newRow("empty line skipped, repeat added once") << QByteArray("A\r\n\r\nB\r\nA\r\n") << ab;
    QTest::newRow("LF CR is two ends") << QByteArray("A\n\rB") << ab;
    QTest::newRow("only terminators") << QByteArray("\r\n\n\r\r\n") << QStringList();
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("spaces and tabs are kept")
        << QByteArray("  \r\n A\r\nA \r\n\tA\t\r\nA\r\n") << QStringList{u"  "_s, u" A"_s, u"A "_s, u"\tA\t"_s, u"A"_s};
    QTest::newRow("case differs") << QByteArray("a\r\nA\r\na\r\n") << QStringList{u"a"_s, u"A"_s};
    QTest::newRow("no special characters") << QByteArray("# x;y\r\n\"q\"\r\n") << QStringList{u"# x;y"_s, u"\"q\""_s};
    QTest::newRow("byte-order mark stays part of the first line")
        << QByteArray("\xEF\xBB\xBFHeads\r\nTails") << QStringList{u"\uFEFFHeads"_s, u"Tails"_s};
    QTest::newRow("UTF-8 text") << QByteArray("W\xC3\xBCrfel\nd\xE2\x82\xAC") << QStringList{u"Würfel"_s, u"d€"_s};
}

void SideListLoaderTest::lineRules() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, sides);
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    list.setTextIndexEnabled(true);
    Main::LoadListviewFromTextFile(list, write(u"sides.txt"_s, bytes), messageBox);
    QCOMPARE(fakes::itemTexts(list), sides);
    QVERIFY(messageBox.shown.isEmpty());
}

void SideListLoaderTest::skipsLabelsAlreadyListed() {
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    list.setTextIndexEnabled(true);
    list.addItem(u"B"_s);
    const QString path = write(u"sides.txt"_s, "A\r\nB\r\nC\r\n");
    Main::LoadListviewFromTextFile(list, path, messageBox);
    Main::LoadListviewFromTextFile(list, path, messageBox);
    QCOMPARE(fakes::itemTexts(list), (QStringList{u"B"_s, u"A"_s, u"C"_s}));
}

void SideListLoaderTest::badBytesNeitherCrashNorStopTheLoad() {
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    list.setTextIndexEnabled(true);
    Main::LoadListviewFromTextFile(list, write(u"bad.txt"_s, QByteArray("\xFF\xFE\x80x\r\n\xC3\r\nok\r\n")),
                                   messageBox);
    QCOMPARE(list.itemCount(), 3);
    QVERIFY(list.text(1).endsWith(u'x'));
    QCOMPARE(list.text(3), u"ok"_s);
}

void SideListLoaderTest::missingFileSaysFileNotFoundAndAddsNothing() {
    fakes::FakeMessageBox messageBox;
    core::ListModel list;
    Main::LoadListviewFromTextFile(list, m_dir->filePath(u"missing.txt"_s), messageBox);
    Main::LoadListviewFromTextFile(list, QString(), messageBox);
    QCOMPARE(list.itemCount(), 0);
    QCOMPARE(messageBox.texts(), (QStringList{u"File not found"_s, u"File not found"_s}));
    QCOMPARE(messageBox.shown[0].style, 0);
    QVERIFY(messageBox.shown[0].title.isEmpty());
}

namespace {

struct Command {
    Command() {
        sides.addColumn(dice::sidesHeaderText(0));
        sides.setTextIndexEnabled(true);
        QObject::connect(&sides, &QAbstractItemModel::headerDataChanged, &sides,
                         [this] { headers.append(sides.headerText(1)); });
    }
    void choose(const QStringList& paths) { fake.fileDialogs.openAnswers.enqueue(paths); }

    fakes::FakeServices fake;
    core::ListModel sides;
    core::MousePointer pointer;
    dice::SidesCommands commands{sides, pointer, fake.services};
    QStringList headers; // the count header after each refresh
};

} // namespace

void SideListLoaderTest::failedReadKeepsTheLinesReadBeforeIt_data() {
    QTest::addColumn<QList<QByteArray>>("before"); // the reads that succeed before one fails
    QTest::addColumn<QStringList>("sides");
    QTest::newRow("lines of earlier reads")
        << QList<QByteArray>{"A\r\nB\r\n", "C\n"} << QStringList{u"listed"_s, u"A"_s, u"B"_s, u"C"_s};
    QTest::newRow("a line cut by the failure is dropped")
        << QList<QByteArray>{"A\nB\nhalf a li"} << QStringList{u"listed"_s, u"A"_s, u"B"_s};
    QTest::newRow("repeats and listed labels still skipped")
        << QList<QByteArray>{"A\nlisted\nA\n"} << QStringList{u"listed"_s, u"A"_s};
    QTest::newRow("the first read fails") << QList<QByteArray>{} << QStringList{u"listed"_s};
}

void SideListLoaderTest::failedReadKeepsTheLinesReadBeforeIt() {
    QFETCH(QList<QByteArray>, before);
    QFETCH(QStringList, sides);
    core::ListModel list;
    list.setTextIndexEnabled(true);
    list.addItem(u"listed"_s);
    qsizetype reads = 0;
    const auto read = [&]() -> QByteArrayView {
        if (reads == before.size())
            throw platform::RuntimeError(platform::RuntimeError::DeviceIoError);
        return before[reads++];
    };

    QVERIFY_THROWS_EXCEPTION(platform::RuntimeError, dice::appendSideList(list, read));
    QCOMPARE(fakes::itemTexts(list), sides);
}

void SideListLoaderTest::commandAsksWithItsTitleAndFilter() {
    Command command;
    command.commands.loadListFromFile();
    QCOMPARE(command.fake.fileDialogs.openTitles,
             QStringList{u"Load List(s) - Hold Ctrl to select multiple list files"_s});
    QCOMPARE(command.fake.fileDialogs.openFilters, QStringList{u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"_s});
}

void SideListLoaderTest::cancelledDialogDoesNothing() {
    Command command;
    command.sides.addItem(u"A"_s);
    command.pointer.set(core::MousePointer::Custom);
    command.commands.loadListFromFile();
    QCOMPARE(command.sides.itemCount(), 1);
    QVERIFY(command.headers.isEmpty());
    QCOMPARE(command.pointer.value(), int(core::MousePointer::Custom));
    QVERIFY(command.fake.messageBox.shown.isEmpty());
}

void SideListLoaderTest::severalFilesLoadInOrderWithARefreshAfterEach() {
    Command command;
    command.choose({write(u"c.txt"_s, "3\r\n1\r\n"), write(u"a.txt"_s, "1\n2\n"), write(u"empty.txt"_s, "")});
    command.commands.loadListFromFile();
    QCOMPARE(fakes::itemTexts(command.sides), (QStringList{u"3"_s, u"1"_s, u"2"_s}));
    QCOMPARE(command.headers,
             (QStringList{dice::sidesHeaderText(2), dice::sidesHeaderText(3), dice::sidesHeaderText(3)}));
    QCOMPARE(command.pointer.value(), int(core::MousePointer::Default));

    // The same file once more adds nothing, yet the header is refreshed.
    command.choose({m_dir->filePath(u"a.txt"_s)});
    command.commands.loadListFromFile();
    QCOMPARE(command.sides.itemCount(), 3);
    QCOMPARE(command.headers.size(), 4);
}

void SideListLoaderTest::missingOrUnreadableFileDoesNotStopTheNextOne() {
    Command command;
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder.txt"_s));
    command.choose({m_dir->filePath(u"missing.txt"_s), write(u"a.txt"_s, "A\r\n"), m_dir->filePath(u"folder.txt"_s),
                    write(u"b.txt"_s, "B\r\n")});
    command.commands.loadListFromFile();

    QCOMPARE(fakes::itemTexts(command.sides), (QStringList{u"A"_s, u"B"_s}));
    QCOMPARE(command.headers.size(), 4);
    const QList<fakes::ShownMessage>& shown = command.fake.messageBox.shown;
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].text, u"File not found"_s);
    QCOMPARE(shown[1].title, u"Application Error"_s);
    QVERIFY(shown[1].text.contains(u"in Quorvin2021/08/31.Form1.PushButton3_Click at line"_s));
    QCOMPARE(command.pointer.value(), int(core::MousePointer::Default));
}

void SideListLoaderTest::busyPointerShowsWhileLoading() {
    Command command;
    int pointerWhileShown = -1;
    command.fake.messageBox.onShow = [&](const fakes::ShownMessage&) { pointerWhileShown = command.pointer.value(); };
    command.choose({m_dir->filePath(u"missing.txt"_s)});
    command.commands.loadListFromFile();
    QCOMPARE(pointerWhileShown, int(core::MousePointer::Hourglass));
    QCOMPARE(command.pointer.value(), int(core::MousePointer::Default));
    QCOMPARE(command.headers.size(), 1);
}

void SideListLoaderTest::fixPathBackslashes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fixed");
    QTest::newRow("drive root join") << uR"(C:\\a.txt)"_s << uR"(C:\a.txt)"_s;
    QTest::newRow("nothing doubled") << uR"(C:\dir\a.txt)"_s << uR"(C:\dir\a.txt)"_s;
    QTest::newRow("run of three") << uR"(C:\\\a.txt)"_s << uR"(C:\\a.txt)"_s;
    QTest::newRow("run of four") << uR"(C:\\\\a.txt)"_s << uR"(C:\\a.txt)"_s;
    QTest::newRow("network path") << uR"(\\server\share\\a.txt)"_s << uR"(\\server\share\a.txt)"_s;
    QTest::newRow("one leading") << uR"(\dir\a.txt)"_s << uR"(\\dir\a.txt)"_s;
    QTest::newRow("many leading") << uR"(\\\\\server\\\a)"_s << uR"(\\server\\a)"_s;
    QTest::newRow("only backslashes") << uR"(\\\)"_s << uR"(\\)"_s;
    QTest::newRow("empty") << QString() << QString();
}

void SideListLoaderTest::fixPathBackslashes() {
    QFETCH(QString, path);
    QFETCH(QString, fixed);
    QCOMPARE(Main::FixPathBackslashes(path), fixed);
}

void SideListLoaderTest::joinedPathsHaveSingleSeparators() {
#ifdef Q_OS_WIN
    QCOMPARE(Main::FixPathSeparators(uR"(C:\\a.txt)"_s), uR"(C:\a.txt)"_s);
#else
    QCOMPARE(Main::FixPathSeparators(u"//a.txt"_s), u"/a.txt"_s);
    QCOMPARE(Main::FixPathSeparators(u"/home//x/a\\\\b.txt"_s), u"/home/x/a\\\\b.txt"_s); // "\" is a name character
#endif
}

QTEST_GUILESS_MAIN(SideListLoaderTest)
#include "tst_side_list_loader.moc"
