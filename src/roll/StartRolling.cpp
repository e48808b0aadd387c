#include "StartRolling.h"

#include "KeptTickets.h"
#include "RollModes.h"

#include "core/ListModel.h"
#include "core/Trap.h"
#include "dice/CountConversion.h"
#include "platform/Memory.h"
#include "platform/MessageBox.h"
#include "platform/RuntimeError.h"
#include "platform/Services.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <span>

using namespace Qt::StringLiterals;

namespace roll {

namespace {

// Per row besides its draws: a section of the view's header and its tick bit.
constexpr double kRowOverheadBytes = 8 + 1;

// Makes room for all rows at once, and refuses up front a result that cannot fit: on a system that
// overcommits, the allocation would succeed and the process would be killed while filling it.
void reserveRows(core::DrawRows& batch, std::int64_t rolls) {
    const double rowBytes = static_cast<double>(batch.dice()) * batch.indexBytes() + kRowOverheadBytes;
    if (static_cast<double>(rolls) * rowBytes > static_cast<double>(platform::availableMemoryBytes()))
        throw std::bad_alloc();
    batch.reserve(rolls);
}

std::int32_t sideCount(const core::DrawRows& batch) {
    return static_cast<std::int32_t>(
        std::min<std::int64_t>(batch.sideCount(), std::numeric_limits<std::int32_t>::max()));
}

// A mode that shows no side twice in a roll cannot roll more dice than there are sides. Said before
// anything happens, so the results stay; a count that does not convert is left to the roll's own
// report.
bool tooManyDice(const platform::Services& services, const core::ListModel& sides, const QString& dicePerRoll) {
    const std::optional<double> dice = dice::roundedCount(dicePerRoll);
    if (!dice || *dice <= static_cast<double>(sides.itemCount()) || *dice > std::numeric_limits<std::int32_t>::max())
        return false;
    services.messageBox->show(tooManyDiceMessage(static_cast<std::int32_t>(*dice)), platform::OkOnly, QString());
    return true;
}

} // namespace

QString tooManyDiceMessage(std::int64_t dice) {
    const QString count = QString::number(dice);
    return u"A roll of "_s + count + u" dice needs at least "_s + count + u" different sides."_s;
}

void startRolling(const platform::Services& services, const core::ListModel& sides, core::ListModel& results,
                  const QString& numberOfRolls, const QString& dicePerRoll, core::RollMode mode, KeptTickets* kept) {
    if (core::drawsDifferentSides(mode) && tooManyDice(services, sides, dicePerRoll))
        return;
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

    // Nothing else runs while the command does, so the sides read now are those of every die.
    core::DrawRows batch;
    std::optional<DiceDrawer> drawer;
    BagDraw<std::uint32_t>* keptDraw = nullptr;
    if (!trap(118, [&] {
            batch = core::DrawRows(sides.textSnapshot(), dice, mode);
            reserveRows(batch, rolls);
            drawer.emplace(diceDrawer(mode, sideCount(batch), *services.clock, *services.random));
            if (kept != nullptr && mode == core::RollMode::Bag && batch.sideCount() > 0) {
                keptDraw = &std::get<BagDice>(*drawer).draw();
                keptDraw->restore(kept->ticketsLeft(batch.labels()));
            }
        }))
        return;

    const std::int32_t count = sideCount(batch);
    batch.build([&](auto& indices) {
        using Index = typename std::decay_t<decltype(indices)>::value_type;
        indices.resize(static_cast<std::size_t>(rolls) * static_cast<std::size_t>(dice)); // reserved above
        for (std::int64_t roll = 0; roll < rolls; ++roll) {
            const std::span<Index> row(indices.data() + roll * dice, static_cast<std::size_t>(dice));
            // 104 to 112: the line of one roll, its dice drawn by the roll mode.
            trap(108, [&] { std::visit([&](auto& draw) { draw.drawRoll(row); }, *drawer); });
            // Taking the label of a die fails without sides; the die keeps the empty label it last had.
            if (count == 0) {
                for (std::int64_t die = 1; die <= dice; ++die)
                    trap(108, [] { throw platform::RuntimeError(platform::RuntimeError::IndexOutOfBounds); });
            }
            // 114 to 118: every roll with dice adds its row, whose text the list makes when shown.
        }
    });
    if (keptDraw != nullptr) {
        try {
            kept->keep(batch.labels(), keptDraw->tickets());
        } catch (const platform::RuntimeError& error) {
            services.messageBox->show(error.description(), platform::Exclamation, QString());
            return;
        }
    }
    trap(118, [&] { results.addItems(std::move(batch)); });
}

} // namespace roll
