#include "Utf8Labels.h"

#include "platform/RuntimeError.h"

#include <QHashFunctions>

#include <algorithm>
#include <bit>
#include <limits>

namespace dice {

void Utf8Labels::endRow() {
    const std::uint64_t total = m_bytes.size();
    while (m_steps.size() < (total >> 32))
        m_steps.push_back(size());
    m_ends.push_back(static_cast<std::uint32_t>(total));
}

std::uint64_t Utf8Labels::end(std::int64_t row) const {
    const std::uint64_t low = m_ends[static_cast<std::size_t>(row)];
    if (m_steps.empty())
        return low;
    const auto steps = std::upper_bound(m_steps.begin(), m_steps.end(), row) - m_steps.begin();
    return (static_cast<std::uint64_t>(steps) << 32) | low;
}

namespace {

constexpr std::size_t kFirstSlots = 64;

} // namespace

Utf8LabelIndex::Utf8LabelIndex(const Utf8Labels& labels)
    : m_labels(labels) {
    clear();
}

std::size_t Utf8LabelIndex::hashOf(QByteArrayView text) {
    return qHash(text, 0x9e3779b9U);
}

std::uint32_t Utf8LabelIndex::entryOf(std::size_t hash, std::int64_t row) const {
    const int hashBits = 32 - m_rowBits;
    const std::uint64_t top = hashBits == 0 ? 0 : static_cast<std::uint64_t>(hash) >> (64 - hashBits);
    return static_cast<std::uint32_t>((top << m_rowBits) | static_cast<std::uint64_t>(row + 1));
}

bool Utf8LabelIndex::addUnlessPresent(QByteArrayView text, std::int64_t row) {
    if ((m_used + 1) * 4 > m_slots.size() * 3) {
        if (m_slots.size() >= (std::size_t{1} << 31))
            throw platform::RuntimeError(platform::RuntimeError::OutOfMemory);
        regrow(m_slots.size() * 2);
    }
    const std::size_t hash = hashOf(text);
    const std::uint32_t entry = entryOf(hash, row);
    const std::uint32_t rowMask = static_cast<std::uint32_t>((std::uint64_t{1} << m_rowBits) - 1);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    for (; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t other = m_slots[slot];
        if ((other & ~rowMask) == (entry & ~rowMask) && m_labels.at((other & rowMask) - 1) == text)
            return false;
    }
    m_slots[slot] = entry;
    ++m_used;
    return true;
}

void Utf8LabelIndex::clear() {
    std::vector<std::uint32_t>().swap(m_slots);
    m_used = 0;
    regrow(kFirstSlots);
}

void Utf8LabelIndex::regrow(std::size_t capacity) {
    std::vector<std::uint32_t> old(capacity, 0);
    old.swap(m_slots);
    const int oldRowBits = m_rowBits;
    // Every row indexed is below the number of slots taken, which stays below the slot count.
    m_rowBits = std::countr_zero(capacity) + 1;
    const std::size_t mask = capacity - 1;
    for (const std::uint32_t entry : old) {
        if (entry == 0)
            continue;
        const std::int64_t row = static_cast<std::int64_t>(entry & ((std::uint64_t{1} << oldRowBits) - 1)) - 1;
        const std::size_t hash = hashOf(m_labels.at(row));
        std::size_t slot = hash & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = entryOf(hash, row);
    }
}

} // namespace dice
