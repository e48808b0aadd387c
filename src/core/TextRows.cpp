#include "TextRows.h"

#include <algorithm>

namespace core {

void TextRows::appendAll(const TextRows& other) {
    reserveAdditional(other.size(), other.charCount());
    const std::uint64_t base = m_chars.size();
    m_chars.insert(m_chars.end(), other.m_chars.begin(), other.m_chars.end());
    for (std::uint64_t end : other.m_ends)
        m_ends.push_back(base + end);
}

void TextRows::remove(std::int64_t row) {
    const auto r = static_cast<std::size_t>(row);
    const std::uint64_t begin = r == 0 ? 0 : m_ends[r - 1];
    const std::uint64_t end = m_ends[r];
    const std::uint64_t len = end - begin;
    m_chars.erase(m_chars.begin() + static_cast<std::ptrdiff_t>(begin),
                  m_chars.begin() + static_cast<std::ptrdiff_t>(end));
    m_ends.erase(m_ends.begin() + static_cast<std::ptrdiff_t>(r));
    for (std::size_t i = r; i < m_ends.size(); ++i)
        m_ends[i] -= len;
}

TextRows TextRows::copyRange(std::int64_t row, std::int64_t count) const {
    const auto first = static_cast<std::size_t>(row);
    const auto last = first + static_cast<std::size_t>(count);
    const std::uint64_t begin = first == 0 ? 0 : m_ends[first - 1];
    const std::uint64_t end = last == 0 ? 0 : m_ends[last - 1];
    TextRows copy;
    copy.m_chars.assign(m_chars.begin() + static_cast<std::ptrdiff_t>(begin),
                        m_chars.begin() + static_cast<std::ptrdiff_t>(end));
    copy.m_ends.reserve(last - first);
    for (std::size_t i = first; i < last; ++i)
        copy.m_ends.push_back(m_ends[i] - begin);
    return copy;
}

void TextRows::eraseRange(std::int64_t row, std::int64_t count) {
    const auto first = static_cast<std::size_t>(row);
    const auto last = first + static_cast<std::size_t>(count);
    const std::uint64_t begin = first == 0 ? 0 : m_ends[first - 1];
    const std::uint64_t end = last == 0 ? 0 : m_ends[last - 1];
    m_chars.erase(m_chars.begin() + static_cast<std::ptrdiff_t>(begin),
                  m_chars.begin() + static_cast<std::ptrdiff_t>(end));
    m_ends.erase(m_ends.begin() + static_cast<std::ptrdiff_t>(first),
                 m_ends.begin() + static_cast<std::ptrdiff_t>(last));
    for (std::size_t i = first; i < m_ends.size(); ++i)
        m_ends[i] -= end - begin;
}

void TextRows::insertRange(std::int64_t row, TextRows&& rows) {
    if (m_ends.empty() && m_chars.empty()) {
        *this = std::move(rows);
        rows = TextRows();
        return;
    }
    reserveAdditional(rows.size(), rows.charCount()); // the inserts below cannot fail after this
    const auto first = static_cast<std::size_t>(row);
    const std::uint64_t at = first == 0 ? 0 : m_ends[first - 1];
    const std::uint64_t added = rows.m_chars.size();
    m_chars.insert(m_chars.begin() + static_cast<std::ptrdiff_t>(at), rows.m_chars.begin(), rows.m_chars.end());
    for (std::size_t i = first; i < m_ends.size(); ++i)
        m_ends[i] += added;
    m_ends.insert(m_ends.begin() + static_cast<std::ptrdiff_t>(first), rows.m_ends.begin(), rows.m_ends.end());
    for (std::size_t i = first; i < first + rows.m_ends.size(); ++i)
        m_ends[i] += at;
    rows = TextRows();
}

void TextRows::clear() {
    // Release the memory too: the results list may have held millions of rows.
    std::vector<char16_t>().swap(m_chars);
    std::vector<std::uint64_t>().swap(m_ends);
}

void TextRows::reserve(std::int64_t rows, std::int64_t chars) {
    m_ends.reserve(static_cast<std::size_t>(rows));
    m_chars.reserve(static_cast<std::size_t>(chars));
}

void TextRows::reserveAdditional(std::int64_t rows, std::int64_t chars) {
    // Geometric growth: an exact reserve per batch would copy everything again for every small batch.
    const auto grow = [](auto& vector, std::size_t extra) {
        const std::size_t needed = vector.size() + extra;
        if (needed > vector.capacity())
            vector.reserve(std::max(needed, vector.capacity() * 2));
    };
    grow(m_chars, static_cast<std::size_t>(chars));
    grow(m_ends, static_cast<std::size_t>(rows));
}

void TextRows::shrinkToFit() {
    m_chars.shrink_to_fit();
    m_ends.shrink_to_fit();
}

} // namespace core
