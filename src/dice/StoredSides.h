#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace core {
class ListModel;
}

namespace dice {

// The "Dice" setting holds the side labels in list order joined by ';', with none after the last; an
// empty list is the empty text. Restoring splits it at every ';' (a plain split: ";;" and a trailing ';'
// give empty pieces); the caller skips the empty pieces and appends every other one, equal pieces
// included. The pieces view the stored text.
QString joinStoredSides(const core::ListModel& sides);
QList<QStringView> splitStoredSides(QStringView stored);

} // namespace dice
