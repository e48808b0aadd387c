#include "SideListWriter.h"

#include "core/ListModel.h"
#include "platform/TextFileWriter.h"

namespace dice {

QString sideListText(const core::ListModel& list, std::span<const std::pair<std::int64_t, std::int64_t>> runs) {
    const QStringView lineEnd(kSideListLineEnd);
    qsizetype length = 0;
    for (const auto& [first, count] : runs) {
        for (std::int64_t position = first; position < first + count; ++position)
            length += list.textLength(position) + lineEnd.size();
    }
    QString text;
    text.reserve(length);
    for (const auto& [first, count] : runs) {
        for (std::int64_t position = first; position < first + count; ++position) {
            text += list.textView(position);
            text += lineEnd;
        }
    }
    return text;
}

void writeSideListFile(const core::ListModel& list, const QString& path) {
    const auto lineEnd = QStringView(kSideListLineEnd) == u"\n" ? platform::TextFileWriter::LineEnd::Lf
                                                                : platform::TextFileWriter::LineEnd::CrLf;
    platform::TextFileWriter file(path, platform::TextFileWriter::Encoding::System, lineEnd);
    const std::int64_t count = list.itemCount();
    for (std::int64_t position = 1; position <= count; ++position)
        file.writeLine(list.textView(position));
    file.close();
}

} // namespace dice
