#include "StatisticsTableModel.h"

#include <limits>

namespace shell {

void StatisticsTableModel::setTable(std::shared_ptr<const stats::Table> table) {
    beginResetModel();
    m_table = std::move(table);
    applySort();
    endResetModel();
}

void StatisticsTableModel::sort(int column, Qt::SortOrder order) {
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    applySort();
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void StatisticsTableModel::applySort() {
    if (!m_table || !m_table->isSortable() || m_sortColumn < 0 || m_sortColumn >= m_table->headers().size()) {
        m_shown = m_table;
        return;
    }
    m_shown = std::make_shared<stats::OrderedTable>(
        m_table, stats::sortOrder(*m_table, m_sortColumn, m_sortOrder == Qt::DescendingOrder));
}

int StatisticsTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_shown)
        return 0;
    return static_cast<int>(std::min<std::int64_t>(m_shown->rowCount(), std::numeric_limits<int>::max()));
}

int StatisticsTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_shown ? 0 : static_cast<int>(m_shown->headers().size());
}

QVariant StatisticsTableModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::DisplayRole)
        return m_shown->cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight));
    return {};
}

QVariant StatisticsTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !m_shown || section < 0 ||
        section >= m_shown->headers().size())
        return {};
    return m_shown->headers().at(section);
}

} // namespace shell
