#pragma once

// The statistics as tables of text: what the window shows, copies and saves, and what the command
// line prints. Numbers are written the same way everywhere, with a full stop for the decimal point,
// so that the copied and saved tables read alike on every system.

#include "Counting.h"
#include "RollLaw.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace stats {

class Table {
public:
    virtual ~Table() = default;
    virtual QStringList headers() const = 0;
    virtual std::int64_t rowCount() const = 0; // with the total row, if any
    virtual QString cell(std::int64_t row, int column) const = 0;
    // What a cell sorts by; a cell without a value sorts by its text.
    virtual std::optional<double> value(std::int64_t row, int column) const = 0;
    // A last row of totals, which stays last however the table is sorted.
    virtual bool hasTotalRow() const { return false; }
    virtual bool isSortable() const { return true; }
};

// The rows of another table in the given order (of its rows before the total row); the total row
// stays last.
class OrderedTable final : public Table {
public:
    OrderedTable(std::shared_ptr<const Table> table, std::vector<std::int64_t> order);
    QStringList headers() const override { return m_table->headers(); }
    std::int64_t rowCount() const override { return m_table->rowCount(); }
    QString cell(std::int64_t row, int column) const override { return m_table->cell(source(row), column); }
    std::optional<double> value(std::int64_t row, int column) const override {
        return m_table->value(source(row), column);
    }
    bool hasTotalRow() const override { return m_table->hasTotalRow(); }
    std::int64_t source(std::int64_t row) const;

private:
    std::shared_ptr<const Table> m_table;
    std::vector<std::int64_t> m_order;
};

// The order of the rows (before the total row) sorted by one column, ties kept in table order.
std::vector<std::int64_t> sortOrder(const Table& table, int column, bool descending);

// Side, Count, Share, Expected, Deviation: one row per side, then the total.
class SidesTable final : public Table {
public:
    // bySide, when not empty, holds each side's own expectation (a weighted die) instead of perSide.
    // The counts are of the labels from firstLabel on (one die of a set of different dice).
    SidesTable(SideCounts counts, core::DrawRows draws, Moments perSide, std::vector<Moments> bySide = {},
               std::int64_t firstLabel = 0);
    QStringList headers() const override;
    std::int64_t rowCount() const override { return std::ssize(m_counts.counts) + 1; }
    QString cell(std::int64_t row, int column) const override;
    std::optional<double> value(std::int64_t row, int column) const override;
    bool hasTotalRow() const override { return true; }

private:
    SideCounts m_counts;
    core::DrawRows m_draws; // for the labels
    Moments m_perSide;
    std::vector<Moments> m_bySide;
    std::int64_t m_firstLabel = 0;

    QString kindOf(std::int64_t label) const; // " (Six)" after a label of a set's every die; else empty
    const Moments& expectation(std::int64_t row) const {
        return m_bySide.empty() ? m_perSide : m_bySide[static_cast<std::size_t>(row)];
    }
};

// Combination, Count, Share, Expected: one row per distinct result line, the largest count first.
class CombinationsTable final : public Table {
public:
    CombinationsTable(Combinations combinations, core::DrawRows draws, std::shared_ptr<const RollLaw> law);
    QStringList headers() const override;
    std::int64_t rowCount() const override { return m_combinations.size(); }
    QString cell(std::int64_t row, int column) const override;
    std::optional<double> value(std::int64_t row, int column) const override;
    bool isSortable() const override { return false; }

private:
    double expected(std::int64_t row) const;

    Combinations m_combinations;
    core::DrawRows m_draws;
    std::shared_ptr<const RollLaw> m_law;
    mutable std::vector<std::uint32_t> m_sides; // scratch
};

// Total, Count, Share, Expected, Deviation: one row per total a roll can make, lowest first.
class TotalsTable final : public Table {
public:
    TotalsTable(std::vector<std::uint64_t> counts, TotalLaw law, std::uint64_t rolls);
    QStringList headers() const override;
    std::int64_t rowCount() const override { return std::ssize(m_cells); }
    QString cell(std::int64_t row, int column) const override;
    std::optional<double> value(std::int64_t row, int column) const override;

    // The observed mean and standard deviation of the totals.
    Moments observed() const;
    const TotalLaw& law() const { return m_law; }
    const std::vector<std::uint64_t>& counts() const { return m_counts; }
    std::vector<double> expectedCounts() const; // by cell, as counts()

private:
    std::vector<std::uint64_t> m_counts; // by cell: total - law.first
    TotalLaw m_law;
    std::uint64_t m_rolls;
    std::vector<std::int64_t> m_cells; // the cells shown: those a roll can make
};

// Number formats shared by the tables, the fairness lines and the window.
QString formatShare(double share);          // "16.67%", "0.0025%"
QString formatExpected(double expected);    // "1666.67", "0.012", "2.3e-156"
QString formatDeviation(double deviations); // "+0.53"
QString formatStatistic(double value);      // "4.120"
QString formatPValue(double pValue);        // "0.5321", "3.21e-07", "< 1e-300"

} // namespace stats
