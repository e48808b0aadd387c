#include "fakes/TestSupport.h"
#include "platform/RuntimeError.h"
#include "shell/HandCursor.h"

#include <QBitmap>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class HandCursorTest : public QObject {
    Q_OBJECT
private slots:
    void shippedHandLoadsWithItsHotSpot_data();
    void shippedHandLoadsWithItsHotSpot();
    void damagedFilesRaiseInsteadOfShowingGarbage_data();
    void damagedFilesRaiseInsteadOfShowingGarbage();
};

void HandCursorTest::shippedHandLoadsWithItsHotSpot_data() {
    QTest::addColumn<QString>("folder");
    QTest::newRow("data folder") << QStringLiteral(TESSALY_SOURCE_DIR) + u"/data"_s;
    // Where a program started from the build tree (scripts/run) looks first.
    QTest::newRow("beside the built program") << QFileInfo(QStringLiteral(TESSALY_EXECUTABLE)).absolutePath();
}

void HandCursorTest::shippedHandLoadsWithItsHotSpot() {
    QFETCH(QString, folder);
    QVERIFY2(QFile::exists(folder + u"/HAND-M.CUR"_s), qPrintable(folder));
    const QCursor hand = Main::LoadCursorFile(folder + u"/HAND-M.CUR"_s);
    QCOMPARE(hand.hotSpot(), QPoint(6, 0));
    const QImage image = hand.pixmap().toImage();
    QCOMPARE(image.size(), QSize(32, 32));
    QCOMPARE(qAlpha(image.pixel(6, 0)), 255);         // the fingertip's outline
    QCOMPARE(qAlpha(image.pixel(31, 31)), 0);         // a corner stays see-through
    QCOMPARE(image.pixel(7, 3), qRgb(255, 255, 255)); // inside the finger
}

void HandCursorTest::damagedFilesRaiseInsteadOfShowingGarbage_data() {
    QFile file(QStringLiteral(TESSALY_SOURCE_DIR) + u"/data/HAND-M.CUR"_s);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("directory only") << good.left(22);
    QTest::newRow("image cut short") << good.left(200);
    QByteArray icon = good;
    icon[2] = 1; // an icon, not a cursor
    QTest::newRow("icon type") << icon;
    QByteArray farOffset = good;
    farOffset[18] = char(0xff);
    farOffset[19] = char(0xff);
    QTest::newRow("offset past the end") << farOffset;
}

void HandCursorTest::damagedFilesRaiseInsteadOfShowingGarbage() {
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString file = fakes::writeFile(dir.filePath(u"HAND-M.CUR"_s), bytes);
    QVERIFY_THROWS_EXCEPTION(platform::RuntimeError, Main::LoadCursorFile(file));
}

QTEST_MAIN(HandCursorTest)
#include "tst_hand_cursor.moc"
