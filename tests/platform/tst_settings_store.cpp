// The settings store answers from its cache inside one process, so every round trip here writes in
// one process and reads in another: this test program re-runs itself as the other process.

#include "fakes/TestSupport.h"
#include "platform/QtSettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace Qt::StringLiterals;

namespace {

// An unterminated section header: QSettings reads the lines around it and reports a format error.
const QByteArray kUnparsable("[General]\nText2=9\n[broken\nText1=3\nDice=a\n");

const char* const kChildMode = "TESSALY_SETTINGS_CHILD";

// Child: "write KEY" takes the value from stdin (UTF-8); "read KEY DEFAULT" prints the value.
int runChild(const QStringList& args) {
    platform::QtSettingsStore store;
    QFile out;
    out.open(stdout, QIODevice::WriteOnly);
    if (args.value(1) == u"write"_s) {
        QFile in;
        in.open(stdin, QIODevice::ReadOnly);
        store.write(args.value(2), QString::fromUtf8(in.readAll()));
        return 0;
    }
    if (args.value(1) == u"read"_s) {
        out.write(store.read(args.value(2), args.value(3)).toUtf8());
        return 0;
    }
    if (args.value(1) == u"file"_s) {
        out.write(store.fileName().toUtf8());
        return 0;
    }
    return 2;
}

} // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void valuesSurviveIntoAnotherProcess_data();
    void valuesSurviveIntoAnotherProcess();
    void absentKeyGivesTheDefaultButStoredEmptyTextStaysEmpty();
    void storeLivesInTheUsersConfigFolder();
    void unreadableFileIsKeptBeforeTheFirstWrite_data();
    void unreadableFileIsKeptBeforeTheFirstWrite();
    void takenBackupNamesAreLeftAlone();
    void readableFileIsNeverMovedAside();
    void unparsableFileInTheUsersFolderIsKept();
    void pipeOrDeviceInItsPlaceIsNeitherReadNorReplaced_data();
    void pipeOrDeviceInItsPlaceIsNeitherReadNorReplaced();

private:
    QString child(const QStringList& args, const QByteArray& input = {});
    std::unique_ptr<QTemporaryDir> m_config;
};

QString SettingsStoreTest::child(const QStringList& args, const QByteArray& input) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildMode), u"1"_s);
    env.insert(u"XDG_CONFIG_HOME"_s, m_config->path());
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationFilePath(), args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        qFatal("settings child failed: %s", process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput());
}

void SettingsStoreTest::init() {
    m_config = std::make_unique<QTemporaryDir>();
}

void SettingsStoreTest::valuesSurviveIntoAnotherProcess_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("separators") << u"a;b,c=d"_s;
    QTest::newRow("quotes and backslashes") << u"\"quoted\" 'single' C:\\dir\\file \\\\server"_s;
    QTest::newRow("at sign first") << u"@Variant(1)"_s;
    QTest::newRow("tabs and edge spaces") << u"  lead\ttab\t trail  "_s;
    QTest::newRow("non-ASCII") << u"Würfel – 六面 🎲"_s;
    QTest::newRow("brackets and hash") << u"[General]\n#not a comment"_s;
    QTest::newRow("a comma list") << u"1, 2, 3"_s;
    QString big;
    for (int i = 0; i < 2000; ++i)
        big += u"side "_s + QString::number(i) + u';';
    big.chop(1);
    QTest::newRow("several thousand characters") << big;
}

void SettingsStoreTest::valuesSurviveIntoAnotherProcess() {
    QFETCH(QString, value);
    child({u"write"_s, u"Dice"_s}, value.toUtf8());
    QCOMPARE(child({u"read"_s, u"Dice"_s, u"default"_s}), value);
}

void SettingsStoreTest::absentKeyGivesTheDefaultButStoredEmptyTextStaysEmpty() {
    QCOMPARE(child({u"read"_s, u"Text1"_s, u"1"_s}), u"1"_s);
    child({u"write"_s, u"Text1"_s});
    QCOMPARE(child({u"read"_s, u"Text1"_s, u"1"_s}), QString());
}

void SettingsStoreTest::storeLivesInTheUsersConfigFolder() {
    child({u"write"_s, u"Text2"_s}, "12");
    const QString file = m_config->path() + u"/Calverin/Quorvin Tessaly.conf"_s;
    QCOMPARE(child({u"file"_s}), file);
    QVERIFY(QFile::exists(file));
}

void SettingsStoreTest::unreadableFileIsKeptBeforeTheFirstWrite_data() {
    QTest::addColumn<bool>("folder"); // a folder where the file should be: unreadable even for root
    QTest::addColumn<QString>("textTwoAtStart");
    QTest::newRow("unparsable file") << false << u"9"_s;
    QTest::newRow("folder in its place") << true << u"5"_s;
}

void SettingsStoreTest::unreadableFileIsKeptBeforeTheFirstWrite() {
    QFETCH(bool, folder);
    QFETCH(QString, textTwoAtStart);
    const QString path = m_config->filePath(u"store.conf"_s);
    const QString backup = path + u".bak"_s;
    if (folder) {
        QVERIFY(QDir().mkpath(path));
        fakes::writeFile(path + u"/inside"_s, "kept");
    } else {
        fakes::writeFile(path, kUnparsable);
    }

    {
        platform::QtSettingsStore store(path);
        QCOMPARE(store.read(u"Text2"_s, u"5"_s), textTwoAtStart); // whatever could be read
        QCOMPARE(store.backupFileName(), QString());              // reading alone changes nothing
        QVERIFY(!QFileInfo::exists(backup));

        store.write(u"Text1"_s, u"4"_s);
        store.write(u"Dice"_s, u"x;y"_s);
        QCOMPARE(store.backupFileName(), backup);
        QCOMPARE(store.read(u"Text2"_s, u"5"_s), textTwoAtStart);
    }

    if (folder)
        QCOMPARE(fakes::readFile(backup + u"/inside"_s), QByteArray("kept"));
    else
        QCOMPARE(fakes::readFile(backup), kUnparsable);
    QCOMPARE(QDir(m_config->path()).entryList({u"store.conf*"_s}, QDir::AllEntries),
             (QStringList{u"store.conf"_s, u"store.conf.bak"_s}));
    platform::QtSettingsStore again(path);
    QCOMPARE(again.read(u"Text1"_s, u"1"_s), u"4"_s);
    QCOMPARE(again.read(u"Text2"_s, u"5"_s), textTwoAtStart);
    QCOMPARE(again.read(u"Dice"_s, QString()), u"x;y"_s);
    again.write(u"Text1"_s, u"5"_s); // a sound file now: no further copy
    QCOMPARE(again.backupFileName(), QString());
}

void SettingsStoreTest::takenBackupNamesAreLeftAlone() {
    const QString path = m_config->filePath(u"store.conf"_s);
    fakes::writeFile(path + u".bak"_s, "an older copy");
    QVERIFY(QDir().mkpath(path + u".1.bak"_s));
    for (const QByteArray& unparsable : {kUnparsable, QByteArray("[also broken\n")}) {
        fakes::writeFile(path, unparsable);
        platform::QtSettingsStore store(path);
        store.write(u"Text1"_s, u"2"_s);
    }
    QCOMPARE(fakes::readFile(path + u".bak"_s), QByteArray("an older copy"));
    QVERIFY(QFileInfo(path + u".1.bak"_s).isDir());
    QCOMPARE(fakes::readFile(path + u".2.bak"_s), kUnparsable);
    QCOMPARE(fakes::readFile(path + u".3.bak"_s), QByteArray("[also broken\n"));
}

void SettingsStoreTest::readableFileIsNeverMovedAside() {
    const QString path = m_config->filePath(u"store.conf"_s);
    fakes::writeFile(path, "[General]\nText2=7\n");
    platform::QtSettingsStore store(path);
    store.write(u"Text1"_s, u"3"_s);
    QCOMPARE(store.backupFileName(), QString());
    QCOMPARE(QDir(m_config->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{u"store.conf"_s});
    QCOMPARE(store.read(u"Text2"_s, u"5"_s), u"7"_s);
}

void SettingsStoreTest::unparsableFileInTheUsersFolderIsKept() {
    const QString file = fakes::settingsFileIn(m_config->path());
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    fakes::writeFile(file, kUnparsable);
    child({u"write"_s, u"Text1"_s}, "8");
    QCOMPARE(fakes::readFile(file + u".bak"_s), kUnparsable);
    QCOMPARE(child({u"read"_s, u"Text1"_s, u"1"_s}), u"8"_s);
    QCOMPARE(child({u"read"_s, u"Text2"_s, u"5"_s}), u"9"_s);
}

void SettingsStoreTest::pipeOrDeviceInItsPlaceIsNeitherReadNorReplaced_data() {
    QTest::addColumn<mode_t>("type");
    QTest::newRow("pipe without a writer") << mode_t{S_IFIFO};
    QTest::newRow("endless device") << mode_t{S_IFCHR}; // reads as /dev/zero does
}

void SettingsStoreTest::pipeOrDeviceInItsPlaceIsNeitherReadNorReplaced() {
    QFETCH(mode_t, type);
    const QString file = m_config->path() + u"/Calverin/Quorvin Tessaly.conf"_s;
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    if (::mknod(QFile::encodeName(file).constData(), type | 0644, makedev(1, 5)) != 0)
        QSKIP("cannot make the device here");
    // A child that waited on the pipe or read the device for ever would time out.
    child({u"write"_s, u"Text1"_s}, "8");
    QCOMPARE(child({u"read"_s, u"Text1"_s, u"1"_s}), u"1"_s);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &info), 0);
    QCOMPARE(info.st_mode & S_IFMT, type);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // nameless: the store knows the program's names itself
    if (qEnvironmentVariableIsSet(kChildMode))
        return runChild(QCoreApplication::arguments());
    SettingsStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_store.moc"
