#include "DrawRows.h"

#include <algorithm>
#include <limits>

namespace core {

namespace {

DrawRows::Indices indicesFor(std::int64_t sideCount) {
    switch (DrawRows::indexBytesFor(sideCount)) {
    case 1:
        return std::vector<std::uint8_t>();
    case 2:
        return std::vector<std::uint16_t>();
    default:
        return std::vector<std::uint32_t>();
    }
}

} // namespace

DrawRows::DrawRows()
    : DrawRows(std::make_shared<const TextRows>(), 1) {}

std::int32_t DiceLayout::kindAt(std::int32_t position) const {
    for (const Part& part : parts) {
        if (position < part.count)
            return part.kind;
        position -= part.count;
    }
    return 0;
}

DrawRows::DrawRows(std::shared_ptr<const TextRows> labels, std::int32_t dice, RollMode mode,
                   std::shared_ptr<const DiceLayout> layout)
    : m_labels(std::move(labels))
    , m_indices(std::make_shared<Indices>(indicesFor(m_labels->size())))
    , m_layout(std::move(layout))
    , m_dice(std::max<std::int32_t>(dice, 1))
    , m_mode(mode) {}

int DrawRows::indexBytesFor(std::int64_t sideCount) {
    if (sideCount <= std::int64_t{1} << 8)
        return 1;
    if (sideCount <= std::int64_t{1} << 16)
        return 2;
    return 4;
}

int DrawRows::indexBytes() const {
    return std::visit([](const auto& all) { return static_cast<int>(sizeof(all[0])); }, *m_indices);
}

std::uint32_t DrawRows::side(std::int64_t row, std::int32_t die) const {
    const auto at = static_cast<std::size_t>(row * m_dice + die);
    return std::visit([at](const auto& all) { return static_cast<std::uint32_t>(all[at]); }, *m_indices);
}

DrawRows::Indices& DrawRows::mutableIndices() {
    // A copy that another holder still reads (the statistics' thread) is left to it.
    if (m_indices.use_count() > 1)
        m_indices = std::make_shared<Indices>(*m_indices);
    return *m_indices;
}

void DrawRows::reserve(std::int64_t rows) {
    std::visit([&](auto& all) { all.reserve(static_cast<std::size_t>(rows * m_dice)); }, mutableIndices());
}

void DrawRows::reserveAdditional(std::int64_t rows) {
    std::visit(
        [&](auto& all) {
            const std::size_t needed = all.size() + static_cast<std::size_t>(rows * m_dice);
            if (needed > all.capacity())
                all.reserve(std::max(needed, all.capacity() * 2));
        },
        mutableIndices());
}

std::int64_t DrawRows::textLength(std::int64_t row) const {
    const TextRows& labels = *m_labels;
    const std::int64_t sides = labels.size();
    return std::visit(
        [&](const auto& all) {
            std::int64_t length = kRollSeparatorLength * (m_dice - 1);
            const auto* die = all.data() + row * m_dice;
            for (const auto* end = die + m_dice; die != end; ++die) {
                if (*die < sides)
                    length += labels.length(*die);
            }
            return length;
        },
        *m_indices);
}

void DrawRows::appendText(std::int64_t row, QString& out) const {
    const TextRows& labels = *m_labels;
    const std::int64_t sides = labels.size();
    const QStringView separator(kRollSeparator);
    std::visit(
        [&](const auto& all) {
            const auto* first = all.data() + row * m_dice;
            for (const auto *die = first, *end = first + m_dice; die != end; ++die) {
                if (die != first)
                    out.append(separator);
                if (*die < sides)
                    out.append(labels.at(*die));
            }
        },
        *m_indices);
}

TextRows DrawRows::toTextRows() const {
    TextRows rows;
    std::int64_t chars = 0;
    for (std::int64_t row = 0; row < m_rows; ++row)
        chars += textLength(row);
    rows.reserve(m_rows, chars);
    QString line;
    for (std::int64_t row = 0; row < m_rows; ++row) {
        line.resize(0);
        appendText(row, line);
        rows.append(line);
    }
    return rows;
}

bool DrawRows::sameRollAs(const DrawRows& other) const {
    return m_labels == other.m_labels && m_dice == other.m_dice && m_mode == other.m_mode && m_layout == other.m_layout;
}

void DrawRows::appendAll(const DrawRows& other) {
    // Holding the other's indices makes this list copy its own before changing them when the two
    // share them (or are one), so the source stays as it was while it is read.
    const std::shared_ptr<const Indices> source = other.m_indices;
    const std::int64_t added = other.m_rows;
    reserveAdditional(added); // the only allocation, before anything changes
    std::visit(
        [&](auto& all) {
            using Vector = std::decay_t<decltype(all)>;
            const auto& more = std::get<Vector>(*source);
            all.insert(all.end(), more.begin(), more.end());
        },
        mutableIndices());
    m_rows += added;
}

void DrawRows::remove(std::int64_t row) {
    std::visit(
        [&](auto& all) {
            const auto first = all.begin() + static_cast<std::ptrdiff_t>(row * m_dice);
            all.erase(first, first + m_dice);
        },
        mutableIndices());
    --m_rows;
}

DrawRows::Indices DrawRows::takeIndices() {
    Indices taken = indicesFor(m_labels->size());
    if (m_indices.use_count() == 1)
        taken = std::move(*m_indices);
    clear();
    return taken;
}

void DrawRows::reuseIndices(Indices&& taken) {
    if (m_rows != 0 || taken.index() != m_indices->index())
        return;
    std::visit([](auto& all) { all.clear(); }, taken);
    mutableIndices() = std::move(taken);
}

void DrawRows::clear() {
    // Release the memory too: a roll may have held millions of rows.
    m_indices = std::make_shared<Indices>(indicesFor(m_labels->size()));
    m_rows = 0;
}

void DrawRows::shrinkToFit() {
    std::visit([](auto& all) { all.shrink_to_fit(); }, mutableIndices());
}

std::size_t DrawRows::bytesUsed() const {
    return std::visit([](const auto& all) { return all.capacity() * sizeof(all[0]); }, *m_indices) +
           m_labels->bytesUsed();
}

std::size_t DrawRows::bytesNeeded() const {
    return std::visit([](const auto& all) { return all.size() * sizeof(all[0]); }, *m_indices) +
           m_labels->bytesNeeded();
}

} // namespace core
