#include "DiceSet.h"

#include <QRegularExpression>

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

std::optional<std::vector<SetEntry>> parseSetSummary(QStringView text, QString& problem) {
    static const QRegularExpression counted(u"^(\\d+)\\s*[x\u00d7*]\\s*(\\S.*)$"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    std::vector<SetEntry> entries;
    const QList<QStringView> pieces = text.split(u',');
    for (qsizetype at = 0; at < pieces.size(); ++at) {
        const QString piece = pieces[at].trimmed().toString();
        if (piece.isEmpty()) {
            if (pieces.size() == 1)
                break;
            problem = u"Entry "_s + QString::number(at + 1) + u" names no die."_s;
            return std::nullopt;
        }
        const QRegularExpressionMatch match = counted.match(piece);
        SetEntry entry{piece, 1};
        if (match.hasMatch()) {
            bool ok = false;
            const qlonglong count = match.captured(1).toLongLong(&ok);
            if (!ok || count < 1 || count > kMostDicePerRoll) {
                problem = u"Entry "_s + QString::number(at + 1) + u" has "_s + match.captured(1) +
                          u" dice: a set takes 1 to "_s + QString::number(kMostDicePerRoll) + u" of each."_s;
                return std::nullopt;
            }
            entry = {match.captured(2), static_cast<std::int32_t>(count)};
        }
        entries.push_back(std::move(entry));
    }
    return entries;
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
