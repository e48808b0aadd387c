#pragma once

#include "RollDraws.h"

#include <cstdint>
#include <vector>

namespace dice {
class Utf8Labels;
}

namespace cli {

class ByteSink;

// Writes rolls as text: every roll one line, its dice's labels in the order drawn joined by " - ",
// in UTF-8 and ended by LF. Lines are built into one block of about a megabyte that goes out whenever
// it fills, so memory stays the same whatever the number of rolls.
class RollWriter {
public:
    // The labels stay the caller's, and must outlive the writer.
    explicit RollWriter(const dice::Utf8Labels& sides);

    std::uint64_t sideCount() const;

    // Writes `rolls` lines of `dice` dice each (both at least 1), the dice drawn by draws, which must
    // roll a die of sideCount() sides. False when the reader went away before the end.
    bool write(RollDraws& draws, SeededGenerator& generator, std::int64_t dice, std::int64_t rolls,
               ByteSink& sink) const;

private:
    template <class CopyEntry>
    bool writeWith(CopyEntry copyEntry, std::size_t longestEntry, RollDraws& draws, SeededGenerator& generator,
                   std::int64_t dice, std::int64_t rolls, ByteSink& sink) const;

    const dice::Utf8Labels& m_sides;
    std::size_t m_longestEntry = 0; // a label and its separator
};

} // namespace cli
