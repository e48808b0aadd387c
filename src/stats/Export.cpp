#include "Export.h"

#include "platform/TextFileWriter.h"

using namespace Qt::StringLiterals;

namespace stats {

namespace {

void appendField(QString& line, const QString& field, Delimited format) {
    if (format == Delimited::Csv &&
        (field.contains(u',') || field.contains(u'"') || field.contains(u'\r') || field.contains(u'\n'))) {
        line += u'"';
        for (QChar c : field) {
            if (c == u'"')
                line += u'"';
            line += c;
        }
        line += u'"';
        return;
    }
    line += field;
}

} // namespace

void writeDelimited(const Table& table, const FairnessLines& fairness, Delimited format,
                    const std::function<void(QStringView)>& line) {
    const QChar separator = format == Delimited::Csv ? u',' : u'\t';
    const QStringList headers = table.headers();
    QString text; // one buffer for every line
    for (qsizetype column = 0; column < headers.size(); ++column) {
        if (column > 0)
            text += separator;
        appendField(text, headers[column], format);
    }
    line(text);
    for (std::int64_t row = 0; row < table.rowCount(); ++row) {
        text.resize(0);
        for (int column = 0; column < headers.size(); ++column) {
            if (column > 0)
                text += separator;
            appendField(text, table.cell(row, column), format);
        }
        line(text);
    }
    line(QStringView());
    for (const auto& [name, value] : fairness) {
        text.resize(0);
        appendField(text, name, format);
        text += separator;
        appendField(text, value, format);
        line(text);
    }
}

QString tabSeparated(const Table& table, const FairnessLines& fairness) {
    QString text;
    writeDelimited(table, fairness, Delimited::Tabs, [&](QStringView line) {
        text += line;
        text += u"\r\n";
    });
    return text;
}

void writeTally(const Tally& tally, const std::function<void(QStringView)>& line) {
    const Statistics bySide = Statistics::compute(tally, Statistics::View::Sides);
    if (!bySide.table())
        return;
    writeDelimited(*bySide.table(), bySide.fairnessLines(), Delimited::Tabs, line);
    for (std::int32_t die = 1; die <= tally.countedDice(); ++die) {
        const Statistics ofDie = Statistics::compute(tally, Statistics::View::Sides, die);
        line(QStringView());
        writeDelimited(*ofDie.table(), ofDie.fairnessLines(), Delimited::Tabs, line);
    }
    const Statistics byTotal = Statistics::compute(tally, Statistics::View::Totals);
    if (byTotal.table()) {
        line(QStringView());
        writeDelimited(*byTotal.table(), byTotal.fairnessLines(), Delimited::Tabs, line);
    }
}

void saveCsv(const QString& path, const Table& table, const FairnessLines& fairness) {
    platform::TextFileWriter file(path, platform::TextFileWriter::Encoding::Utf8);
    writeDelimited(table, fairness, Delimited::Csv, [&](QStringView line) { file.writeLine(line); });
    file.close();
}

} // namespace stats
