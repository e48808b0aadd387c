#include "RollStatistics.h"

#include "ByteSink.h"

#include "stats/Export.h"

#include <QByteArray>

#include <algorithm>
#include <vector>

namespace cli {

namespace {

// Dice drawn and counted per block.
constexpr std::int64_t kBlockDice = 4096;
constexpr qsizetype kFlushBytes = 1024 * 1024;

void countRolls(stats::Tally& tally, RollDraws& draws, SeededGenerator& generator, std::int64_t dice,
                std::int64_t rolls) {
    const std::int64_t rollsPerBlock = kBlockDice / dice; // none when a roll is larger than a block
    std::vector<std::uint64_t> block(static_cast<std::size_t>(rollsPerBlock > 0 ? rollsPerBlock * dice : kBlockDice));
    for (std::int64_t done = 0; done < rolls;) {
        if (rollsPerBlock > 0) {
            const std::int64_t now = std::min(rolls - done, rollsPerBlock);
            const std::span<std::uint64_t> drawn(block.data(), static_cast<std::size_t>(now * dice));
            draws.draw(generator, drawn);
            tally.add(drawn);
            done += now;
            continue;
        }
        for (std::int64_t left = dice; left > 0;) {
            const std::span<std::uint64_t> drawn(block.data(), static_cast<std::size_t>(std::min(left, kBlockDice)));
            draws.draw(generator, drawn);
            tally.add(drawn);
            left -= std::ssize(drawn);
        }
        ++done;
    }
}

} // namespace

bool writeStatistics(std::shared_ptr<const core::TextRows> sides, core::RollMode mode, RollDraws& draws,
                     SeededGenerator& generator, std::int64_t dice, std::int64_t rolls, ByteSink& sink,
                     std::shared_ptr<const core::DiceLayout> layout) {
    stats::Tally counted(std::move(sides), static_cast<std::int32_t>(dice), mode, std::move(layout));
    countRolls(counted, draws, generator, dice, rolls);

    QByteArray text;
    bool open = true; // until the reader goes away
    const auto line = [&](QStringView line) {
        if (!open)
            return;
        text += line.toUtf8();
        text += '\n';
        if (text.size() >= kFlushBytes) {
            open = sink.write({text.constData(), static_cast<std::size_t>(text.size())});
            text.clear();
        }
    };
    stats::writeTally(counted, line);
    return open && sink.write({text.constData(), static_cast<std::size_t>(text.size())});
}

} // namespace cli
