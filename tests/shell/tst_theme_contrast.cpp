#include "desktop/QtServices.h"
#include "fakes/Contrast.h"
#include "fakes/Fakes.h"
#include "fakes/WidgetSupport.h"
#include "shell/Form1.h"
#include "shell/ListView.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What the text's background must be: the main window's own white, the theme's, or either.
enum class Backdrop { White, ThemeWindow, ThemeBase, Any };

QLabel* labelShowing(const QWidget& window, const QString& text) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text() == text)
            return label;
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(fakes::Theme)
Q_DECLARE_METATYPE(Backdrop)

class ThemeContrastTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setStyle(u"Fusion"_s); }
    void textStandsOutFromItsBackground_data();
    void textStandsOutFromItsBackground();
    void windowColoursAreTheSameUnderEveryTheme();
    void windowColourPairsStayApart_data();
    void windowColourPairsStayApart();
};

void ThemeContrastTest::textStandsOutFromItsBackground_data() {
    QTest::addColumn<fakes::Theme>("theme");
    QTest::addColumn<bool>("switchedWhileOpen");
    QTest::addColumn<QString>("element");
    QTest::addColumn<Backdrop>("backdrop");
    const std::pair<const char*, Backdrop> elements[] = {
        {"Frame1", Backdrop::White},       {"Frame2", Backdrop::White},        {"Frame3", Backdrop::White},
        {"Text1", Backdrop::White},        {"Text2", Backdrop::White},         {"side", Backdrop::White},
        {"result", Backdrop::White},       {"selected result", Backdrop::Any}, {"sides header", Backdrop::Any},
        {"results header", Backdrop::Any}, {"Start Rolling", Backdrop::Any},   {"message", Backdrop::ThemeWindow},
        {"prompt", Backdrop::ThemeWindow}, {"answer", Backdrop::ThemeBase},
    };
    const std::tuple<const char*, fakes::Theme, bool> themes[] = {{"light", fakes::Theme::Light, false},
                                                                  {"dark", fakes::Theme::Dark, false},
                                                                  {"dark once open", fakes::Theme::Dark, true}};
    for (const auto& [themeName, theme, switched] : themes) {
        for (const auto& [element, backdrop] : elements)
            QTest::addRow("%s, %s", themeName, element)
                << theme << switched << QString::fromLatin1(element) << backdrop;
    }
}

void ThemeContrastTest::textStandsOutFromItsBackground() {
    QFETCH(fakes::Theme, theme);
    QFETCH(bool, switchedWhileOpen);
    QFETCH(QString, element);
    QFETCH(Backdrop, backdrop);
    // given: the window with sides and results, the second result selected, and a box of each kind open
    fakes::applyTheme(switchedWhileOpen ? fakes::Theme::Light : theme);
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    form.sides().addItem(u"Heads"_s);
    form.results().addItem(u"Heads - Tails - Heads"_s);
    form.results().addItem(u"Tails - Tails - Heads"_s);
    form.results().selectPosition(2);
    QMessageBox box(&form);
    platform::QtMessageBox::prepare(box, u"Must be a numeric entry."_s, platform::OkOnly, {});
    QInputDialog input(&form);
    platform::QtInputBox::prepare(input, u"Enter a side:"_s, {}, u"Heads"_s);
    for (QWidget* window : {static_cast<QWidget*>(&form), static_cast<QWidget*>(&box), static_cast<QWidget*>(&input)}) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    if (switchedWhileOpen)
        fakes::applyTheme(theme);

    // when: the text's pixels are measured against its background
    auto caption = [&form](const QString& name) {
        const auto* frame = fakes::control<QGroupBox>(form, name);
        return std::pair<const QWidget*, QRect>(frame, fakes::captionRect(*frame));
    };
    auto field = [&form](const QString& name) {
        const auto* text = fakes::control<QLineEdit>(form, name);
        return std::pair<const QWidget*, QRect>(text, fakes::fieldTextRect(*text));
    };
    auto header = [&form](const QString& name) {
        const QHeaderView* header = fakes::control<shell::ListView>(form, name)->horizontalHeader();
        return std::pair<const QWidget*, QRect>(
            header->viewport(), QRect(0, 0, header->sectionSize(0), header->height()).adjusted(4, 3, -8, -3));
    };
    auto row = [&form](const QString& name, int row) {
        const auto* view = fakes::control<shell::ListView>(form, name);
        return std::pair<const QWidget*, QRect>(view->viewport(),
                                                fakes::itemTextRect(*view, view->model()->index(row, 0)));
    };
    QLineEdit* answer = input.findChild<QLineEdit*>();
    answer->deselect();
    const QLabel* message = labelShowing(box, box.text());
    const QLabel* prompt = labelShowing(input, input.labelText());
    QVERIFY(answer != nullptr && message != nullptr && prompt != nullptr);
    const QWidget* start = fakes::control(form, u"PushButton8"_s);
    const QHash<QString, std::pair<const QWidget*, QRect>> areas = {
        {u"Frame1"_s, caption(u"Frame1"_s)},
        {u"Frame2"_s, caption(u"Frame2"_s)},
        {u"Frame3"_s, caption(u"Frame3"_s)},
        {u"Text1"_s, field(u"Text1"_s)},
        {u"Text2"_s, field(u"Text2"_s)},
        {u"side"_s, row(u"ListView1"_s, 0)},
        {u"result"_s, row(u"ListView2"_s, 0)},
        {u"selected result"_s, row(u"ListView2"_s, 1)},
        {u"sides header"_s, header(u"ListView1"_s)},
        {u"results header"_s, header(u"ListView2"_s)},
        {u"Start Rolling"_s, {start, start->rect().adjusted(4, 4, -4, -4)}},
        {u"message"_s, {message, message->rect()}},
        {u"prompt"_s, {prompt, prompt->rect()}},
        {u"answer"_s, {answer, fakes::fieldTextRect(*answer)}},
    };
    const auto [widget, area] = areas.value(element);
    const fakes::TextContrast measured = fakes::measureText(*widget, area);

    // then: WCAG's 4.5:1 at least, on the window's own white or the theme's colour
    QVERIFY2(
        measured.ratio >= 4.5,
        qPrintable(
            u"%1 on %2 is %3:1"_s.arg(measured.ink.name(), measured.background.name()).arg(measured.ratio, 0, 'f', 2)));
    const QPalette themed = fakes::themePalette(theme);
    if (backdrop == Backdrop::White)
        QCOMPARE(measured.background, QColor(Qt::white));
    else if (backdrop == Backdrop::ThemeWindow)
        QCOMPARE(measured.background, themed.color(QPalette::Window));
    else if (backdrop == Backdrop::ThemeBase)
        QCOMPARE(measured.background, themed.color(QPalette::Base));
}

namespace {

constexpr QPalette::ColorGroup kGroups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};

// Every colour of every control of the window, in the order the controls were made.
QList<QColor> windowColours(fakes::Theme theme) {
    fakes::applyTheme(theme);
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    form.Form_Load();
    QList<QWidget*> widgets = form.findChildren<QWidget*>();
    widgets.append(&form);
    QList<QColor> colours;
    for (const QWidget* widget : std::as_const(widgets)) {
        for (const QPalette::ColorGroup group : kGroups) {
            for (int role = 0; role < QPalette::NColorRoles; ++role) {
                if (role != QPalette::NoRole)
                    colours.append(widget->palette().color(group, QPalette::ColorRole(role)));
            }
        }
    }
    return colours;
}

} // namespace

void ThemeContrastTest::windowColoursAreTheSameUnderEveryTheme() {
    const QList<QColor> light = windowColours(fakes::Theme::Light);
    const QList<QColor> dark = windowColours(fakes::Theme::Dark);
    QCOMPARE(light.size(), dark.size());
    for (qsizetype at = 0; at < light.size(); ++at)
        QVERIFY2(light[at] == dark[at],
                 qPrintable(u"colour %1: %2 under a light theme, %3 under a dark one"_s.arg(at).arg(light[at].name(),
                                                                                                    dark[at].name())));
}

void ThemeContrastTest::windowColourPairsStayApart_data() {
    QTest::addColumn<int>("group");
    QTest::addColumn<QPalette::ColorRole>("lighter"); // the lighter of the two where the order matters
    QTest::addColumn<QPalette::ColorRole>("against");
    QTest::addColumn<double>("ratio"); // at least; 0: only lighter, never darker
    using P = QPalette;
    // Text on its background, WCAG's 4.5:1; a disabled control's text only has to show, at 3:1.
    const std::pair<P::ColorRole, P::ColorRole> text[] = {
        {P::WindowText, P::Window},         {P::Text, P::Base},
        {P::Text, P::AlternateBase},        {P::ButtonText, P::Button},
        {P::PlaceholderText, P::Base},      {P::Link, P::Base},
        {P::LinkVisited, P::Base},          {P::ToolTipText, P::ToolTipBase},
        {P::HighlightedText, P::Highlight}, {P::BrightText, P::WindowText},
    };
    // The bevels of frames and buttons, light to dark, and an edge that shows on the window.
    const std::tuple<P::ColorRole, P::ColorRole, double> bevels[] = {
        {P::Light, P::Midlight, 0}, {P::Midlight, P::Mid, 0}, {P::Light, P::Button, 0}, {P::Button, P::Mid, 0},
        {P::Mid, P::Dark, 0},       {P::Dark, P::Shadow, 0},  {P::Window, P::Dark, 2},
    };
    for (const P::ColorGroup group : kGroups) {
        const char* name = group == P::Active ? "active" : group == P::Inactive ? "inactive" : "disabled";
        for (const auto& [ink, background] : text)
            QTest::addRow("%s: %d on %d", name, int(ink), int(background))
                << int(group) << ink << background << (group == P::Disabled ? 3.0 : 4.5);
        for (const auto& [lighter, darker, ratio] : bevels)
            QTest::addRow("%s: %d over %d", name, int(lighter), int(darker))
                << int(group) << lighter << darker << ratio;
    }
}

void ThemeContrastTest::windowColourPairsStayApart() {
    QFETCH(int, group);
    QFETCH(QPalette::ColorRole, lighter);
    QFETCH(QPalette::ColorRole, against);
    QFETCH(double, ratio);
    fakes::applyTheme(fakes::Theme::Dark);
    fakes::FakeServices fake;
    shell::Form1 form(fake.services);
    const QColor first = form.palette().color(QPalette::ColorGroup(group), lighter);
    const QColor second = form.palette().color(QPalette::ColorGroup(group), against);
    const double measured = fakes::contrastRatio(first, second);
    QVERIFY2(measured >= ratio, qPrintable(u"%1 against %2: %3:1"_s.arg(first.name(), second.name()).arg(measured)));
    if (ratio == 0)
        QVERIFY2(first.lightnessF() >= second.lightnessF(),
                 qPrintable(first.name() + u" darker than "_s + second.name()));
}

QTEST_MAIN(ThemeContrastTest)
#include "tst_theme_contrast.moc"
