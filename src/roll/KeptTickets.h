#pragma once

// A bag kept from one Start Rolling to the next. The roll asks it for the tickets left per side before
// it draws, and hands it the tickets left after the last roll before the rows are shown, so that
// what was shown is always on record. The sides are those of the roll's labels, in list order; a side
// has as many tickets in a full bag as it weighs, one when the die carries no weights.

#include <cstdint>
#include <span>
#include <vector>

namespace core {
class TextRows;
}

namespace roll {

class KeptTickets {
public:
    virtual ~KeptTickets() = default;
    // One count per label, at most the label's weight (weights[i] for labels.at(i); none: all 1).
    virtual std::vector<std::uint64_t> ticketsLeft(const core::TextRows& labels,
                                                   std::span<const std::uint32_t> weights = {}) const = 0;
    // Raises platform::RuntimeError, whose description says in plain words what failed, when the
    // tickets cannot be kept; the roll then shows nothing.
    virtual void keep(const core::TextRows& labels, std::span<const std::uint64_t> ticketsLeft) = 0;
};

} // namespace roll
