#include "DiceLibraryWindow.h"

#include "Form1.h"

#include "dice/DiceSet.h"
#include "library/LibraryFormat.h"
#include "library/SetEditor.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/InputBox.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

const QString kTitle = u"Dice Library"_s;
const QString kImportFilter = u"Dice and Side Lists (*.die *.dieset *.tsv *.txt)|*.die;*.dieset;*.tsv;*.txt|"
                              u"All Files (*.*)|*.*|"_s;
// A label of millions of characters takes the view seconds to lay out at every paint: the table
// shows its start. Use and Export still carry the whole label.
constexpr qsizetype kShownLabelLength = 1000;

} // namespace

// The library's entries as a table: name, what it is, and its sides or its dice.
class LibraryTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setEntries(std::vector<library::Entry> entries) {
        beginResetModel();
        m_entries = std::move(entries);
        endResetModel();
    }
    const std::vector<library::Entry>& entries() const { return m_entries; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
            return {};
        const library::Entry& entry = m_entries[static_cast<std::size_t>(index.row())];
        const QLocale locale;
        switch (index.column()) {
        case 0:
            return entry.name;
        case 1:
            if (entry.kind == library::Kind::Set)
                return u"Set"_s;
            return entry.weighted ? u"Weighted die"_s : u"Die"_s;
        default:
            if (entry.kind == library::Kind::Set)
                return entry.setSummary;
            return QString(locale.toString(static_cast<qlonglong>(entry.count)) +
                           (entry.count == 1 ? u" side"_s : u" sides"_s));
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const QString headers[] = {u"Name"_s, u"Kind"_s, u"Sides or dice"_s};
        return section >= 0 && section < 3 ? headers[section] : QVariant();
    }

private:
    std::vector<library::Entry> m_entries;
};

// The sides of the die chosen in the library: label, weight (editable) and its share of the tickets.
class DieSidesModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setDie(dice::Die die) {
        beginResetModel();
        m_die = std::move(die);
        m_total = m_die.totalWeight();
        endResetModel();
    }
    const dice::Die& die() const { return m_die; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_die.sideCount());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::AccessibleTextRole))
            return {};
        const std::uint32_t weight = m_die.weights[static_cast<std::size_t>(index.row())];
        switch (index.column()) {
        case 0: {
            const QStringView label = m_die.labels.at(index.row());
            if (label.size() > kShownLabelLength)
                return QString(label.first(kShownLabelLength).toString() + u'\u2026');
            return label.toString();
        }
        case 1:
            return role == Qt::EditRole ? QString::number(weight) : QLocale().toString(weight);
        default:
            return dice::weightShareText(weight, m_total);
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        const Qt::ItemFlags flags = QAbstractTableModel::flags(index);
        return index.column() == 1 ? flags | Qt::ItemIsEditable : flags;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const QString headers[] = {u"Side"_s, u"Weight"_s, u"Share"_s};
        return section >= 0 && section < 3 ? headers[section] : QVariant();
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Called with the die as edited, or none for a weight that does not read; false keeps the die as it
    // was (saying why is the caller's).
    std::function<bool(const dice::Die*)> onEdit;

private:
    dice::Die m_die;
    std::uint64_t m_total = 0;
};

bool DieSidesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || index.column() != 1 || !onEdit)
        return false;
    dice::Die edited = m_die;
    const std::optional<std::uint32_t> weight = dice::parseWeight(value.toString());
    if (weight)
        edited.weights[static_cast<std::size_t>(index.row())] = *weight;
    if (!onEdit(weight ? &edited : nullptr))
        return false;
    setDie(std::move(edited));
    return true;
}

// The rows of the chosen set: the die of each row, picked from the library's dice, and its count.
class SetRowsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setEditor(library::SetEditor editor) {
        beginResetModel();
        m_editor = std::move(editor);
        endResetModel();
    }
    const library::SetEditor& editor() const { return m_editor; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_editor.rowCount(); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        const dice::SetEntry& row = m_editor.row(index.row());
        const bool missing = m_editor.missing(index.row());
        if (index.column() == 1) {
            if (role == Qt::EditRole)
                return row.count;
            if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
                return QLocale().toString(row.count);
            return {};
        }
        switch (role) {
        case Qt::EditRole:
            return row.die;
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return missing ? row.die + u" (not in the library)"_s : row.die;
        case Qt::DecorationRole:
            return missing ? QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning) : QVariant();
        case Qt::ToolTipRole:
            return missing ? m_editor.missingText() : QVariant();
        default:
            return {};
        }
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        return section == 0 ? u"Die"_s : section == 1 ? u"Count"_s : QVariant();
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole || !index.isValid() || !onEdit)
            return false;
        library::SetEditor edited = m_editor;
        const bool changed = index.column() == 0 ? edited.setDie(index.row(), value.toString())
                                                 : edited.setCount(index.row(), value.toLongLong());
        if (!changed || edited.set().entries == m_editor.set().entries || !onEdit(edited))
            return false;
        m_editor = std::move(edited);
        emit dataChanged(this->index(0, 0), this->index(rowCount() - 1, 1));
        return true;
    }

    // Called with the set as edited; false keeps the set as it was (saying why is the caller's).
    std::function<bool(const library::SetEditor&)> onEdit;

private:
    library::SetEditor m_editor;
};

// A row's die is picked from the library's dice (a die that has gone stays on offer, so leaving the
// editor keeps it), its count from 1 to what a roll can hold.
class SetRowDelegate : public QStyledItemDelegate {
public:
    SetRowDelegate(const SetRowsModel& model, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_model(model) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        const QString row = QString::number(index.row() + 1);
        if (index.column() == 0) {
            auto* dice = new QComboBox(parent);
            for (const QString& die : m_model.editor().dice())
                dice->addItem(die, die);
            if (m_model.editor().missing(index.row()))
                dice->insertItem(0, index.data().toString(), index.data(Qt::EditRole));
            dice->setAccessibleName(u"Die of row "_s + row);
            return dice;
        }
        auto* count = new QSpinBox(parent);
        count->setRange(1, static_cast<int>(dice::kMostDicePerRoll));
        count->setAccessibleName(u"Count of row "_s + row);
        return count;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* dice = qobject_cast<QComboBox*>(editor))
            dice->setCurrentIndex(dice->findData(index.data(Qt::EditRole), Qt::UserRole, Qt::MatchFixedString));
        else if (auto* count = qobject_cast<QSpinBox*>(editor))
            count->setValue(index.data(Qt::EditRole).toInt());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        if (auto* dice = qobject_cast<QComboBox*>(editor)) {
            model->setData(index, dice->currentData());
        } else if (auto* count = qobject_cast<QSpinBox*>(editor)) {
            count->interpretText();
            model->setData(index, count->value());
        }
    }

private:
    const SetRowsModel& m_model;
};

DiceLibraryWindow::DiceLibraryWindow(Form1& form, platform::Services& services, QString folder, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_form(form)
    , m_services(services)
    , m_library(std::move(folder)) {
    setObjectName(u"DiceLibrary"_s);
    setWindowTitle(kTitle);
    buildControls();
    resize(680, 560);
}

DiceLibraryWindow::~DiceLibraryWindow() {
    // The list being read is of no use any more, and its thread is not to outlive the window.
    if (m_lister != nullptr) {
        m_lister->wait();
        delete m_lister.data();
    }
}

void DiceLibraryWindow::buildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(u"Dice and se&ts:"_s, this);
    layout->addWidget(caption);

    m_model = new LibraryTableModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(u"LibraryTable"_s);
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTabKeyNavigation(false); // Tab leaves the table; the arrows move within it
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setAccessibleName(u"Dice and sets"_s);
    m_table->setAccessibleDescription(
        u"The dice and sets of the library. Enter uses a die or rolls a set; F2 renames; Delete deletes."_s);
    caption->setBuddy(m_table);
    layout->addWidget(m_table, 1);

    // Below the list, what the chosen entry holds: a die's sides and weights, or a set's dice.
    m_detail = new QStackedWidget(this);
    layout->addWidget(m_detail, 1);
    auto* sidesPage = new QWidget(m_detail);
    auto* sidesLayout = new QVBoxLayout(sidesPage);
    sidesLayout->setContentsMargins({});
    m_detail->addWidget(sidesPage);
    auto* sidesCaption = new QLabel(u"Sides and &weights of the die:"_s, sidesPage);
    sidesLayout->addWidget(sidesCaption);
    m_sidesModel = new DieSidesModel(this);
    m_sidesModel->onEdit = [this](const dice::Die* die) {
        if (die == nullptr) {
            failed(u"A weight is a whole number from 0 to "_s + QLocale().toString(dice::kMostWeight) + u'.');
            return false;
        }
        return saveEditedDie(*die);
    };
    m_sides = new QTableView(sidesPage);
    m_sides->setObjectName(u"DieSidesTable"_s);
    m_sides->setModel(m_sidesModel);
    m_sides->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_sides->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_sides->setTabKeyNavigation(false);
    m_sides->verticalHeader()->hide();
    m_sides->horizontalHeader()->setStretchLastSection(true);
    m_sides->setAccessibleName(u"Sides and weights of the die"_s);
    m_sides->setAccessibleDescription(u"Each side of the chosen die with its weight and its share of the tickets. "
                                      u"F2 edits a weight; Ctrl+V takes label<Tab>weight lines."_s);
    sidesCaption->setBuddy(m_sides);
    sidesLayout->addWidget(m_sides, 1);
    auto* paste = new QAction(m_sides);
    paste->setShortcuts(QKeySequence::keyBindings(QKeySequence::Paste));
    paste->setShortcutContext(Qt::WidgetShortcut);
    connect(paste, &QAction::triggered, this, &DiceLibraryWindow::pasteWeights);
    m_sides->addAction(paste);

    buildSetEditor();

    m_status = new QLabel(this);
    m_status->setObjectName(u"LibraryStatus"_s);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);

    auto* buttons = new QGridLayout;
    layout->addLayout(buttons);
    int at = 0;
    auto button = [&](const QString& text, const QString& name, const QString& description, auto command) {
        auto* pushButton = new QPushButton(text, this);
        pushButton->setObjectName(name);
        pushButton->setAccessibleName(QString(text).remove(u'&').remove(u'\u2026'));
        pushButton->setAccessibleDescription(description);
        pushButton->setAutoDefault(false);
        connect(pushButton, &QPushButton::clicked, this, command);
        buttons->addWidget(pushButton, at / 4, at % 4);
        ++at;
        return pushButton;
    };
    m_use = button(u"&Use"_s, u"UseButton"_s, u"Puts the die's sides in the main window's sides list."_s,
                   &DiceLibraryWindow::useCurrent);
    m_rollSet = button(u"Roll &Set"_s, u"RollSetButton"_s,
                       u"Rolls the set Number Of Rolls times into the main window's results."_s,
                       &DiceLibraryWindow::rollCurrentSet);
    button(u"Save Current Die &As\u2026"_s, u"SaveAsButton"_s,
           u"Keeps the main window's die in the library under a name."_s, &DiceLibraryWindow::saveCurrentDieAs);
    button(u"&New Set\u2026"_s, u"NewSetButton"_s, u"Makes a set of dice, such as 2 × Six, 1 × Coin."_s,
           &DiceLibraryWindow::newSet);
    m_editSet = button(u"&Edit Set\u2026"_s, u"EditSetButton"_s, u"Changes the dice of the set."_s,
                       &DiceLibraryWindow::editCurrentSet);
    m_rename = button(u"&Rename\u2026"_s, u"RenameButton"_s, u"Gives the die or set another name."_s,
                      &DiceLibraryWindow::renameCurrent);
    m_duplicate = button(u"Du&plicate"_s, u"DuplicateButton"_s, u"Makes a copy of the die or set."_s,
                         &DiceLibraryWindow::duplicateCurrent);
    m_delete = button(u"&Delete"_s, u"DeleteButton"_s, u"Deletes the die or set after asking."_s,
                      &DiceLibraryWindow::deleteCurrent);
    button(u"&Import\u2026"_s, u"ImportButton"_s, u"Adds dice from side lists, weighted lists or library files."_s,
           &DiceLibraryWindow::importFiles);
    m_export = button(u"E&xport\u2026"_s, u"ExportButton"_s, u"Writes the die or set to a file."_s,
                      &DiceLibraryWindow::exportCurrent);
    QPushButton* close = button(u"&Close"_s, u"CloseButton"_s, u"Closes the Dice Library."_s, &QWidget::close);
    Q_UNUSED(close);

    // Keys of the table: Enter uses a die or rolls a set, F2 renames, Delete deletes; Escape closes.
    auto key = [this](const QKeySequence& sequence, auto command, Qt::ShortcutContext context) {
        auto* action = new QAction(this);
        action->setShortcut(sequence);
        action->setShortcutContext(context);
        connect(action, &QAction::triggered, this, command);
        (context == Qt::WidgetShortcut ? static_cast<QWidget*>(m_table) : this)->addAction(action);
    };
    auto enter = [this] {
        const library::Entry* entry = currentEntry();
        if (entry != nullptr && entry->kind == library::Kind::Set)
            rollCurrentSet();
        else
            useCurrent();
    };
    key(QKeySequence(Qt::Key_Return), enter, Qt::WidgetShortcut);
    key(QKeySequence(Qt::Key_Enter), enter, Qt::WidgetShortcut);
    key(QKeySequence(Qt::Key_F2), &DiceLibraryWindow::renameCurrent, Qt::WidgetShortcut);
    key(QKeySequence(Qt::Key_Delete), &DiceLibraryWindow::deleteCurrent, Qt::WidgetShortcut);
    key(QKeySequence(Qt::Key_Escape), &QWidget::close, Qt::WindowShortcut);
    connect(m_table, &QTableView::doubleClicked, this, enter);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &DiceLibraryWindow::updateCommands);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &DiceLibraryWindow::showCurrentEntry);
    updateCommands();
}

void DiceLibraryWindow::buildSetEditor() {
    auto* page = new QWidget(m_detail);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins({});
    m_detail->addWidget(page);
    auto* caption = new QLabel(u"Dice of the set, in roll &order:"_s, page);
    layout->addWidget(caption);
    m_setModel = new SetRowsModel(this);
    m_setModel->onEdit = [this](const library::SetEditor& edited) { return saveEditedSet(edited); };
    m_setRows = new QTableView(page);
    m_setRows->setObjectName(u"SetDiceTable"_s);
    m_setRows->setModel(m_setModel);
    m_setRows->setItemDelegate(new SetRowDelegate(*m_setModel, m_setRows));
    m_setRows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_setRows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_setRows->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    m_setRows->setTabKeyNavigation(false);
    m_setRows->verticalHeader()->hide();
    // The die's name takes the room; a count is a short number.
    m_setRows->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_setRows->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_setRows->setAccessibleName(u"Dice of the set"_s);
    m_setRows->setAccessibleDescription(
        u"Each row rolls a die of the library so many times, in this order. F2 or typing changes the die or the "
        u"count; Insert adds a die, Delete removes it, Ctrl+Up and Ctrl+Down move it. Changes are saved at once."_s);
    caption->setBuddy(m_setRows);
    layout->addWidget(m_setRows, 1);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    auto command = [&](const QString& text, const QString& name, const QKeySequence& key, const QString& description,
                       auto run) {
        auto* button = new QPushButton(text, page);
        button->setObjectName(name);
        button->setAccessibleName(text);
        button->setAccessibleDescription(description + u" ("_s + key.toString(QKeySequence::NativeText) + u')');
        button->setToolTip(key.toString(QKeySequence::NativeText));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, run);
        buttons->addWidget(button);
        // The key works in the table, where the rows are; while a die or count is being edited the
        // editor keeps its keys.
        auto* action = new QAction(m_setRows);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, run);
        m_setRows->addAction(action);
    };
    command(u"Add Die"_s, u"AddSetDieButton"_s, QKeySequence(Qt::Key_Insert),
            u"Adds a row below the chosen one, with a die the set does not roll yet."_s,
            [this] { changeSetRows(SetChange::Add); });
    command(u"Remove Die"_s, u"RemoveSetDieButton"_s, QKeySequence(Qt::Key_Delete), u"Removes the chosen row."_s,
            [this] { changeSetRows(SetChange::Remove); });
    command(u"Move Up"_s, u"MoveSetDieUpButton"_s, QKeySequence(Qt::CTRL | Qt::Key_Up),
            u"Rolls the chosen row's dice before the row above."_s, [this] { changeSetRows(SetChange::MoveUp); });
    command(u"Move Down"_s, u"MoveSetDieDownButton"_s, QKeySequence(Qt::CTRL | Qt::Key_Down),
            u"Rolls the chosen row's dice after the row below."_s, [this] { changeSetRows(SetChange::MoveDown); });
    buttons->addStretch(1);

    m_setProblems = new QLabel(page);
    m_setProblems->setObjectName(u"SetProblems"_s);
    m_setProblems->setWordWrap(true);
    m_setProblems->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_setProblems->setMinimumHeight(2 * m_setProblems->fontMetrics().lineSpacing());
    layout->addWidget(m_setProblems);
}

void DiceLibraryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
}

void DiceLibraryWindow::refresh() {
    if (m_lister != nullptr) {
        m_listAgain = true; // what is being read may be older than the change that asks
        return;
    }
    m_status->setText(u"Reading the library\u2026"_s);
    auto listing = std::make_shared<library::Listing>();
    auto error = std::make_shared<QString>();
    m_lister = QThread::create([library = m_library, listing, error] {
        try {
            *listing = library.list();
        } catch (const platform::RuntimeError& failure) {
            *error = failure.description();
        } catch (const std::bad_alloc&) {
            *error = u"The library is too large to list: out of memory."_s;
        }
    });
    connect(m_lister, &QThread::finished, this, [this, listing, error] {
        m_lister->deleteLater();
        m_lister = nullptr;
        if (m_listAgain) {
            m_listAgain = false;
            refresh();
            return;
        }
        if (!error->isEmpty())
            failed(*error);
        listingArrived(*listing);
    });
    m_lister->start();
}

void DiceLibraryWindow::listingArrived(const library::Listing& listing) {
    const QString keep =
        m_selectAfterListing.isEmpty() && currentEntry() != nullptr ? currentEntry()->name : m_selectAfterListing;
    m_selectAfterListing.clear();
    m_model->setEntries(listing.entries);
    if (!selectEntry(keep) && m_model->rowCount() > 0)
        m_table->setCurrentIndex(m_model->index(0, 0));
    const QLocale locale;
    m_status->setText(listing.entries.empty()
                          ? u"The library is empty. Save Current Die As keeps the main window's die here."_s
                          : locale.toString(static_cast<qulonglong>(listing.entries.size())) +
                                (listing.entries.size() == 1 ? u" entry in "_s : u" entries in "_s) +
                                QDir::toNativeSeparators(m_library.folder()));
    updateCommands();
    if (m_editSetAfterListing) {
        m_editSetAfterListing = false;
        editCurrentSet();
    }

    // Each damaged file once, all of them in one message, and left where it is.
    QStringList news;
    for (const library::Problem& problem : listing.problems) {
        const QString key = problem.fileName + u'\n' + problem.reason;
        if (!m_reported.contains(key)) {
            m_reported.append(key);
            news.append(u"\u2022 "_s + QDir::toNativeSeparators(m_library.filePath(problem.fileName)) + u": "_s +
                        problem.reason);
        }
    }
    emit listingDone();
    if (!news.isEmpty())
        m_services.messageBox->show(
            (news.size() == 1 ? u"This library file could not be read"_s : u"These library files could not be read"_s) +
                u"; it is left as it is, and the rest of the library is listed.\n\n"_s + news.join(u'\n'),
            platform::Exclamation, kTitle, this);
}

const library::Entry* DiceLibraryWindow::currentEntry() const {
    const QModelIndex current = m_table->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount())
        return nullptr;
    return &m_model->entries()[static_cast<std::size_t>(current.row())];
}

bool DiceLibraryWindow::selectEntry(QStringView name) {
    if (name.isEmpty())
        return false;
    const auto& entries = m_model->entries();
    for (std::size_t row = 0; row < entries.size(); ++row) {
        if (library::sameName(entries[row].name, name)) {
            m_table->setCurrentIndex(m_model->index(static_cast<int>(row), 0));
            return true;
        }
    }
    return false;
}

void DiceLibraryWindow::updateCommands() {
    const library::Entry* entry = currentEntry();
    const bool isSet = entry != nullptr && entry->kind == library::Kind::Set;
    m_use->setEnabled(entry != nullptr && !isSet);
    m_rollSet->setEnabled(isSet);
    m_editSet->setEnabled(isSet);
    for (QPushButton* button : {m_rename, m_duplicate, m_delete, m_export})
        button->setEnabled(entry != nullptr);
}

template <class Command> bool DiceLibraryWindow::attempt(Command&& command) {
    try {
        command();
        return true;
    } catch (const platform::RuntimeError& failure) {
        failed(failure.description());
    } catch (const std::bad_alloc&) {
        failed(u"There is not enough memory for that."_s);
    }
    return false;
}

void DiceLibraryWindow::failed(const QString& text) {
    m_services.messageBox->show(text, platform::Exclamation, kTitle, this);
}

QString DiceLibraryWindow::askName(const QString& prompt, const QString& title, const QString& proposal,
                                   const QString& replacing) {
    const QString name = m_services.inputBox->ask(prompt, title, proposal);
    if (name.isEmpty())
        return {};
    if (const QString problem = library::nameProblem(name); !problem.isEmpty()) {
        failed(problem);
        return {};
    }
    std::optional<library::Entry> existing;
    if (!attempt([&] { existing = m_library.find(name); }))
        return {};
    if (existing && !library::sameName(existing->name, replacing)) {
        if (!replacing.isEmpty() || existing->kind != library::Kind::Die) {
            failed(u"The library already has a "_s + library::kindWord(existing->kind) + u" named \""_s +
                   existing->name + u"\". Choose another name."_s);
            return {};
        }
        if (!m_services.messageBox->askYesNo(
                u"The library already has a die named \""_s + existing->name + u"\". Replace it?"_s, title))
            return {};
    }
    return name;
}

void DiceLibraryWindow::showCurrentDie() {
    const library::Entry* entry = currentEntry();
    dice::Die die;
    if (entry != nullptr && entry->kind == library::Kind::Die) {
        const QString name = entry->name;
        if (!attempt([&] { die = m_library.loadDie(name); }))
            die = {};
    }
    // The list read again after an edit brings the same die back: keep the place in its table.
    const dice::Die& shown = m_sidesModel->die();
    bool same = die.name == shown.name && die.weights == shown.weights;
    for (std::int64_t i = 0; same && i < die.sideCount(); ++i)
        same = die.labels.at(i) == shown.labels.at(i);
    if (same)
        return;
    m_sidesModel->setDie(std::move(die));
    // The weight of the first side is where a keyboard user starts typing.
    if (m_sidesModel->rowCount() > 0)
        m_sides->setCurrentIndex(m_sidesModel->index(0, 1));
}

const dice::Die& DiceLibraryWindow::shownDie() const {
    return m_sidesModel->die();
}

bool DiceLibraryWindow::saveEditedDie(const dice::Die& die) {
    if (const QString problem = dice::dieProblem(die); !problem.isEmpty()) {
        failed(problem);
        return false;
    }
    if (!attempt([&] { m_library.save(die); }))
        return false;
    m_selectAfterListing = die.name;
    refresh(); // the list says whether it is weighted
    return true;
}

void DiceLibraryWindow::pasteWeights() {
    dice::Die die = m_sidesModel->die();
    if (die.name.isEmpty())
        return;
    // label<TAB>weight lines, read whole or not at all: a side named gets the weight, a new label is
    // a new side.
    dice::Die pasted;
    if (!attempt([&] { pasted = library::parseWeightedList(m_services.clipboard->getText().toUtf8()); }))
        return;
    QHash<QString, std::int64_t> at;
    for (std::int64_t i = 0; i < die.labels.size(); ++i)
        at.insert(die.labels.at(i).toString(), i);
    for (std::int64_t i = 0; i < pasted.labels.size(); ++i) {
        const std::uint32_t weight = pasted.weights[static_cast<std::size_t>(i)];
        if (const auto found = at.constFind(pasted.labels.at(i).toString()); found != at.cend())
            die.weights[static_cast<std::size_t>(*found)] = weight;
        else
            die.append(pasted.labels.at(i), weight);
    }
    if (saveEditedDie(die))
        m_sidesModel->setDie(std::move(die));
}

void DiceLibraryWindow::useCurrent() {
    const library::Entry* entry = currentEntry();
    if (entry == nullptr || entry->kind != library::Kind::Die)
        return;
    dice::Die die;
    if (attempt([&] { die = m_library.loadDie(entry->name); }))
        m_form.useDie(die);
}

void DiceLibraryWindow::rollCurrentSet() {
    const library::Entry* entry = currentEntry();
    if (entry == nullptr || entry->kind != library::Kind::Set)
        return;
    std::vector<dice::CountedDie> dice;
    const QString name = entry->name; // the list may change while the roll runs
    if (attempt([&] { dice = m_library.setDice(m_library.loadSet(name)); }))
        m_form.rollSet(dice, name);
}

void DiceLibraryWindow::saveCurrentDieAs() {
    dice::Die die = m_form.currentDie();
    if (const QString problem = dice::dieProblem(die); !problem.isEmpty()) {
        failed(u"The main window's die cannot be saved: "_s + problem);
        return;
    }
    const library::Entry* entry = currentEntry();
    const QString proposal = entry != nullptr && entry->kind == library::Kind::Die ? entry->name : QString();
    die.name = askName(u"Name of the die:"_s, u"Save Current Die As"_s, proposal, {});
    if (die.name.isEmpty())
        return;
    if (attempt([&] { m_library.save(die); })) {
        m_selectAfterListing = die.name;
        refresh();
    }
}

QStringList DiceLibraryWindow::libraryDice() const {
    QStringList names;
    for (const library::Entry& entry : m_model->entries()) {
        if (entry.kind == library::Kind::Die)
            names.append(entry.name);
    }
    return names;
}

void DiceLibraryWindow::showCurrentEntry() {
    const library::Entry* entry = currentEntry();
    m_detail->setCurrentIndex(entry != nullptr && entry->kind == library::Kind::Set ? 1 : 0);
    showCurrentDie();
    showCurrentSet();
}

void DiceLibraryWindow::showCurrentSet() {
    const library::Entry* entry = currentEntry();
    library::SetEditor editor;
    if (entry != nullptr && entry->kind == library::Kind::Set) {
        const QString name = entry->name;
        dice::DiceSet set;
        if (attempt([&] { set = m_library.loadSet(name); }))
            editor = library::SetEditor(std::move(set), libraryDice());
    }
    showSetProblems(editor);
    // The list read again after an edit brings the same set back: keep the place in its table.
    const library::SetEditor& shown = m_setModel->editor();
    if (editor.name() == shown.name() && editor.set().entries == shown.set().entries && editor.dice() == shown.dice())
        return;
    const int row = library::sameName(editor.name(), shown.name()) ? m_setRows->currentIndex().row() : 0;
    m_setModel->setEditor(std::move(editor));
    if (m_setModel->rowCount() > 0)
        m_setRows->setCurrentIndex(m_setModel->index(std::clamp(row, 0, m_setModel->rowCount() - 1), 0));
}

void DiceLibraryWindow::showSetProblems(const library::SetEditor& editor) {
    // The line keeps its place, so the buttons above it stay where the pointer left them.
    const QString missing = editor.missingText();
    m_setProblems->setText(missing.isEmpty() ? u"Insert adds a die, Delete removes it, Ctrl+Up and Ctrl+Down move it. "
                                               u"Each change is saved at once."_s
                                             : missing);
}

bool DiceLibraryWindow::saveEditedSet(const library::SetEditor& edited) {
    if (const QString problem = edited.problem(); !problem.isEmpty()) {
        failed(problem);
        return false;
    }
    if (!attempt([&] { m_library.save(edited.set()); }))
        return false;
    showSetProblems(edited);
    m_selectAfterListing = edited.name();
    refresh(); // the list shows the set's summary
    return true;
}

void DiceLibraryWindow::changeSetRows(SetChange change) {
    library::SetEditor edited = m_setModel->editor();
    if (edited.name().isEmpty())
        return;
    const QModelIndex current = m_setRows->currentIndex();
    const int row = current.isValid() ? current.row() : edited.rowCount() - 1;
    int to = row;
    switch (change) {
    case SetChange::Add:
        to = edited.add(row);
        if (to < 0) {
            failed(edited.dice().isEmpty() ? u"The library has no dice to add to the set."_s
                                           : u"The set already rolls as many dice as a roll can hold."_s);
            return;
        }
        break;
    case SetChange::Remove:
        if (edited.rowCount() == 1) {
            failed(u"A set rolls at least one die. To remove the whole set, delete it from the library."_s);
            return;
        }
        if (!edited.remove(row))
            return;
        to = std::min(row, edited.rowCount() - 1);
        break;
    case SetChange::MoveUp:
    case SetChange::MoveDown:
        to = row + (change == SetChange::MoveUp ? -1 : 1);
        if (!edited.move(row, to - row))
            return;
        break;
    }
    if (!saveEditedSet(edited))
        return;
    m_setModel->setEditor(std::move(edited));
    m_setRows->setCurrentIndex(m_setModel->index(to, change == SetChange::Add ? 0 : std::max(current.column(), 0)));
    m_setRows->setFocus();
    // A new row's die is the first thing to choose.
    if (change == SetChange::Add)
        m_setRows->edit(m_setRows->currentIndex());
}

void DiceLibraryWindow::newSet() {
    const QStringList dice = libraryDice();
    if (dice.isEmpty()) {
        failed(u"A set is made of the library's dice, and the library has none yet. Save Current Die As keeps the "
               u"main window's die here."_s);
        return;
    }
    // The set starts with one of the chosen die, or of the first die, and is made up in its table.
    const library::Entry* entry = currentEntry();
    const QString first = entry != nullptr && entry->kind == library::Kind::Die ? entry->name : dice.front();
    const QString name = askName(u"Name of the set:"_s, u"New Set"_s, {}, {});
    if (name.isEmpty())
        return;
    if (attempt([&] { m_library.save(dice::DiceSet{name, {{first, 1}}}); })) {
        m_selectAfterListing = name;
        m_editSetAfterListing = true;
        refresh();
    }
}

void DiceLibraryWindow::editCurrentSet() {
    const library::Entry* entry = currentEntry();
    if (entry == nullptr || entry->kind != library::Kind::Set)
        return;
    m_setRows->setFocus();
    if (!m_setRows->currentIndex().isValid() && m_setModel->rowCount() > 0)
        m_setRows->setCurrentIndex(m_setModel->index(0, 0));
}

void DiceLibraryWindow::renameCurrent() {
    const library::Entry* entry = currentEntry();
    if (entry == nullptr)
        return;
    const QString from = entry->name;
    const QString to = askName(u"New name of \""_s + from + u"\":"_s, u"Rename"_s, from, from);
    if (to.isEmpty() || to == from)
        return;
    if (attempt([&] { m_library.rename(from, to); })) {
        m_selectAfterListing = to;
        refresh();
    }
}

void DiceLibraryWindow::duplicateCurrent() {
    const library::Entry* entry = currentEntry();
    if (entry == nullptr)
        return;
    QString copy;
    if (attempt([&] { copy = m_library.duplicate(entry->name); })) {
        m_selectAfterListing = copy;
        refresh();
    }
}

void DiceLibraryWindow::deleteCurrent() {
    const library::Entry* entry = currentEntry();
    if (entry == nullptr)
        return;
    const QString name = entry->name;
    if (!m_services.messageBox->askYesNo(u"Delete the "_s + library::kindWord(entry->kind) + u" \""_s + name +
                                             u"\" from the library?"_s,
                                         u"Delete"_s))
        return;
    if (attempt([&] { m_library.remove(name); }))
        refresh();
}

void DiceLibraryWindow::importFiles() {
    const QStringList paths =
        m_services.fileDialogs->getOpenFileNames(u"Import Into The Dice Library"_s, kImportFilter);
    QString last;
    for (const QString& path : paths) {
        library::Item item;
        if (!attempt([&] { item = library::Library::readFile(path); }))
            continue;
        const QString name = askName(u"Name in the library for \""_s + QFileInfo(path).fileName() + u"\":"_s,
                                     u"Import"_s, library::itemName(item), {});
        if (name.isEmpty())
            continue;
        library::setItemName(item, name);
        if (attempt([&] { m_library.save(item); }))
            last = name;
    }
    if (!last.isEmpty()) {
        m_selectAfterListing = last;
        refresh();
    }
}

void DiceLibraryWindow::exportCurrent() {
    const library::Entry* entry = currentEntry();
    if (entry == nullptr)
        return;
    const bool isSet = entry->kind == library::Kind::Set;
    platform::SaveRequest request;
    request.title = u"Export \""_s + entry->name + u'"';
    request.filter = isSet ? u"Dice Sets (*.dieset)|*.dieset|"_s
                           : u"Library Dice (*.die)|*.die|Weighted Lists (*.tsv)|*.tsv|Side Lists (*.txt)|*.txt|"_s;
    request.memory = u"DiceLibraryExport"_s;
    request.askBeforeReplacing = true;
    request.addFilterExtension = true;
    request.owner = this;
    const QString path = m_services.fileDialogs->getSaveFileName(request);
    if (path.isEmpty())
        return;
    const library::Format format = path.endsWith(u".tsv"_s, Qt::CaseInsensitive)   ? library::Format::WeightedList
                                   : path.endsWith(u".txt"_s, Qt::CaseInsensitive) ? library::Format::SideList
                                                                                   : library::Format::LibraryFile;
    const QString name = entry->name;
    attempt([&] { library::Library::writeFile(path, library::Library::fileBytes(m_library.load(name), format)); });
}

} // namespace shell
