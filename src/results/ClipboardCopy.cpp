#include "ClipboardCopy.h"

#include "Columns.h"

#include "core/EventSlicer.h"
#include "core/ListModel.h"
#include "platform/Clipboard.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

constexpr int kClipboardAttempts = 1000;
constexpr std::int64_t kReserveLimit = std::int64_t{1} << 26;

// A copied line ends without its last cell's tab and without trailing spaces, then with CR LF.
void endCopiedLine(QString& text) {
    text.chop(1);
    const QStringView view(text);
    qsizetype end = view.size();
    while (end > 0 && view[end - 1] == u' ')
        --end;
    text.truncate(end);
    text.append(QStringView(u"\r\n"));
}

// The clipboard's operations suppress their errors: a failed attempt is just another attempt.
template <class Attempt> bool retry(Attempt&& attempt) {
    for (int attempts = 0; attempts < kClipboardAttempts; ++attempts) {
        try {
            if (attempt())
                return true;
        } catch (const platform::RuntimeError&) {
            // Counted as a failed attempt.
        }
    }
    return false;
}

} // namespace

namespace Main {

void CopyListviewToClipboard(core::ListModel& list, const platform::Services& services,
                             std::chrono::microseconds yieldSlice) {
    if (list.itemCount() == 0)
        return;
    // A copy stopped by the program's end (the slicer says so) leaves the clipboard as it was.
    core::EventSlicer slicer(*services.events, yieldSlice);

    // Widths over all rows, ticked or not. Counts are taken at the start of each loop and rows read by
    // position, so rows that go away while the window processes its events raise the list's error.
    std::vector<qsizetype> widths;
    const int columns = list.listColumnCount();
    for (int column = 1; column <= columns; ++column) {
        qsizetype width = 0;
        const std::int64_t rows = list.itemCount();
        for (std::int64_t row = 1; row <= rows; ++row) {
            if (!slicer.maybeYield())
                return;
            width = std::max(width, results::cellLength(list, row, column));
        }
        widths.push_back(width);
    }

    QString text;
    // Lines rarely outgrow their widths, tabs and CR LF; one odd long cell must not make the guess huge.
    const std::int64_t lineBound = std::accumulate(widths.begin(), widths.end(), qsizetype{0}) + columns + 2;
    text.reserve(static_cast<qsizetype>(std::min(list.tickedCount() * lineBound, kReserveLimit)));
    const std::int64_t rows = list.itemCount();
    for (std::int64_t row = 1; row <= rows; ++row) {
        if (!slicer.maybeYield())
            return;
        if (!list.isTicked(row))
            continue;
        const int rowColumns = list.listColumnCount();
        for (int column = 1; column <= rowColumns; ++column) {
            if (!slicer.maybeYield())
                return;
            if (static_cast<std::size_t>(column) > widths.size()) // a column added since the widths were taken
                throw platform::RuntimeError(platform::RuntimeError::SubscriptOutOfRange);
            results::appendPaddedCell(text, list, row, column, widths[static_cast<std::size_t>(column - 1)]);
        }
        endCopiedLine(text);
    }

    ClearClipboardWithRetry(*services.clipboard);
    SetClipboardTextWithRetry(*services.clipboard, text, 0);
}

} // namespace Main

namespace results {

void copiedRollText(const core::DrawRows& rows, const std::function<void(QStringView)>& piece) {
    constexpr qsizetype kPieceChars = qsizetype{1} << 16;
    QString text;
    text.reserve(kPieceChars + 256);
    for (std::int64_t row = 0; row < rows.size(); ++row) {
        // One column: its padding would be trailing spaces, which the line's end drops anyway.
        rows.appendText(row, text);
        text.append(u'\t');
        endCopiedLine(text);
        if (text.size() >= kPieceChars) {
            piece(text);
            text.resize(0);
        }
    }
    if (!text.isEmpty())
        piece(text);
}

} // namespace results

namespace Main {

void ClearClipboardWithRetry(platform::Clipboard& clipboard) {
    retry([&] { return clipboard.clear(); });
}

bool SetClipboardTextWithRetry(platform::Clipboard& clipboard, const QString& text, int format) {
    return retry([&] { return clipboard.setText(text, format); });
}

} // namespace Main
