#include "RollWriter.h"

#include "ByteSink.h"

#include "core/TextRows.h"

#include <QStringEncoder>

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

} // namespace

RollWriter::RollWriter(const core::TextRows& sides) {
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    m_ends.reserve(static_cast<std::size_t>(sides.size()));
    m_entries.reserve(static_cast<std::size_t>(sides.charCount()) + m_ends.capacity() * kSeparatorSize);
    for (std::int64_t i = 0; i < sides.size(); ++i) {
        const QStringView label = sides.at(i);
        const std::size_t begin = m_entries.size();
        m_entries.resize(begin + static_cast<std::size_t>(encoder.requiredSpace(label.size())));
        char* end = encoder.appendToBuffer(m_entries.data() + begin, label);
        m_entries.resize(static_cast<std::size_t>(end - m_entries.data()));
        m_entries.insert(m_entries.end(), kSeparator, kSeparator + kSeparatorSize);
        m_ends.push_back(m_entries.size());
        m_longestEntry = std::max(m_longestEntry, m_entries.size() - begin);
    }
}

bool RollWriter::write(RollDraws& draws, SeededGenerator& generator, std::int64_t dice, std::int64_t rolls,
                       ByteSink& sink) const {
    if (m_longestEntry <= kSlotBytes) {
        // Short labels, the usual case: each entry in a slot of its own, padded to the slot's size.
        std::vector<std::array<char, kSlotBytes>> slotTable(m_ends.size());
        std::vector<std::uint8_t> lengths(m_ends.size());
        for (std::size_t i = 0; i < m_ends.size(); ++i) {
            const std::uint64_t begin = i == 0 ? 0 : m_ends[i - 1];
            lengths[i] = static_cast<std::uint8_t>(m_ends[i] - begin);
            std::memcpy(slotTable[i].data(), m_entries.data() + begin, lengths[i]);
        }
        auto copySlot = [&](char* out, std::uint64_t side) {
            std::memcpy(out, slotTable[side].data(), kSlotBytes);
            return out + lengths[side];
        };
        return writeWith(copySlot, kSlotBytes, draws, generator, dice, rolls, sink);
    }
    auto copyEntry = [&](char* out, std::uint64_t side) {
        const std::uint64_t begin = side == 0 ? 0 : m_ends[side - 1];
        const std::size_t length = m_ends[side] - begin;
        std::memcpy(out, m_entries.data() + begin, length);
        return out + length;
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
