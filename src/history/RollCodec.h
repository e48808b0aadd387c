#pragma once

// How a roll is stored: the one place that turns a roll's draws and what it was rolled from into the
// columns of the history's tables, and back. A roll is one row of `rolls` (its facts, the die's labels
// and, for a weighted die or a set of different dice, per-side weights and the dice's layout) and its
// draws in `roll_draws`, in parts of a few megabytes: the side indices as DrawRows keeps them, 1, 2
// or 4 bytes each, little-endian, row after row. RollStore runs the SQL; nothing else knows a column.

#include "RollEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariantList>

#include <cstdint>

class QSqlRecord;

namespace core {
class DrawRows;
}

namespace history {

// CREATE TABLE statements, in order.
QStringList schemaStatements();
// "time, kind, ...": the columns encodeRoll() fills, in the order of its values.
QString rollColumnList();
// "id, time, ...": the columns summaryFrom() reads; labels and draws stay on disk.
QString summaryColumnList();

struct EncodedRoll {
    QVariantList values;     // in rollColumnList() order
    QList<QByteArray> parts; // the draws; on a little-endian machine they point into the rows' storage
    std::int64_t bytes = 0;  // what the entry holds, about what it adds to the file
};

// The rows must stay alive and unchanged as long as the parts are used.
EncodedRoll encodeRoll(const core::DrawRows& rows, const RollOrigin& origin, const QDateTime& time,
                       const QString& fingerprint);
// A record of the columns of rollColumnList() and the parts in order. Throws RuntimeError, in plain
// words, when they do not make a roll.
core::DrawRows decodeRoll(const QSqlRecord& record, const QList<QByteArray>& parts);
// A record of summaryColumnList().
EntrySummary summaryFrom(const QSqlRecord& record);

} // namespace history
