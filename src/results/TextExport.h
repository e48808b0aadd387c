#pragma once

// "Save Results As Text File": the save dialog, the busy pointer, and the writer that lays the
// list out as aligned, tab-ended columns (a header line, then one line per ticked row).

#include <QString>

#include <chrono>

namespace platform {
class ListModel;
struct Services;
} // namespace platform

namespace shell {
class MousePointer;
}

namespace results {

inline constexpr char16_t kTextFileFilter[] = u"Text Files (*.txt)|*.txt|All Files (*.*)|*.*|";
inline constexpr std::chrono::microseconds kEventSlice = std::chrono::milliseconds(16);

// The body of Form1's PushButton9_Click.
void saveResultsAsTextFile(platform::ListModel& results, shell::MousePointer& pointer,
                           const platform::Services& services, std::chrono::microseconds slice = kEventSlice);

} // namespace results

namespace Main {

// Writes the list's headers and ticked rows to path, every cell padded to its column's width and
// followed by a tab, every line ended with CR LF, in the system's locale encoding. Widths count the
// header and every row, ticked or not. Reports its own failures, each failing statement once, and
// goes on with the next statement; the target file is replaced only when everything was written.
void SaveListviewProperlySpacedWithoutProgressBar(const platform::ListModel& list, const QString& path,
                                                  const platform::Services& services,
                                                  std::chrono::microseconds slice = results::kEventSlice);

} // namespace Main
