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
