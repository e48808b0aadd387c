#include "HistoryExport.h"

#include "core/DrawRows.h"
#include "core/ListModel.h"
#include "platform/FileDialogs.h"
#include "platform/RuntimeError.h"
#include "platform/TextFileWriter.h"
#include "results/ResultsCommands.h"
#include "results/TextExport.h"

#include <QFileInfo>

#include <optional>

using namespace Qt::StringLiterals;

namespace history {

QString fingerprintLine(const QString& fingerprint) {
    return u"SHA-256 of the copied rows: "_s + fingerprint;
}

void writeEntryText(const core::DrawRows& rows, const QString& fingerprint,
                    const std::function<void(QStringView)>& writeLine) {
    core::ListModel list;
    list.addColumn(QString::fromUtf16(results::kResultsHeader));
    list.addItems(core::DrawRows(rows));
    list.setAllTicked(true);
    results::writeAlignedText(list, writeLine);
    writeLine(fingerprintLine(fingerprint));
}

void exportEntryText(const core::DrawRows& rows, const QString& fingerprint, const QString& path) {
    using platform::TextFileWriter;
    try {
        // A pipe or a device would be replaced by a regular file, and its reader would get nothing.
        if (const QFileInfo target(path); target.exists() && !target.isFile() && !target.isDir())
            throw platform::RuntimeError(platform::RuntimeError::PathFileAccessError, u"it is not a regular file"_s);
        // Never written in place: a write that failed half-way would lose the file it replaces.
        std::optional<TextFileWriter> file(std::in_place, path, TextFileWriter::Encoding::System,
                                           TextFileWriter::LineEnd::CrLf, TextFileWriter::Replace::WholeOnly);
        writeEntryText(rows, fingerprint, [&](QStringView line) { file->writeLine(line); });
        file->close();
    } catch (const platform::RuntimeError& error) {
        throw platform::RuntimeError(error.number(), platform::saveFailureText(path, error.description()));
    }
}

} // namespace history
