#include "DiceSet.h"

using namespace Qt::StringLiterals;

namespace dice {

std::int64_t DiceSet::diceCount() const {
    std::int64_t dice = 0;
    for (const SetEntry& entry : entries)
        dice += entry.count;
    return dice;
}

QString setSummary(const DiceSet& set) {
    QString summary;
    for (const SetEntry& entry : set.entries) {
        if (!summary.isEmpty())
            summary += u", "_s;
        summary += QString::number(entry.count) + u" \u00d7 "_s + entry.die;
    }
    return summary;
}

QString setProblem(const DiceSet& set) {
    if (set.entries.empty())
        return u"The set has no dice."_s;
    for (std::size_t at = 0; at < set.entries.size(); ++at) {
        const SetEntry& entry = set.entries[at];
        const QString which = u"Entry "_s + QString::number(at + 1);
        if (entry.die.isEmpty())
            return which + u" names no die."_s;
        if (entry.count < 1)
            return which + u" has "_s + QString::number(entry.count) + u" dice: a set takes at least 1 of each."_s;
    }
    if (set.diceCount() > kMostDicePerRoll)
        return u"The set has "_s + QString::number(set.diceCount()) + u" dice: a roll takes at most "_s +
               QString::number(kMostDicePerRoll) + u'.';
    return {};
}

} // namespace dice
