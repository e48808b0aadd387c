#pragma once

#include <QList>
#include <QStringView>

namespace dice {

// The "Dice" setting holds the side labels in list order joined by ';'. Restoring splits it at every
// ';' (a plain split: ";;" and a trailing ';' give empty pieces); the caller skips the empty pieces
// and appends every other one, equal pieces included. The pieces view the stored text.
QList<QStringView> splitStoredSides(QStringView stored);

} // namespace dice
