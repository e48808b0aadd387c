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

    template <class Pick> Side next(Pick&& pick) {
        assert(m_inRoll < m_order.size());
        if (m_drawn == m_order.size()) {
            m_drawn = 0;
            m_end = static_cast<Side>(m_order.size()) - m_inRoll;
        }
        const Side chosen = m_drawn + pick(m_end - m_drawn);
        std::swap(m_order[m_drawn], m_order[chosen]);
        ++m_inRoll;
        return m_order[m_drawn++];
    }

private:
    std::vector<Side> m_order;
    Side m_drawn = 0;  // taken from this bag so far
    Side m_end = 0;    // the bag ends here while a roll holds its sides back
    Side m_inRoll = 0; // dice of the current roll so far
};

} // namespace roll
