#include "StatisticsWindow.h"

#include "StatisticsChart.h"

#include "core/ListModel.h"
#include "core/Trap.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"
#include "results/ClipboardCopy.h"
#include "stats/Export.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QThreadPool>
#include <QVBoxLayout>

#include <atomic>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

constexpr int kProgressSteps = 1000;
constexpr std::chrono::milliseconds kPollInterval{25};
const QString kCsvFilter = u"CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"_s;

} // namespace

// One count on the worker thread. The window and the worker share it; the window only reads the
// result once `done` is set.
struct StatisticsWindow::Job {
    stats::Selection selection;
    stats::Statistics::Options options;
    stats::Work work;
    std::optional<stats::Statistics> result;
    QString failure;
    std::atomic<bool> done{false};

    void run() {
        try {
            result = stats::Statistics::compute(selection, options, work);
        } catch (const stats::Cancelled&) {
            // Nobody waits for it any more.
        } catch (const std::bad_alloc&) {
            failure = u"There is not enough memory to count these rows."_s;
        }
        done.store(true, std::memory_order_release);
    }
};

StatisticsWindow::StatisticsWindow(core::ListModel& results, platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_results(results)
    , m_services(services) {
    setObjectName(u"Statistics"_s);
    setWindowTitle(u"Statistics"_s);
    buildControls();

    m_countSoon.setSingleShot(true);
    m_countSoon.setInterval(0); // a roll empties and refills the list: one count for both
    connect(&m_countSoon, &QTimer::timeout, this, &StatisticsWindow::startCount);
    m_pollTimer.setInterval(kPollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this, &StatisticsWindow::poll);

    connect(&m_results, &QAbstractItemModel::modelReset, this, &StatisticsWindow::resultsChanged);
    connect(&m_results, &QAbstractItemModel::rowsInserted, this, &StatisticsWindow::resultsChanged);
    connect(&m_results, &QAbstractItemModel::rowsRemoved, this, &StatisticsWindow::resultsChanged);
    connect(&m_results, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (scope->currentIndex() == 1 && (roles.isEmpty() || roles.contains(Qt::CheckStateRole)))
                    scheduleCount();
            });
}

StatisticsWindow::~StatisticsWindow() {
    cancelCount();
}

void StatisticsWindow::buildControls() {
    auto* layout = new QVBoxLayout(this);

    auto* choices = new QHBoxLayout;
    auto* scopeLabel = new QLabel(u"&Rows:"_s, this);
    scope = new QComboBox(this);
    scope->addItems({u"All rows"_s, u"Ticked rows only"_s});
    scope->setAccessibleName(u"Rows"_s);
    scopeLabel->setBuddy(scope);
    auto* dieLabel = new QLabel(u"&Dice:"_s, this);
    die = new QSpinBox(this);
    die->setSpecialValueText(u"All dice"_s);
    die->setPrefix(u"Die "_s);
    die->setRange(0, 0);
    die->setAccessibleName(u"Dice"_s);
    dieLabel->setBuddy(die);
    ignoreOrder = new QCheckBox(u"&Ignore order"_s, this);
    ignoreOrder->setAccessibleName(u"Ignore order"_s);
    ignoreOrder->setEnabled(false);
    choices->addWidget(scopeLabel);
    choices->addWidget(scope);
    choices->addSpacing(12);
    choices->addWidget(dieLabel);
    choices->addWidget(die);
    choices->addSpacing(12);
    choices->addWidget(ignoreOrder);
    choices->addStretch();
    layout->addLayout(choices);

    views = new QTabBar(this);
    views->addTab(u"Sides"_s);
    views->addTab(u"Combinations"_s);
    views->addTab(u"Totals"_s);
    views->setTabEnabled(2, false);
    views->setAccessibleName(u"View"_s);
    layout->addWidget(views);

    auto* statusRow = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setAccessibleName(u"Status"_s);
    m_status->hide();
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, kProgressSteps);
    m_progress->setAccessibleName(u"Counting progress"_s);
    m_progress->hide();
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_progress);
    layout->addLayout(statusRow);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    table = new QTableView(splitter);
    table->setModel(&m_model);
    table->setAccessibleName(u"Statistics table"_s);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    table->installEventFilter(this);
    chart = new StatisticsChart(splitter);
    splitter->addWidget(table);
    splitter->addWidget(chart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({480, 320});
    layout->addWidget(splitter, 1);

    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setAccessibleName(u"Fairness"_s);
    layout->addWidget(m_summary);

    auto* buttons = new QHBoxLayout;
    copyButton = new QPushButton(u"&Copy"_s, this);
    copyButton->setAccessibleName(u"Copy"_s);
    copyButton->setToolTip(u"Copy the table and the fairness lines as tab-separated text (Ctrl+C)"_s);
    saveButton = new QPushButton(u"&Save\u2026"_s, this);
    saveButton->setAccessibleName(u"Save"_s);
    saveButton->setToolTip(u"Save the table and the fairness lines as a CSV file"_s);
    auto* closeButton = new QPushButton(u"Close"_s, this);
    closeButton->setAccessibleName(u"Close"_s);
    buttons->addStretch();
    buttons->addWidget(copyButton);
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    auto* copy = new QAction(u"Copy"_s, this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    addAction(copy);

    connect(copy, &QAction::triggered, this, &StatisticsWindow::copyTable);
    connect(copyButton, &QPushButton::clicked, this, &StatisticsWindow::copyTable);
    connect(saveButton, &QPushButton::clicked, this, &StatisticsWindow::saveTable);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(scope, &QComboBox::currentIndexChanged, this, &StatisticsWindow::scheduleCount);
    connect(die, &QSpinBox::valueChanged, this, &StatisticsWindow::scheduleCount);
    connect(ignoreOrder, &QCheckBox::toggled, this, &StatisticsWindow::scheduleCount);
    connect(views, &QTabBar::currentChanged, this, [this](int view) {
        die->setEnabled(view == 0);
        ignoreOrder->setEnabled(view == 1);
        // A new view starts in its own order.
        table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        m_model.sort(-1, Qt::AscendingOrder);
        scheduleCount();
    });
    resize(820, 600);
}

stats::Statistics::Options StatisticsWindow::options() const {
    stats::Statistics::Options options;
    options.view = static_cast<stats::Statistics::View>(views->currentIndex());
    options.die = die->value();
    options.ignoreOrder = ignoreOrder->isChecked();
    return options;
}

void StatisticsWindow::setStatus(const QString& text) {
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

QString StatisticsWindow::statusText() const {
    return m_status->text();
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    resultsChanged();
}

void StatisticsWindow::closeEvent(QCloseEvent* event) {
    cancelCount();
    event->accept();
}

bool StatisticsWindow::eventFilter(QObject* watched, QEvent* event) {
    // The table's own Ctrl+C would copy one cell, past the window's clipboard service.
    if (watched == table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copyTable();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void StatisticsWindow::resultsChanged() {
    // What the results offer: the dice of a roll, and totals when every side is a whole number.
    const core::DrawRows& draws = m_results.draws();
    die->setMaximum(draws.empty() ? 0 : draws.dice());
    const bool numeric = !draws.empty() && draws.sideCount() > 0 && stats::wholeNumbers(draws.labels()).has_value();
    views->setTabEnabled(2, numeric);
    if (!numeric && views->currentIndex() == 2)
        views->setCurrentIndex(0);
    // Rows of an earlier roll are not kept alive for the sake of a table about to change.
    m_statistics.reset();
    m_model.setTable(nullptr);
    chart->clear();
    scheduleCount();
}

void StatisticsWindow::scheduleCount() {
    if (isVisible())
        m_countSoon.start();
}

void StatisticsWindow::cancelCount() {
    m_countSoon.stop();
    m_pollTimer.stop();
    m_progress->hide();
    if (m_job) {
        m_job->work.cancel(); // the worker drops it when it next looks
        m_job.reset();
    }
}

void StatisticsWindow::startCount() {
    cancelCount();
    if (m_results.itemCount() > 0 && m_results.draws().empty()) {
        showNothing(u"These rows were not made by Start Rolling, so there are no draws to count."_s);
        return;
    }
    auto job = std::make_shared<Job>();
    job->selection.draws = m_results.draws();
    if (scope->currentIndex() == 1)
        job->selection.ticked = m_results.ticks();
    job->options = options();
    m_job = job;
    m_jobClock.start();
    m_pollTimer.start();
    QThreadPool::globalInstance()->start([job] { job->run(); });
}

void StatisticsWindow::poll() {
    if (!m_job) {
        m_pollTimer.stop();
        return;
    }
    if (m_job->done.load(std::memory_order_acquire)) {
        const std::shared_ptr<Job> job = std::move(m_job);
        m_pollTimer.stop();
        m_progress->hide();
        if (job->result)
            showStatistics(std::move(*job->result));
        else
            showNothing(job->failure);
        return;
    }
    if (std::chrono::milliseconds(m_jobClock.elapsed()) >= kProgressDelay) {
        if (!m_progress->isVisible()) {
            setStatus(u"Counting\u2026"_s);
            m_progress->show();
        }
        m_progress->setValue(static_cast<int>(m_job->work.progress() * kProgressSteps));
    }
}

void StatisticsWindow::showStatistics(stats::Statistics statistics) {
    m_statistics = std::move(statistics);
    const std::shared_ptr<const stats::Table> shown = m_statistics->table();
    setStatus(m_statistics->emptyReason());
    table->setSortingEnabled(shown && shown->isSortable());
    m_model.setTable(shown);
    table->resizeColumnsToContents();
    chart->setChart(m_statistics->chart(), shown);
    chart->setVisible(!m_statistics->chart().observed.empty()); // the lines of a roll have no chart
    m_summary->setText(m_statistics->summary().join(u'\n'));
    copyButton->setEnabled(shown != nullptr);
    saveButton->setEnabled(shown != nullptr);
}

void StatisticsWindow::showNothing(const QString& reason) {
    m_statistics.reset();
    setStatus(reason);
    m_model.setTable(nullptr);
    chart->clear();
    m_summary->clear();
    copyButton->setEnabled(false);
    saveButton->setEnabled(false);
}

void StatisticsWindow::copyTable() {
    core::Trap trap(m_services, u"Statistics.CopyButton_Click"_s);
    const std::shared_ptr<const stats::Table> shown = m_model.shownTable();
    if (!shown || !m_statistics)
        return;
    QString text;
    trap(100, [&] { text = stats::tabSeparated(*shown, m_statistics->fairnessLines()); });
    trap(102, [&] {
        Main::ClearClipboardWithRetry(*m_services.clipboard);
        Main::SetClipboardTextWithRetry(*m_services.clipboard, text, 0);
    });
}

void StatisticsWindow::saveTable() {
    core::Trap trap(m_services, u"Statistics.SaveButton_Click"_s);
    const std::shared_ptr<const stats::Table> shown = m_model.shownTable();
    if (!shown || !m_statistics)
        return;
    const platform::SaveRequest request{.title = u"Save Statistics"_s,
                                        .filter = kCsvFilter,
                                        .memory = u"Statistics"_s,
                                        .askBeforeReplacing = true,
                                        .addFilterExtension = true,
                                        .owner = this};
    QString path;
    trap(100, [&] { path = m_services.fileDialogs->getSaveFileName(request); });
    if (path.isEmpty())
        return;
    trap(102, [&] {
        try {
            stats::saveCsv(path, *shown, m_statistics->fairnessLines());
        } catch (const platform::RuntimeError& error) {
            m_services.messageBox->show(platform::saveFailureText(path, error.description()), platform::Exclamation,
                                        QString());
        }
    });
}

} // namespace shell
