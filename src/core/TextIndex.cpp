#include "TextIndex.h"

#include "platform/RuntimeError.h"

#include <QHashFunctions>

#include <algorithm>
#include <limits>

namespace core {

namespace {

constexpr std::size_t kFirstSlots = 64;

} // namespace

TextIndex::TextIndex(const TextRows& rows)
    : m_rows(rows)
    , m_slots(kFirstSlots, 0) {
    addNewRows();
}

std::uint32_t TextIndex::hashOf(QStringView text) {
    return static_cast<std::uint32_t>(qHash(text, 0x9e3779b9U));
}

std::int64_t TextIndex::find(QStringView text, std::uint32_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t row = m_slots[slot] - 1;
        if (m_hashes[row] == hash && m_rows.at(row) == text)
            return row;
    }
    return -1;
}

void TextIndex::add(std::uint32_t hash) {
    const std::size_t row = m_hashes.size();
    if (row >= std::numeric_limits<std::uint32_t>::max() - 1)
        throw platform::RuntimeError(platform::RuntimeError::OutOfMemory);
    if ((m_used + 1) * 2 > m_slots.size())
        regrow(m_slots.size() * 2);
    m_hashes.push_back(hash);
    // One probe serves both: an equal text indexed already answers for this one too, so it takes no
    // slot of its own; otherwise the row goes where the probe ended.
    const QStringView text = m_rows.at(static_cast<std::int64_t>(row));
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = hash & mask;
    for (; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t other = m_slots[slot] - 1;
        if (m_hashes[other] == hash && m_rows.at(other) == text)
            return;
    }
    m_slots[slot] = static_cast<std::uint32_t>(row) + 1;
    ++m_used;
}

void TextIndex::addNewRows() {
    // A large table is mostly out of the cache, and a slot is read once per row: hash a few rows ahead
    // and ask for their slots early, so the memory reads overlap instead of waiting one after another.
    constexpr std::int64_t kAhead = 16;
    std::uint32_t hashes[kAhead];
    const std::int64_t end = m_rows.size();
    for (auto row = static_cast<std::int64_t>(m_hashes.size()); row < end; row += kAhead) {
        const std::int64_t n = std::min(kAhead, end - row);
        const std::size_t mask = m_slots.size() - 1;
        for (std::int64_t i = 0; i < n; ++i) {
            hashes[i] = hashOf(m_rows.at(row + i));
            __builtin_prefetch(&m_slots[hashes[i] & mask]);
        }
        for (std::int64_t i = 0; i < n; ++i)
            add(hashes[i]);
    }
}

void TextIndex::truncate(std::int64_t rows) {
    if (rows >= static_cast<std::int64_t>(m_hashes.size()))
        return;
    const std::size_t mask = m_slots.size() - 1;
    for (auto row = static_cast<std::uint32_t>(m_hashes.size()); row-- > static_cast<std::uint32_t>(rows);) {
        // Only the first of equal texts holds a slot, and the equal ones after it go too.
        std::size_t hole = m_hashes[row] & mask;
        while (m_slots[hole] != 0 && m_slots[hole] != row + 1)
            hole = (hole + 1) & mask;
        if (m_slots[hole] == 0)
            continue;
        // Backward-shift deletion: move up every later entry of the run whose probe passed the hole.
        for (std::size_t next = (hole + 1) & mask; m_slots[next] != 0; next = (next + 1) & mask) {
            const std::size_t home = m_hashes[m_slots[next] - 1] & mask;
            if (((next - home) & mask) >= ((next - hole) & mask)) {
                m_slots[hole] = m_slots[next];
                hole = next;
            }
        }
        m_slots[hole] = 0;
        --m_used;
    }
    m_hashes.resize(static_cast<std::size_t>(rows));
}

void TextIndex::reserve(std::int64_t rows) {
    std::size_t capacity = m_slots.size();
    while (capacity < static_cast<std::size_t>(rows) * 2)
        capacity *= 2;
    if (capacity != m_slots.size())
        regrow(capacity);
    m_hashes.reserve(static_cast<std::size_t>(rows));
}

void TextIndex::rebuild() {
    clear();
    reserve(m_rows.size());
    addNewRows();
}

void TextIndex::clear() {
    m_slots.assign(kFirstSlots, 0);
    std::vector<std::uint32_t>().swap(m_hashes);
    m_used = 0;
}

void TextIndex::place(std::uint32_t row) {
    const std::size_t mask = m_slots.size() - 1;
    std::size_t slot = m_hashes[row] & mask;
    while (m_slots[slot] != 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = row + 1;
    ++m_used;
}

void TextIndex::regrow(std::size_t capacity) {
    std::vector<std::uint32_t> old(capacity, 0);
    old.swap(m_slots);
    m_used = 0;
    for (std::uint32_t entry : old) {
        if (entry != 0)
            place(entry - 1);
    }
}

} // namespace core
