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
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPromise>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QTabBar>
#include <QTableView>
#include <QThreadPool>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

constexpr int kProgressSteps = 1000;
constexpr int kSummaryLeastLines = 3;
const QString kCsvFilter = u"CSV Files (*.csv)|*.csv|All Files (*.*)|*.*|"_s;
const QString kCounting = u"Counting\u2026"_s;

// The summary: as tall as its text at the width it has, and scrolled where the window is shorter.
class SummaryArea final : public QScrollArea {
public:
    SummaryArea(QLabel* text, QWidget* parent)
        : QScrollArea(parent)
        , m_text(text) {
        setWidget(text);
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }

    QSize sizeHint() const override {
        return {QScrollArea::sizeHint().width(), m_text->heightForWidth(viewport()->width()) + 2 * frameWidth()};
    }
    QSize minimumSizeHint() const override {
        return {QScrollArea::minimumSizeHint().width(), kSummaryLeastLines * fontMetrics().lineSpacing()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QScrollArea::resizeEvent(event);
        if (event->size().width() != event->oldSize().width())
            updateGeometry(); // the text wraps anew
    }

private:
    QLabel* m_text;
};

} // namespace

// One count on the worker thread. The window and the worker share it; the window reads the result
// once the promise's future has finished.
struct StatisticsWindow::Job {
    stats::Selection selection;
    stats::Statistics::Options options;
    stats::Work work;
    std::optional<stats::Statistics> result;
    QString failure;
    QPromise<void> promise;

    void run() {
        try {
            result = stats::Statistics::compute(selection, options, work);
        } catch (const stats::Cancelled&) {
            // Nobody waits for it any more.
        } catch (const std::bad_alloc&) {
            failure = u"There is not enough memory to count these rows."_s;
        }
        promise.finish();
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
    m_progressDelay.setSingleShot(true);
    m_progressDelay.setInterval(kProgressDelay);
    connect(&m_progressDelay, &QTimer::timeout, this, [this] {
        m_progress->setValue(m_watcher != nullptr ? m_watcher->progressValue() : 0);
        m_progress->show();
    });

    connect(&m_results, &QAbstractItemModel::modelReset, this, &StatisticsWindow::resultsChanged);
    connect(&m_results, &QAbstractItemModel::rowsInserted, this, &StatisticsWindow::resultsChanged);
    connect(&m_results, &QAbstractItemModel::rowsRemoved, this, &StatisticsWindow::resultsChanged);
    connect(&m_results, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (m_scope->currentIndex() == 1 && (roles.isEmpty() || roles.contains(Qt::CheckStateRole)))
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
    m_scope = new QComboBox(this);
    m_scope->setObjectName(u"Scope"_s);
    m_scope->addItems({u"All rows"_s, u"Ticked rows only"_s});
    m_scope->setAccessibleName(u"Rows"_s);
    scopeLabel->setBuddy(m_scope);
    auto* dieLabel = new QLabel(u"&Dice:"_s, this);
    m_die = new QSpinBox(this);
    m_die->setObjectName(u"Die"_s);
    m_die->setSpecialValueText(u"All dice"_s);
    m_die->setPrefix(u"Die "_s);
    m_die->setRange(0, 0);
    m_die->setAccessibleName(u"Dice"_s);
    m_die->findChild<QLineEdit*>()->setAccessibleName(u"Dice"_s); // a focus of its own
    dieLabel->setBuddy(m_die);
    m_ignoreOrder = new QCheckBox(u"&Ignore order"_s, this);
    m_ignoreOrder->setObjectName(u"IgnoreOrder"_s);
    m_ignoreOrder->setAccessibleName(u"Ignore order"_s);
    m_ignoreOrder->setEnabled(false);
    choices->addWidget(scopeLabel);
    choices->addWidget(m_scope);
    choices->addSpacing(12);
    choices->addWidget(dieLabel);
    choices->addWidget(m_die);
    choices->addSpacing(12);
    choices->addWidget(m_ignoreOrder);
    choices->addStretch();
    layout->addLayout(choices);

    m_views = new QTabBar(this);
    m_views->setObjectName(u"Views"_s);
    m_views->addTab(u"Sides"_s);
    m_views->addTab(u"Combinations"_s);
    m_views->addTab(u"Totals"_s);
    m_views->setTabEnabled(2, false);
    m_views->setAccessibleName(u"View"_s);
    layout->addWidget(m_views);

    // The status and the summary are read out by their text: no fixed accessible name hides it.
    auto* statusRow = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setObjectName(u"Status"_s);
    m_status->hide();
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(u"Progress"_s);
    m_progress->setRange(0, kProgressSteps);
    m_progress->setAccessibleName(u"Counting progress"_s);
    m_progress->hide();
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_progress);
    layout->addLayout(statusRow);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    m_table = new QTableView(splitter);
    m_table->setObjectName(u"Table"_s);
    m_table->setModel(&m_model);
    m_table->setAccessibleName(u"Statistics table"_s);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false); // Tab leaves the table; the arrows move within it
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_table->installEventFilter(this);
    m_chart = new StatisticsChart(splitter);
    m_chart->setObjectName(u"Chart"_s);
    splitter->addWidget(m_table);
    splitter->addWidget(m_chart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({480, 320});
    layout->addWidget(splitter, 1);

    m_summary = new QLabel;
    m_summary->setObjectName(u"Summary"_s);
    m_summary->setWordWrap(true);
    m_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summaryArea = new SummaryArea(m_summary, this);
    m_summaryArea->setObjectName(u"SummaryArea"_s);
    m_summaryArea->setAccessibleName(u"Summary"_s);
    layout->addWidget(m_summaryArea);

    auto* buttons = new QHBoxLayout;
    m_copyButton = new QPushButton(u"&Copy"_s, this);
    m_copyButton->setObjectName(u"CopyButton"_s);
    m_copyButton->setAccessibleName(u"Copy"_s);
    m_copyButton->setToolTip(u"Copy the table and the fairness lines as tab-separated text (Ctrl+C)"_s);
    m_saveButton = new QPushButton(u"&Save\u2026"_s, this);
    m_saveButton->setObjectName(u"SaveButton"_s);
    m_saveButton->setAccessibleName(u"Save"_s);
    m_saveButton->setToolTip(u"Save the table and the fairness lines as a CSV file"_s);
    auto* closeButton = new QPushButton(u"Close"_s, this);
    closeButton->setObjectName(u"CloseButton"_s);
    closeButton->setAccessibleName(u"Close"_s);
    closeButton->setToolTip(u"Close the window (Esc)"_s);
    // Beside the buttons: not the results' figures, but where the kept bag stands for the next roll.
    m_keptBag = new QLabel(this);
    m_keptBag->setObjectName(u"KeptBag"_s);
    m_keptBag->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_keptBag->hide();
    buttons->addWidget(m_keptBag);
    buttons->addStretch();
    buttons->addWidget(m_copyButton);
    buttons->addWidget(m_saveButton);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);

    auto* copy = new QAction(u"Copy"_s, this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WindowShortcut);
    addAction(copy);
    auto* close = new QAction(u"Close"_s, this);

    // Ctrl+Tab and Ctrl+Shift+Tab step through the views, as through the tabs of a dialog.
    for (const auto& [keys, step] : {std::pair{QKeySequence::NextChild, 1}, {QKeySequence::PreviousChild, -1}}) {
        auto* turn = new QAction(this);
        turn->setShortcuts(keys);
        turn->setShortcutContext(Qt::WindowShortcut);
        addAction(turn);
        connect(turn, &QAction::triggered, this, [this, step = step] {
            const int count = m_views->count();
            for (int view = m_views->currentIndex() + step;; view += step) {
                view = (view + count) % count;
                if (m_views->isTabEnabled(view)) {
                    m_views->setCurrentIndex(view);
                    break;
                }
            }
        });
    }

    connect(copy, &QAction::triggered, this, &StatisticsWindow::copyTable);
    connect(close, &QAction::triggered, this, &QWidget::close);
    connect(m_copyButton, &QPushButton::clicked, this, &StatisticsWindow::copyTable);
    connect(m_saveButton, &QPushButton::clicked, this, &StatisticsWindow::saveTable);
    connect(closeButton, &QPushButton::clicked, close, &QAction::trigger);
    connect(m_scope, &QComboBox::currentIndexChanged, this, &StatisticsWindow::scheduleCount);
    connect(m_die, &QSpinBox::valueChanged, this, &StatisticsWindow::nameDie);
    connect(m_die, &QSpinBox::valueChanged, this, &StatisticsWindow::scheduleCount);
    connect(m_ignoreOrder, &QCheckBox::toggled, this, &StatisticsWindow::scheduleCount);
    connect(m_views, &QTabBar::currentChanged, this, [this](int view) {
        m_die->setEnabled(view == 0);
        m_ignoreOrder->setEnabled(view == 1);
        // A new view starts in its own order.
        m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        m_model.sort(-1, Qt::AscendingOrder);
        scheduleCount();
    });
    resize(820, 600);
}

stats::Statistics::Options StatisticsWindow::options() const {
    stats::Statistics::Options options;
    options.view = static_cast<stats::Statistics::View>(m_views->currentIndex());
    options.die = m_die->value();
    options.ignoreOrder = m_ignoreOrder->isChecked();
    return options;
}

void StatisticsWindow::setKeptBagLine(const QString& line) {
    m_keptBag->setText(line);
    m_keptBag->setVisible(!line.isEmpty());
}

void StatisticsWindow::setStatus(const QString& text) {
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
}

void StatisticsWindow::setSummary(const QString& text) {
    m_summary->setText(text);
    m_summaryArea->setAccessibleDescription(text);
    m_summaryArea->updateGeometry();
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    resultsChanged();
}

// Escape closes the window, as the Close button does. As a key rather than a shortcut, it reaches the
// window only when no control took it first: an open list or menu closes alone.
void StatisticsWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        close();
    else
        QWidget::keyPressEvent(event);
}

void StatisticsWindow::closeEvent(QCloseEvent* event) {
    cancelCount();
    event->accept();
}

bool StatisticsWindow::eventFilter(QObject* watched, QEvent* event) {
    // The table's own Ctrl+C would copy one cell, past the window's clipboard service.
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copyTable();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void StatisticsWindow::nameDie() {
    // The die a position of a set rolled follows its number: "Die 2: Six".
    const QString name = stats::dieName(m_results.draws(), std::max(m_die->value(), 1));
    const qsizetype colon = name.indexOf(u':');
    m_die->setSuffix(colon < 0 ? QString() : name.mid(colon));
}

void StatisticsWindow::resultsChanged() {
    // What the results offer: the dice of a roll, and totals when every side is a whole number.
    const core::DrawRows& draws = m_results.draws();
    m_die->setMaximum(draws.empty() ? 0 : draws.dice());
    nameDie();
    const bool numeric = !draws.empty() && draws.sideCount() > 0 && stats::wholeNumbers(draws.labels()).has_value();
    m_views->setTabEnabled(2, numeric);
    if (!numeric && m_views->currentIndex() == 2)
        m_views->setCurrentIndex(0);
    scheduleCount();
}

void StatisticsWindow::scheduleCount() {
    showCounting();
    if (isVisible())
        m_countSoon.start();
}

void StatisticsWindow::showCounting() {
    // Nothing of the last count stays in view, and its rows are not kept alive meanwhile.
    m_statistics.reset();
    setStatus({});
    m_model.setTable(nullptr);
    m_chart->clear();
    setSummary(kCounting);
    m_copyButton->setEnabled(false);
    m_saveButton->setEnabled(false);
}

void StatisticsWindow::cancelCount() {
    m_countSoon.stop();
    m_progressDelay.stop();
    m_progress->hide();
    if (m_watcher != nullptr) {
        m_watcher->disconnect();
        m_watcher->deleteLater();
        m_watcher = nullptr;
    }
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
    showCounting();
    auto job = std::make_shared<Job>();
    job->selection.draws = m_results.draws();
    if (m_scope->currentIndex() == 1)
        job->selection.ticked = m_results.ticks();
    job->options = options();
    job->promise.setProgressRange(0, kProgressSteps);
    job->work.observe([promise = &job->promise](double progress) {
        promise->setProgressValue(static_cast<int>(progress * kProgressSteps));
    });
    job->promise.start();

    m_watcher = new QFutureWatcher<void>(this);
    connect(m_watcher, &QFutureWatcherBase::progressValueChanged, m_progress, &QProgressBar::setValue);
    connect(m_watcher, &QFutureWatcherBase::finished, this, [this, job] { finishCount(job); });
    m_watcher->setFuture(job->promise.future());
    m_job = job;
    m_progressDelay.start();
    QThreadPool::globalInstance()->start([job] { job->run(); });
}

void StatisticsWindow::finishCount(std::shared_ptr<Job> job) {
    if (job != m_job)
        return;
    cancelCount(); // nothing left to cancel: lets the watcher go
    if (job->result)
        showStatistics(std::move(*job->result));
    else
        showNothing(job->failure);
}

void StatisticsWindow::showStatistics(stats::Statistics statistics) {
    m_statistics = std::move(statistics);
    const std::shared_ptr<const stats::Table> shown = m_statistics->table();
    setStatus(m_statistics->emptyReason());
    m_table->setSortingEnabled(shown && shown->isSortable());
    m_model.setTable(shown);
    m_table->resizeColumnsToContents();
    m_chart->setChart(m_statistics->chart(), shown);
    m_chart->setVisible(!m_statistics->chart().observed.empty()); // the lines of a roll have no chart
    setSummary(m_statistics->summary().join(u'\n'));
    m_copyButton->setEnabled(shown != nullptr);
    m_saveButton->setEnabled(shown != nullptr);
}

void StatisticsWindow::showNothing(const QString& reason) {
    m_statistics.reset();
    setStatus(reason);
    m_model.setTable(nullptr);
    m_chart->clear();
    setSummary({});
    m_copyButton->setEnabled(false);
    m_saveButton->setEnabled(false);
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
                                        QString(), this);
        }
    });
}

} // namespace shell
