#pragma once

#include "RollDraws.h"

#include <cstdint>
#include <vector>

namespace core {
class TextRows;
}

namespace cli {

class ByteSink;

// Writes rolls as text: every roll one line, its dice's labels in the order drawn joined by " - ",
// in UTF-8 and ended by LF. Lines are built into one block of about a megabyte that goes out whenever
// it fills, so memory stays the same whatever the number of rolls.
class RollWriter {
public:
    explicit RollWriter(const core::TextRows& sides);

    std::uint64_t sideCount() const { return m_ends.size(); }

    // Writes `rolls` lines of `dice` dice each (both at least 1), the dice drawn by draws, which must
    // roll a die of sideCount() sides. False when the reader went away before the end.
    bool write(RollDraws& draws, SeededGenerator& generator, std::int64_t dice, std::int64_t rolls,
               ByteSink& sink) const;

private:
    template <class CopyEntry>
    bool writeWith(CopyEntry copyEntry, std::size_t longestEntry, RollDraws& draws, SeededGenerator& generator,
                   std::int64_t dice, std::int64_t rolls, ByteSink& sink) const;

    std::vector<char> m_entries;       // every side's label followed by " - ", back to back
    std::vector<std::uint64_t> m_ends; // where each side's entry ends in m_entries
    std::size_t m_longestEntry = 0;
};

} // namespace cli
