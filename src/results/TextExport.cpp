#include "TextExport.h"

#include "Columns.h"

#include "core/EventSlicer.h"
#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "core/Trap.h"
#include "platform/FileDialogs.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"
#include "platform/TextFileWriter.h"

#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using platform::RuntimeError;

namespace {

// The file could not be created, so there is nothing to write to or close.
platform::TextFileWriter& stream(const std::unique_ptr<platform::TextFileWriter>& file) {
    if (!file)
        throw RuntimeError(RuntimeError::ObjectNotSet);
    return *file;
}

qsizetype widthOf(const std::vector<qsizetype>& widths, int column) {
    if (column < 1 || static_cast<std::size_t>(column) > widths.size())
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    return widths[static_cast<std::size_t>(column - 1)];
}

} // namespace

namespace Main {

void SaveListviewProperlySpacedWithoutProgressBar(const core::ListModel& list, const QString& path,
                                                  const platform::Services& services, std::chrono::microseconds slice) {
    core::Trap trap(services, u"Main.SaveListviewProperlySpacedWithoutProgressBar"_s);
    // Rows fail alike (no file, a list emptied meanwhile): one report per failing statement, not per row.
    trap.reportEachLineOnce();
    // An export stopped by the program's end (the slicer says so) never moves its file into place: an
    // earlier file of that name stays as it was.
    core::EventSlicer slicer(*services.events, slice);

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
            if (!slicer.maybeYield())
                return;
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
        if (!slicer.maybeYield())
            return;
        QString header;
        if (trap.test(142, [&] {
                header = list.headerText(j);
                return widthOf(widths, j) >= header.size();
            }))
            trap(144, [&] { results::appendPadded(line, header, widthOf(widths, j)); });
        else
            trap(146, [&] { results::appendPadded(line, header, 0); });
    }
    trap(150, [&] { stream(file).writeLine(line); });

    const std::int64_t rows = list.itemCount();
    for (std::int64_t i = 1; i <= rows; ++i) {
        if (!slicer.maybeYield())
            return;
        line.resize(0); // keeps the capacity: one allocation for the whole file
        if (!trap.test(158, [&] { return list.isTicked(i); }))
            continue;
        const int columns = list.listColumnCount();
        for (int j = 1; j <= columns; ++j) {
            if (!slicer.maybeYield())
                return;
            if (j == 1) {
                if (trap.test(166, [&] { return widthOf(widths, j) >= list.textLength(i); }))
                    trap(168, [&] { results::appendPadded(line, list.textView(i), widthOf(widths, j)); });
                else
                    trap(170, [&] { results::appendPadded(line, list.textView(i), 0); });
            } else {
                QString cell;
                if (trap.test(172, [&] {
                        cell = list.subItem(i, j - 1);
                        return widthOf(widths, j) >= cell.size();
                    }))
                    trap(174, [&] { results::appendPadded(line, cell, widthOf(widths, j)); });
                else
                    trap(176, [&] { results::appendPadded(line, cell, 0); });
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

void writeAlignedText(const core::ListModel& list, const std::function<void(QStringView)>& writeLine) {
    const int columns = list.listColumnCount();
    const std::int64_t rows = list.itemCount();
    std::vector<qsizetype> widths;
    widths.reserve(static_cast<std::size_t>(columns));
    for (int column = 1; column <= columns; ++column) {
        qsizetype width = list.headerText(column).size();
        for (std::int64_t row = 1; row <= rows; ++row)
            width = std::max(width, cellLength(list, row, column));
        widths.push_back(width);
    }
    QString line;
    for (int column = 1; column <= columns; ++column)
        appendPadded(line, list.headerText(column), widths[static_cast<std::size_t>(column - 1)]);
    writeLine(line);
    for (std::int64_t row = 1; row <= rows; ++row) {
        if (!list.isTicked(row))
            continue;
        line.resize(0);
        for (int column = 1; column <= columns; ++column)
            appendPaddedCell(line, list, row, column, widths[static_cast<std::size_t>(column - 1)]);
        writeLine(line);
    }
}

void saveResultsAsTextFile(core::ListModel& results, core::MousePointer& pointer, const platform::Services& services,
                           std::chrono::microseconds slice) {
    core::Trap trap(services, u"Form1.PushButton9_Click"_s);
    QString fileName;
    // The dialog never asks before replacing a file and uses the name as given.
    trap(106, [&] {
        fileName = services.fileDialogs->getSaveFileName(
            {.title = u"Save"_s, .filter = QString::fromUtf16(platform::kTextFilesFilter), .memory = u"Results"_s});
    });
    if (trap.test(110, [&] { return fileName.isEmpty(); }))
        return;
    trap(112, [&] { pointer.set(core::MousePointer::Hourglass); });
    trap(114, [&] { Main::SaveListviewProperlySpacedWithoutProgressBar(results, fileName, services, slice); });
    trap(116, [&] { pointer.set(core::MousePointer::Default); });
}

} // namespace results
