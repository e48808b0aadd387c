#include "Columns.h"

#include "core/ListModel.h"

namespace results {

qsizetype cellLength(const core::ListModel& list, std::int64_t row, int column) {
    if (column == 1)
        return list.textLength(row);
    return list.subItem(row, column - 1).size();
}

void appendPaddedCell(QString& line, const core::ListModel& list, std::int64_t row, int column, qsizetype width) {
    if (column != 1) {
        appendPadded(line, list.subItem(row, column - 1), width);
        return;
    }
    // A roll's row is made straight into the line.
    const qsizetype start = line.size();
    list.appendText(row, line);
    const qsizetype length = line.size() - start;
    if (width > length)
        line.resize(line.size() + (width - length), u' ');
    line.append(u'\t');
}

} // namespace results
