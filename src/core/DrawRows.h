#pragma once

#include "RollMode.h"
#include "TextRows.h"

#include <QString>

#include <cstdint>
#include <iterator>
#include <memory>
#include <variant>
#include <vector>

namespace core {

// What joins the labels of one roll in its result line.
inline constexpr char16_t kRollSeparator[] = u" - ";
inline constexpr std::int64_t kRollSeparatorLength = std::size(kRollSeparator) - 1;

// The rows of one roll, kept as what was drawn rather than as text: for every row the side index
// (from 0) of each die, into the labels as they stood at the roll. An index takes 1 byte for up to
// 256 sides, 2 up to 65,536 and 4 beyond, so a row of 3 dice of a small die costs 3 bytes. A row's
// text, the labels joined by " - ", is made when it is asked for. An index past the labels reads as
// the empty label: that is a die of a roll over an empty sides list, which drew nothing.
//
// Copies share the labels and the indices and copy the indices only when one of them changes, so the
// statistics can count a copy on another thread while the list goes on.
class DrawRows {
public:
    using Indices = std::variant<std::vector<std::uint8_t>, std::vector<std::uint16_t>, std::vector<std::uint32_t>>;

    DrawRows();
    // dice is at least 1; labels are the sides as they stand now, never changed afterwards.
    DrawRows(std::shared_ptr<const TextRows> labels, std::int32_t dice, RollMode mode = RollMode::Independent);

    std::int64_t size() const { return m_rows; }
    bool empty() const { return m_rows == 0; }
    std::int32_t dice() const { return m_dice; }
    RollMode mode() const { return m_mode; }
    const TextRows& labels() const { return *m_labels; }
    std::int64_t sideCount() const { return m_labels->size(); }
    int indexBytes() const;
    static int indexBytesFor(std::int64_t sideCount);

    // Row-major: the dice of row r (from 0) are at [r * dice(), (r + 1) * dice()).
    const Indices& indices() const { return *m_indices; }
    std::uint32_t side(std::int64_t row, std::int32_t die) const; // die from 0

    // Gives build(std::vector<Index>&) the indices to append whole rows to, dice() indices each.
    template <class Build> void build(Build&& build) {
        Indices& indices = mutableIndices();
        std::visit(build, indices);
        m_rows =
            std::visit([this](const auto& all) { return static_cast<std::int64_t>(all.size()) / m_dice; }, indices);
    }
    void reserve(std::int64_t rows);
    void reserveAdditional(std::int64_t rows); // room for that many more, growing geometrically

    std::int64_t textLength(std::int64_t row) const;
    void appendText(std::int64_t row, QString& out) const;
    TextRows toTextRows() const; // every row's text, for a list that must hold text

    // Rows of the same roll (the same labels, dice and mode) can join these; any others only as text.
    bool sameRollAs(const DrawRows& other) const;
    void appendAll(const DrawRows& other); // all or nothing: throws before it changes anything
    void remove(std::int64_t row);
    void clear();
    void shrinkToFit();
    std::size_t bytesUsed() const;
    std::size_t bytesNeeded() const;

private:
    Indices& mutableIndices();

    std::shared_ptr<const TextRows> m_labels;
    std::shared_ptr<Indices> m_indices;
    std::int64_t m_rows = 0;
    std::int32_t m_dice = 1;
    RollMode m_mode = RollMode::Independent;
};

} // namespace core
