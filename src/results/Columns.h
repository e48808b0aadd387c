#pragma once

// The column layout shared by the clipboard copy and the text export: a column is as wide as its
// longest cell, and every cell is padded with spaces to its column's width and followed by a tab.

#include <QString>
#include <QStringView>

#include <cstdint>

namespace core {
class ListModel;
}

namespace results {

// Column 1 is the row's text, column c its sub-item c - 1. Rows count from 1.
qsizetype cellLength(const core::ListModel& list, std::int64_t row, int column);

// Appends the cell, spaces up to width (none when the cell is as long or longer) and a tab.
inline void appendPadded(QString& line, QStringView cell, qsizetype width) {
    line.append(cell);
    if (width > cell.size())
        line.resize(line.size() + (width - cell.size()), u' ');
    line.append(u'\t');
}

// The same for the cell of a list row.
void appendPaddedCell(QString& line, const core::ListModel& list, std::int64_t row, int column, qsizetype width);

} // namespace results
