#pragma once

// The Statistics window: how often each side of the results came up, the distinct result lines and
// the roll totals, next to what fair dice are expected to give, with the chi-square test of fairness
// and a chart. It follows the results list (a new roll, Clear Results, tick changes) and counts on a
// worker thread with stats::Statistics, so the windows stay usable; while a count runs the window
// shows none of the last one, a count that takes longer than kProgressDelay shows its progress, and
// closing the window cancels it.

#include "StatisticsTableModel.h"

#include "stats/Statistics.h"

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
class QScrollArea;
class QSpinBox;
class QTabBar;
class QTableView;
template <typename T> class QFutureWatcher;

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

    bool isCounting() const { return m_job != nullptr; }
    // What the window shows now; none while a count runs.
    const std::optional<stats::Statistics>& statistics() const { return m_statistics; }
    // "Draw From A Bag: 7 of 24 sides left in the bag" while a bag is kept; none hides the line.
    void setKeptBagLine(const QString& line);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Job;

    void buildControls();
    // "Copy" and Ctrl+C: the table as shown and the fairness lines, tab-separated, on the clipboard.
    void copyTable();
    // "Save…": the same as a CSV file.
    void saveTable();
    void resultsChanged();
    void nameDie();
    void scheduleCount();
    void startCount();
    void cancelCount();
    void finishCount(std::shared_ptr<Job> job); // a copy: the connection that holds it goes
    void showCounting();
    void showStatistics(stats::Statistics statistics);
    void showNothing(const QString& reason);
    void setStatus(const QString& text);
    void setSummary(const QString& text);
    stats::Statistics::Options options() const;

    core::ListModel& m_results;
    platform::Services& m_services;
    StatisticsTableModel m_model;
    std::shared_ptr<Job> m_job;
    QFutureWatcher<void>* m_watcher = nullptr; // of m_job
    std::optional<stats::Statistics> m_statistics;
    QTimer m_countSoon;
    QTimer m_progressDelay;

    QComboBox* m_scope = nullptr; // "All rows", "Ticked rows only"
    QSpinBox* m_die = nullptr;    // 0 shows "All dice"
    QCheckBox* m_ignoreOrder = nullptr;
    QTabBar* m_views = nullptr; // "Sides", "Combinations", "Totals"
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QTableView* m_table = nullptr;
    StatisticsChart* m_chart = nullptr;
    QScrollArea* m_summaryArea = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_keptBag = nullptr;
    QPushButton* m_copyButton = nullptr;
    QPushButton* m_saveButton = nullptr;
};

} // namespace shell
