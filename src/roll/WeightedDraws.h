#pragma once

// Exact draws of a die whose sides carry whole-number weights, shared by the window and the command
// line as NoRepeatDraws.h is. A side of weight w of a die of total weight W comes up with probability
// exactly w / W: everything is whole numbers, and the only randomness is pick(bound), which must
// return every whole number in [0, bound) equally likely for any bound from 1 to 2^64 - 1. The window's
// pick mixes the clock in first, the command line's is seeded. No floating point takes part.
//
// A roll may be drawn in pieces: startRoll() with its number of dice, then next() once per die.

#include "dice/Die.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace roll {

// Walker's alias table in whole numbers. The die's n sides are spread over K columns, K the least
// power of two from n, each of W tickets: column c keeps threshold(c) tickets for side c and gives the
// rest to its alias side. Picking a column and a ticket below W uniformly then gives side j exactly
// (its tickets over all columns) / (K W) = K w_j / (K W). One pick v below K W gives both at once, the
// column v mod K and the ticket v div K, when K W is below 2^64; otherwise the column is picked below
// K, then the ticket below W. The die comes up as side c when the ticket is below threshold(c), else
// as alias(c).
//
// The table is built once per batch of rolls, by Vose's method on the scaled weights K w_j (columns
// from n on weigh 0): the columns below W and those from W on are kept on two stacks, filled in column
// order; while both hold one, the top small column s takes its own weight as threshold and the top
// large column l as alias, and l gives up W minus that, going to the small stack when it falls below
// W. The columns left over keep all W tickets themselves. The command line's seeded rolls depend on
// these steps, so they are fixed for good.
class AliasTable {
public:
    // Weights as dice::weightsProblem() accepts them.
    explicit AliasTable(std::span<const std::uint32_t> weights);

    std::uint64_t totalWeight() const { return m_total; }
    std::uint32_t sides() const { return m_sides; }

    // A die's column and ticket, as picked.
    struct Ticket {
        std::uint64_t column = 0;
        std::uint64_t ticket = 0;
    };
    template <class Pick> [[gnu::always_inline]] Ticket pick(Pick&& pick) const {
        if (m_combinedBound != 0) {
            const std::uint64_t both = pick(m_combinedBound);
            return {both & m_columnMask, both >> m_columnBits};
        }
        const std::uint64_t column = pick(m_columnMask + 1);
        return {column, pick(m_total)};
    }
    [[gnu::always_inline]] std::uint32_t sideOf(Ticket picked) const {
        std::uint64_t threshold = 0;
        std::uint32_t alias = 0;
        if (!m_narrow.empty()) {
            const std::uint64_t entry = m_narrow[picked.column];
            threshold = entry >> 32;
            alias = static_cast<std::uint32_t>(entry);
        } else {
            threshold = m_columns[picked.column].threshold;
            alias = m_columns[picked.column].alias;
        }
        // Chosen without a branch: the ticket falls either way unpredictably.
        const std::uint32_t own = 0U - static_cast<std::uint32_t>(picked.ticket < threshold);
        return (static_cast<std::uint32_t>(picked.column) & own) | (alias & ~own);
    }
    template <class Pick> [[gnu::always_inline]] std::uint32_t draw(Pick&& pick) const {
        return sideOf(this->pick(pick));
    }

    // Column c's own tickets and the side that takes the others: the table as built, for tests.
    std::uint64_t threshold(std::size_t column) const {
        return m_narrow.empty() ? m_columns[column].threshold : m_narrow[column] >> 32;
    }
    std::uint32_t alias(std::size_t column) const {
        return m_narrow.empty() ? m_columns[column].alias : static_cast<std::uint32_t>(m_narrow[column]);
    }
    std::size_t columns() const { return m_columnMask + 1; }
    // K W when it is below 2^32 and the table's words are one each, else 0: for WeightedIndependentDraw.
    std::uint32_t narrowBound() const {
        return !m_narrow.empty() && m_combinedBound <= std::numeric_limits<std::uint32_t>::max()
                   ? static_cast<std::uint32_t>(m_combinedBound)
                   : 0;
    }
    const std::uint64_t* narrowTable() const { return m_narrow.data(); }
    std::uint32_t columnMask() const { return static_cast<std::uint32_t>(m_columnMask); }
    int columnBits() const { return m_columnBits; }

private:
    struct Column {
        std::uint64_t threshold = 0;
        std::uint32_t alias = 0;
    };
    std::vector<Column> m_columns;       // for a total of 2^32 or more
    std::vector<std::uint64_t> m_narrow; // otherwise: threshold and alias in one word, half the cache

    std::uint64_t m_total = 0;
    std::uint64_t m_combinedBound = 0; // K * W when that is below 2^64, else 0
    std::uint64_t m_columnMask = 0;    // K - 1
    int m_columnBits = 0;
    std::uint32_t m_sides = 0;
};

// Tickets per side in a Fenwick tree: the side that holds the k-th ticket, and a change of one side's
// tickets, each in O(log n). Totals up to 2^64 - 1.
class TicketTree {
public:
    TicketTree() = default;
    explicit TicketTree(std::span<const std::uint64_t> tickets);

    std::uint64_t total() const { return m_total; }
    std::size_t size() const { return m_size; }
    void add(std::size_t side, std::uint64_t tickets);
    void remove(std::size_t side, std::uint64_t tickets);
    // The side that holds ticket (from 0, below total()) when the tickets are laid out side after side.
    std::size_t find(std::uint64_t ticket) const;

private:
    std::vector<std::uint64_t> m_tree{0}; // 1-based; sums wrap modulo 2^64, the true ones never do
    std::uint64_t m_total = 0;
    std::size_t m_size = 0;
    std::size_t m_topStep = 0;
};

// Every die independent, side j with probability w_j / W.
class WeightedIndependentDraw {
public:
    explicit WeightedIndependentDraw(std::span<const std::uint32_t> weights)
        : m_table(weights) {}

    void startRoll(std::size_t /*dice*/) {}
    template <class Pick> std::uint32_t next(Pick&& pick) { return m_table.draw(pick); }

    // The same for die after die, out[i] = first + side. A pick that can repeat one bound (the
    // window's) is asked for it once, and the table's words stay in registers: the same picks, fewer
    // steps per die.
    template <class Pick, class Index> void drawInto(std::span<Index> out, std::uint64_t first, Pick& pick) {
        if constexpr (requires { pick.repeated(std::uint32_t{1}); }) {
            if (const std::uint32_t bound = m_table.narrowBound(); bound != 0) {
                auto again = pick.repeated(bound);
                const std::uint64_t* table = m_table.narrowTable();
                const std::uint32_t mask = m_table.columnMask();
                const int bits = m_table.columnBits();
                for (Index& die : out) {
                    const std::uint32_t both = again();
                    const std::uint64_t entry = table[both & mask];
                    const std::uint32_t own = 0U - static_cast<std::uint32_t>((both >> bits) < (entry >> 32));
                    die =
                        static_cast<Index>(first + ((both & mask & own) | (static_cast<std::uint32_t>(entry) & ~own)));
                }
                return;
            }
        }
        for (Index& die : out)
            die = static_cast<Index>(first + next(pick));
    }

private:
    AliasTable m_table;
};

// No side twice in a roll: each die is drawn among the sides the roll does not show yet, in proportion
// to their weights. While those sides hold at least half the weight, a die is drawn from the alias
// table again until it shows a new side, which takes fewer than two tries on average. Past that, the
// rest of the roll is drawn from a ticket tree of the sides' weights that leaves out the roll's sides
// so far. Both give each die exactly its law, so their mixture does too. A roll must have no more
// dice than the die has sides of weight above 0.
class WeightedDistinctDraw {
public:
    explicit WeightedDistinctDraw(std::span<const std::uint32_t> weights);

    void startRoll(std::size_t dice);

    template <class Pick> std::uint32_t next(Pick&& pick) {
        std::uint32_t side = 0;
        if (!m_treeInUse && m_shownWeight <= m_table.totalWeight() - m_shownWeight) {
            do
                side = m_table.draw(pick);
            while (m_isShown[side]);
        } else {
            useTree();
            assert(m_tree.total() > 0);
            side = static_cast<std::uint32_t>(m_tree.find(pick(m_tree.total())));
            m_tree.remove(side, m_weights[side]);
        }
        m_isShown[side] = 1;
        m_shown.push_back(side);
        m_shownWeight += m_weights[side];
        return side;
    }

private:
    void useTree();

    std::vector<std::uint32_t> m_weights;
    AliasTable m_table;
    TicketTree m_tree; // made at the first roll that needs it
    bool m_treeMade = false;
    bool m_treeInUse = false;            // the tree leaves out this roll's sides
    std::vector<std::uint8_t> m_isShown; // by side
    std::vector<std::uint32_t> m_shown;  // the roll's sides so far
    std::uint64_t m_shownWeight = 0;
};

// A bag of tickets, w_j of each side j: each die takes one of the tickets still in the bag, all equally
// likely, among the sides that the roll does not show yet; so a roll never shows a side twice. When the
// sides the roll does not show have no tickets left (the bag is empty, or what is left belongs to
// the roll's sides), a fresh set of tickets, w_j of each side, goes in on top of those still there,
// none discarded. Only when that would take the bag past kMostTotalWeight tickets do the old ones go
// first. With every weight 1 this is BagDraw's bag: a refill within a roll keeps the roll's sides out
// until it ends.
//
// The bag's state is the number of tickets left per side, between rolls: tickets() reads it and
// restore() sets it, so a bag can be kept from one batch of rolls to the next.
class WeightedBagDraw {
public:
    // A full bag.
    explicit WeightedBagDraw(std::span<const std::uint32_t> weights);

    std::uint64_t ticketsLeft() const { return m_left; }
    // Tickets left per side, in side order.
    std::vector<std::uint64_t> tickets() const;
    // Takes a bag left by tickets(), between rolls: one count per side, adding up to at most
    // kMostTotalWeight. Tickets of a side of weight 0 are dropped, as that side is never drawn. False,
    // and the bag unchanged, for counts that do not fit.
    bool restore(std::span<const std::uint64_t> tickets);

    void startRoll(std::size_t dice);

    template <class Pick> std::uint32_t next(Pick&& pick) {
        if (m_tree.total() == 0)
            addSet();
        const std::size_t entry = m_tree.find(pick(m_tree.total()));
        m_tree.remove(entry, m_tickets[entry]); // with the rest of its tickets, out until the roll ends
        --m_tickets[entry];
        --m_left;
        m_shown.push_back(static_cast<std::uint32_t>(entry));
        return m_sides[entry];
    }

private:
    void addSet();
    void rebuildTree();

    // Only the sides of weight above 0 take part, so a refill costs no more than the tickets it adds.
    std::vector<std::uint32_t> m_sides;   // their side numbers
    std::vector<std::uint32_t> m_weights; // their weights
    std::vector<std::uint64_t> m_tickets; // their tickets left
    std::uint32_t m_sideCount = 0;        // all sides, weight 0 included
    std::uint64_t m_total = 0;            // the tickets of a full set
    std::uint64_t m_left = 0;             // tickets in the bag
    TicketTree m_tree;                    // the tickets of the sides the roll does not show yet
    std::vector<std::uint32_t> m_shown;   // the roll's sides so far, as entries
};

} // namespace roll
