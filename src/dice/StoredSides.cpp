#include "StoredSides.h"

#include "core/ListModel.h"

namespace dice {

QString joinStoredSides(const core::ListModel& sides) {
    const std::int64_t count = sides.itemCount();
    qsizetype length = 0;
    for (std::int64_t i = 1; i <= count; ++i)
        length += sides.textLength(i) + 1;
    QString text;
    text.reserve(length);
    for (std::int64_t i = 1; i <= count; ++i) {
        if (i > 1)
            text += u';';
        text += sides.textView(i);
    }
    return text;
}

QList<QStringView> splitStoredSides(QStringView stored) {
    return stored.split(u';');
}

core::TextRows restoreStoredSides(QStringView stored) {
    core::TextRows sides;
    for (const QStringView piece : splitStoredSides(stored)) {
        if (isStoredSide(piece))
            sides.append(piece);
    }
    return sides;
}

} // namespace dice
