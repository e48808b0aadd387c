#pragma once

// What is kept of the die between runs, each under its own settings key. The window stores it at
// its close and soon after every change, and restores it at its start; `roll` rolls it when given no
// other sides. Anything more that is kept of the die gets its key and its format here, beside these.

#include <QList>
#include <QString>
#include <QStringView>

namespace core {
class ListModel;
}

namespace dice {

class SideWeights;

// The sides: their labels in list order joined by ';', with none after the last; an empty list is the
// empty text. Restoring splits the text at every ';' (a plain split: ";;" and a trailing ';' give empty
// pieces) and keeps every piece but the empty ones, equal pieces included. The pieces view the text.
inline constexpr char16_t kStoredSidesKey[] = u"Dice";

QString joinStoredSides(const core::ListModel& sides);
QList<QStringView> splitStoredSides(QStringView stored);
inline bool isStoredSide(QStringView piece) {
    return !piece.isEmpty();
}

// The weights of the sides that weigh other than 1, beside "Dice" so that a copy that knows no weights
// still reads the labels: a JSON array of [label, weight] pairs in list order, the empty text when
// every side weighs 1. Restoring gives each pair's label its weight and skips what does not read.
inline constexpr char16_t kStoredWeightsKey[] = u"DiceWeights";
QString joinStoredWeights(const core::ListModel& sides, const SideWeights& weights);
void restoreStoredWeights(QStringView stored, SideWeights& weights);

} // namespace dice
