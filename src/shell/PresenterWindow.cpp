#include "PresenterWindow.h"

#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScreen>
#include <QWindow>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

// The theme's text and background, the text darkened or lightened where they are too close.
constexpr double kLeastContrast = 7.0;

int footerPixelSize(int height) {
    return std::clamp(height / 28, 12, 40);
}

} // namespace

PresenterWindow::PresenterWindow(const core::ListModel& results, platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_presentation(results)
    , m_services(services) {
    setObjectName(u"Presenter"_s);
    setAccessibleName(u"Presenter"_s);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
    resize(960, 600);

    m_revealAction = new QAction(u"&Reveal With A Shuffle"_s, this);
    m_revealAction->setObjectName(u"Reveal"_s);
    m_revealAction->setCheckable(true);
    try {
        m_revealAction->setChecked(services.settings->read(QString::fromUtf16(kRevealKey), u"false"_s) == u"true"_s);
    } catch (const platform::RuntimeError&) {
        // Off, as by default; the main window reports a store it cannot read.
    }
    connect(m_revealAction, &QAction::triggered, this, &PresenterWindow::setReveal);
    auto* fullScreen = new QAction(u"&Full Screen\tF11"_s, this);
    connect(fullScreen, &QAction::triggered, this, &PresenterWindow::toggleFullScreen);
    auto* close = new QAction(u"&Close\tEsc"_s, this);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addActions({m_revealAction, fullScreen, close});
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_revealTimer.setInterval(presenter::Presentation::kRevealStepMs);
    connect(&m_revealTimer, &QTimer::timeout, this, [this] {
        if (++m_frame < m_frames.size())
            showText(m_frames[m_frame]);
        else
            settle();
    });
    connect(&m_presentation, &presenter::Presentation::changed, this, &PresenterWindow::rowChanged);
    rowChanged(false);
}

void PresenterWindow::present() {
    if (!isVisible()) {
        // A projector is the screen the main window is not on.
        const QScreen* home = parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
        const QList<QScreen*> screens = QGuiApplication::screens();
        const auto other = std::find_if(screens.begin(), screens.end(), [home](QScreen* s) { return s != home; });
        if (other != screens.end()) {
            create();
            windowHandle()->setScreen(*other);
            setGeometry((*other)->availableGeometry());
            showMaximized();
        } else {
            if (home != nullptr)
                move(home->availableGeometry().center() - rect().center());
            show();
        }
    }
    raise();
    activateWindow();
}

int PresenterWindow::margin() const {
    return std::max(16, std::min(width(), height()) / 24);
}

QRectF PresenterWindow::textArea() const {
    const int edge = margin();
    const int footer = footerPixelSize(height()) * 2;
    return QRectF(edge, edge, std::max(1, width() - 2 * edge), std::max(1, height() - 2 * edge - footer));
}

void PresenterWindow::rowChanged(bool freshRoll) {
    setWindowTitle(m_presentation.title());
    m_footer = m_presentation.position() == 0 ? QString() : m_presentation.title().section(u" \u2013 "_s, 1);
    setAccessibleDescription(m_presentation.text());
    settle();
    if (freshRoll)
        startReveal();
}

void PresenterWindow::startReveal() {
    if (!m_revealAction->isChecked())
        return;
    m_frames =
        m_presentation.revealFrames([](std::uint32_t bound) { return QRandomGenerator::global()->bounded(bound); });
    if (m_frames.empty())
        return;
    m_frame = 0;
    showText(m_frames.front());
    m_revealTimer.start();
}

void PresenterWindow::settle() {
    m_revealTimer.stop();
    m_frames.clear();
    showText(m_presentation.text());
}

void PresenterWindow::showText(const QString& text) {
    m_shownText = text;
    refit();
    update();
}

void PresenterWindow::refit() {
    QFont type = font();
    type.setBold(true);
    const QRectF area = textArea();
    m_fit = presenter::TextFit(m_shownText, type, area.size(), static_cast<int>(area.height()));
}

void PresenterWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor background = palette().color(QPalette::Window);
    painter.fillRect(rect(), background);
    painter.setPen(presenter::readableInk(background, palette().color(QPalette::WindowText), kLeastContrast));
    m_fit.draw(painter, textArea());
    if (!m_footer.isEmpty()) {
        QFont small = font();
        small.setPixelSize(footerPixelSize(height()));
        painter.setFont(small);
        const QRectF area = textArea();
        painter.drawText(QRectF(area.left(), area.bottom(), area.width(), height() - margin() / 2 - area.bottom()),
                         Qt::AlignCenter, m_footer);
    }
}

void PresenterWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    refit();
}

void PresenterWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        refit();
}

void PresenterWindow::keyPressEvent(QKeyEvent* event) {
    // Any key ends a reveal at once, and does only that.
    if (isRevealing()) {
        settle();
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, rect().center(), mapToGlobal(rect().center()));
        QCoreApplication::sendEvent(this, &menu);
        return;
    }
    if (modifiers != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Right:
    case Qt::Key_PageDown:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_presentation.next())
            startReveal();
        break;
    case Qt::Key_Left:
    case Qt::Key_PageUp:
        m_presentation.previous();
        break;
    case Qt::Key_Home:
        m_presentation.first();
        break;
    case Qt::Key_End:
        m_presentation.last();
        break;
    case Qt::Key_F11:
        toggleFullScreen();
        break;
    case Qt::Key_Escape:
        if (isFullScreen())
            toggleFullScreen();
        else
            close();
        break;
    case Qt::Key_R:
        emit rollRequested();
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

void PresenterWindow::mouseDoubleClickEvent(QMouseEvent*) {
    toggleFullScreen();
}

void PresenterWindow::toggleFullScreen() {
    if (isFullScreen()) {
        if (m_wasMaximized)
            showMaximized();
        else
            showNormal();
    } else {
        m_wasMaximized = isMaximized();
        showFullScreen();
    }
}

void PresenterWindow::setReveal(bool on) {
    m_revealAction->setChecked(on);
    try {
        m_services.settings->write(QString::fromUtf16(kRevealKey), on ? u"true"_s : u"false"_s);
    } catch (const platform::RuntimeError& error) {
        m_services.messageBox->show(u"Could not store the choice to reveal with a shuffle: "_s + error.description() +
                                        u'.',
                                    platform::Exclamation, u"Presenter"_s, this);
    }
}

} // namespace shell
