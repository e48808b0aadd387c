#include "core/Main.h"
#include "fakes/TestSupport.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class MainTest : public QObject {
    Q_OBJECT
private slots:
    void applicationTitleDropsAtLeastOneWord_data();
    void applicationTitleDropsAtLeastOneWord();
    void fileExistsOnlyForFiles();
};

void MainTest::applicationTitleDropsAtLeastOneWord_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("title");
    QTest::newRow("two words") << u"Quorvin Tessaly"_s << u"Quorvin"_s;
    QTest::newRow("short three words") << u"A B C"_s << u"A B"_s;
    QTest::newRow("long name") << u"Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota"_s
                               << u"Alpha Beta Gamma Delta Epsilon Zeta Eta"_s;
    QTest::newRow("one word") << u"Solo"_s << u"Solo"_s;
}

void MainTest::applicationTitleDropsAtLeastOneWord() {
    QFETCH(QString, product);
    QFETCH(QString, title);
    QCOMPARE(Main::ApplicationTitleFor(product), title);
}

void MainTest::fileExistsOnlyForFiles() {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"HAND-M.CUR"_s);
    QVERIFY(!Main::FileExists(file));
    fakes::writeFile(file, {});
    QVERIFY(Main::FileExists(file));
    QVERIFY(!Main::FileExists(QString()));
    QVERIFY(!Main::FileExists(dir.path()));
    QVERIFY(!Main::FileExists(file + QChar(u'\0') + u"x"_s));
}

QTEST_GUILESS_MAIN(MainTest)
#include "tst_main.moc"
