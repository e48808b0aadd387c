#pragma once

// The Roll History window: the kept rolls, newest first (history::HistoryModel over the history's
// database), with commands on the selected entry. The rows of an entry travel only when a command
// needs them, loaded on the history's thread.

#include "core/DrawRows.h"
#include "history/HistoryModel.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;

namespace history {
class RollHistory;
}

namespace platform {
struct Services;
}

namespace shell {

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    HistoryWindow(history::RollHistory& history, platform::Services& services, QWidget* parent = nullptr);

    // Commands on the selected entry.
    void showInResults();   // Enter, Alt+S: emits showRows once the rows are loaded
    void copyFingerprint(); // Ctrl+C, Alt+F
    void exportEntry();     // Ctrl+S, Alt+E: the file dialog, then history::HistoryExport
    void deleteEntry();     // Delete, Alt+D: asks first

    QString statusText() const;

signals:
    // The entry's rows, for the results list as a new list.
    void showRows(const core::DrawRows& rows);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    const history::EntrySummary* selectedEntry() const;
    void updateCommands();
    void updateStatus();
    void sizeLimitChanged(int megabytes);

    history::RollHistory& m_history;
    platform::Services& m_services;
    history::HistoryModel m_model;
    QTableView* m_table = nullptr;
    QLabel* m_status = nullptr;
    QString m_lastMessage; // what the last command said, shown beside the count
    QSpinBox* m_sizeLimit = nullptr;
    QList<QPushButton*> m_entryCommands;
};

} // namespace shell
