#pragma once

// The two ways of drawing a roll without a side twice, shared by the window and the command line.
// Each takes its randomness from pick(bound), which must return every whole number in [0, bound)
// equally likely; the window's pick mixes the clock in first, the command line's is seeded. A roll
// may be drawn in pieces: startRoll() with its number of dice, then next() once per die, in order.
//
// Where they keep a list of the side numbers, one entry per side, they make it once for a whole batch
// of rolls and rearrange it in place: no roll copies it, however large the die.

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <span>
#include <utility>
#include <vector>

namespace roll {

// Every ordered choice of D different sides equally likely (D at most the number of sides).
//
// A few dice of a large die draw every side and draw again any side the roll already shows: each die
// is then uniform over the sides not yet shown, and no list of the sides is needed, whose random
// access would cost a cache miss per die. Otherwise the first D steps of a Fisher–Yates shuffle, one
// per die, over a list of the sides made at the first such roll. The list need not be put back
// between rolls: the steps shuffle any arrangement alike.
template <class Side> class DistinctDraw {
public:
    // The redraws cost the roll's dice so far at every die, and repeat a die about D / sides of the time.
    static constexpr std::size_t kMostRedrawnDice = 16;
    static constexpr Side kFewestRedrawnSides = Side{1} << 16;

    explicit DistinctDraw(Side sides)
        : m_sides(sides) {}

    void startRoll(std::size_t dice) {
        m_drawn = 0;
        m_redraw = dice <= kMostRedrawnDice && m_sides >= kFewestRedrawnSides;
        if (!m_redraw && m_order.empty()) {
            m_order.resize(m_sides);
            std::iota(m_order.begin(), m_order.end(), Side{0});
        }
    }

    template <class Pick> Side next(Pick&& pick) {
        if (m_redraw) {
            assert(m_drawn < kMostRedrawnDice);
            Side side = pick(m_sides);
            while (std::find(m_shown, m_shown + m_drawn, side) != m_shown + m_drawn)
                side = pick(m_sides);
            m_shown[m_drawn++] = side;
            return side;
        }
        assert(m_drawn < m_order.size());
        const Side chosen = m_drawn + pick(m_sides - m_drawn);
        std::swap(m_order[m_drawn], m_order[chosen]);
        return m_order[m_drawn++];
    }

private:
    Side m_sides;
    bool m_redraw = false;
    Side m_shown[kMostRedrawnDice] = {}; // the roll's dice so far, when it redraws
    std::vector<Side> m_order;
    Side m_drawn = 0; // the dice of the roll so far, at the front of m_order when it shuffles
};

// A bag with every side once: each die takes one of the sides still in the bag, all equally likely,
// and an empty bag is filled again. A refill in the middle of a roll keeps that roll's dice out until
// the roll ends, so no roll shows a side twice, and they go back in for the rolls after it.
//
// m_order holds the sides drawn from this bag first, then those still in it. The sides a roll drew
// before a refill are the last ones of the old bag, at the end of m_order, so holding them back only
// shortens the range the roll draws from.
template <class Side> class BagDraw {
public:
    explicit BagDraw(Side sides)
        : m_order(sides)
        , m_end(sides) {
        std::iota(m_order.begin(), m_order.end(), Side{0});
    }

    void startRoll(std::size_t /*dice*/) {
        m_end = static_cast<Side>(m_order.size());
        m_inRoll = 0;
    }

    // The bag between rolls as tickets left per side, in side order: 1 for a side still in it, 0 for one
    // drawn from it. restore() takes such a list, so a bag can be kept from one batch of rolls to the
    // next; false, and the bag unchanged, for a list of another length or with other counts. A full bag
    // restored draws as a new one.
    std::vector<std::uint64_t> tickets() const {
        std::vector<std::uint64_t> left(m_order.size(), 0);
        for (std::size_t place = m_drawn; place < m_order.size(); ++place)
            left[m_order[place]] = 1;
        return left;
    }
    bool restore(std::span<const std::uint64_t> tickets) {
        if (tickets.size() != m_order.size() ||
            std::any_of(tickets.begin(), tickets.end(), [](std::uint64_t n) { return n > 1; }))
            return false;
        Side place = 0;
        for (const bool inBag : {false, true}) {
            if (inBag)
                m_drawn = place;
            for (std::size_t side = 0; side < tickets.size(); ++side) {
                if ((tickets[side] == 1) == inBag)
                    m_order[place++] = static_cast<Side>(side);
            }
        }
        m_end = static_cast<Side>(m_order.size());
        m_inRoll = 0;
        m_pickedAhead = 0;
        return true;
    }

    template <class Pick> Side next(Pick&& pick) {
        assert(m_inRoll < m_order.size());
        const auto size = static_cast<Side>(m_order.size());
        if (m_drawn == size) {
            m_drawn = 0;
            m_end = size - m_inRoll;
        }
        Side offset = 0;
        if (m_pickedAhead > 0) {
            offset = m_ahead[m_drawn % kAhead];
            --m_pickedAhead;
        } else {
            offset = pick(m_end - m_drawn);
        }
        if (m_end == size && size >= kFewestSidesPickedAhead)
            pickAhead(pick, size);
        const Side chosen = m_drawn + offset;
        std::swap(m_order[m_drawn], m_order[chosen]);
        ++m_inRoll;
        return m_order[m_drawn++];
    }

private:
    // A large bag's list outgrows the caches, and each die swaps with a random place of it. The picks
    // of the next dice are made a few dice early, in the same order and with the same ranges, so that
    // their places are fetched while this die is handled: the dice come out as without it. Only a
    // whole bag picks ahead, as no roll's dice are held back from it; a batch of rolls ends with a few
    // picks unused.
    static constexpr Side kAhead = 8;
    static constexpr Side kFewestSidesPickedAhead = Side{1} << 16;

    template <class Pick> void pickAhead(Pick& pick, Side size) {
        for (Side place = m_drawn + 1 + m_pickedAhead; m_pickedAhead < kAhead - 1 && place < size; ++place) {
            const Side offset = pick(size - place);
            m_ahead[place % kAhead] = offset;
#if defined(__GNUC__)
            __builtin_prefetch(&m_order[place + offset], 1);
#endif
            ++m_pickedAhead;
        }
    }

    std::vector<Side> m_order;
    Side m_drawn = 0;          // taken from this bag so far
    Side m_end = 0;            // the bag ends here while a roll holds its sides back
    Side m_inRoll = 0;         // dice of the current roll so far
    Side m_ahead[kAhead] = {}; // the picks made for the dice at m_drawn onwards, by place modulo kAhead
    Side m_pickedAhead = 0;
};

} // namespace roll
