#pragma once

// The side-list file format written back, for "Save Side List…" and the copy of selected sides: every
// side on a line of its own, ended the platform's way, in the encoding the reader decodes. Reading it
// gives the same sides, unless a label holds a line break or is listed twice (the reader skips repeats).

#include <QString>

#include <cstdint>
#include <span>
#include <utility>

namespace core {
class ListModel;
}

namespace dice {

#ifdef Q_OS_WIN
inline constexpr char16_t kSideListLineEnd[] = u"\r\n";
#else
inline constexpr char16_t kSideListLineEnd[] = u"\n";
#endif

// The sides of the runs (first position, count), each followed by the line end.
QString sideListText(const core::ListModel& list, std::span<const std::pair<std::int64_t, std::int64_t>> runs);

// Every side of the list to a file; an earlier file at path is replaced only once the new one is whole.
// Raises RuntimeError when it cannot be written.
void writeSideListFile(const core::ListModel& list, const QString& path);

} // namespace dice
