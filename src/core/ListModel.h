#pragma once

#include "DrawRows.h"
#include "TextIndex.h"
#include "TextRows.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace core {

// The list control both lists of the window are made of: items with a text, sub-items and a tick
// state, under one or more column headers. Items live in contiguous storage, a bit per tick and
// either TextRows or, for the rows of one roll, the roll's DrawRows, whose texts are made when asked
// for. So millions of rows cost a few bytes each and no object per row. Whatever else joins a list of
// draws (a row given as text, the rows of another roll) turns its rows into text first.
//
// The list-control operations count positions from 1, as the commands do; reading or removing at a
// position outside 1..itemCount() raises RuntimeError(IndexOutOfBounds). The Qt model side (rows
// from 0, one model column per list column) serves ListView.
class ListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ListModel(QObject* parent = nullptr);
    ~ListModel() override;

    // --- items
    std::int64_t itemCount() const { return holdsDraws() ? m_draws.size() : m_rows.size(); }
    void addItem(QStringView text);
    void addItems(const TextRows& rows); // one batch, one model notification
    void addItems(TextRows&& rows);      // the same, taking over the batch's storage when the list is empty
    void addItems(DrawRows&& rows);      // a roll's rows, kept as draws when they are all the list holds
    void removeItem(std::int64_t position);
    void removeAll();
    // Empties the list as removeAll does and hands the draws' memory to the rows that replace them:
    // memory already in use costs a new roll nothing, where fresh pages cost it a fault each.
    DrawRows::Indices removeAllForReuse();
    // Moves count items from position on out of the list, their texts only (ticks and sub-items go);
    // taking every item hands the storage over without copying it. insertItems() puts them back.
    TextRows takeItems(std::int64_t position, std::int64_t count);
    // Inserts the batch before position (itemCount() + 1 appends), unticked, and leaves it empty.
    void insertItems(std::int64_t position, TextRows&& rows);
    QString text(std::int64_t position) const;
    static constexpr qsizetype kMostShownCharacters = 10'000; // of a row, as the views show it
    // Valid until the list changes or textView() is called again: a roll's row is made into a buffer
    // that the next call reuses.
    QStringView textView(std::int64_t position) const;
    void appendText(std::int64_t position, QString& out) const; // the same, straight onto out
    std::int64_t textLength(std::int64_t position) const;
    QString subItem(std::int64_t position, int k) const; // k from 1; empty when never set
    void setSubItem(std::int64_t position, int k, const QString& text);
    bool isTicked(std::int64_t position) const;
    void setTicked(std::int64_t position, bool ticked);
    void setAllTicked(bool ticked);
    void toggleTicks(const QModelIndexList& rows); // the Space key over a selection
    void toggleTicks(const QItemSelection& selection);
    std::int64_t tickedCount() const { return m_tickedCount; }
    const std::vector<bool>& ticks() const { return m_ticks; } // by row from 0

    // The draws behind the rows when they all come from one roll; empty otherwise.
    const DrawRows& draws() const { return m_draws; }
    // The items' texts as they are now, left as they are by later changes of the list.
    std::shared_ptr<const TextRows> textSnapshot() const;

    // --- duplicate test: whole text, case-sensitive; O(1) when the index is enabled
    void setTextIndexEnabled(bool enabled);
    bool containsText(QStringView text) const;

    // --- selection (shared with the view)
    QItemSelectionModel* selectionModel() { return &m_selection; }
    std::optional<std::int64_t> selectedPosition() const;
    void selectPosition(std::int64_t position);
    // Every selected item as ascending, disjoint runs of (first position, count).
    std::vector<std::pair<std::int64_t, std::int64_t>> selectedRanges() const;

    // --- columns
    void addColumn(const QString& header);
    int listColumnCount() const { return static_cast<int>(m_headers.size()); }
    QString headerText(int column) const; // column from 1
    void setHeaderText(int column, const QString& text);
    int columnWidthTwips(int column) const;
    void setColumnWidthTwips(int column, int twips);

    // --- presentation
    void setCheckable(bool checkable) { m_checkable = checkable; }
    bool isCheckable() const { return m_checkable; }
    std::size_t bytesUsed() const;

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    void columnWidthChanged(int column, int twips);

private:
    bool holdsDraws() const { return !m_draws.empty(); }
    void keepAsText();
    void forgetRowState(); // ticks, sub-items and the index of rows that are all gone
    void emptyAll();
    void textsChanged() { m_snapshot.reset(); }
    void checkPosition(std::int64_t position) const;
    void checkColumn(int column) const;
    void rebuildIndex();
    TextIndex* freshIndex() const; // the text index, rebuilt first when a removal left it stale
    template <class Reserve, class Append> void appendBatch(std::int64_t count, Reserve&& reserve, Append&& append);

    TextRows m_rows;
    DrawRows m_draws;    // holds the rows instead of m_rows when not empty
    DrawRows m_setAside; // the draws of the roll before, while another holder still read them
    mutable QString m_rowText;
    mutable std::shared_ptr<const TextRows> m_snapshot;
    std::vector<bool> m_ticks;
    std::int64_t m_tickedCount = 0;
    QHash<std::int64_t, QStringList> m_subItems; // rarely used: keyed by row from 0
    QStringList m_headers;
    std::vector<int> m_widths;
    bool m_checkable = false;
    std::unique_ptr<TextIndex> m_index;
    mutable bool m_indexStale = false; // rebuilt when next needed: removals in a row rebuild it once
    QItemSelectionModel m_selection;
};

} // namespace core
