#include "SpreadsheetExport.h"

#include "core/EventSlicer.h"
#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "core/Trap.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"
#include "platform/Spreadsheet.h"

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;
using platform::RuntimeError;

namespace {

// An application or workbook that could not be made: every use of it fails.
template <class Object> Object& use(Object* object) {
    if (object == nullptr)
        throw RuntimeError(RuntimeError::ObjectNotSet);
    return *object;
}

// Cells of the second column on lose every "=", so nothing a side list holds can become a formula
// in a spreadsheet that reads them as typed; the first column and the headers stay as they are.
QString cellFor(const core::ListModel& list, std::int64_t row, int column) {
    QString cell = list.subItem(row, column - 1);
    cell.remove(u'=');
    return cell;
}

// Sheet rows past the last one are refused by the sheet itself, like a text too long for a cell: the
// cell stays empty, the failure is reported once, and every cell that fits is still written.
int sheetIndex(std::int64_t row) {
    return static_cast<int>(std::min<std::int64_t>(row, platform::kSheetRows + 1));
}

} // namespace

namespace results {

bool spreadsheetApplicationInstalled(const platform::Services& services) {
    bool installed = true;
    bool created = false;
    try {
        created = services.spreadsheets->createApplication() != nullptr; // released at once
    } catch (const RuntimeError&) {
        installed = false;
    }
    if (!created)
        services.messageBox->show(QString::fromUtf16(kNotInstalledSoftwareMessage), platform::OkOnly, QString());
    return installed;
}

void saveResultsAsSpreadsheet(core::ListModel& results, core::MousePointer& pointer, const platform::Services& services,
                              std::chrono::microseconds slice) {
    core::Trap trap(services, u"Form1.PushButton13_Click"_s);
    // An application that is gone fails every later cell alike: one report per failing statement.
    trap.reportEachLineOnce();
    // An export stopped by the program's end (the slicer says so) shows nothing.
    core::EventSlicer slicer(*services.events, slice);

    if (!spreadsheetApplicationInstalled(services)) {
        trap(102, [&] {
            services.messageBox->show(QString::fromUtf16(kNotInstalledFeatureMessage), platform::OkOnly, QString());
        });
        return;
    }
    if (trap.test(106, [&] { return results.itemCount() == 0; }))
        return;
    trap(114, [&] { pointer.set(core::MousePointer::Hourglass); });

    std::unique_ptr<platform::SpreadsheetApplication> application;
    platform::SpreadsheetWorkbook* workbook = nullptr;
    trap(116, [&] { application = services.spreadsheets->createApplication(); });
    trap(118, [&] { workbook = &use(application.get()).addWorkbook(); });

    int sheetColumn = 1;
    const int headerColumns = results.listColumnCount();
    for (int k = 1; k <= headerColumns; ++k) {
        if (!slicer.maybeYield())
            return;
        trap(126, [&] { use(workbook).activeSheet().setCellText(1, sheetColumn, results.headerText(k)); });
        ++sheetColumn;
        trap(130, [&] { use(workbook).activeSheet().autoFitColumn(k); });
    }

    std::int64_t sheetRow = 2;
    const std::int64_t rows = results.itemCount();
    for (std::int64_t r = 1; r <= rows; ++r) {
        if (!slicer.maybeYield())
            return;
        if (trap.test(140, [&] { return results.isTicked(r); })) {
            sheetColumn = 1;
            const int columns = results.listColumnCount();
            for (int c = 1; c <= columns; ++c) {
                if (!slicer.maybeYield())
                    return;
                trap(148, [&] {
                    platform::SpreadsheetSheet& sheet = use(workbook).activeSheet();
                    if (c == 1)
                        sheet.setCellText(sheetIndex(sheetRow), sheetColumn, results.textView(r));
                    else
                        sheet.setCellText(sheetIndex(sheetRow), sheetColumn, cellFor(results, r, c));
                });
                ++sheetColumn;
            }
        }
        ++sheetRow;
        // Without a workbook, or past the sheet's last row, the remaining rows have nowhere to go; the
        // first cell that failed was reported, and the rows above it are written.
        if ((workbook == nullptr || sheetRow > platform::kSheetRows) && trap.hasReported(148))
            break;
    }
    trap(160, [&] { use(workbook).activeSheet().autoFitColumns(); });
    trap(162, [&] { use(application.get()).setVisible(true); });
    trap(164, [&] { pointer.set(core::MousePointer::Default); });
}

} // namespace results
