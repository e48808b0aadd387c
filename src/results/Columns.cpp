#include "Columns.h"

#include "core/ListModel.h"

namespace results {

qsizetype cellLength(const core::ListModel& list, std::int64_t row, int column) {
    if (column == 1)
        return list.textLength(row);
    return list.subItem(row, column - 1).size();
}

void appendPaddedCell(QString& line, const core::ListModel& list, std::int64_t row, int column, qsizetype width) {
    if (column == 1)
        appendPadded(line, list.textView(row), width);
    else
        appendPadded(line, list.subItem(row, column - 1), width);
}

} // namespace results
