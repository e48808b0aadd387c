#include "StartRolling.h"

#include "KeptTickets.h"
#include "RollModes.h"
#include "RollPlan.h"

#include "core/ListModel.h"
#include "core/MousePointer.h"
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

// Shows what keeps the dice from being rolled, if anything; true when it did.
bool refused(const platform::Services& services, const QString& problem) {
    if (problem.isEmpty())
        return false;
    services.messageBox->show(problem, platform::OkOnly, QString());
    return true;
}

// Hands the bag what is left before the rows are shown; false, with its report shown, when it cannot.
bool keepTickets(const platform::Services& services, KeptTickets& kept, const core::TextRows& labels,
                 std::span<const std::uint64_t> left) {
    try {
        kept.keep(labels, left);
        return true;
    } catch (const platform::RuntimeError& error) {
        services.messageBox->show(error.description(), platform::Exclamation, QString());
        return false;
    }
}

// Statements 100 to 118 of a roll drawn by a RollPlan, as Start Rolling's: the results emptied, the
// counts converted, every roll drawn through the trap, the batch handed to the list at once.
// dicePerRoll is null for a set, whose dice per roll are its own.
// kept, with the mode "Draw From A Bag", is the bag of the sides list's weighted die (whose weights
// are given), drawn from and kept as the unweighted one is.
template <class MakePlan>
void rollPlanned(core::Trap& trap, const platform::Services& services, core::ListModel& results,
                 const QString& numberOfRolls, const QString* dicePerRoll, MakePlan&& makePlan,
                 KeptTickets* kept = nullptr, std::span<const std::uint32_t> weights = {}) {
    core::DrawRows::Indices spare;
    trap(100, [&] { spare = results.removeAllForReuse(); });
    std::int32_t rolls = 0;
    if (!trap(102, [&] { rolls = dice::convertCount(numberOfRolls); }) || rolls < 1)
        return;
    std::int32_t dice = 0;
    if (dicePerRoll != nullptr && (!trap(106, [&] { dice = dice::convertCount(*dicePerRoll); }) || dice < 1))
        return;

    std::optional<RollPlan> plan;
    core::DrawRows batch;
    WeightedBagDraw* keptDraw = nullptr;
    if (!trap(118, [&] {
            plan.emplace(makePlan(dice));
            batch = core::DrawRows(plan->labels(), plan->dice(), plan->mode(), plan->layout());
            batch.reuseIndices(std::move(spare));
            reserveRows(batch, rolls);
            if (kept != nullptr && plan->draws().size() == 1)
                keptDraw = std::get_if<WeightedBagDraw>(&plan->draws()[0]);
            if (keptDraw != nullptr)
                keptDraw->restore(kept->ticketsLeft(batch.labels(), weights));
        }))
        return;
    WindowPick pick(*services.clock, *services.random);
    const auto perRoll = static_cast<std::size_t>(plan->dice());
    batch.build([&](auto& indices) {
        using Index = typename std::decay_t<decltype(indices)>::value_type;
        indices.resize(static_cast<std::size_t>(rolls) * perRoll); // reserved above
        const auto rowAt = [&](std::size_t roll) { return std::span<Index>(indices.data() + roll * perRoll, perRoll); };
        // One die, or one kind of die: its draw is chosen once for all the rolls.
        const bool drawn = plan->withOnlyKind([&](auto& draw, std::uint64_t first) {
            for (std::size_t roll = 0; roll < static_cast<std::size_t>(rolls); ++roll)
                trap(108, [&] { RollPlan::drawRollOf(draw, first, rowAt(roll), pick); });
        });
        for (std::size_t roll = 0; !drawn && roll < static_cast<std::size_t>(rolls); ++roll)
            trap(108, [&] { plan->drawRoll(rowAt(roll), pick); });
    });
    if (keptDraw != nullptr && !keepTickets(services, *kept, batch.labels(), keptDraw->tickets()))
        return;
    trap(118, [&] { results.addItems(std::move(batch)); });
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
    core::DrawRows::Indices spare;
    trap(100, [&] { spare = results.removeAllForReuse(); });

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
            batch.reuseIndices(std::move(spare));
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
    if (keptDraw != nullptr && !keepTickets(services, *kept, batch.labels(), keptDraw->tickets()))
        return;
    trap(118, [&] { results.addItems(std::move(batch)); });
}

void startRolling(const platform::Services& services, const core::ListModel& sides, core::ListModel& results,
                  const QString& numberOfRolls, const QString& dicePerRoll, core::RollMode mode,
                  std::span<const std::uint32_t> weights, KeptTickets* kept) {
    if (!dice::isWeighted(weights)) {
        startRolling(services, sides, results, numberOfRolls, dicePerRoll, mode, kept);
        return;
    }
    if (refused(services, dice::weightsProblem(weights, sides.itemCount())))
        return;
    if (const std::optional<double> dice = dice::roundedCount(dicePerRoll);
        dice && *dice <= std::numeric_limits<std::int32_t>::max() &&
        refused(services, RollPlan::tooManyDice(weights, static_cast<std::int64_t>(*dice), mode)))
        return;
    core::Trap trap(services, u"Form1.PushButton8_Click"_s);
    rollPlanned(
        trap, services, results, numberOfRolls, &dicePerRoll,
        [&](std::int32_t dice) { return RollPlan(sides.textSnapshot(), weights, dice, mode); },
        mode == core::RollMode::Bag ? kept : nullptr, weights);
}

void rollSet(const platform::Services& services, const QString& procedure, core::MousePointer& pointer,
             std::span<const dice::CountedDie> dice, core::ListModel& results, const QString& numberOfRolls,
             core::RollMode mode) {
    QString problem;
    std::int64_t perRoll = 0;
    for (const dice::CountedDie& counted : dice) {
        perRoll += counted.count;
        if (problem.isEmpty() && counted.count < 1)
            problem = u"Every die of a set is rolled at least once."_s;
        if (const QString dieProblem = dice::dieProblem(counted.die); problem.isEmpty() && !dieProblem.isEmpty())
            problem = u"The die \""_s + counted.die.name + u"\" cannot be rolled: "_s + dieProblem;
    }
    if (problem.isEmpty() && (dice.empty() || perRoll > dice::kMostDicePerRoll))
        problem = u"A set is rolled with 1 to "_s + QString::number(dice::kMostDicePerRoll) + u" dice."_s;
    if (refused(services, problem) || refused(services, RollPlan::tooManyDice(dice, mode)))
        return;
    core::Trap trap(services, procedure);
    trap(98, [&] { pointer.set(core::MousePointer::Hourglass); });
    rollPlanned(trap, services, results, numberOfRolls, nullptr, [&](std::int32_t) { return RollPlan(dice, mode); });
    trap(120, [&] { pointer.set(core::MousePointer::Default); });
}

} // namespace roll
