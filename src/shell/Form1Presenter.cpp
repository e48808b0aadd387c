// Form1's part in the presenter: its menu entry and shortcut, and R's roll.

#include "Form1.h"

#include "ListView.h"
#include "PresenterWindow.h"

#include <QAction>

using namespace Qt::StringLiterals;

namespace shell {

void Form1::buildPresenterMenu() {
    auto* present = new QAction(u"&Present Results\u2026"_s, this);
    present->setObjectName(u"PresentResults"_s);
    present->setShortcut(QKeySequence(Qt::Key_F5));
    present->setShortcutContext(Qt::WindowShortcut);
    addAction(present);
    ListView2->addMenuAction(present);
    connect(present, &QAction::triggered, this, &Form1::showPresenter);
}

void Form1::showPresenter() {
    if (m_presenter == nullptr) {
        m_presenter = new PresenterWindow(m_results, m_services, this);
        connect(m_presenter, &PresenterWindow::rollRequested, this, &Form1::PushButton8_Click);
    }
    m_presenter->present();
}

} // namespace shell
