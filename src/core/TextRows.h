#pragma once

#include <QStringView>

#include <cstdint>
#include <vector>

namespace core {

// Many short texts kept back to back in one UTF-16 buffer, with one end offset per row.
// Rows are addressed from 0 here; the list-control positions (from 1) live in ListModel.
class TextRows {
public:
    std::int64_t size() const { return static_cast<std::int64_t>(m_ends.size()); }
    bool empty() const { return m_ends.empty(); }
    std::int64_t charCount() const { return static_cast<std::int64_t>(m_chars.size()); }

    QStringView at(std::int64_t row) const {
        const std::uint64_t begin = row == 0 ? 0 : m_ends[static_cast<std::size_t>(row - 1)];
        const std::uint64_t end = m_ends[static_cast<std::size_t>(row)];
        return QStringView(m_chars.data() + begin, static_cast<qsizetype>(end - begin));
    }
    std::int64_t length(std::int64_t row) const {
        const std::uint64_t begin = row == 0 ? 0 : m_ends[static_cast<std::size_t>(row - 1)];
        return static_cast<std::int64_t>(m_ends[static_cast<std::size_t>(row)] - begin);
    }

    void append(QStringView text) {
        const auto* data = reinterpret_cast<const char16_t*>(text.utf16());
        m_chars.insert(m_chars.end(), data, data + text.size());
        m_ends.push_back(m_chars.size());
    }

    // Builds a row from pieces without a temporary string: appendPiece() ... then endRow().
    void appendPiece(QStringView piece) {
        const auto* data = reinterpret_cast<const char16_t*>(piece.utf16());
        m_chars.insert(m_chars.end(), data, data + piece.size());
    }
    void endRow() { m_ends.push_back(m_chars.size()); }
    std::int64_t pendingLength() const {
        return static_cast<std::int64_t>(m_chars.size() - (m_ends.empty() ? 0 : m_ends.back()));
    }
    QStringView pending() const {
        const std::uint64_t begin = m_ends.empty() ? 0 : m_ends.back();
        return QStringView(m_chars.data() + begin, static_cast<qsizetype>(m_chars.size() - begin));
    }
    void dropPendingChars(std::int64_t n) { m_chars.resize(m_chars.size() - static_cast<std::size_t>(n)); }

    void appendAll(const TextRows& other); // all or nothing: throws before it changes anything
    void remove(std::int64_t row);
    // Rows [row, row + count) as a batch of their own; the copy is one block of characters.
    TextRows copyRange(std::int64_t row, std::int64_t count) const;
    void eraseRange(std::int64_t row, std::int64_t count);
    // Puts the batch in before row (size() appends) and leaves it empty. Into empty rows the batch's
    // storage moves whole, so a list taken out and put back is never copied. All or nothing.
    void insertRange(std::int64_t row, TextRows&& rows);
    void clear();
    void reserve(std::int64_t rows, std::int64_t chars);
    void reserveAdditional(std::int64_t rows, std::int64_t chars); // room for that much more, growing geometrically
    void shrinkToFit();
    std::size_t bytesUsed() const {
        return m_chars.capacity() * sizeof(char16_t) + m_ends.capacity() * sizeof(std::uint64_t);
    }
    std::size_t bytesNeeded() const {
        return m_chars.size() * sizeof(char16_t) + m_ends.size() * sizeof(std::uint64_t);
    }

private:
    std::vector<char16_t> m_chars;
    std::vector<std::uint64_t> m_ends;
};

} // namespace core
