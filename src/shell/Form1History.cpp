// Form1's part in the roll history: its menu entries, keeping each roll, and showing a kept one.

#include "Form1.h"

#include "HistoryWindow.h"
#include "ListView.h"

#include "history/HistorySettings.h"
#include "history/RollHistory.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

const QString kHistoryTitle = u"Roll History"_s;

} // namespace

void Form1::buildHistoryMenu() {
    auto* show = new QAction(u"Roll &History\u2026"_s, this);
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    show->setShortcutContext(Qt::WindowShortcut);
    addAction(show);
    connect(show, &QAction::triggered, this, &Form1::showRollHistory);

    m_keepHistoryAction = new QAction(u"&Keep Roll History"_s, this);
    m_keepHistoryAction->setCheckable(true);
    m_keepHistoryAction->setChecked(true);
    connect(m_keepHistoryAction, &QAction::triggered, this, &Form1::KeepRollHistory_Click);

    auto* clear = new QAction(u"Clear Roll Histor&y\u2026"_s, this);
    connect(clear, &QAction::triggered, this, &Form1::ClearRollHistory_Click);

    for (QAction* action : {show, m_keepHistoryAction, clear}) {
        action->setObjectName(action->text().remove(u'&').remove(u'\u2026').remove(u' '));
        ListView2->addMenuAction(action);
    }
}

void Form1::setRollHistory(history::RollHistory* history) {
    m_history = history;
    m_keepHistoryAction->setChecked(history::keepHistory(*m_services.settings));
    if (!m_history)
        return;
    m_history->setSizeLimit(history::sizeLimitMegabytes(*m_services.settings) * history::kMegabyte);
    connect(m_history, &history::RollHistory::notice, this,
            [this](const QString& text) { m_services.messageBox->show(text, platform::Exclamation, kHistoryTitle); });
}

void Form1::keepingRoll(const std::function<void()>& roll, const QString& setName) {
    // A roll empties the results and fills them from the first row; anything else leaves them alone.
    bool filled = false;
    const QMetaObject::Connection watch =
        connect(&m_results, &QAbstractItemModel::rowsInserted, this,
                [&filled](const QModelIndex&, int first) { filled = filled || first == 0; });
    if (m_history)
        m_history->setWindowBusy(true);
    const auto done = qScopeGuard([this] {
        if (m_history)
            m_history->setWindowBusy(false);
    });
    roll();
    disconnect(watch);
    if (filled && m_history && m_keepHistoryAction->isChecked() && !m_results.draws().empty())
        m_history->record(m_results.draws(),
                          setName.isEmpty() ? history::RollOrigin::sides() : history::RollOrigin::set(setName));
}

void Form1::showRollHistory() {
    if (!m_history)
        return;
    if (!m_historyWindow) {
        m_historyWindow = new HistoryWindow(*m_history, m_services, this);
        connect(m_historyWindow, &HistoryWindow::showRows, this, &Form1::showHistoryRows);
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

void Form1::KeepRollHistory_Click(bool keep) {
    m_keepHistoryAction->setChecked(keep);
    try {
        m_services.settings->write(QString::fromUtf16(history::kKeepHistoryKey), keep ? u"1"_s : u"0"_s);
    } catch (const platform::RuntimeError& error) {
        m_services.messageBox->show(u"Could not store the choice to keep the roll history: "_s + error.description() +
                                        u'.',
                                    platform::Exclamation, kHistoryTitle);
    }
}

void Form1::ClearRollHistory_Click() {
    if (!m_history)
        return;
    if (m_services.messageBox->askYesNo(u"Delete every roll kept in the roll history? Their rows and fingerprints are "
                                        u"lost."_s,
                                        kHistoryTitle))
        m_history->clear();
}

void Form1::showHistoryRows(const core::DrawRows& rows) {
    m_results.removeAll();
    m_results.addItems(core::DrawRows(rows));
}

} // namespace shell
