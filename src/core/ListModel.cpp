#include "ListModel.h"

#include "platform/RuntimeError.h"

#include <algorithm>
#include <limits>
#include <tuple>

using namespace Qt::StringLiterals;

namespace core {

using platform::RuntimeError;

ListModel::ListModel(QObject* parent)
    : QAbstractTableModel(parent)
    , m_selection(this) {}

ListModel::~ListModel() = default;

void ListModel::checkPosition(std::int64_t position) const {
    if (position < 1 || position > itemCount())
        throw RuntimeError(RuntimeError::IndexOutOfBounds);
}

void ListModel::keepAsText() {
    if (!holdsDraws())
        return;
    m_rows = m_draws.toTextRows();
    m_draws = DrawRows();
}

std::shared_ptr<const TextRows> ListModel::textSnapshot() const {
    if (!m_snapshot)
        m_snapshot = std::make_shared<const TextRows>(holdsDraws() ? m_draws.toTextRows() : m_rows);
    return m_snapshot;
}

void ListModel::checkColumn(int column) const {
    if (column < 1 || column > listColumnCount())
        throw RuntimeError(RuntimeError::IndexOutOfBounds);
}

void ListModel::addItem(QStringView text) {
    keepAsText();
    const int row = static_cast<int>(std::min<std::int64_t>(m_rows.size(), std::numeric_limits<int>::max()));
    const bool visible = m_rows.size() < std::numeric_limits<int>::max();
    if (visible)
        beginInsertRows({}, row, row);
    m_rows.append(text);
    textsChanged();
    m_ticks.push_back(false);
    if (TextIndex* index = freshIndex())
        index->addNewRows();
    if (visible)
        endInsertRows();
}

template <class Reserve, class Append>
void ListModel::appendBatch(std::int64_t count, Reserve&& reserve, Append&& append) {
    if (count == 0)
        return;
    // Everything that may run out of memory happens before the views hear of the insertion.
    reserve();
    textsChanged();
    if (const std::size_t needed = m_ticks.size() + static_cast<std::size_t>(count); needed > m_ticks.capacity())
        m_ticks.reserve(m_ticks.empty() ? needed : std::max(needed, m_ticks.capacity() * 2));
    const std::int64_t first = itemCount();
    const std::int64_t last = first + count - 1;
    const std::int64_t maxRow = std::numeric_limits<int>::max() - 1;
    const bool visible = first <= maxRow;
    if (visible)
        beginInsertRows({}, static_cast<int>(first), static_cast<int>(std::min(last, maxRow)));
    append();
    m_ticks.resize(m_ticks.size() + static_cast<std::size_t>(count), false);
    if (TextIndex* index = freshIndex()) {
        index->reserve(last + 1);
        index->addNewRows();
    }
    if (visible)
        endInsertRows();
}

void ListModel::addItems(const TextRows& rows) {
    keepAsText();
    appendBatch(
        rows.size(),
        [&] {
            if (m_rows.empty())
                m_rows.reserve(rows.size(), rows.charCount()); // exact fit for a fresh batch
            else
                m_rows.reserveAdditional(rows.size(), rows.charCount());
        },
        [&] { m_rows.appendAll(rows); });
}

void ListModel::addItems(TextRows&& rows) {
    keepAsText();
    const bool takeOver = m_rows.empty();
    appendBatch(
        rows.size(),
        [&] {
            if (!takeOver)
                m_rows.reserveAdditional(rows.size(), rows.charCount());
        },
        [&] {
            if (!takeOver) {
                m_rows.appendAll(rows);
                return;
            }
            m_rows = std::move(rows);
            // A batch built with room to spare would keep that room for as long as the list lives.
            if (m_rows.bytesUsed() > m_rows.bytesNeeded() + m_rows.bytesNeeded() / 8)
                m_rows.shrinkToFit();
        });
}

void ListModel::addItems(DrawRows&& rows) {
    // The duplicate index reads text rows, and a list holds the draws of one roll only.
    if (m_index || !m_rows.empty() || (holdsDraws() && !m_draws.sameRollAs(rows))) {
        addItems(rows.toTextRows());
        return;
    }
    const bool takeOver = !holdsDraws();
    appendBatch(
        rows.size(),
        [&] {
            if (!takeOver)
                m_draws.reserveAdditional(rows.size());
        },
        [&] {
            if (!takeOver) {
                m_draws.appendAll(rows);
                return;
            }
            m_draws = std::move(rows);
            if (m_draws.bytesUsed() > m_draws.bytesNeeded() + m_draws.bytesNeeded() / 8)
                m_draws.shrinkToFit();
        });
}

void ListModel::removeItem(std::int64_t position) {
    checkPosition(position);
    const std::int64_t row = position - 1;
    const bool visible = row < std::numeric_limits<int>::max();
    if (visible)
        beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
    if (m_ticks[static_cast<std::size_t>(row)])
        --m_tickedCount;
    if (holdsDraws())
        m_draws.remove(row);
    else
        m_rows.remove(row);
    textsChanged();
    m_ticks.erase(m_ticks.begin() + static_cast<std::ptrdiff_t>(row));
    if (!m_subItems.isEmpty()) {
        QHash<std::int64_t, QStringList> shifted;
        for (auto it = m_subItems.cbegin(); it != m_subItems.cend(); ++it) {
            if (it.key() != row)
                shifted.insert(it.key() > row ? it.key() - 1 : it.key(), it.value());
        }
        m_subItems.swap(shifted);
    }
    rebuildIndex();
    if (visible)
        endRemoveRows();
}

void ListModel::removeAll() {
    m_setAside = DrawRows();
    emptyAll();
}

void ListModel::emptyAll() {
    beginResetModel();
    m_rows.clear();
    m_draws = DrawRows();
    textsChanged();
    forgetRowState();
    endResetModel();
}

DrawRows::Indices ListModel::removeAllForReuse() {
    DrawRows::Indices taken;
    if (m_draws.sharesIndices()) {
        // Another holder still reads them: the roll history, which copies them at once. They are kept
        // for the roll after next, and the ones kept last time are reused if it has let them go.
        taken = m_setAside.takeIndices();
        m_setAside = m_draws;
    } else {
        taken = m_draws.takeIndices();
        m_setAside = DrawRows();
    }
    emptyAll();
    return taken;
}

void ListModel::forgetRowState() {
    std::vector<bool>().swap(m_ticks);
    m_tickedCount = 0;
    m_subItems.clear();
    if (m_index)
        m_index->clear();
    m_indexStale = false;
}

TextRows ListModel::takeItems(std::int64_t position, std::int64_t count) {
    if (count <= 0)
        return {};
    keepAsText();
    textsChanged();
    checkPosition(position);
    checkPosition(position + count - 1);
    if (count == m_rows.size()) {
        beginResetModel();
        TextRows taken = std::move(m_rows);
        m_rows = TextRows();
        forgetRowState();
        endResetModel();
        return taken;
    }
    const std::int64_t first = position - 1;
    TextRows taken = m_rows.copyRange(first, count); // before the views hear of it: it may run out of memory
    const std::int64_t maxRow = std::numeric_limits<int>::max() - 1;
    const bool visible = first <= maxRow;
    if (visible)
        beginRemoveRows({}, static_cast<int>(first), static_cast<int>(std::min(first + count - 1, maxRow)));
    m_rows.eraseRange(first, count);
    const auto begin = m_ticks.begin() + static_cast<std::ptrdiff_t>(first);
    const auto end = begin + static_cast<std::ptrdiff_t>(count);
    m_tickedCount -= std::count(begin, end, true);
    m_ticks.erase(begin, end);
    if (!m_subItems.isEmpty()) {
        QHash<std::int64_t, QStringList> shifted;
        for (auto it = m_subItems.cbegin(); it != m_subItems.cend(); ++it) {
            if (it.key() < first)
                shifted.insert(it.key(), it.value());
            else if (it.key() >= first + count)
                shifted.insert(it.key() - count, it.value());
        }
        m_subItems.swap(shifted);
    }
    if (m_index && !m_indexStale && first == m_rows.size())
        m_index->truncate(first); // the tail: the rows before it keep their numbers
    else
        rebuildIndex();
    if (visible)
        endRemoveRows();
    return taken;
}

void ListModel::insertItems(std::int64_t position, TextRows&& rows) {
    keepAsText();
    textsChanged();
    if (position == m_rows.size() + 1) {
        addItems(std::move(rows));
        rows = TextRows();
        return;
    }
    checkPosition(position);
    const std::int64_t count = rows.size();
    if (count == 0)
        return;
    const std::int64_t first = position - 1;
    m_rows.reserveAdditional(count, rows.charCount());
    m_ticks.reserve(m_ticks.size() + static_cast<std::size_t>(count));
    const std::int64_t maxRow = std::numeric_limits<int>::max() - 1;
    const bool visible = first <= maxRow;
    if (visible)
        beginInsertRows({}, static_cast<int>(first), static_cast<int>(std::min(first + count - 1, maxRow)));
    m_rows.insertRange(first, std::move(rows));
    m_ticks.insert(m_ticks.begin() + static_cast<std::ptrdiff_t>(first), static_cast<std::size_t>(count), false);
    if (!m_subItems.isEmpty()) {
        QHash<std::int64_t, QStringList> shifted;
        for (auto it = m_subItems.cbegin(); it != m_subItems.cend(); ++it)
            shifted.insert(it.key() >= first ? it.key() + count : it.key(), it.value());
        m_subItems.swap(shifted);
    }
    rebuildIndex();
    if (visible)
        endInsertRows();
}

QString ListModel::text(std::int64_t position) const {
    checkPosition(position);
    if (!holdsDraws())
        return m_rows.at(position - 1).toString();
    QString line;
    m_draws.appendText(position - 1, line);
    return line;
}

QStringView ListModel::textView(std::int64_t position) const {
    checkPosition(position);
    if (!holdsDraws())
        return m_rows.at(position - 1);
    m_rowText.resize(0); // keeps its capacity: one allocation for a whole export
    m_draws.appendText(position - 1, m_rowText);
    return m_rowText;
}

void ListModel::appendText(std::int64_t position, QString& out) const {
    checkPosition(position);
    if (holdsDraws())
        m_draws.appendText(position - 1, out);
    else
        out.append(m_rows.at(position - 1));
}

std::int64_t ListModel::textLength(std::int64_t position) const {
    checkPosition(position);
    return holdsDraws() ? m_draws.textLength(position - 1) : m_rows.length(position - 1);
}

QString ListModel::subItem(std::int64_t position, int k) const {
    checkPosition(position);
    if (k < 1)
        throw RuntimeError(RuntimeError::IndexOutOfBounds);
    const auto it = m_subItems.constFind(position - 1);
    if (it == m_subItems.cend() || it->size() < k)
        return {};
    return it->at(k - 1);
}

void ListModel::setSubItem(std::int64_t position, int k, const QString& text) {
    checkPosition(position);
    if (k < 1)
        throw RuntimeError(RuntimeError::IndexOutOfBounds);
    QStringList& cells = m_subItems[position - 1];
    while (cells.size() < k)
        cells.append(QString());
    cells[k - 1] = text;
    if (position - 1 < std::numeric_limits<int>::max() && k < columnCount()) {
        const QModelIndex changed = index(static_cast<int>(position - 1), k);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
}

bool ListModel::isTicked(std::int64_t position) const {
    checkPosition(position);
    return m_ticks[static_cast<std::size_t>(position - 1)];
}

void ListModel::setTicked(std::int64_t position, bool ticked) {
    checkPosition(position);
    auto bit = m_ticks[static_cast<std::size_t>(position - 1)];
    if (bit == ticked)
        return;
    bit = ticked;
    m_tickedCount += ticked ? 1 : -1;
    if (position - 1 < std::numeric_limits<int>::max()) {
        const QModelIndex changed = index(static_cast<int>(position - 1), 0);
        emit dataChanged(changed, changed, {Qt::CheckStateRole});
    }
}

void ListModel::setAllTicked(bool ticked) {
    if (m_ticks.empty())
        return;
    std::fill(m_ticks.begin(), m_ticks.end(), ticked);
    m_tickedCount = ticked ? static_cast<std::int64_t>(m_ticks.size()) : 0;
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

void ListModel::toggleTicks(const QModelIndexList& rows) {
    if (rows.isEmpty())
        return;
    int lowest = std::numeric_limits<int>::max();
    int highest = -1;
    for (const QModelIndex& row : rows) {
        if (!row.isValid() || row.model() != this || row.column() != 0)
            continue;
        auto bit = m_ticks[static_cast<std::size_t>(row.row())];
        bit = !bit;
        m_tickedCount += bit ? 1 : -1;
        lowest = std::min(lowest, row.row());
        highest = std::max(highest, row.row());
    }
    if (highest >= 0)
        emit dataChanged(index(lowest, 0), index(highest, 0), {Qt::CheckStateRole});
}

void ListModel::toggleTicks(const QItemSelection& selection) {
    // Ranges of a selection may overlap; a row must flip once however often it is covered.
    std::vector<bool> covered(m_ticks.size(), false);
    int lowest = std::numeric_limits<int>::max();
    int highest = -1;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.model() != this)
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            covered[static_cast<std::size_t>(row)] = true;
        lowest = std::min(lowest, range.top());
        highest = std::max(highest, range.bottom());
    }
    for (int row = lowest; row <= highest; ++row) {
        if (!covered[static_cast<std::size_t>(row)])
            continue;
        auto bit = m_ticks[static_cast<std::size_t>(row)];
        bit = !bit;
        m_tickedCount += bit ? 1 : -1;
    }
    if (highest >= 0)
        emit dataChanged(index(lowest, 0), index(highest, 0), {Qt::CheckStateRole});
}

void ListModel::setTextIndexEnabled(bool enabled) {
    if (enabled)
        keepAsText();
    m_index = enabled ? std::make_unique<TextIndex>(m_rows) : nullptr;
    m_indexStale = false;
}

bool ListModel::containsText(QStringView text) const {
    if (const TextIndex* index = freshIndex())
        return index->contains(text);
    const std::int64_t rows = itemCount();
    for (std::int64_t position = 1; position <= rows; ++position) {
        if (textView(position) == text)
            return true;
    }
    return false;
}

void ListModel::rebuildIndex() {
    m_indexStale = m_index != nullptr;
}

TextIndex* ListModel::freshIndex() const {
    if (m_index && m_indexStale) {
        m_index->rebuild();
        m_indexStale = false;
    }
    return m_index.get();
}

std::optional<std::int64_t> ListModel::selectedPosition() const {
    const QModelIndex current = m_selection.currentIndex();
    if (current.isValid() && m_selection.isRowSelected(current.row()))
        return current.row() + 1;
    const QModelIndexList rows = m_selection.selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    int first = rows.first().row();
    for (const QModelIndex& row : rows)
        first = std::min(first, row.row());
    return first + 1;
}

void ListModel::selectPosition(std::int64_t position) {
    checkPosition(position);
    const QModelIndex target = index(static_cast<int>(position - 1), 0);
    m_selection.setCurrentIndex(target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<std::pair<std::int64_t, std::int64_t>> ListModel::selectedRanges() const {
    std::vector<std::pair<std::int64_t, std::int64_t>> spans; // first and one past the last row, from 0
    for (const QItemSelectionRange& range : m_selection.selection()) {
        if (range.isValid() && range.model() == this)
            spans.emplace_back(range.top(), range.bottom() + 1);
    }
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<std::int64_t, std::int64_t>> merged;
    for (const auto& [begin, end] : spans) {
        if (!merged.empty() && begin <= merged.back().second)
            merged.back().second = std::max(merged.back().second, end); // overlapping or adjacent
        else
            merged.emplace_back(begin, end);
    }
    for (auto& [begin, end] : merged)
        std::tie(begin, end) = std::pair(begin + 1, end - begin);
    return merged;
}

void ListModel::addColumn(const QString& header) {
    const int column = listColumnCount();
    beginInsertColumns({}, column, column);
    m_headers.append(header);
    m_widths.push_back(1440);
    endInsertColumns();
}

QString ListModel::headerText(int column) const {
    checkColumn(column);
    return m_headers.at(column - 1);
}

void ListModel::setHeaderText(int column, const QString& text) {
    checkColumn(column);
    m_headers[column - 1] = text;
    emit headerDataChanged(Qt::Horizontal, column - 1, column - 1);
}

int ListModel::columnWidthTwips(int column) const {
    checkColumn(column);
    return m_widths[static_cast<std::size_t>(column - 1)];
}

void ListModel::setColumnWidthTwips(int column, int twips) {
    checkColumn(column);
    m_widths[static_cast<std::size_t>(column - 1)] = twips;
    emit columnWidthChanged(column, twips);
}

std::size_t ListModel::bytesUsed() const {
    return m_rows.bytesUsed() + m_draws.bytesUsed() + m_ticks.capacity() / 8;
}

int ListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(std::min<std::int64_t>(itemCount(), std::numeric_limits<int>::max()));
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : listColumnCount();
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const std::int64_t row = index.row();
    if (role == Qt::DisplayRole) {
        if (index.column() == 0) {
            // A row of millions of characters takes the view most of a minute to lay out, at every
            // paint: its start is shown, and every command still takes the whole row.
            if (textLength(row + 1) > kMostShownCharacters)
                return QString(text(row + 1).first(kMostShownCharacters) + u'\u2026');
            return text(row + 1); // never the buffer of textView(), which a command may be reading
        }
        return subItem(row + 1, index.column());
    }
    if (m_checkable && index.column() == 0) {
        const bool ticked = m_ticks[static_cast<std::size_t>(row)];
        if (role == Qt::CheckStateRole)
            return ticked ? Qt::Checked : Qt::Unchecked;
        // Screen readers on this desktop get no "can be ticked" state from a table cell: it is said here.
        if (role == Qt::AccessibleDescriptionRole)
            return ticked ? u"Ticked"_s : u"Not ticked; Space ticks it"_s;
    }
    return {};
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !m_checkable || !checkIndex(index, CheckIndexOption::IndexIsValid) ||
        index.column() != 0)
        return false;
    setTicked(index.row() + 1, value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (m_checkable && index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= listColumnCount())
        return {};
    return m_headers.at(section);
}

} // namespace core
