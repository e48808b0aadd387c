#include "RollWriter.h"

#include "ByteSink.h"

#include "dice/Utf8Labels.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace cli {

namespace {

constexpr char kSeparator[] = " - ";
constexpr std::size_t kSeparatorSize = sizeof(kSeparator) - 1;
constexpr std::size_t kBlockBytes = 1024 * 1024;
// Dice drawn per call: a roll of many more dice is drawn in pieces of this many, in the same order.
constexpr std::int64_t kDrawChunk = 4096;
// Entries up to this size are copied as one fixed-size move, which is much cheaper than a copy of
// variable length; the block keeps this much room past its end for it.
constexpr std::size_t kSlotBytes = 16;
// Up to this many sides: beyond, the table of slots would cost more memory than the labels themselves,
// and its random reads miss the cache anyway.
constexpr std::int64_t kMostSlotSides = std::int64_t{1} << 20;

} // namespace

RollWriter::RollWriter(const dice::Utf8Labels& sides)
    : m_sides(sides) {
    for (std::int64_t i = 0; i < sides.size(); ++i)
        m_longestEntry = std::max(m_longestEntry, static_cast<std::size_t>(sides.at(i).size()) + kSeparatorSize);
}

std::uint64_t RollWriter::sideCount() const {
    return static_cast<std::uint64_t>(m_sides.size());
}

bool RollWriter::write(RollDraws& draws, SeededGenerator& generator, std::int64_t dice, std::int64_t rolls,
                       ByteSink& sink) const {
    if (m_longestEntry <= kSlotBytes && m_sides.size() <= kMostSlotSides) {
        // Short labels, the usual case: each entry in a slot of its own, padded to the slot's size.
        const auto count = static_cast<std::size_t>(m_sides.size());
        std::vector<std::array<char, kSlotBytes>> slotTable(count);
        std::vector<std::uint8_t> lengths(count);
        for (std::size_t i = 0; i < count; ++i) {
            const QByteArrayView label = m_sides.at(static_cast<std::int64_t>(i));
            std::memcpy(slotTable[i].data(), label.data(), static_cast<std::size_t>(label.size()));
            std::memcpy(slotTable[i].data() + label.size(), kSeparator, kSeparatorSize);
            lengths[i] = static_cast<std::uint8_t>(static_cast<std::size_t>(label.size()) + kSeparatorSize);
        }
        auto copySlot = [&](char* out, std::uint64_t side) {
            std::memcpy(out, slotTable[side].data(), kSlotBytes);
            return out + lengths[side];
        };
        return writeWith(copySlot, kSlotBytes, draws, generator, dice, rolls, sink);
    }
    auto copyEntry = [&](char* out, std::uint64_t side) {
        const QByteArrayView label = m_sides.at(static_cast<std::int64_t>(side));
        std::memcpy(out, label.data(), static_cast<std::size_t>(label.size()));
        out += label.size();
        std::memcpy(out, kSeparator, kSeparatorSize);
        return out + kSeparatorSize;
    };
    return writeWith(copyEntry, m_longestEntry, draws, generator, dice, rolls, sink);
}

template <class CopyEntry>
bool RollWriter::writeWith(CopyEntry copyEntry, std::size_t longestEntry, RollDraws& draws, SeededGenerator& generator,
                           std::int64_t dice, std::int64_t rolls, ByteSink& sink) const {
    // The block is flushed before an entry once it holds kBlockBytes, so one entry more always fits.
    std::vector<char> block(kBlockBytes + longestEntry);
    char* const start = block.data();
    char* const flushAt = start + kBlockBytes;
    char* out = start;
    std::vector<std::uint64_t> indices(static_cast<std::size_t>(std::min(dice, kDrawChunk)));

    for (std::int64_t roll = 0; roll < rolls; ++roll) {
        for (std::int64_t left = dice; left > 0;) {
            const auto count = static_cast<std::size_t>(std::min(left, kDrawChunk));
            const std::span<std::uint64_t> chunk(indices.data(), count);
            draws.draw(generator, chunk);
            for (const std::uint64_t side : chunk) {
                if (out >= flushAt) {
                    if (!sink.write({start, static_cast<std::size_t>(out - start)}))
                        return false;
                    out = start;
                }
                out = copyEntry(out, side);
            }
            left -= static_cast<std::int64_t>(count);
        }
        // The last entry is still in the block: its separator becomes the line's end.
        out -= kSeparatorSize;
        *out++ = '\n';
    }
    return sink.write({start, static_cast<std::size_t>(out - start)});
}

} // namespace cli
