#include "fakes/Contrast.h"
#include "fakes/Fakes.h"
#include "shell/Form1.h"
#include "shell/ListView.h"

#include <QAccessible>
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
    QAccessibleTableInterface* table = QAccessible::queryAccessibleInterface(m_form->ListView2)->tableInterface();
    for (int row = 0; row < 3; ++row) {
        const QAccessible::State state = table->cellAt(row, 0)->state();
        QVERIFY(state.checkable);
        QCOMPARE(bool(state.checked), row == 1);
    }
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
