#pragma once

// "Save Results As Excel File": the header and the ticked rows go into a new workbook of the
// spreadsheet application (platform/Spreadsheet.h), sheet row r + 1 for list row r, which is then
// shown to the user as an unsaved document.

#include "core/EventSlicer.h"

#include <QString>

#include <chrono>

namespace core {
class ListModel;
class MousePointer;
} // namespace core

namespace platform {
struct Services;
}

namespace results {

inline constexpr char16_t kNotInstalledSoftwareMessage[] =
    u"Excel is not installed on this computer. You need to have it installed to use this software without error.";
inline constexpr char16_t kNotInstalledFeatureMessage[] =
    u"Excel is not installed on this computer. You need to have it installed to use this feature.";

// Form1's SaveResultsAsExcelFileIsExcelInstalled: true when the spreadsheet application could be
// started; otherwise shows its message and returns false. Never reports an error.
bool spreadsheetApplicationInstalled(const platform::Services& services);

// The body of Form1's PushButton13_Click.
void saveResultsAsSpreadsheet(core::ListModel& results, core::MousePointer& pointer, const platform::Services& services,
                              std::chrono::microseconds slice = core::kEventSlice);

} // namespace results
