#include "WidgetSupport.h"

namespace fakes {

bool ContextMenuCatcher::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ContextMenu)
        return QObject::eventFilter(watched, event);
    const auto* menu = static_cast<QContextMenuEvent*>(event);
    reasons.append(menu->reason());
    positions.append(menu->pos());
    return true;
}

} // namespace fakes
