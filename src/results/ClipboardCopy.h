#pragma once

// The clipboard copy of a list: the ticked rows as tab-separated text, each cell but the last padded
// to its column's width, trailing spaces removed, CR LF after every line. Long copies let the window
// process its events about once a frame, so other commands can run in the middle of one; a row that
// disappears meanwhile makes the copy fail with the list's index error before the clipboard is touched.

#include "core/EventSlicer.h"

#include <QString>

#include <chrono>
#include <functional>

namespace core {
class DrawRows;
class ListModel;
} // namespace core

namespace platform {
class Clipboard;
struct Services;
} // namespace platform

namespace Main {

// No trap of its own: errors reach the caller's. A zero slice yields at every row and cell.
void CopyListviewToClipboard(core::ListModel& list, const platform::Services& services,
                             std::chrono::microseconds yieldSlice = core::kEventSlice);

// Up to 1000 attempts, without pause; never reports a failure.
void ClearClipboardWithRetry(platform::Clipboard& clipboard);
// Up to 1000 attempts, without pause; true when the text was placed. Format 0 is plain text.
bool SetClipboardTextWithRetry(platform::Clipboard& clipboard, const QString& text, int format);

} // namespace Main

namespace results {

// The text the copy places for a roll's rows when every row is ticked and they are all the list holds,
// handed over in pieces of whole lines so that a roll of millions of rows never becomes one text.
void copiedRollText(const core::DrawRows& rows, const std::function<void(QStringView)>& piece);

} // namespace results
