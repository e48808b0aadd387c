#include "StoredSides.h"

#include "Die.h"
#include "SideWeights.h"

#include <QJsonArray>
#include <QJsonDocument>

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

QString joinStoredWeights(const core::ListModel& sides, const SideWeights& weights) {
    QJsonArray pairs;
    for (std::int64_t i = 1; i <= sides.itemCount(); ++i) {
        const std::uint32_t weight = weights.weightOf(sides.textView(i));
        if (weight != 1)
            pairs.append(QJsonArray{sides.text(i), static_cast<qint64>(weight)});
    }
    return pairs.isEmpty() ? QString() : QString::fromUtf8(QJsonDocument(pairs).toJson(QJsonDocument::Compact));
}

void restoreStoredWeights(QStringView stored, SideWeights& weights) {
    const QJsonDocument document = QJsonDocument::fromJson(stored.toUtf8());
    for (const QJsonValue pair : document.array()) {
        const QJsonArray fields = pair.toArray();
        const qint64 weight = fields.at(1).toInteger(-1);
        if (fields.size() == 2 && fields.at(0).isString() && weight >= 0 && weight <= kMostWeight)
            weights.set(fields.at(0).toString(), static_cast<std::uint32_t>(weight));
    }
}

} // namespace dice
