#include "SetEditor.h"

#include "Names.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace library {

SetEditor::SetEditor(dice::DiceSet set, QStringList dice)
    : m_set(std::move(set))
    , m_dice(std::move(dice)) {}

qsizetype SetEditor::known(const QString& die) const {
    for (qsizetype at = 0; at < m_dice.size(); ++at) {
        if (sameName(m_dice[at], die))
            return at;
    }
    return -1;
}

int SetEditor::add(int after) {
    if (m_dice.isEmpty())
        return -1;
    QString die = m_dice.front();
    for (const QString& candidate : m_dice) {
        bool rolled = false;
        for (const dice::SetEntry& entry : m_set.entries)
            rolled = rolled || sameName(entry.die, candidate);
        if (!rolled) {
            die = candidate;
            break;
        }
    }
    const int at = has(after) ? after + 1 : rowCount();
    if (m_set.diceCount() >= dice::kMostDicePerRoll)
        return -1;
    m_set.entries.insert(m_set.entries.begin() + at, dice::SetEntry{die, 1});
    return at;
}

bool SetEditor::remove(int row) {
    if (!has(row))
        return false;
    m_set.entries.erase(m_set.entries.begin() + row);
    return true;
}

bool SetEditor::move(int row, int by) {
    if (!has(row) || !has(row + by) || by == 0)
        return false;
    std::swap(m_set.entries[static_cast<std::size_t>(row)], m_set.entries[static_cast<std::size_t>(row + by)]);
    return true;
}

bool SetEditor::setDie(int row, const QString& die) {
    const qsizetype at = known(die);
    if (!has(row) || at < 0)
        return false;
    m_set.entries[static_cast<std::size_t>(row)].die = m_dice[at];
    return true;
}

bool SetEditor::setCount(int row, std::int64_t count) {
    if (!has(row) || count < 1 || count > dice::kMostDicePerRoll ||
        m_set.diceCount() - this->row(row).count + count > dice::kMostDicePerRoll)
        return false;
    m_set.entries[static_cast<std::size_t>(row)].count = static_cast<std::int32_t>(count);
    return true;
}

bool SetEditor::missing(int row) const {
    return has(row) && known(this->row(row).die) < 0;
}

QString SetEditor::missingText() const {
    QStringList names;
    for (int row = 0; row < rowCount(); ++row) {
        const QString quoted = u'"' + this->row(row).die + u'"';
        if (missing(row) && !names.contains(quoted))
            names.append(quoted);
    }
    if (names.isEmpty())
        return {};
    if (names.size() == 1)
        return u"The library has no die named "_s + names.front() +
               u": it was renamed or deleted. Choose another die for its row, or remove the row, to roll the set."_s;
    return u"The library has no dice named "_s + names.join(u", "_s) +
           u": they were renamed or deleted. Choose other dice for their rows, or remove the rows, to roll the set."_s;
}

QString SetEditor::problem() const {
    return dice::setProblem(m_set);
}

} // namespace library
