#include "HistoryExport.h"

#include "core/DrawRows.h"
#include "core/ListModel.h"
#include "platform/FileDialogs.h"
#include "platform/RuntimeError.h"
#include "platform/TextFileWriter.h"
#include "results/ResultsCommands.h"
#include "results/TextExport.h"

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
    try {
        std::optional<platform::TextFileWriter> file(std::in_place, path);
        writeEntryText(rows, fingerprint, [&](QStringView line) { file->writeLine(line); });
        file->close();
    } catch (const platform::RuntimeError& error) {
        throw platform::RuntimeError(error.number(), platform::saveFailureText(path, error.description()));
    }
}

} // namespace history
