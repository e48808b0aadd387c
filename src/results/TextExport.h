#pragma once

// "Save Results As Text File": the save dialog, the busy pointer, and the writer that lays the
// list out as aligned, tab-ended columns (a header line, then one line per ticked row).

#include "core/EventSlicer.h"

#include <QString>

#include <chrono>
#include <functional>

namespace core {
class ListModel;
class MousePointer;
} // namespace core

namespace platform {
struct Services;
}

namespace results {

// The body of Form1's PushButton9_Click.
void saveResultsAsTextFile(core::ListModel& results, core::MousePointer& pointer, const platform::Services& services,
                           std::chrono::microseconds slice = core::kEventSlice);

// The lines SaveListviewProperlySpacedWithoutProgressBar writes, each without its line end, for
// callers that report failures themselves and may add lines of their own. No events are processed.
void writeAlignedText(const core::ListModel& list, const std::function<void(QStringView)>& writeLine);

} // namespace results

namespace Main {

// Writes the list's headers and ticked rows to path, every cell padded to its column's width and
// followed by a tab, every line ended with CR LF, in the system's locale encoding. Widths count the
// header and every row, ticked or not. Reports its own failures, each failing statement once, and
// goes on with the next statement; the target file is replaced only when everything was written.
void SaveListviewProperlySpacedWithoutProgressBar(const core::ListModel& list, const QString& path,
                                                  const platform::Services& services,
                                                  std::chrono::microseconds slice = core::kEventSlice);

} // namespace Main
