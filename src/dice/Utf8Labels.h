#pragma once

#include <QByteArrayView>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace dice {

// A growing array of plain values in one block from realloc(): a large block grows where it is or is
// moved by the system without a copy, so growing never holds an old and a new block at once.
template <class T> class ReallocArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    ReallocArray() = default;
    ~ReallocArray() { std::free(m_data); }
    ReallocArray(ReallocArray&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr))
        , m_size(std::exchange(other.m_size, 0))
        , m_capacity(std::exchange(other.m_capacity, 0)) {}
    ReallocArray& operator=(ReallocArray&& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
        return *this;
    }
    ReallocArray(const ReallocArray&) = delete;
    ReallocArray& operator=(const ReallocArray&) = delete;

    std::size_t size() const { return m_size; }
    const T* data() const { return m_data; }
    T* data() { return m_data; }
    const T& operator[](std::size_t i) const { return m_data[i]; }
    T& operator[](std::size_t i) { return m_data[i]; }
    std::size_t bytesUsed() const { return m_capacity * sizeof(T); }

    void append(const T* values, std::size_t count) {
        if (m_size + count > m_capacity)
            grow(m_size + count);
        if (count != 0)
            std::memcpy(m_data + m_size, values, count * sizeof(T));
        m_size += count;
    }
    void push_back(T value) { append(&value, 1); }
    // Values beyond the new size are left as they are when it grows.
    void resize(std::size_t size) {
        if (size > m_capacity)
            grow(size);
        m_size = size;
    }

private:
    void grow(std::size_t needed) {
        const std::size_t capacity = std::max({needed, m_capacity + m_capacity / 2, std::size_t{64}});
        void* grown = std::realloc(m_data, capacity * sizeof(T));
        if (grown == nullptr)
            throw std::bad_alloc();
        m_data = static_cast<T*>(grown);
        m_capacity = capacity;
    }

    T* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

// A die's side labels in UTF-8, back to back, as the command line reads and writes them: a byte per
// Latin character and four bytes per label, where core::TextRows takes two and eight.
class Utf8Labels {
public:
    std::int64_t size() const { return static_cast<std::int64_t>(m_ends.size()); }
    bool empty() const { return m_ends.size() == 0; }
    std::uint64_t byteCount() const { return m_bytes.size(); }
    std::size_t bytesUsed() const { return m_bytes.bytesUsed() + m_ends.bytesUsed(); }

    QByteArrayView at(std::int64_t row) const {
        const std::uint64_t begin = row == 0 ? 0 : end(row - 1);
        return {m_bytes.data() + begin, static_cast<qsizetype>(end(row) - begin)};
    }

    void append(QByteArrayView label) {
        appendPiece(label);
        endRow();
    }
    // Builds a label from pieces without a temporary copy: appendPiece() ... then endRow().
    void appendPiece(QByteArrayView piece) { m_bytes.append(piece.data(), static_cast<std::size_t>(piece.size())); }
    void endRow();
    QByteArrayView pending() const {
        const std::uint64_t begin = empty() ? 0 : end(size() - 1);
        return {m_bytes.data() + begin, static_cast<qsizetype>(m_bytes.size() - begin)};
    }
    void dropPending() { m_bytes.resize(m_bytes.size() - static_cast<std::size_t>(pending().size())); }

private:
    std::uint64_t end(std::int64_t row) const;

    ReallocArray<char> m_bytes;
    ReallocArray<std::uint32_t> m_ends; // each label's end, less the 4 GiB steps in m_steps
    std::vector<std::int64_t> m_steps;  // the first row that ends past each further 4 GiB of text
};

// Answers "is this label one of the rows?" for labels being read, in constant time. Open addressing over
// row numbers, about six bytes a row. A row number needs only as many bits as the table has slots, so the
// slot's other bits hold bits of the label's hash: a probe reads the label only where those match.
class Utf8LabelIndex {
public:
    explicit Utf8LabelIndex(const Utf8Labels& labels);

    // Indexes text as row `row`, the next one the labels will end, unless an equal label is indexed
    // already; false then.
    bool addUnlessPresent(QByteArrayView text, std::int64_t row);
    void clear();

private:
    static std::size_t hashOf(QByteArrayView text);
    void regrow(std::size_t capacity);

    std::uint32_t entryOf(std::size_t hash, std::int64_t row) const;

    const Utf8Labels& m_labels;
    std::vector<std::uint32_t> m_slots; // 0 empty, else the hash's top bits above row + 1
    int m_rowBits = 0;                  // enough for row + 1 below the slot count
    std::size_t m_used = 0;
};

} // namespace dice
