#include "RollPlan.h"

#include "StartRolling.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace roll {

namespace {

QString tooManyDiceOf(std::int64_t dice, const QString& name, bool weighted) {
    const QString count = QString::number(dice);
    if (name.isEmpty() && !weighted)
        return tooManyDiceMessage(dice);
    return u"A roll of "_s + count + u" dice"_s + (name.isEmpty() ? QString() : u" of \""_s + name + u'"') +
           u" needs at least "_s + count + u" different sides"_s + (weighted ? u" of weight above 0."_s : u"."_s);
}

// The kinds of a set: the entries that name one die, by the first of them.
struct Kinds {
    std::vector<std::size_t> kindOfEntry;
    std::vector<std::size_t> firstEntry; // per kind
    std::vector<std::int64_t> dice;      // per kind, in a roll
};

Kinds kindsOf(std::span<const dice::CountedDie> dice) {
    Kinds kinds;
    QHash<QString, std::size_t> byName;
    for (std::size_t entry = 0; entry < dice.size(); ++entry) {
        auto found = byName.constFind(dice[entry].die.name);
        if (found == byName.constEnd()) {
            found = byName.insert(dice[entry].die.name, kinds.firstEntry.size());
            kinds.firstEntry.push_back(entry);
            kinds.dice.push_back(0);
        }
        kinds.kindOfEntry.push_back(*found);
        kinds.dice[*found] += dice[entry].count;
    }
    return kinds;
}

} // namespace

SideDraw sideDraw(core::RollMode mode, std::span<const std::uint32_t> weights) {
    const auto sides = static_cast<std::uint32_t>(weights.size());
    if (!dice::isWeighted(weights)) {
        switch (mode) {
        case core::RollMode::Distinct:
            return DistinctDraw<std::uint32_t>(sides);
        case core::RollMode::Bag:
            return BagDraw<std::uint32_t>(sides);
        case core::RollMode::Independent:
            break;
        }
        return UniformDraw(sides);
    }
    switch (mode) {
    case core::RollMode::Distinct:
        return WeightedDistinctDraw(weights);
    case core::RollMode::Bag:
        return WeightedBagDraw(weights);
    case core::RollMode::Independent:
        break;
    }
    return WeightedIndependentDraw(weights);
}

QString RollPlan::tooManyDice(std::span<const dice::CountedDie> dice, core::RollMode mode) {
    if (!core::drawsDifferentSides(mode))
        return {};
    const Kinds kinds = kindsOf(dice);
    for (std::size_t kind = 0; kind < kinds.firstEntry.size(); ++kind) {
        const dice::Die& die = dice[kinds.firstEntry[kind]].die;
        if (kinds.dice[kind] > die.drawableSides())
            return tooManyDiceOf(kinds.dice[kind], die.name, die.weighted());
    }
    return {};
}

QString RollPlan::tooManyDice(std::span<const std::uint32_t> weights, std::int64_t dice, core::RollMode mode) {
    if (!core::drawsDifferentSides(mode) || dice <= dice::drawableSides(weights))
        return {};
    return tooManyDiceOf(dice, QString(), dice::isWeighted(weights));
}

RollPlan::RollPlan(std::span<const dice::CountedDie> dice, core::RollMode mode)
    : m_mode(mode) {
    const Kinds kinds = kindsOf(dice);
    auto layout = std::make_shared<core::DiceLayout>();
    auto labels = std::make_shared<core::TextRows>();
    std::int64_t labelCount = 0;
    std::int64_t charCount = 0;
    for (const std::size_t entry : kinds.firstEntry) {
        labelCount += dice[entry].die.labels.size();
        charCount += dice[entry].die.labels.charCount();
    }
    labels->reserve(labelCount, charCount);
    for (std::size_t kind = 0; kind < kinds.firstEntry.size(); ++kind) {
        const dice::Die& die = dice[kinds.firstEntry[kind]].die;
        core::DiceLayout::Kind shape;
        shape.name = die.name;
        shape.firstLabel = labels->size();
        shape.sides = die.labels.size();
        if (die.weighted())
            shape.weights = die.weights;
        layout->kinds.push_back(std::move(shape));
        labels->appendAll(die.labels);
        m_first.push_back(static_cast<std::uint64_t>(layout->kinds.back().firstLabel));
        m_kindDice.push_back(static_cast<std::size_t>(kinds.dice[kind]));
        m_draws.push_back(sideDraw(mode, die.weights));
    }
    for (std::size_t entry = 0; entry < dice.size(); ++entry) {
        const auto kind = static_cast<std::int32_t>(kinds.kindOfEntry[entry]);
        if (!layout->parts.empty() && layout->parts.back().kind == kind)
            layout->parts.back().count += dice[entry].count;
        else
            layout->parts.push_back({kind, dice[entry].count});
        m_dice += dice[entry].count;
    }
    m_labels = std::move(labels);
    m_layout = std::move(layout);
}

RollPlan::RollPlan(std::shared_ptr<const core::TextRows> labels, std::span<const std::uint32_t> weights,
                   std::int32_t dice, core::RollMode mode)
    : m_labels(std::move(labels))
    , m_dice(dice)
    , m_mode(mode) {
    auto layout = std::make_shared<core::DiceLayout>();
    core::DiceLayout::Kind shape;
    shape.sides = m_labels->size();
    if (dice::isWeighted(weights))
        shape.weights.assign(weights.begin(), weights.end());
    layout->kinds.push_back(std::move(shape));
    m_layout = std::move(layout);
    m_first.push_back(0);
    m_kindDice.push_back(static_cast<std::size_t>(dice));
    m_draws.push_back(sideDraw(mode, weights));
}

} // namespace roll
