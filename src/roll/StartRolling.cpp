#include "StartRolling.h"

#include "RandomPick.h"

#include "core/ListModel.h"
#include "core/TextRows.h"
#include "core/Trap.h"
#include "dice/CountConversion.h"
#include "platform/Memory.h"
#include "platform/Services.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <new>

using namespace Qt::StringLiterals;

namespace roll {

namespace {

constexpr std::int64_t kSeparatorLength = std::size(kSeparator) - 1;
// Per row besides its text: its end offset in the list, a section of the view's header, its tick bit.
constexpr double kRowOverheadBytes = 8 + 8 + 1;

// Makes room for all rows at once, so building them never copies what is built, and refuses up
// front a result that cannot fit: on a system that overcommits, the allocation would succeed and
// the process would be killed while filling it.
void reserveRows(core::TextRows& batch, const core::ListModel& sides, std::int64_t rolls, std::int64_t dice) {
    const std::int64_t count = sides.itemCount();
    std::int64_t totalChars = 0;
    std::int64_t longest = 0;
    for (std::int64_t position = 1; position <= count; ++position) {
        const std::int64_t length = sides.textLength(position);
        totalChars += length;
        longest = std::max(longest, length);
    }
    const double separators = static_cast<double>(kSeparatorLength) * static_cast<double>(dice - 1);
    const double mean = count > 0 ? static_cast<double>(totalChars) / static_cast<double>(count) : 0.0;
    const double longestRow = static_cast<double>(dice) * static_cast<double>(longest) + separators;
    const double meanRow = static_cast<double>(dice) * mean + separators;
    // Exact when all labels are equally long; otherwise the expected size, plus 2% and a few of the
    // longest rows, which the rows of a large roll stay well within.
    const double chars = std::min(static_cast<double>(rolls) * longestRow,
                                  static_cast<double>(rolls) * meanRow * 1.02 + 16 * longestRow);
    const double bytes = static_cast<double>(rolls) * kRowOverheadBytes + 2 * chars;
    if (bytes > static_cast<double>(platform::availableMemoryBytes()))
        throw std::bad_alloc();
    batch.reserve(rolls, static_cast<std::int64_t>(chars));
}

std::int32_t sideCount(const core::ListModel& sides) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(sides.itemCount(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace

void startRolling(const platform::Services& services, const core::ListModel& sides, core::ListModel& results,
                  const QString& numberOfRolls, const QString& dicePerRoll) {
    core::Trap trap(services, u"Form1.PushButton8_Click"_s);
    trap(100, [&] { results.removeAll(); });

    // A count that cannot be converted leaves its loop without bounds: report it once and end.
    std::int32_t rolls = 0;
    if (!trap(102, [&] { rolls = dice::convertCount(numberOfRolls); }) || rolls < 1)
        return;
    // The command never yields, so Text1 holds the same text at every roll: converting it for the first
    // roll gives every roll's count.
    std::int32_t dice = 0;
    if (!trap(106, [&] { dice = dice::convertCount(dicePerRoll); }) || dice < 1)
        return; // rolls without dice add no rows

    // The rows are built straight into one batch and handed to the list at once.
    core::TextRows batch;
    if (!trap(118, [&] { reserveRows(batch, sides, rolls, dice); }))
        return;

    platform::Clock& clock = *services.clock;
    platform::RandomSource& random = *services.random;
    const QStringView separator(kSeparator);
    QStringView label; // the most recently drawn label; a die whose draw fails repeats it
    bool outOfMemory = false;
    for (std::int64_t roll = 1; roll <= rolls && !outOfMemory; ++roll) {
        // 104: the line starts empty; the batch holds no pending text between rows.
        // 64 bits, like the roll counter: counting up to a count of 2147483647 steps past the 32-bit range.
        for (std::int64_t die = 1; die <= dice; ++die) {
            trap(108, [&] { label = sides.textView(Main::PickRandomIndex(sideCount(sides), clock, random)); });
            if (!trap(110, [&] {
                    batch.appendPiece(label);
                    batch.appendPiece(separator);
                })) {
                outOfMemory = true; // appending is all that can fail here; more rolls would only fail again
                break;
            }
        }
        if (outOfMemory) {
            batch.dropPendingChars(batch.pendingLength());
            break;
        }
        if (trap.test(114, [&] { return batch.pendingLength() > 0; })) {
            trap(116, [&] { batch.dropPendingChars(kSeparatorLength); });
            trap(118, [&] { batch.endRow(); });
        }
    }
    trap(118, [&] { results.addItems(std::move(batch)); });
}

} // namespace roll
