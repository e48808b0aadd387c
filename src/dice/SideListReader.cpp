#include "SideListReader.h"

#include "platform/ListModel.h"
#include "platform/RuntimeError.h"

#include <QHashFunctions>

#include <limits>

namespace dice {

namespace {

constexpr std::size_t kFirstSlots = 64;

std::uint32_t hashOf(QStringView line) {
    return static_cast<std::uint32_t>(qHash(line, 0x5bd1e995U));
}

} // namespace

SideListReader::SideListReader(const platform::ListModel& list)
    : m_list(list)
    , m_listEmpty(list.itemCount() == 0)
    , m_slots(kFirstSlots, 0) {}

void SideListReader::feed(QByteArrayView bytes) {
    take(m_decoder.decode(bytes));
}

platform::TextRows SideListReader::finish() {
    take(m_decoder.finish());
    endLine();
    platform::TextRows rows = std::move(m_rows);
    m_rows = {};
    return rows;
}

void SideListReader::take(QStringView text) {
    // The characters go straight into the batch as the pending row; a line that is not kept is
    // dropped from it again. So a line of any length is held once, not once per copy.
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            m_rows.appendPiece(text.sliced(start, i - start));
            endLine();
            start = i + 1;
        }
    }
    m_rows.appendPiece(text.sliced(start));
}

void SideListReader::endLine() {
    const QStringView line = m_rows.pending();
    if (line.isEmpty())
        return;
    const std::uint32_t hash = hashOf(line);
    if ((!m_listEmpty && m_list.containsText(line)) || alreadySeen(line, hash)) {
        m_rows.dropPendingChars(line.size());
        return;
    }
    if (m_hashes.size() >= std::numeric_limits<std::uint32_t>::max() - 1)
        throw platform::RuntimeError(platform::RuntimeError::OutOfMemory);
    m_rows.endRow();
    remember(hash);
}

bool SideListReader::alreadySeen(QStringView line, std::uint32_t hash) const {
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = hash & mask; m_slots[slot] != 0; slot = (slot + 1) & mask) {
        const std::uint32_t row = m_slots[slot] - 1;
        if (m_hashes[row] == hash && m_rows.at(row) == line)
            return true;
    }
    return false;
}

void SideListReader::remember(std::uint32_t hash) {
    m_hashes.push_back(hash);
    if (m_hashes.size() * 2 > m_slots.size())
        grow();
    else {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = hash & mask;
        while (m_slots[slot] != 0)
            slot = (slot + 1) & mask;
        m_slots[slot] = static_cast<std::uint32_t>(m_hashes.size());
    }
}

void SideListReader::grow() {
    // Rebuilt from the kept hashes: no text is hashed twice.
    std::vector<std::uint32_t> table(m_slots.size() * 2, 0);
    const std::size_t mask = table.size() - 1;
    for (std::size_t row = 0; row < m_hashes.size(); ++row) {
        std::size_t slot = m_hashes[row] & mask;
        while (table[slot] != 0)
            slot = (slot + 1) & mask;
        table[slot] = static_cast<std::uint32_t>(row + 1);
    }
    m_slots.swap(table);
}

} // namespace dice
