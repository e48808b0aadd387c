#pragma once

// What a roll of a weighted die or of a set of different dice draws, for the window and the command
// line alike. The plan puts the labels of each kind of die back to back in one table and gives each
// kind its own draw in the roll mode (SideDraw), so "No Side Twice In A Roll" keeps the dice of one
// kind apart and "Draw From A Bag" keeps one bag per kind. A roll starts every kind's draw, then draws
// its positions in row order; the indices it writes point into the table, so the rows are made into
// text as any roll's (core::DrawRows, with the plan's layout).
//
// A kind whose sides all weigh 1 draws as the sides list's die draws (NoRepeatDraws.h, or one pick
// per die); any other kind draws exactly by its weights (WeightedDraws.h). The sides list's own die
// with every weight 1 does not come here at all: Start Rolling rolls it as it always has.

#include "NoRepeatDraws.h"
#include "WeightedDraws.h"

#include "core/DrawRows.h"
#include "dice/DiceSet.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <variant>
#include <vector>

namespace roll {

// Every die an independent pick of any side, all equally likely.
class UniformDraw {
public:
    explicit UniformDraw(std::uint32_t sides)
        : m_sides(sides) {}
    void startRoll(std::size_t /*dice*/) {}
    template <class Pick> std::uint32_t next(Pick&& pick) { return static_cast<std::uint32_t>(pick(m_sides)); }

private:
    std::uint32_t m_sides;
};

using SideDraw = std::variant<UniformDraw, DistinctDraw<std::uint32_t>, BagDraw<std::uint32_t>, WeightedIndependentDraw,
                              WeightedDistinctDraw, WeightedBagDraw>;

// The draw of a die of these weights (one per side, at least one side) in the mode.
SideDraw sideDraw(core::RollMode mode, std::span<const std::uint32_t> weights);

class RollPlan {
public:
    // A set's dice in set order; entries that name the same die are one kind. Each die is valid
    // (dice::dieProblem()) and the counts add up to at most dice::kMostDicePerRoll.
    RollPlan(std::span<const dice::CountedDie> dice, core::RollMode mode);
    // The sides list's die, `dice` times per roll, with a weight per label.
    RollPlan(std::shared_ptr<const core::TextRows> labels, std::span<const std::uint32_t> weights, std::int32_t dice,
             core::RollMode mode);

    // Said before anything is drawn: in a mode without repeats, the message for the first kind that
    // has more dice in a roll than sides that can come up; empty when every kind has enough.
    static QString tooManyDice(std::span<const dice::CountedDie> dice, core::RollMode mode);
    static QString tooManyDice(std::span<const std::uint32_t> weights, std::int64_t dice, core::RollMode mode);

    const std::shared_ptr<const core::TextRows>& labels() const { return m_labels; }
    const std::shared_ptr<const core::DiceLayout>& layout() const { return m_layout; }
    std::int32_t dice() const { return m_dice; }
    core::RollMode mode() const { return m_mode; }

    // Draws the next roll into row, dice() label indices.
    template <class Pick, class Index> void drawRoll(std::span<Index> row, Pick&& pick) {
        if (m_layout->parts.empty()) {
            std::visit([&](auto& draw) { drawRollOf(draw, m_first[0], row, pick); }, m_draws[0]);
            return;
        }
        for (std::size_t kind = 0; kind < m_draws.size(); ++kind)
            std::visit([&](auto& draw) { draw.startRoll(m_kindDice[kind]); }, m_draws[kind]);
        std::size_t at = 0;
        for (const core::DiceLayout::Part& part : m_layout->parts) {
            const std::span<Index> dice = row.subspan(at, static_cast<std::size_t>(part.count));
            const auto kind = static_cast<std::size_t>(part.kind);
            std::visit([&](auto& draw) { drawDice(draw, m_first[kind], dice, pick); }, m_draws[kind]);
            at += dice.size();
        }
    }

    // The same one die at a time, continuing roll after roll: the same picks in the same order.
    template <class Pick> std::uint64_t nextDie(Pick&& pick) {
        if (m_position == 0) {
            for (std::size_t kind = 0; kind < m_draws.size(); ++kind)
                std::visit([&](auto& draw) { draw.startRoll(m_kindDice[kind]); }, m_draws[kind]);
            m_part = 0;
            m_inPart = 0;
        }
        std::size_t kind = 0;
        if (!m_layout->parts.empty()) {
            while (m_inPart == m_layout->parts[m_part].count) {
                ++m_part;
                m_inPart = 0;
            }
            kind = static_cast<std::size_t>(m_layout->parts[m_part].kind);
            ++m_inPart;
        }
        if (++m_position == m_dice)
            m_position = 0;
        return m_first[kind] + std::visit([&](auto& draw) { return draw.next(pick); }, m_draws[kind]);
    }

    // When the roll has one kind of die, calls body(draw, first) with its draw and its first label,
    // for a caller that draws roll after roll with drawRollOf() and so chooses the draw only once;
    // false otherwise. The rolls come out as drawRoll() draws them.
    template <class Body> bool withOnlyKind(Body&& body) {
        if (m_draws.size() != 1)
            return false;
        std::visit([&](auto& draw) { body(draw, m_first[0]); }, m_draws[0]);
        return true;
    }
    template <class Draw, class Index, class Pick>
    static void drawRollOf(Draw& draw, std::uint64_t first, std::span<Index> row, Pick& pick) {
        draw.startRoll(row.size());
        drawDice(draw, first, row, pick);
    }

    // The draw of each kind, for a caller that keeps a bag's tickets.
    std::span<SideDraw> draws() { return m_draws; }

private:
    template <class Draw, class Index, class Pick>
    static void drawDice(Draw& draw, std::uint64_t first, std::span<Index> dice, Pick& pick) {
        if constexpr (std::is_same_v<Draw, WeightedIndependentDraw>) {
            draw.drawInto(dice, first, pick);
        } else {
            for (Index& die : dice)
                die = static_cast<Index>(first + draw.next(pick));
        }
    }

    std::shared_ptr<const core::TextRows> m_labels;
    std::shared_ptr<const core::DiceLayout> m_layout;
    std::vector<SideDraw> m_draws;       // one per kind
    std::vector<std::uint64_t> m_first;  // per kind: its first label
    std::vector<std::size_t> m_kindDice; // per kind: its dice in a roll
    std::int32_t m_dice = 0;
    core::RollMode m_mode;
    std::int32_t m_position = 0; // nextDie(): the die of the roll it draws next
    std::size_t m_part = 0;
    std::int32_t m_inPart = 0;
};

} // namespace roll
