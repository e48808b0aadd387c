#include "TextExport.h"

#include "platform/FileDialogs.h"
#include "platform/ListModel.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"
#include "platform/TextFileWriter.h"
#include "shell/EventSlicer.h"
#include "shell/MousePointer.h"
#include "shell/Trap.h"

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using platform::RuntimeError;

namespace {

enum : int { ObjectNotSet = 91 };

// The file could not be created, so there is nothing to write to or close.
platform::TextFileWriter& stream(const std::unique_ptr<platform::TextFileWriter>& file) {
    if (!file)
        throw RuntimeError(ObjectNotSet, u"Object variable or With block variable not set"_s);
    return *file;
}

qsizetype widthOf(const std::vector<qsizetype>& widths, int column) {
    if (column < 1 || static_cast<std::size_t>(column) > widths.size())
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    return widths[static_cast<std::size_t>(column - 1)];
}

void appendPadded(QString& line, QStringView cell, qsizetype width) {
    line.append(cell);
    line.resize(line.size() + (width - cell.size()), u' ');
    line.append(u'\t');
}

void appendUnpadded(QString& line, QStringView cell) {
    line.append(cell);
    line.append(u'\t');
}

} // namespace

namespace Main {

void SaveListviewProperlySpacedWithoutProgressBar(const platform::ListModel& list, const QString& path,
                                                  const platform::Services& services, std::chrono::microseconds slice) {
    shell::Trap trap(services, u"Main.SaveListviewProperlySpacedWithoutProgressBar"_s);
    // Rows fail alike (no file, a list emptied meanwhile): one report per failing statement, not per row.
    trap.reportEachLineOnce();
    shell::EventSlicer slicer(*services.events, slice);

    std::vector<qsizetype> widths;
    const int measuredColumns = list.listColumnCount();
    trap(100, [&] { widths.reserve(static_cast<std::size_t>(measuredColumns)); });
    for (int i = 1; i <= measuredColumns; ++i) {
        qsizetype w = 0;
        qsizetype headerLength = 0;
        if (trap.test(106, [&] { return (headerLength = list.headerText(i).size()) > w; }))
            trap(108, [&] { w = headerLength; });
        const std::int64_t rows = list.itemCount();
        for (std::int64_t j = 1; j <= rows; ++j) {
            slicer.maybeYield();
            if (i == 1) {
                if (trap.test(116, [&] { return list.textLength(j) > w; }))
                    trap(118, [&] { w = list.textLength(j); });
            } else {
                if (trap.test(120, [&] { return list.subItem(j, i - 1).size() > w; }))
                    trap(122, [&] { w = list.subItem(j, i - 1).size(); });
            }
        }
        trap(128, [&] { widths.push_back(w); });
    }

    QString line;
    std::unique_ptr<platform::TextFileWriter> file;
    trap(136, [&] { file = std::make_unique<platform::TextFileWriter>(path); });

    const int headerColumns = list.listColumnCount();
    for (int j = 1; j <= headerColumns; ++j) {
        slicer.maybeYield();
        QString header;
        if (trap.test(142, [&] {
                header = list.headerText(j);
                return widthOf(widths, j) >= header.size();
            }))
            trap(144, [&] { appendPadded(line, header, widthOf(widths, j)); });
        else
            trap(146, [&] { appendUnpadded(line, header); });
    }
    trap(150, [&] { stream(file).writeLine(line); });

    const std::int64_t rows = list.itemCount();
    for (std::int64_t i = 1; i <= rows; ++i) {
        slicer.maybeYield();
        line.resize(0); // keeps the capacity: one allocation for the whole file
        if (!trap.test(158, [&] { return list.isTicked(i); }))
            continue;
        const int columns = list.listColumnCount();
        for (int j = 1; j <= columns; ++j) {
            slicer.maybeYield();
            if (j == 1) {
                if (trap.test(166, [&] { return widthOf(widths, j) >= list.textLength(i); }))
                    trap(168, [&] { appendPadded(line, list.textView(i), widthOf(widths, j)); });
                else
                    trap(170, [&] { appendUnpadded(line, list.textView(i)); });
            } else {
                QString cell;
                if (trap.test(172, [&] {
                        cell = list.subItem(i, j - 1);
                        return widthOf(widths, j) >= cell.size();
                    }))
                    trap(174, [&] { appendPadded(line, cell, widthOf(widths, j)); });
                else
                    trap(176, [&] { appendUnpadded(line, cell); });
            }
        }
        // A file that was never created has nowhere to put the remaining rows.
        if (!trap(180, [&] { stream(file).writeLine(line); }) && !file)
            break;
    }
    trap(184, [&] { stream(file).close(); });
    trap(186, [&] { file.reset(); });
}

} // namespace Main

namespace results {

void saveResultsAsTextFile(platform::ListModel& results, shell::MousePointer& pointer,
                           const platform::Services& services, std::chrono::microseconds slice) {
    shell::Trap trap(services, u"Form1.PushButton9_Click"_s);
    QString fileName;
    // The dialog never asks before replacing a file and uses the name as given.
    trap(106,
         [&] { fileName = services.fileDialogs->getSaveFileName(u"Save"_s, QString::fromUtf16(kTextFileFilter)); });
    if (trap.test(110, [&] { return fileName.isEmpty(); }))
        return;
    trap(112, [&] { pointer.set(shell::MousePointer::Hourglass); });
    trap(114, [&] { Main::SaveListviewProperlySpacedWithoutProgressBar(results, fileName, services, slice); });
    trap(116, [&] { pointer.set(shell::MousePointer::Default); });
}

} // namespace results
