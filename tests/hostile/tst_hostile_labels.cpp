#include "core/ListModel.h"
#include "fakes/Fakes.h"
#include "fakes/TestSupport.h"
#include "results/ClipboardCopy.h"
#include "results/TextExport.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Labels of any content on their way out: the clipboard keeps every UTF-16 unit; the text file keeps
// every character its encoding (UTF-8 here) can hold and writes U+FFFD for a lone surrogate. Neither
// format escapes anything, so a tab, CR or LF inside a label stays as it is.
class HostileLabelsTest : public QObject {
    Q_OBJECT
private slots:
    void labelsLeaveAsTheFormatsAllow_data();
    void labelsLeaveAsTheFormatsAllow();
};

void HostileLabelsTest::labelsLeaveAsTheFormatsAllow_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("inFile"); // the label as the file holds it
    const QChar nul(u'\0');
    const QChar lowSurrogate(char16_t(0xDC00));
    const QChar highSurrogate(char16_t(0xD83C));
    QTest::newRow("separator") << u"a;b;"_s << u"a;b;"_s;
    QTest::newRow("tabs") << u"\tx\t"_s << u"\tx\t"_s;
    QTest::newRow("CR LF inside") << u"a\r\nb\rc\n"_s << u"a\r\nb\rc\n"_s;
    QTest::newRow("NUL") << u"a"_s + nul + u"b"_s << u"a"_s + nul + u"b"_s;
    QTest::newRow("non-BMP") << u"\U0001F3B2 - \U0001F3B2"_s << u"\U0001F3B2 - \U0001F3B2"_s;
    QTest::newRow("lone low surrogate") << u"x"_s + lowSurrogate + u"y"_s << u"x\uFFFDy"_s;
    QTest::newRow("lone high surrogate at the end") << u"x"_s + highSurrogate << u"x\uFFFD"_s;
    QTest::newRow("byte-order mark") << u"\uFEFFHeads"_s << u"\uFEFFHeads"_s;
}

void HostileLabelsTest::labelsLeaveAsTheFormatsAllow() {
    QFETCH(QString, label);
    QFETCH(QString, inFile);
    core::ListModel list;
    list.addColumn(u"Results"_s);
    list.addItem(label);
    list.addItem(u"unticked and longer than any label here"_s);
    list.setTicked(1, true);
    fakes::FakeServices fake;

    Main::CopyListviewToClipboard(list, fake.services);
    QCOMPARE(fake.clipboard.text, label + u"\r\n"_s);

    QTemporaryDir dir;
    const QString path = dir.filePath(u"results.txt"_s);
    Main::SaveListviewProperlySpacedWithoutProgressBar(list, path, fake.services);
    QVERIFY(fake.messageBox.shown.isEmpty());
    const qsizetype width = list.textLength(2);
    const QString expected = u"Results"_s + QString(width - 7, u' ') + u"\t\r\n"_s + inFile +
                             QString(width - label.size(), u' ') + u"\t\r\n"_s;
    QCOMPARE(QString::fromUtf8(fakes::readFile(path)), expected);
}

QTEST_GUILESS_MAIN(HostileLabelsTest)
#include "tst_hostile_labels.moc"
