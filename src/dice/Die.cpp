#include "Die.h"

#include "core/TextIndex.h"

using namespace Qt::StringLiterals;

namespace dice {

bool isWeighted(std::span<const std::uint32_t> weights) {
    for (const std::uint32_t weight : weights) {
        if (weight != 1)
            return true;
    }
    return false;
}

std::uint64_t totalWeight(std::span<const std::uint32_t> weights) {
    std::uint64_t total = 0;
    for (const std::uint32_t weight : weights) {
        total += weight;
        if (total > kMostTotalWeight)
            return kMostTotalWeight + 1;
    }
    return total;
}

std::int64_t drawableSides(std::span<const std::uint32_t> weights) {
    std::int64_t sides = 0;
    for (const std::uint32_t weight : weights)
        sides += weight > 0 ? 1 : 0;
    return sides;
}

QString weightsProblem(std::span<const std::uint32_t> weights, std::int64_t sideCount) {
    if (static_cast<std::int64_t>(weights.size()) != sideCount)
        return u"The die has "_s + QString::number(sideCount) + u" sides but "_s + QString::number(weights.size()) +
               u" weights."_s;
    for (std::size_t side = 0; side < weights.size(); ++side) {
        if (weights[side] > kMostWeight)
            return u"Side "_s + QString::number(side + 1) + u" weighs "_s + QString::number(weights[side]) +
                   u": a weight is a whole number from 0 to 1000000000."_s;
    }
    const std::uint64_t total = totalWeight(weights);
    if (total == 0)
        return u"Every side weighs 0: at least one must weigh more to be drawn."_s;
    if (total > kMostTotalWeight)
        return u"The weights add up to more than 9223372036854775808."_s;
    return {};
}

QString dieProblem(const Die& die) {
    if (die.labels.empty())
        return u"The die has no sides."_s;
    // The index covers the rows it is given as they grow: the labels so far go into a copy.
    core::TextRows earlier;
    earlier.reserve(die.labels.size(), die.labels.charCount());
    core::TextIndex seen(earlier);
    seen.reserve(die.labels.size());
    for (std::int64_t side = 0; side < die.labels.size(); ++side) {
        const QStringView label = die.labels.at(side);
        if (label.isEmpty())
            return u"Side "_s + QString::number(side + 1) + u" has no label."_s;
        const std::uint32_t hash = core::TextIndex::hashOf(label);
        if (seen.contains(label, hash))
            return u"Side "_s + QString::number(side + 1) + u" has the same label as an earlier side."_s;
        earlier.append(label);
        seen.add(hash);
    }
    return weightsProblem(die.weights, die.labels.size());
}

QString weightShareText(std::uint64_t weight, std::uint64_t total, const QLocale& locale) {
    __extension__ typedef unsigned __int128 UInt128;
    QString percent;
    if (total == 0 || weight == 0) {
        percent = u"0%"_s;
    } else if (weight >= total) {
        percent = u"100%"_s;
    } else {
        // Rounded half up, in integers: a float cannot tell 1 in 2^63 from none.
        const auto rounded = static_cast<std::uint64_t>((UInt128{weight} * 200 + total) / (UInt128{total} * 2));
        if (rounded == 0)
            percent = u"<1%"_s;
        else if (rounded == 100)
            percent = u">99%"_s;
        else
            percent = QString::number(rounded) + u'%';
    }
    return locale.toString(static_cast<qulonglong>(weight)) + u" of "_s +
           locale.toString(static_cast<qulonglong>(total)) + u" ("_s + percent + u')';
}

std::optional<std::uint32_t> parseWeight(QStringView text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > kMostWeight)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace dice
