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

// How the dice of a roll map onto its labels when they are not all one die whose sides weigh 1: a
// weighted die, or a set of different dice. The labels of each kind of die lie back to back in the
// roll's labels and the side indices point into them as in any roll, so a row's text is made as
// always; the layout tells for each position of a row which die it rolled and by what weights, so
// that the statistics can compare every position with its own die. A plain roll has none.
struct DiceLayout {
    struct Kind {
        QString name;                // the die's name; empty for the sides list's own die
        std::int64_t firstLabel = 0; // its sides are the labels [firstLabel, firstLabel + sides)
        std::int64_t sides = 0;
        std::vector<std::uint32_t> weights; // one per side; empty when every side weighs 1
        bool operator==(const Kind&) const = default;
    };
    // count positions in a row that roll one kind, in row order.
    struct Part {
        std::int32_t kind = 0;
        std::int32_t count = 0;
        bool operator==(const Part&) const = default;
    };
    std::vector<Kind> kinds;
    std::vector<Part> parts; // counts add up to the roll's dice; empty when every position rolls kinds[0]

    // The kind of die that position (from 0) of a row rolls.
    std::int32_t kindAt(std::int32_t position) const;
    bool operator==(const DiceLayout&) const = default;
};

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
    // dice is at least 1; labels are the sides as they stand now, never changed afterwards. A roll of a
    // weighted die or of a set gives its layout, whose kinds cover the labels.
    DrawRows(std::shared_ptr<const TextRows> labels, std::int32_t dice, RollMode mode = RollMode::Independent,
             std::shared_ptr<const DiceLayout> layout = {});

    std::int64_t size() const { return m_rows; }
    bool empty() const { return m_rows == 0; }
    std::int32_t dice() const { return m_dice; }
    RollMode mode() const { return m_mode; }
    const TextRows& labels() const { return *m_labels; }
    // Null for a roll of the sides list's die whose sides all weigh 1.
    const DiceLayout* layout() const { return m_layout.get(); }
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
    // Makes these rows the only holder of their indices, copying them if another holder shares them.
    void ownIndices() { mutableIndices(); }
    bool sharesIndices() const { return m_indices.use_count() > 1; }
    // Empties these rows and hands over their indices' memory, unless another holder still reads it.
    Indices takeIndices();
    // Builds into memory taken from earlier rows, when these are empty and index with the same width.
    void reuseIndices(Indices&& taken);
    void reserve(std::int64_t rows);
    void reserveAdditional(std::int64_t rows); // room for that many more, growing geometrically

    std::int64_t textLength(std::int64_t row) const;
    void appendText(std::int64_t row, QString& out) const;
    TextRows toTextRows() const; // every row's text, for a list that must hold text

    // Rows of the same roll (the same labels, dice, mode and layout) can join these; any others only as text.
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
    std::shared_ptr<const DiceLayout> m_layout;
    std::int64_t m_rows = 0;
    std::int32_t m_dice = 1;
    RollMode m_mode = RollMode::Independent;
};

} // namespace core
