#pragma once

#include "stats/Tables.h"

#include <QAbstractTableModel>

#include <memory>

namespace shell {

// The table of the Statistics window: the rows of a stats::Table made into text as they are shown,
// sorted by any column where the table allows it, with the total row kept last.
class StatisticsTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // A new table keeps the column and direction it is sorted by.
    void setTable(std::shared_ptr<const stats::Table> table);
    // The table as shown, in its sorted order; empty when there is none.
    std::shared_ptr<const stats::Table> shownTable() const { return m_shown; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override; // a column below 0: the table's own order

private:
    void applySort();

    std::shared_ptr<const stats::Table> m_table;
    std::shared_ptr<const stats::Table> m_shown;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace shell
