#pragma once

// The rows of a set as the library window edits them: which die each row rolls and how many of it,
// in roll order. It knows the library's dice, so a row can only be given a die the library has, and a
// row whose die has gone (deleted, or renamed, since sets keep the name they were given) stays as it
// is and is reported, never dropped. A value: the window tries a change on a copy and keeps it once
// the set is saved.

#include "dice/DiceSet.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace library {

class SetEditor {
public:
    SetEditor() = default;
    // The set's rows, and the names of the library's dice as it spells them.
    SetEditor(dice::DiceSet set, QStringList dice);

    const QString& name() const { return m_set.name; }
    int rowCount() const { return static_cast<int>(m_set.entries.size()); }
    const dice::SetEntry& row(int row) const { return m_set.entries[static_cast<std::size_t>(row)]; }
    const QStringList& dice() const { return m_dice; }
    const dice::DiceSet& set() const { return m_set; }

    // A row after `after` (at the end when it is out of range) of one die that the set does not roll
    // yet, or of the first die when it rolls them all; returns its row, or -1 when the library has no
    // dice.
    int add(int after);
    bool remove(int row);
    // Swaps the row with the one above or below; false at either end.
    bool move(int row, int by);
    // False for a die the library does not have, and for a count outside 1 to what a roll can hold
    // with the other rows.
    bool setDie(int row, const QString& die);
    bool setCount(int row, std::int64_t count);

    // A row naming a die the library does not have.
    bool missing(int row) const;
    // "The library has no die named "Coin"; ..." when a row names one; empty when none does.
    QString missingText() const;
    // What keeps the set from being saved; empty when nothing does.
    QString problem() const;

private:
    bool has(int row) const { return row >= 0 && row < rowCount(); }
    // The index in m_dice of the die of that name (any case), or -1.
    qsizetype known(const QString& die) const;

    dice::DiceSet m_set;
    QStringList m_dice;
};

} // namespace library
