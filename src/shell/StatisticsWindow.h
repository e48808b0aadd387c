#pragma once

// The Statistics window: how often each side of the results came up, the distinct result lines and
// the roll totals, next to what fair dice are expected to give, with the chi-square test of fairness
// and a chart. It follows the results list (a new roll, Clear Results, tick changes) and counts on a
// worker thread with stats::Statistics, so the windows stay usable; a count that takes longer than
// kProgressDelay shows its progress, and closing the window cancels it.

#include "StatisticsTableModel.h"

#include "stats/Statistics.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabBar;
class QTableView;

namespace core {
class ListModel;
}

namespace platform {
struct Services;
}

namespace shell {

class StatisticsChart;

class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    StatisticsWindow(core::ListModel& results, platform::Services& services, QWidget* parent = nullptr);
    ~StatisticsWindow() override;

    static constexpr std::chrono::milliseconds kProgressDelay{300};

    // "Copy" and Ctrl+C: the table as shown and the fairness lines, tab-separated, on the clipboard.
    void copyTable();
    // "Save…": the same as a CSV file.
    void saveTable();

    bool isCounting() const { return m_job != nullptr; }
    // What the window shows now; none while the first count runs.
    const std::optional<stats::Statistics>& statistics() const { return m_statistics; }
    QString statusText() const;

    // Controls, for the tests.
    QComboBox* scope = nullptr; // "All rows", "Ticked rows only"
    QTabBar* views = nullptr;   // "Sides", "Combinations", "Totals"
    QSpinBox* die = nullptr;    // 0 shows "All dice"
    QCheckBox* ignoreOrder = nullptr;
    QTableView* table = nullptr;
    StatisticsChart* chart = nullptr;
    QPushButton* copyButton = nullptr;
    QPushButton* saveButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Job;

    void buildControls();
    void resultsChanged();
    void scheduleCount();
    void startCount();
    void cancelCount();
    void poll();
    void showStatistics(stats::Statistics statistics);
    void showNothing(const QString& reason);
    void setStatus(const QString& text);
    stats::Statistics::Options options() const;

    core::ListModel& m_results;
    platform::Services& m_services;
    StatisticsTableModel m_model;
    std::shared_ptr<Job> m_job;
    std::optional<stats::Statistics> m_statistics;
    QTimer m_countSoon;
    QTimer m_pollTimer;
    QElapsedTimer m_jobClock;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_summary = nullptr;
};

} // namespace shell
