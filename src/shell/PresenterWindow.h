#pragma once

// The presenter: one result row at a time in type as large as the window allows, for a projector.
// presenter::Presentation decides the row and its text; this window paints it, takes the keys, and
// plays the optional reveal (a short shuffle of labels before a new row settles).

#include "presenter/Presentation.h"
#include "presenter/TextFit.h"

#include <QTimer>
#include <QWidget>

#include <vector>

class QAction;

namespace core {
class ListModel;
}

namespace platform {
struct Services;
}

namespace shell {

class PresenterWindow : public QWidget {
    Q_OBJECT
public:
    // The setting that keeps the reveal on or off, "true" or "false".
    static constexpr char16_t kRevealKey[] = u"PresenterReveal";

    PresenterWindow(const core::ListModel& results, platform::Services& services, QWidget* parent = nullptr);

    const presenter::Presentation& presentation() const { return m_presentation; }
    // Shows the window, on another screen than the main window's when there is one.
    void present();
    bool isRevealing() const { return m_revealTimer.isActive(); }
    // The text painted now: a reveal's frame while it plays, else the row.
    QString shownText() const { return m_shownText; }
    const presenter::TextFit& fit() const { return m_fit; }
    QRectF textArea() const;
    int margin() const;

signals:
    // R: roll again as Start Rolling does.
    void rollRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void rowChanged(bool freshRoll);
    void startReveal();
    void settle();
    void showText(const QString& text);
    void refit();
    void toggleFullScreen();
    void setReveal(bool on);

    presenter::Presentation m_presentation;
    platform::Services& m_services;
    QAction* m_revealAction = nullptr;
    QTimer m_revealTimer;
    std::vector<QString> m_frames;
    std::size_t m_frame = 0;
    QString m_shownText;
    presenter::TextFit m_fit;
    QString m_footer;
    bool m_wasMaximized = false;
};

} // namespace shell
