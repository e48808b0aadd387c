// The presenter: its rows and keys, how it follows the window's results, full screen, its type fitted
// to the window, its contrast on rendered pixels and its reveal.

#include "fakes/Contrast.h"
#include "fakes/Fakes.h"
#include "shell/Form1.h"
#include "shell/PresenterWindow.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The window with six names rolled five times, and its presenter opened with F5.
struct Stage {
    Stage() {
        fake.settings.values = {{u"Dice"_s, u"Ada;Ben;Cleo;Dev;Eli;Fay"_s}, {u"Text1"_s, u"1"_s}, {u"Text2"_s, u"5"_s}};
        form.Form_Load();
        form.PushButton8_Click();
        form.show();
        QApplication::setActiveWindow(&form);
        QTest::keyClick(&form, Qt::Key_F5);
        presenter = form.findChild<shell::PresenterWindow*>(u"Presenter"_s);
        if (presenter != nullptr && QTest::qWaitForWindowExposed(presenter))
            QApplication::setActiveWindow(presenter);
    }
    void key(Qt::Key key) { QTest::keyClick(presenter, key); }

    fakes::FakeServices fake;
    shell::Form1 form{fake.services};
    shell::PresenterWindow* presenter = nullptr;
};

} // namespace

Q_DECLARE_METATYPE(fakes::Theme)

class PresenterTest : public QObject {
    Q_OBJECT
private slots:
    void init() { fakes::applyTheme(fakes::Theme::Light); }
    void keysAndRollsChooseTheRow_data();
    void keysAndRollsChooseTheRow();
    void escapeLeavesFullScreenThenCloses();
    void typeFillsTheWindowAndNoLabelIsCut_data();
    void typeFillsTheWindowAndNoLabelIsCut();
    void textStandsOutUnderEveryTheme_data();
    void textStandsOutUnderEveryTheme();
    void revealShufflesUntilItSettlesOrAKey();
};

void PresenterTest::keysAndRollsChooseTheRow_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("title");
    QTest::newRow("opens on the first row") << u""_s << u"Presenter \u2013 Row 1 of 5"_s;
    QTest::newRow("Space, Right, Page Down and Enter go on")
        << u"Space Right PageDown Enter"_s << u"Presenter \u2013 Row 5 of 5"_s;
    QTest::newRow("no further than the last") << u"End Space"_s << u"Presenter \u2013 Row 5 of 5"_s;
    QTest::newRow("Left and Page Up go back") << u"End Left PageUp"_s << u"Presenter \u2013 Row 3 of 5"_s;
    QTest::newRow("Home, and no further back") << u"End Home PageUp"_s << u"Presenter \u2013 Row 1 of 5"_s;
    QTest::newRow("a roll in the window shows its first row") << u"End roll"_s << u"Presenter \u2013 Row 1 of 5"_s;
    QTest::newRow("R rolls anew and shows its first row") << u"End R"_s << u"Presenter \u2013 Row 1 of 5"_s;
    QTest::newRow("no results") << u"clear"_s << u"Presenter \u2013 No Results"_s;
    QTest::newRow("R rolls without results") << u"clear R Right"_s << u"Presenter \u2013 Row 2 of 5"_s;
}

void PresenterTest::keysAndRollsChooseTheRow() {
    QFETCH(QString, steps);
    QFETCH(QString, title);
    Stage stage;
    QVERIFY(stage.presenter != nullptr);
    const QHash<QString, Qt::Key> keys = {
        {u"Space"_s, Qt::Key_Space},  {u"Right"_s, Qt::Key_Right}, {u"PageDown"_s, Qt::Key_PageDown},
        {u"Enter"_s, Qt::Key_Return}, {u"Left"_s, Qt::Key_Left},   {u"PageUp"_s, Qt::Key_PageUp},
        {u"Home"_s, Qt::Key_Home},    {u"End"_s, Qt::Key_End},     {u"R"_s, Qt::Key_R}};
    const int drawsBefore = stage.fake.random.draws;
    for (const QString& step : steps.split(u' ', Qt::SkipEmptyParts)) {
        if (step == u"roll"_s)
            stage.form.PushButton8_Click();
        else if (step == u"clear"_s)
            stage.form.PushButton10_Click();
        else
            stage.key(keys.value(step));
    }
    QCOMPARE(stage.presenter->windowTitle(), title);
    const std::int64_t row = stage.presenter->presentation().position();
    const QString text = row == 0 ? u"There are no results. Press R to roll."_s : stage.form.results().text(row);
    QCOMPARE(stage.presenter->shownText(), text);
    QCOMPARE(stage.presenter->accessibleDescription(), text);
    const QStringList stepList = steps.split(u' ');
    QCOMPARE(stage.fake.random.draws > drawsBefore, stepList.contains(u"roll"_s) || stepList.contains(u"R"_s));
}

void PresenterTest::escapeLeavesFullScreenThenCloses() {
    Stage stage;
    stage.key(Qt::Key_F11);
    QTRY_VERIFY(stage.presenter->isFullScreen());
    stage.key(Qt::Key_Escape);
    QTRY_VERIFY(!stage.presenter->isFullScreen());
    QVERIFY(stage.presenter->isVisible());
    QTest::mouseDClick(stage.presenter, Qt::LeftButton);
    QTRY_VERIFY(stage.presenter->isFullScreen());
    stage.key(Qt::Key_Escape);
    stage.key(Qt::Key_Escape);
    QTRY_VERIFY(!stage.presenter->isVisible());
}

void PresenterTest::typeFillsTheWindowAndNoLabelIsCut_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<QSize>("size"); // empty: the smallest the window allows
    const QString many = u"Constantinople - Alexandria - Samarkand - Timbuktu - Persepolis - Carthage - "
                         u"Antioch - Babylon - Ctesiphon - Thessaloniki - Trebizond - Nishapur"_s;
    QTest::newRow("a name at the smallest window") << u"Ada"_s << QSize();
    QTest::newRow("a name on a projector") << u"Ada"_s << QSize(1600, 900);
    QTest::newRow("many labels at the smallest window") << many << QSize();
    QTest::newRow("many labels on a projector") << many << QSize(1600, 900);
    QTest::newRow("a long word at the smallest window")
        << u"Pneumonoultramicroscopicsilicovolcanoconiosis"_s << QSize();
}

void PresenterTest::typeFillsTheWindowAndNoLabelIsCut() {
    QFETCH(QString, row);
    QFETCH(QSize, size);
    Stage stage;
    stage.form.results().removeAll();
    stage.form.results().addItem(row);
    stage.presenter->resize(size.isEmpty() ? stage.presenter->minimumSize() : size);
    QTRY_COMPARE(stage.presenter->size(), size.isEmpty() ? stage.presenter->minimumSize() : size);

    const presenter::TextFit& fit = stage.presenter->fit();
    const QRectF area = stage.presenter->textArea();
    const QStringList lines = fit.lines();
    QCOMPARE(lines.join(QString()), row);
    QVERIFY(!fit.breaksWords());
    QVERIFY(fit.size().width() <= area.width() && fit.size().height() <= area.height());
    QVERIFY(fit.size().width() >= 0.6 * area.width() || fit.size().height() >= 0.6 * area.height());
    for (const QString& label : row.split(u" - "_s))
        QVERIFY2(std::any_of(lines.begin(), lines.end(), [&](const QString& line) { return line.contains(label); }),
                 qPrintable(label));
    // Nothing of the text reaches the window's edge.
    const QImage image = stage.presenter->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb background = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x : {0, 1, 2, image.width() - 3, image.width() - 2, image.width() - 1})
            QCOMPARE(image.pixel(x, y), background);
    }
}

void PresenterTest::textStandsOutUnderEveryTheme_data() {
    QTest::addColumn<QPalette>("palette");
    QPalette dim = fakes::themePalette(fakes::Theme::Light);
    dim.setColor(QPalette::WindowText, QColor(0x90, 0x90, 0x90)); // a theme's text too close to its background
    QTest::newRow("light") << fakes::themePalette(fakes::Theme::Light);
    QTest::newRow("dark") << fakes::themePalette(fakes::Theme::Dark);
    QTest::newRow("a theme of grey on grey") << dim;
}

void PresenterTest::textStandsOutUnderEveryTheme() {
    QFETCH(QPalette, palette);
    Stage stage;
    QApplication::setPalette(palette);
    QTRY_COMPARE(stage.presenter->palette().color(QPalette::WindowText), palette.color(QPalette::WindowText));
    const fakes::TextContrast contrast = fakes::measureText(*stage.presenter, stage.presenter->textArea().toRect());
    QCOMPARE(contrast.background, palette.color(QPalette::Window));
    QVERIFY2(contrast.ratio >= 7.0, qPrintable(QString::number(contrast.ratio)));
}

void PresenterTest::revealShufflesUntilItSettlesOrAKey() {
    // given: the reveal turned on in the window's menu
    Stage stage;
    stage.presenter->findChild<QAction*>(u"Reveal"_s)->trigger();
    QCOMPARE(stage.fake.settings.values.value(u"PresenterReveal"_s), u"true"_s);

    // when: a roll, then a key while it shuffles
    stage.form.PushButton8_Click();
    QVERIFY(stage.presenter->isRevealing());
    stage.key(Qt::Key_Space);

    // then: the key settles the first row and does nothing else; a reveal left alone settles too
    QVERIFY(!stage.presenter->isRevealing());
    QCOMPARE(stage.presenter->presentation().position(), 1);
    QCOMPARE(stage.presenter->shownText(), stage.form.results().text(1));
    stage.key(Qt::Key_Space);
    QVERIFY(stage.presenter->isRevealing());
    QTRY_VERIFY(!stage.presenter->isRevealing());
    QCOMPARE(stage.presenter->shownText(), stage.form.results().text(2));
    QVERIFY(shell::PresenterWindow(stage.form.results(), stage.fake.services)
                .findChild<QAction*>(u"Reveal"_s)
                ->isChecked());
}

QTEST_MAIN(PresenterTest)
#include "tst_presenter.moc"
