#pragma once

#include "TextRows.h"

#include <QStringView>

#include <cstdint>
#include <vector>

namespace core {

// Answers "is this text one of the rows?" in constant time, for the duplicate test of the sides list
// and of a side-list file being read. Open addressing over the row numbers of a TextRows it does not
// own; each row's hash is kept, so probing rarely compares texts and growing never hashes a text again.
// Rows are indexed in order, as they are appended; the last rows can be dropped again (truncate), any
// other removal needs rebuild(), as it renumbers rows.
class TextIndex {
public:
    explicit TextIndex(const TextRows& rows);

    static std::uint32_t hashOf(QStringView text);

    bool contains(QStringView text) const { return contains(text, hashOf(text)); }
    bool contains(QStringView text, std::uint32_t hash) const { return find(text, hash) >= 0; }
    // The first row with the text, or -1.
    std::int64_t find(QStringView text) const { return find(text, hashOf(text)); }
    std::int64_t find(QStringView text, std::uint32_t hash) const;

    // Indexes the next row, whose text hashes to hash.
    void add(std::uint32_t hash);
    // Indexes every row appended since the last call.
    void addNewRows();
    // Room for that many rows in all, so a batch does not double its way up.
    void reserve(std::int64_t rows);
    void rebuild();
    void clear();
    // Forgets the rows from this one on, which the rows no longer hold.
    void truncate(std::int64_t rows);

private:
    void place(std::uint32_t row);
    void regrow(std::size_t capacity);

    const TextRows& m_rows;
    std::vector<std::uint32_t> m_slots;  // row + 1; 0 is empty
    std::vector<std::uint32_t> m_hashes; // one per indexed row
    std::size_t m_used = 0;              // slots taken: equal texts take one
};

} // namespace core
