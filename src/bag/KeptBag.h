#pragma once

// "Keep The Bag Between Rolls": one bag of "Draw From A Bag" that lasts over any number of Start
// Rollings and over restarts. It is kept by label, as tickets left per label (a side has as many
// tickets in a full bag as it weighs, one on a die without weights), so that it follows the sides
// list however that is edited:
// - a label it has no count for has a full set: a side added to the list goes into the bag;
// - only listed labels are counted and drawn: a side taken out of the list leaves the bag. Its count
//   stays on record until the program ends, so that an undo that brings the side back brings back
//   what it had; a side added anew (not by an undo or redo) forgets it.
// - a side never has more tickets left than it weighs now: a lighter side loses the difference, a
//   heavier one gets its new tickets with the next full set. The count on record stays, so a weight
//   put back brings back what it had.
// Start Rolling hands the bag what is left after its rolls before it shows them (roll::KeptTickets),
// and the bag writes it to its file at once, as a whole new file that replaces the old one: a kill
// at any moment leaves either the old record or the new one.
//
// The file, UTF-8 with LF line ends: the line "Quorvin Tessaly kept bag 1", then one line per label,
// its count of tickets left, a tab, and the label with '\', LF and CR written as "\\", "\n", "\r".

#include "roll/KeptTickets.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace core {
class ListModel;
class TextRows;
} // namespace core

namespace bag {

// The settings key of "Keep The Bag Between Rolls", "true" or "false".
inline constexpr char16_t kKeepBagKey[] = u"KeepBag";

// The file in the user's data folder.
QString defaultPath();

class KeptBag final : public roll::KeptTickets {
public:
    // The bag kept in the file at path; none keeps it in memory only. Starts full: load() reads the file.
    explicit KeptBag(QString path = {});
    ~KeptBag() override;
    KeptBag(const KeptBag&) = delete;
    KeptBag& operator=(const KeptBag&) = delete;

    const QString& path() const { return m_path; }

    // Reads the file and forgets the labels that the sides list does not hold; no file is a full bag.
    // Raises platform::RuntimeError with a plain report when the file cannot be read or is damaged,
    // and the bag is full.
    void load(const core::ListModel& sides);

    std::vector<std::uint64_t> ticketsLeft(const core::TextRows& labels,
                                           std::span<const std::uint32_t> weights = {}) const override;
    void keep(const core::TextRows& labels, std::span<const std::uint64_t> ticketsLeft) override;

    // Sides newly added to the list, positions first to last (from 1); not for an undo or a redo. When
    // the list was replaced, those whose labels listedBefore holds keep their count.
    // Raises platform::RuntimeError with a plain report when the bag cannot be written.
    void sidesAdded(const core::ListModel& sides, std::int64_t first, std::int64_t last,
                    const core::TextRows* listedBefore = nullptr);
    // "Refill The Bag": every side back at once. Raises as sidesAdded() does.
    void refill();

    struct Count {
        std::uint64_t left = 0;
        std::uint64_t total = 0;
        bool weighted = false; // counted in tickets
    };
    Count count(const core::TextRows& labels, std::span<const std::uint32_t> weights = {}) const;
    // "Draw From A Bag: 7 of 24 sides left in the bag", "... 7 of 30 tickets left in the bag"
    static QString describe(Count count);

private:
    struct Record;

    void save(const Record& record) const;

    QString m_path;
    std::unique_ptr<Record> m_record;
};

} // namespace bag
