#include "WeightedDraws.h"

#include <limits>

namespace roll {

AliasTable::AliasTable(std::span<const std::uint32_t> weights)
    : m_total(dice::totalWeight(weights))
    , m_sides(static_cast<std::uint32_t>(weights.size())) {
    assert(!weights.empty() && m_total > 0 && m_total <= dice::kMostTotalWeight);
    const std::uint64_t columns = std::bit_ceil(static_cast<std::uint64_t>(weights.size()));
    m_columnBits = std::countr_zero(columns);
    m_columnMask = columns - 1;
    __extension__ typedef unsigned __int128 UInt128;
    const UInt128 combined = UInt128{m_total} * columns;
    if (combined <= std::numeric_limits<std::uint64_t>::max())
        m_combinedBound = static_cast<std::uint64_t>(combined);

    // Scaled weights K w_j fit: w_j is at most 10^9 < 2^30 and K at most 2^32.
    std::vector<std::uint64_t> scaled(columns, 0);
    for (std::size_t side = 0; side < weights.size(); ++side)
        scaled[side] = std::uint64_t{weights[side]} * columns;
    std::vector<std::uint32_t> small;
    std::vector<std::uint32_t> large;
    for (std::uint64_t column = 0; column < columns; ++column)
        (scaled[column] < m_total ? small : large).push_back(static_cast<std::uint32_t>(column));

    m_columns.resize(columns);
    while (!small.empty() && !large.empty()) {
        const std::uint32_t lesser = small.back();
        small.pop_back();
        const std::uint32_t greater = large.back();
        large.pop_back();
        m_columns[lesser] = {scaled[lesser], greater};
        scaled[greater] -= m_total - scaled[lesser];
        (scaled[greater] < m_total ? small : large).push_back(greater);
    }
    // What is left holds exactly W each: the sums are whole numbers, so nothing is lost to rounding.
    for (const std::uint32_t column : large)
        m_columns[column] = {m_total, column};
    for (const std::uint32_t column : small) {
        assert(false && "an alias table left a column short");
        m_columns[column] = {m_total, column};
    }
    if (m_total <= std::numeric_limits<std::uint32_t>::max()) {
        m_narrow.reserve(m_columns.size());
        for (const Column& column : m_columns)
            m_narrow.push_back(column.threshold << 32 | column.alias);
        m_columns = {};
    }
}

TicketTree::TicketTree(std::span<const std::uint64_t> tickets)
    : m_size(tickets.size()) {
    // Sides up to a power of two, those past the end without tickets: find() then needs no bounds test.
    const std::size_t size = std::bit_ceil(std::max<std::size_t>(tickets.size(), 1));
    m_tree.assign(size + 1, 0);
    for (std::size_t at = 1; at <= size; ++at) {
        if (at <= tickets.size()) {
            m_tree[at] += tickets[at - 1];
            m_total += tickets[at - 1];
        }
        const std::size_t parent = at + (at & (0 - at));
        if (parent <= size)
            m_tree[parent] += m_tree[at];
    }
    m_topStep = size;
}

void TicketTree::add(std::size_t side, std::uint64_t tickets) {
    m_total += tickets;
    for (std::size_t at = side + 1; at < m_tree.size(); at += at & (0 - at))
        m_tree[at] += tickets;
}

void TicketTree::remove(std::size_t side, std::uint64_t tickets) {
    m_total -= tickets;
    for (std::size_t at = side + 1; at < m_tree.size(); at += at & (0 - at))
        m_tree[at] -= tickets;
}

std::size_t TicketTree::find(std::uint64_t ticket) const {
    // Without branches: which way each step goes is as random as the ticket.
    std::size_t at = 0;
    for (std::size_t step = m_topStep; step != 0; step >>= 1) {
        const std::uint64_t below = m_tree[at + step];
        const std::uint64_t past = 0 - static_cast<std::uint64_t>(below <= ticket);
        at += step & past;
        ticket -= below & past;
    }
    return at; // the tickets of sides below `at` end at or before ticket; side `at` holds it
}

WeightedDistinctDraw::WeightedDistinctDraw(std::span<const std::uint32_t> weights)
    : m_weights(weights.begin(), weights.end())
    , m_table(weights)
    , m_isShown(weights.size(), 0) {}

void WeightedDistinctDraw::startRoll(std::size_t dice) {
    for (const std::uint32_t side : m_shown) {
        m_isShown[side] = 0;
        if (m_treeInUse)
            m_tree.add(side, m_weights[side]);
    }
    m_treeInUse = false;
    m_shown.clear();
    m_shown.reserve(dice);
    m_shownWeight = 0;
}

void WeightedDistinctDraw::useTree() {
    if (m_treeInUse)
        return;
    if (!m_treeMade) {
        m_tree = TicketTree(std::vector<std::uint64_t>(m_weights.begin(), m_weights.end()));
        m_treeMade = true;
    }
    for (const std::uint32_t side : m_shown)
        m_tree.remove(side, m_weights[side]);
    m_treeInUse = true;
}

WeightedBagDraw::WeightedBagDraw(std::span<const std::uint32_t> weights)
    : m_sideCount(static_cast<std::uint32_t>(weights.size()))
    , m_total(dice::totalWeight(weights)) {
    for (std::size_t side = 0; side < weights.size(); ++side) {
        if (weights[side] > 0) {
            m_sides.push_back(static_cast<std::uint32_t>(side));
            m_weights.push_back(weights[side]);
        }
    }
    m_tickets.assign(m_weights.begin(), m_weights.end());
    m_left = m_total;
    rebuildTree();
}

std::vector<std::uint64_t> WeightedBagDraw::tickets() const {
    std::vector<std::uint64_t> all(m_sideCount, 0);
    for (std::size_t entry = 0; entry < m_sides.size(); ++entry)
        all[m_sides[entry]] = m_tickets[entry];
    return all;
}

bool WeightedBagDraw::restore(std::span<const std::uint64_t> tickets) {
    if (tickets.size() != m_sideCount)
        return false;
    std::uint64_t left = 0;
    for (std::size_t entry = 0; entry < m_sides.size(); ++entry) {
        const std::uint64_t count = tickets[m_sides[entry]];
        if (count > dice::kMostTotalWeight - left)
            return false;
        left += count;
    }
    for (std::size_t entry = 0; entry < m_sides.size(); ++entry)
        m_tickets[entry] = tickets[m_sides[entry]];
    m_left = left;
    m_shown.clear();
    rebuildTree();
    return true;
}

void WeightedBagDraw::startRoll(std::size_t dice) {
    for (const std::uint32_t entry : m_shown)
        m_tree.add(entry, m_tickets[entry]);
    m_shown.clear();
    m_shown.reserve(dice);
}

void WeightedBagDraw::addSet() {
    if (m_left > dice::kMostTotalWeight - m_total) {
        m_tickets.assign(m_weights.begin(), m_weights.end());
        m_left = m_total;
    } else {
        for (std::size_t entry = 0; entry < m_tickets.size(); ++entry)
            m_tickets[entry] += m_weights[entry];
        m_left += m_total;
    }
    rebuildTree();
}

void WeightedBagDraw::rebuildTree() {
    std::vector<std::uint64_t> drawable(m_tickets);
    for (const std::uint32_t entry : m_shown)
        drawable[entry] = 0;
    m_tree = TicketTree(drawable);
}

} // namespace roll
