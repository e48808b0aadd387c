#include "HistoryModel.h"

#include "RollHistory.h"

#include <QLocale>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace history {

HistoryModel::HistoryModel(RollHistory& history, QObject* parent)
    : QAbstractTableModel(parent) {
    connect(&history, &RollHistory::entriesListed, this, &HistoryModel::setEntries);
    connect(&history, &RollHistory::entryAdded, this, &HistoryModel::add);
    connect(&history, &RollHistory::entriesRemoved, this, &HistoryModel::removeIds);
    connect(&history, &RollHistory::historyCleared, this, [this] { setEntries({}); });
    connect(&history, &RollHistory::listingFailed, this, [this](const QString& text) {
        beginResetModel();
        m_listingFailure = text;
        endResetModel();
    });
    history.requestEntries();
}

void HistoryModel::setEntries(const std::vector<EntrySummary>& entries) {
    beginResetModel();
    m_entries = entries;
    m_loaded = true;
    m_listingFailure.clear();
    endResetModel();
}

void HistoryModel::add(const EntrySummary& entry) {
    // Ids grow with every entry, so the newest goes first; one the listing already brought stays single.
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), entry.id,
                                     [](const EntrySummary& e, std::int64_t id) { return e.id > id; });
    if (at != m_entries.end() && at->id == entry.id)
        return;
    const int row = static_cast<int>(at - m_entries.begin());
    beginInsertRows({}, row, row);
    m_entries.insert(at, entry);
    endInsertRows();
}

void HistoryModel::removeIds(const QList<qint64>& ids) {
    for (const qint64 id : ids) {
        if (const std::optional<int> row = rowOf(id)) {
            beginRemoveRows({}, *row, *row);
            m_entries.erase(m_entries.begin() + *row);
            endRemoveRows();
        }
    }
}

std::optional<int> HistoryModel::rowOf(std::int64_t id) const {
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), id,
                                     [](const EntrySummary& e, std::int64_t id) { return e.id > id; });
    if (at == m_entries.end() || at->id != id)
        return std::nullopt;
    return static_cast<int>(at - m_entries.begin());
}

std::int64_t HistoryModel::totalBytes() const {
    std::int64_t bytes = 0;
    for (const EntrySummary& entry : m_entries)
        bytes += entry.bytes;
    return bytes;
}

QString HistoryModel::shownTime(const EntrySummary& entry) {
    return entry.time.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const EntrySummary& entry = entryAt(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case Time:
            return role == Qt::ToolTipRole ? isoTime(entry) : shownTime(entry);
        case Mode:
            return core::rollModeName(entry.mode);
        case DiceAndRolls:
            return QString(QLocale().toString(entry.dice) + u" \u00d7 "_s + QLocale().toString(qint64(entry.rolls)));
        case Die:
            return entry.die;
        case Fingerprint:
            return entry.fingerprint;
        case FirstRow:
            return entry.firstRow;
        default:
            return {};
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() == DiceAndRolls)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time:
        return u"Time"_s;
    case Mode:
        return u"Mode"_s;
    case DiceAndRolls:
        return u"Dice \u00d7 Rolls"_s;
    case Die:
        return u"Die"_s;
    case Fingerprint:
        return u"Fingerprint (SHA-256)"_s;
    case FirstRow:
        return u"First Row"_s;
    default:
        return {};
    }
}

} // namespace history
