#include "fakes/Contrast.h"
#include "fakes/Fakes.h"
#include "fakes/WidgetSupport.h"
#include "platform/Twips.h"
#include "shell/Form1.h"
#include "shell/ListView.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QTest>

using namespace Qt::StringLiterals;

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controlsAreNamedAfterTheirCaptions_data();
    void controlsAreNamedAfterTheirCaptions();
    void resultRowsReportTheirTicks();
    void keysStandInForTheMouse_data();
    void keysStandInForTheMouse();

private:
    fakes::FakeServices* m_fake = nullptr;
    shell::Form1* m_form = nullptr;
};

void AccessibilityTest::init() {
    m_fake = new fakes::FakeServices;
    m_form = new shell::Form1(m_fake->services);
    m_form->Form_Load();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void AccessibilityTest::cleanup() {
    delete m_form;
    delete m_fake;
}

void AccessibilityTest::controlsAreNamedAfterTheirCaptions_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("dice per roll") << u"Text1"_s << u"Number Of Dice To Roll Per Roll"_s;
    QTest::newRow("rolls") << u"Text2"_s << u"Number Of Rolls"_s;
    QTest::newRow("sides") << u"ListView1"_s << u"Dice Sides (Numbers Or Characters)"_s;
    QTest::newRow("results") << u"ListView2"_s << u"Results"_s;
}

void AccessibilityTest::controlsAreNamedAfterTheirCaptions() {
    QFETCH(QString, control);
    QFETCH(QString, name);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(m_form->findChild<QWidget*>(control));
    QVERIFY(accessible != nullptr);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QVERIFY(!accessible->text(QAccessible::Description).isEmpty());
    QCOMPARE(fakes::unnamedControls(*m_form), QStringList());
}

void AccessibilityTest::resultRowsReportTheirTicks() {
    core::ListModel& results = m_form->results();
    for (const QString& row : {u"a - b"_s, u"b - b"_s, u"a - a"_s})
        results.addItem(row);
    results.setTicked(2, true);
    QAccessibleTableInterface* table =
        QAccessible::queryAccessibleInterface(fakes::control(*m_form, u"ListView2"_s))->tableInterface();
    for (int row = 0; row < 3; ++row) {
        const QAccessible::State state = table->cellAt(row, 0)->state();
        QVERIFY(state.checkable);
        QCOMPARE(bool(state.checked), row == 1);
        // What the desktop's screen reader reads: the state alone does not reach it.
        QCOMPARE(table->cellAt(row, 0)->text(QAccessible::Description),
                 row == 1 ? u"Ticked"_s : u"Not ticked; Space ticks it"_s);
    }
}

void AccessibilityTest::keysStandInForTheMouse_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("menuAtCurrentRow");
    QTest::addColumn<int>("widthChange"); // -1, 0, 1
    QTest::addColumn<bool>("scrolled");
    QTest::newRow("Shift+F10") << u"Shift+F10"_s << true << 0 << false;
    QTest::newRow("Ctrl+Plus fits") << u"Ctrl++"_s << false << 1 << false;
    QTest::newRow("Ctrl+= fits") << u"Ctrl+="_s << false << 1 << false;
    QTest::newRow("Ctrl+Minus restores") << u"Ctrl++, Ctrl+-"_s << false << 0 << false;
    QTest::newRow("Right scrolls") << u"Ctrl++, Right, Right"_s << false << 1 << true;
    QTest::newRow("Left scrolls back") << u"Ctrl++, Right, Left"_s << false << 1 << false;
}

void AccessibilityTest::keysStandInForTheMouse() {
    QFETCH(QString, keys);
    QFETCH(bool, menuAtCurrentRow);
    QFETCH(int, widthChange);
    QFETCH(bool, scrolled);
    core::ListModel& results = m_form->results();
    results.addItem(u"short"_s);
    results.addItem(QString(QString(200, u'x') + u" - "_s + QString(200, u'y')));
    shell::ListView* view = fakes::control<shell::ListView>(*m_form, u"ListView2"_s);
    view->setFocus();
    results.selectPosition(2);
    const fakes::ContextMenuCatcher catcher(view);
    const int width = view->columnWidth(0);

    // one key at a time, the window catching up in between as it does for a typist
    const QKeySequence sequence(keys);
    for (int i = 0; i < sequence.count(); ++i) {
        QTest::keyClick(view, sequence[i].key(), sequence[i].keyboardModifiers());
        QCoreApplication::processEvents();
    }

    QCOMPARE(width, platform::twipsToPixels(7000));
    QCOMPARE(!catcher.reasons.isEmpty(), menuAtCurrentRow);
    if (menuAtCurrentRow) {
        QCOMPARE(catcher.reasons.last(), QContextMenuEvent::Keyboard);
        QCOMPARE(view->indexAt(view->viewport()->mapFrom(view, catcher.positions.last())), view->currentIndex());
    }
    QCOMPARE((view->columnWidth(0) > width) - (view->columnWidth(0) < width), widthChange);
    QCOMPARE(view->horizontalScrollBar()->value() > 0, scrolled);
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
