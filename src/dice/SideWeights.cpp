#include "SideWeights.h"

#include "core/ListModel.h"
#include "core/TextRows.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace dice {

void SideWeights::assign(const core::TextRows& labels, std::span<const std::uint32_t> weights) {
    m_weights.clear();
    for (std::int64_t i = 0; i < labels.size() && i < static_cast<std::int64_t>(weights.size()); ++i) {
        if (weights[static_cast<std::size_t>(i)] != 1)
            m_weights.insert(labels.at(i).toString(), weights[static_cast<std::size_t>(i)]);
    }
}

void SideWeights::set(QStringView label, std::uint32_t weight) {
    if (weight == 1)
        m_weights.remove(label.toString());
    else
        m_weights.insert(label.toString(), weight);
}

std::vector<std::uint32_t> SideWeights::weightsFor(const core::ListModel& sides) const {
    std::vector<std::uint32_t> weights(static_cast<std::size_t>(sides.itemCount()), 1);
    if (m_weights.isEmpty())
        return weights;
    for (std::int64_t position = 1; position <= sides.itemCount(); ++position)
        weights[static_cast<std::size_t>(position - 1)] = weightOf(sides.textView(position));
    return weights;
}

bool SideWeights::anyFor(const core::ListModel& sides) const {
    if (m_weights.isEmpty())
        return false;
    for (std::int64_t position = 1; position <= sides.itemCount(); ++position) {
        if (weightOf(sides.textView(position)) != 1)
            return true;
    }
    return false;
}

QString weightedDieText(std::int64_t sides, std::uint64_t tickets) {
    const QLocale locale;
    return u"Weighted die: %1 %2, %3 %4"_s.arg(
        locale.toString(static_cast<qlonglong>(sides)), sides == 1 ? u"side"_s : u"sides"_s,
        locale.toString(static_cast<qulonglong>(tickets)), tickets == 1 ? u"ticket"_s : u"tickets"_s);
}

} // namespace dice
