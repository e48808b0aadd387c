#pragma once

#include "core/RollMode.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include <cstdint>

namespace history {

// What a roll was rolled from: the sides list (of the window or the command line), or a set of
// different dice, which carries its name.
struct RollOrigin {
    enum class Kind : std::uint8_t { Sides, Set };
    Kind kind = Kind::Sides;
    QString name; // the set's or library die's name; empty for the sides list

    static RollOrigin sides() { return {}; }
    static RollOrigin set(const QString& name) { return {Kind::Set, name}; }
};

// One entry of the history as lists show it: all but its rows.
struct EntrySummary {
    std::int64_t id = 0;
    QDateTime time; // UTC, to the millisecond
    RollOrigin origin;
    core::RollMode mode = core::RollMode::Independent;
    std::int32_t dice = 0;
    std::int64_t rolls = 0;
    QString die;         // the die's name, or its sides as they were, shortened for a list
    QString fingerprint; // SHA-256 in lower-case hex of the copied rows (Fingerprint.h)
    QString firstRow;    // shortened for a list
    std::int64_t bytes = 0;
};

// The entry's time as ISO 8601 with the local offset, as the command line prints it.
QString isoTime(const EntrySummary& entry);

} // namespace history

Q_DECLARE_METATYPE(history::EntrySummary)
