#pragma once

#include "RollEntry.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace history {

class RollHistory;

// The history's entries for a view, newest first, following the history's answers. Holds the
// entries' summaries only; rows are loaded when a command asks for them.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Mode, DiceAndRolls, Die, Fingerprint, FirstRow, ColumnCount };

    explicit HistoryModel(RollHistory& history, QObject* parent = nullptr);

    bool loaded() const { return m_loaded; }                           // the first listing has arrived
    const QString& listingFailure() const { return m_listingFailure; } // why the last listing did not
    const EntrySummary& entryAt(int row) const { return m_entries[static_cast<std::size_t>(row)]; }
    std::optional<int> rowOf(std::int64_t id) const;
    std::int64_t totalBytes() const;
    // The entry's local time as the list shows it, to the second.
    static QString shownTime(const EntrySummary& entry);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void setEntries(const std::vector<EntrySummary>& entries);
    void add(const EntrySummary& entry);
    void removeIds(const QList<qint64>& ids);

    std::vector<EntrySummary> m_entries; // ids descending
    bool m_loaded = false;
    QString m_listingFailure;
};

} // namespace history
