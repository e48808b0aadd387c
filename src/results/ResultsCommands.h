#pragma once

// The commands of the results list that need no dialog: "Clear Results" (Form1.PushButton10_Click)
// and "Copy Results To Clipboard" (Form1.PushButton11_Click), each with its own error trap.

#include "ClipboardCopy.h"

namespace results {

// The one column header of the results list.
inline constexpr char16_t kResultsHeader[] = u"Results";

void clearResults(const platform::Services& services, core::ListModel& results);
void copyResults(const platform::Services& services, core::ListModel& results,
                 std::chrono::microseconds yieldSlice = core::kEventSlice);

} // namespace results
