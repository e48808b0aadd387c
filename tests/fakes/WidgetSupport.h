#pragma once

// Small helpers the tests of the windows share.

#include <QContextMenuEvent>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QWidget>

namespace fakes {

// The window's control of that object name (on Form1, the designer's name); the test stops when the
// window has none of that type.
template <class Control = QWidget> Control* control(const QObject& window, const QString& name) {
    auto* found = window.findChild<Control*>(name);
    if (found == nullptr)
        qFatal("no %s named %s", Control::staticMetaObject.className(), qPrintable(name));
    return found;
}

// Takes the context-menu requests of the widget it watches in place of the menu, so that no popup runs
// its own event loop in a test, and keeps each request's reason and position in order.
class ContextMenuCatcher final : public QObject {
public:
    explicit ContextMenuCatcher(QObject* watched) { watched->installEventFilter(this); }
    QList<QContextMenuEvent::Reason> reasons;
    QList<QPoint> positions;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace fakes
