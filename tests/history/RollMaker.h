#pragma once

// Rolls for the history's tests, made without the roll code: labels and a draw per die from a fixed
// sequence, so a test sees the same rows every run.

#include "core/DrawRows.h"

#include <QStringList>

#include <memory>

namespace fakes {

inline core::DrawRows makeRoll(const QStringList& labels, std::int32_t dice, std::int64_t rolls,
                               core::RollMode mode = core::RollMode::Independent,
                               std::shared_ptr<const core::DiceLayout> layout = {}) {
    auto sides = std::make_shared<core::TextRows>();
    for (const QString& label : labels)
        sides->append(label);
    core::DrawRows rows(sides, dice, mode, std::move(layout));
    const std::uint64_t count = labels.isEmpty() ? 1 : std::uint64_t(labels.size());
    rows.build([&](auto& all) {
        using Index = std::decay_t<decltype(all[0])>;
        std::uint64_t state = 0x9e3779b97f4a7c15u;
        for (std::int64_t i = 0; i < rolls * dice; ++i) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            all.push_back(static_cast<Index>((state >> 33) % count)); // past no labels reads as empty
        }
    });
    return rows;
}

} // namespace fakes
