#include "HistoryWindow.h"

#include "core/DrawRows.h"
#include "history/HistorySettings.h"
#include "history/RollHistory.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

const QString kTitle = u"Roll History"_s;

QPushButton* commandButton(QWidget* parent, const QString& text, const QString& name, const QString& tip) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    QString accessible = text;
    button->setAccessibleName(accessible.remove(u'&').remove(u'\u2026'));
    button->setToolTip(tip);
    return button;
}

} // namespace

HistoryWindow::HistoryWindow(history::RollHistory& history, platform::Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_history(history)
    , m_services(services)
    , m_model(history) {
    setObjectName(u"RollHistory"_s);
    setWindowTitle(kTitle);
    buildControls();
    connect(&m_model, &QAbstractItemModel::modelReset, this, &HistoryWindow::updateStatus);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &HistoryWindow::updateStatus);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, &HistoryWindow::updateStatus);
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_table->currentIndex().isValid())
            m_table->setCurrentIndex(m_model.index(0, 0));
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model.rowCount() > 0)
            m_table->setCurrentIndex(m_model.index(0, 0));
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &HistoryWindow::updateCommands);
    connect(&m_model, &QAbstractItemModel::rowsRemoved, this, &HistoryWindow::updateCommands);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &HistoryWindow::updateCommands);
    updateCommands();
    updateStatus();
    int width = 0;
    for (int column = 0; column < history::HistoryModel::ColumnCount; ++column)
        width += m_table->columnWidth(column);
    resize(width + 40, 420);
}

void HistoryWindow::buildControls() {
    auto* layout = new QVBoxLayout(this);

    m_table = new QTableView(this);
    m_table->setObjectName(u"HistoryTable"_s);
    m_table->setModel(&m_model);
    m_table->setAccessibleName(u"Kept rolls"_s);
    m_table->setAccessibleDescription(u"One kept roll per row, newest first. Enter shows its rows in the results "
                                      u"list; Ctrl+C copies its fingerprint."_s);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false); // Tab goes on to the buttons
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics metrics = m_table->fontMetrics();
    m_table->setColumnWidth(history::HistoryModel::Time, metrics.horizontalAdvance(u"0000-00-00 00:00:00"_s) + 16);
    m_table->setColumnWidth(history::HistoryModel::Mode, metrics.horizontalAdvance(u"No Side Twice In A Roll"_s) + 16);
    m_table->setColumnWidth(history::HistoryModel::DiceAndRolls,
                            metrics.horizontalAdvance(u"3 \u00d7 10,000,000"_s) + 16);
    m_table->setColumnWidth(history::HistoryModel::Die, metrics.horizontalAdvance(u"0"_s) * 24);
    // The whole fingerprint, so it can be read off against sha256sum.
    m_table->setColumnWidth(history::HistoryModel::Fingerprint,
                            metrics.horizontalAdvance(u"0123456789abcdef"_s.repeated(4)) + 16);
    m_table->installEventFilter(this);
    connect(m_table, &QAbstractItemView::activated, this, &HistoryWindow::showInResults);
    layout->addWidget(m_table, 1);

    auto* statusRow = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setObjectName(u"HistoryStatus"_s);
    m_status->setAccessibleName(u"Status"_s);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);
    auto* limitLabel = new QLabel(u"Size &limit:"_s, this);
    m_sizeLimit = new QSpinBox(this);
    m_sizeLimit->setObjectName(u"SizeLimit"_s);
    m_sizeLimit->setAccessibleName(u"Size limit in megabytes"_s);
    m_sizeLimit->setToolTip(u"The history removes its oldest entries to stay within this size."_s);
    m_sizeLimit->setRange(int(history::kMinimumSizeLimitMegabytes), int(history::kMaximumSizeLimitMegabytes));
    m_sizeLimit->setSuffix(u" MB"_s);
    m_sizeLimit->setGroupSeparatorShown(true);
    m_sizeLimit->setValue(int(m_history.sizeLimit() / history::kMegabyte));
    m_sizeLimit->setKeyboardTracking(false);
    limitLabel->setBuddy(m_sizeLimit);
    connect(m_sizeLimit, &QSpinBox::valueChanged, this, &HistoryWindow::sizeLimitChanged);
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(limitLabel);
    statusRow->addWidget(m_sizeLimit);
    layout->addLayout(statusRow);

    auto* buttons = new QHBoxLayout;
    auto* show = commandButton(this, u"&Show In Results"_s, u"ShowInResults"_s,
                               u"Put the entry's rows into the results list as a new list (Enter)"_s);
    auto* copy = commandButton(this, u"Copy &Fingerprint"_s, u"CopyFingerprint"_s,
                               u"Copy the entry's SHA-256 fingerprint (Ctrl+C)"_s);
    auto* save = commandButton(this, u"&Export\u2026"_s, u"Export"_s,
                               u"Save the entry as an aligned text file with its fingerprint (Ctrl+S)"_s);
    auto* remove = commandButton(this, u"&Delete"_s, u"Delete"_s, u"Delete the entry from the history (Delete)"_s);
    auto* close = commandButton(this, u"Close"_s, u"Close"_s, u"Close this window (Escape)"_s);
    m_entryCommands = {show, copy, save, remove};
    buttons->addWidget(show);
    buttons->addWidget(copy);
    buttons->addWidget(save);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(show, &QPushButton::clicked, this, &HistoryWindow::showInResults);
    connect(copy, &QPushButton::clicked, this, &HistoryWindow::copyFingerprint);
    connect(save, &QPushButton::clicked, this, &HistoryWindow::exportEntry);
    connect(remove, &QPushButton::clicked, this, &HistoryWindow::deleteEntry);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    const auto shortcut = [this](const QKeySequence& keys, void (HistoryWindow::*command)()) {
        auto* action = new QAction(this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, command);
    };
    shortcut(QKeySequence::Copy, &HistoryWindow::copyFingerprint);
    shortcut(QKeySequence::Save, &HistoryWindow::exportEntry);
    auto* escape = new QAction(this);
    escape->setShortcut(Qt::Key_Escape);
    escape->setShortcutContext(Qt::WindowShortcut);
    addAction(escape);
    connect(escape, &QAction::triggered, this, &QWidget::close);
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // The table's own Ctrl+C would copy a cell; Delete belongs to the table alone.
        if (key->matches(QKeySequence::Copy)) {
            copyFingerprint();
            return true;
        }
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            deleteEntry();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

const history::EntrySummary* HistoryWindow::selectedEntry() const {
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid() || current.row() >= m_model.rowCount())
        return nullptr;
    return &m_model.entryAt(current.row());
}

void HistoryWindow::updateCommands() {
    const bool any = selectedEntry() != nullptr;
    for (QPushButton* button : std::as_const(m_entryCommands))
        button->setEnabled(any);
}

void HistoryWindow::updateStatus() {
    QString text;
    if (!m_model.loaded()) {
        text = m_model.listingFailure().isEmpty() ? u"Reading the history\u2026"_s : m_model.listingFailure();
    } else {
        const int count = m_model.rowCount();
        text = count == 1 ? u"1 roll kept"_s : QLocale().toString(count) + u" rolls kept"_s;
        text += u", "_s + QLocale().formattedDataSize(m_model.totalBytes(), 1, QLocale::DataSizeSIFormat) + u'.';
    }
    if (!m_lastMessage.isEmpty())
        text += u' ' + m_lastMessage;
    m_status->setText(text);
}

QString HistoryWindow::statusText() const {
    return m_status->text();
}

void HistoryWindow::sizeLimitChanged(int megabytes) {
    m_history.setSizeLimit(megabytes * history::kMegabyte);
    try {
        m_services.settings->write(QString::fromUtf16(history::kSizeLimitKey), QString::number(megabytes));
    } catch (const platform::RuntimeError& error) {
        m_lastMessage = u"The size limit could not be stored: "_s + error.description() + u'.';
        updateStatus();
    }
}

void HistoryWindow::showInResults() {
    const history::EntrySummary* entry = selectedEntry();
    if (!entry)
        return;
    m_lastMessage = u"Loading the rows\u2026"_s;
    updateStatus();
    m_history.loadRows(entry->id, this, [this](const history::EntrySummary& loaded, const core::DrawRows& rows) {
        m_lastMessage = u"The roll of "_s + history::HistoryModel::shownTime(loaded) + u" is in the results list."_s;
        updateStatus();
        emit showRows(rows);
    });
}

void HistoryWindow::copyFingerprint() {
    if (const history::EntrySummary* entry = selectedEntry()) {
        m_services.clipboard->clear();
        m_lastMessage = m_services.clipboard->setText(entry->fingerprint, 0) ? u"Fingerprint copied."_s
                                                                             : u"The clipboard is busy; try again."_s;
        updateStatus();
    }
}

void HistoryWindow::exportEntry() {
    const history::EntrySummary* entry = selectedEntry();
    if (!entry)
        return;
    const QString path =
        m_services.fileDialogs->getSaveFileName({.title = u"Export Roll"_s,
                                                 .filter = QString::fromUtf16(platform::kTextFilesFilter),
                                                 .memory = u"RollHistory"_s,
                                                 .askBeforeReplacing = true,
                                                 .addFilterExtension = true,
                                                 .owner = this});
    if (path.isEmpty())
        return;
    m_lastMessage = u"Exporting\u2026"_s;
    updateStatus();
    m_history.exportEntry(entry->id, path, this, [this, path](const QString& failure) {
        m_lastMessage = failure.isEmpty() ? u"Exported to \""_s + path + u"\"."_s : QString();
        updateStatus();
        if (!failure.isEmpty())
            m_services.messageBox->show(failure, platform::Exclamation, kTitle, this);
    });
}

void HistoryWindow::deleteEntry() {
    const history::EntrySummary* entry = selectedEntry();
    if (!entry)
        return;
    const std::int64_t id = entry->id;
    if (!m_services.messageBox->askYesNo(u"Delete the roll of "_s + history::HistoryModel::shownTime(*entry) +
                                             u" from the history? Its rows and fingerprint are lost."_s,
                                         kTitle))
        return;
    m_lastMessage.clear();
    m_history.remove(id);
}

} // namespace shell
