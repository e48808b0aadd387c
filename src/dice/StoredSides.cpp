#include "StoredSides.h"

namespace dice {

QList<QStringView> splitStoredSides(QStringView stored) {
    return stored.split(u';');
}

} // namespace dice
