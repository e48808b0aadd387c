#pragma once

// The weights of the sides list's die. They are kept by label: the list holds each label once, so a
// side that stays keeps its weight whatever is added or removed around it, and a label that comes
// into the list anew weighs 1. Only weights other than 1 are held, so an ordinary die costs nothing.

#include <QHash>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <span>
#include <vector>

namespace core {
class ListModel;
class TextRows;
} // namespace core

namespace dice {

class SideWeights {
public:
    // Replaces every weight: labels[i] weighs weights[i].
    void assign(const core::TextRows& labels, std::span<const std::uint32_t> weights);
    void set(QStringView label, std::uint32_t weight);
    // A label the list took in anew: it weighs 1 again.
    void forget(QStringView label) { m_weights.remove(label.toString()); }
    void clear() { m_weights.clear(); }
    bool empty() const { return m_weights.isEmpty(); }

    std::uint32_t weightOf(QStringView label) const { return m_weights.value(label.toString(), 1); }
    // One weight per side of the list, in its order; all 1 for an ordinary die.
    std::vector<std::uint32_t> weightsFor(const core::ListModel& sides) const;
    bool anyFor(const core::ListModel& sides) const;

private:
    QHash<QString, std::uint32_t> m_weights;
};

// "Weighted die: 4 sides, 10 tickets", for the tooltips of the sides list and Start Rolling.
QString weightedDieText(std::int64_t sides, std::uint64_t tickets);

} // namespace dice
