#include "core/ListModel.h"
#include "core/Trap.h"
#include "fakes/Fakes.h"
#include "results/ClipboardCopy.h"
#include "results/ResultsCommands.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

struct Row {
    Row() = default;
    Row(QString text, bool ticked = false, QString second = {})
        : text(std::move(text))
        , ticked(ticked)
        , second(std::move(second)) {}
    QString text;
    bool ticked = false;
    QString second; // the first sub-item, shown only when the list has a second column
};

} // namespace

Q_DECLARE_METATYPE(QList<Row>)

class ClipboardCopyTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void copiesTickedRowsAsText_data();
    void copiesTickedRowsAsText();
    void emptyListLeavesTheClipboardAlone();
    void busyClipboardIsRetried_data();
    void busyClipboardIsRetried();
    void clipboardErrorsAreSwallowed();
    void clearResultsDuringACopyAbandonsIt();
    void rowsAppendedDuringACopyAreNotCopied();
    void longCopyYieldsToTheWindow();
    void clearResultsEmptiesTheList();

private:
    void fill(const QList<Row>& rows, int columns);

    fakes::FakeServices* m_fake = nullptr;
    core::ListModel* m_list = nullptr;
    QAbstractItemModelTester* m_tester = nullptr;
};

void ClipboardCopyTest::init() {
    m_fake = new fakes::FakeServices;
    m_list = new core::ListModel;
    m_list->setCheckable(true);
    m_tester = new QAbstractItemModelTester(m_list, QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void ClipboardCopyTest::cleanup() {
    delete m_tester;
    delete m_list;
    delete m_fake;
}

void ClipboardCopyTest::fill(const QList<Row>& rows, int columns) {
    m_list->addColumn(u"Results"_s);
    if (columns > 1)
        m_list->addColumn(u"Second"_s);
    for (const Row& row : rows) {
        m_list->addItem(row.text);
        m_list->setTicked(m_list->itemCount(), row.ticked);
        if (columns > 1 && !row.second.isNull())
            m_list->setSubItem(m_list->itemCount(), 1, row.second);
    }
}

void ClipboardCopyTest::copiesTickedRowsAsText_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<QList<Row>>("rows");
    QTest::addColumn<QString>("text");

    QTest::newRow("two ticked rows") << 1 << QList<Row>{{u"Heads - Tails"_s, true}, {u"Tails - Tails"_s, true}}
                                     << u"Heads - Tails\r\nTails - Tails\r\n"_s;
    QTest::newRow("rows 2 and 4 of five")
        << 1
        << QList<Row>{{u"one"_s, false}, {u"two"_s, true}, {u"three"_s, false}, {u"four"_s, true}, {u"five"_s, false}}
        << u"two\r\nfour\r\n"_s;
    QTest::newRow("none ticked") << 1 << QList<Row>{{u"a"_s}, {u"b"_s}, {u"c"_s}} << QString();
    QTest::newRow("empty row") << 1 << QList<Row>{{QString(), true}, {u"x"_s, true}} << u"\r\nx\r\n"_s;
    QTest::newRow("trailing spaces go, leading stay")
        << 1 << QList<Row>{{u"  a b  "_s, true}, {u"   "_s, true}} << u"  a b\r\n\r\n"_s;
    QTest::newRow("two columns padded to the widest cell")
        << 2 << QList<Row>{{u"ab"_s, true, u"x"_s}, {u"abcd"_s, true, u"y"_s}} << u"ab  \tx\r\nabcd\ty\r\n"_s;
    QTest::newRow("widths count unticked rows")
        << 2 << QList<Row>{{u"ab"_s, true, u"x"_s}, {u"abcdef"_s, false, u"y"_s}} << u"ab    \tx\r\n"_s;
    QTest::newRow("empty last cell keeps the tab before it")
        << 2 << QList<Row>{{u"ab"_s, true, QString()}, {u"abcd"_s, false, u"yy"_s}} << u"ab  \t\r\n"_s;
    QTest::newRow("spaces inside a padded cell stay")
        << 2 << QList<Row>{{u" a "_s, true, u"z "_s}, {u"abcde"_s, true, u" "_s}} << u" a   \tz\r\nabcde\t\r\n"_s;
}

void ClipboardCopyTest::copiesTickedRowsAsText() {
    QFETCH(int, columns);
    QFETCH(QList<Row>, rows);
    QFETCH(QString, text);
    fill(rows, columns);
    m_fake->clipboard.text = u"before"_s;
    m_fake->clipboard.hasText = true;

    results::copyResults(m_fake->services, *m_list);

    QVERIFY(m_fake->messageBox.shown.isEmpty());
    QCOMPARE(m_fake->clipboard.text, text);
    QVERIFY(m_fake->clipboard.hasText);
    QCOMPARE(m_fake->clipboard.clearAttempts, 1);
    QCOMPARE(m_fake->clipboard.setAttempts, 1);
    QCOMPARE(m_list->itemCount(), rows.size()); // the copy leaves the list as it was
}

void ClipboardCopyTest::emptyListLeavesTheClipboardAlone() {
    fill({}, 1);
    m_fake->clipboard.text = u"before"_s;
    m_fake->clipboard.hasText = true;

    results::copyResults(m_fake->services, *m_list);

    QCOMPARE(m_fake->clipboard.text, u"before"_s);
    QCOMPARE(m_fake->clipboard.clearAttempts, 0);
    QCOMPARE(m_fake->clipboard.setAttempts, 0);
    QVERIFY(m_fake->messageBox.shown.isEmpty());
}

void ClipboardCopyTest::busyClipboardIsRetried_data() {
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("clearAttempts");
    QTest::addColumn<int>("setAttempts");
    QTest::addColumn<QString>("clipboard");
    QTest::newRow("free") << 0 << 1 << 1 << u"row\r\n"_s;
    QTest::newRow("clear works at the last attempt") << 999 << 1000 << 1 << u"row\r\n"_s;
    QTest::newRow("clear fails, set still works") << 1000 << 1000 << 1 << u"row\r\n"_s;
    QTest::newRow("set works at the last attempt") << 1999 << 1000 << 1000 << u"row\r\n"_s;
    QTest::newRow("both fail: clipboard unchanged") << 2000 << 1000 << 1000 << u"before"_s;
}

void ClipboardCopyTest::busyClipboardIsRetried() {
    QFETCH(int, failures);
    QFETCH(int, clearAttempts);
    QFETCH(int, setAttempts);
    QFETCH(QString, clipboard);
    fill({{u"row"_s, true}}, 1);
    m_fake->clipboard.text = u"before"_s;
    m_fake->clipboard.failuresLeft = failures;

    results::copyResults(m_fake->services, *m_list);

    QCOMPARE(m_fake->clipboard.clearAttempts, clearAttempts);
    QCOMPARE(m_fake->clipboard.setAttempts, setAttempts);
    QCOMPARE(m_fake->clipboard.text, clipboard);
    QVERIFY(m_fake->messageBox.shown.isEmpty());
}

void ClipboardCopyTest::clipboardErrorsAreSwallowed() {
    class ThrowingClipboard final : public platform::Clipboard {
    public:
        bool clear() override { throw platform::RuntimeError(platform::RuntimeError::PermissionDenied); }
        bool setText(const QString& text, int format) override {
            if (++attempts < 3)
                throw platform::RuntimeError(platform::RuntimeError::PermissionDenied);
            placed = text;
            lastFormat = format;
            return true;
        }
        QString getText() override { return placed; }
        int attempts = 0;
        int lastFormat = -1;
        QString placed;
    } clipboard;

    Main::ClearClipboardWithRetry(clipboard);
    QVERIFY(Main::SetClipboardTextWithRetry(clipboard, u"text"_s, 13));
    QCOMPARE(clipboard.attempts, 3);
    QCOMPARE(clipboard.placed, u"text"_s);
    QCOMPARE(clipboard.lastFormat, 13);
}

void ClipboardCopyTest::clearResultsDuringACopyAbandonsIt() {
    QList<Row> rows;
    for (int i = 0; i < 50; ++i)
        rows.append({u"row %1"_s.arg(i), i % 2 == 0});
    fill(rows, 1);
    m_fake->clipboard.text = u"before"_s;
    int yields = 0;
    m_fake->events.onProcess = [&] {
        if (++yields == 70) // in the middle of building the text
            results::clearResults(m_fake->services, *m_list);
    };

    results::copyResults(m_fake->services, *m_list, 0us);

    QCOMPARE(m_fake->messageBox.texts(),
             QStringList{core::errorReportText(u"Index out of bounds"_s, u"Form1.PushButton11_Click"_s, 100)});
    QCOMPARE(m_fake->clipboard.text, u"before"_s);
    QCOMPARE(m_fake->clipboard.clearAttempts, 0);
    QCOMPARE(m_list->itemCount(), 0);
}

void ClipboardCopyTest::rowsAppendedDuringACopyAreNotCopied() {
    fill({{u"first"_s, true}, {u"second"_s, true}}, 1);
    m_fake->events.onProcess = [&] {
        if (m_fake->events.calls == 3) { // the first yield while building the text
            m_list->addItem(u"late"_s);
            m_list->setTicked(m_list->itemCount(), true);
        }
    };

    results::copyResults(m_fake->services, *m_list, 0us);

    QVERIFY(m_fake->messageBox.shown.isEmpty());
    QCOMPARE(m_list->itemCount(), 3);
    QCOMPARE(m_fake->clipboard.text, u"first\r\nsecond\r\n"_s);
}

void ClipboardCopyTest::longCopyYieldsToTheWindow() {
    QList<Row> rows;
    for (int i = 0; i < 200; ++i)
        rows.append({u"r"_s, true});
    fill(rows, 1);

    results::copyResults(m_fake->services, *m_list, 0us);
    // Once per row while measuring, once per row and once per cell while building.
    QCOMPARE(m_fake->events.calls, 600);
}

void ClipboardCopyTest::clearResultsEmptiesTheList() {
    results::clearResults(m_fake->services, *m_list);
    QCOMPARE(m_list->itemCount(), 0);
    fill({{u"a"_s, true}, {u"b"_s}}, 1);

    results::clearResults(m_fake->services, *m_list);

    QCOMPARE(m_list->itemCount(), 0);
    QCOMPARE(m_list->tickedCount(), 0);
    QVERIFY(m_fake->messageBox.shown.isEmpty());
}

QTEST_GUILESS_MAIN(ClipboardCopyTest)
#include "tst_clipboardcopy.moc"
