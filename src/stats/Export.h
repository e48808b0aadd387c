#pragma once

// Taking the statistics out: the table as shown (header row first), a blank line, then the fairness
// lines as pairs. Tab-separated for the clipboard; CSV (RFC 4180, UTF-8) for a file.

#include "Statistics.h"
#include "Tables.h"

#include <QList>
#include <QString>

#include <functional>
#include <utility>

namespace stats {

using FairnessLines = QList<std::pair<QString, QString>>;

enum class Delimited { Tabs, Csv };

// Calls line() once per line, without its line end.
void writeDelimited(const Table& table, const FairnessLines& fairness, Delimited format,
                    const std::function<void(QStringView)>& line);

// The tab-separated text, every line ended with CR LF.
QString tabSeparated(const Table& table, const FairnessLines& fairness);

// Rolls tallied as they were drawn, as the window copies them: the sides view, the sides view of each
// die that the tally counts apart (a set of different dice) and, when every side is a whole number and
// their law can be worked out, the totals view; a blank line between two.
void writeTally(const Tally& tally, const std::function<void(QStringView)>& line);

// Writes the CSV file; the file at path is replaced only once the new one is complete. Throws
// platform::RuntimeError when it cannot be written.
void saveCsv(const QString& path, const Table& table, const FairnessLines& fairness);

} // namespace stats
