#include "TextIndex.h"

#include "platform/RuntimeError.h"

#include <QHashFunctions>

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

bool TextIndex::contains(QStringView text, std::uint32_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t row = m_slots[slot] - 1;
        if (m_hashes[row] == hash && m_rows.at(row) == text)
            return true;
    }
    return false;
}

void TextIndex::add(std::uint32_t hash) {
    const std::size_t row = m_hashes.size();
    if (row >= std::numeric_limits<std::uint32_t>::max() - 1)
        throw platform::RuntimeError(platform::RuntimeError::OutOfMemory);
    // An equal text indexed already answers for this one too: it takes no slot of its own.
    if (contains(m_rows.at(static_cast<std::int64_t>(row)), hash)) {
        m_hashes.push_back(hash);
        return;
    }
    m_hashes.push_back(hash);
    if ((m_used + 1) * 2 > m_slots.size())
        regrow(m_slots.size() * 2);
    place(static_cast<std::uint32_t>(row));
}

void TextIndex::addNewRows() {
    for (auto row = static_cast<std::int64_t>(m_hashes.size()); row < m_rows.size(); ++row)
        add(hashOf(m_rows.at(row)));
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
