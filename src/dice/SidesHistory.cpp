#include "SidesHistory.h"

#include "core/ListModel.h"
#include "core/TextRows.h"

#include <QScopedValueRollback>

#include <memory>
#include <vector>

namespace dice {

// Rows one edit put in or took out at a position. While they are out of the list, rows holds them.
// Not in an anonymous namespace: SidesChange, named in the header, holds them.
struct SidesRun {
    std::int64_t position;
    std::int64_t count;
    bool added;
    core::TextRows rows;
};

class SidesChange final : public QUndoCommand {
    using Run = SidesRun;
    core::ListModel& m_sides;
    bool m_pushed = false;

public:
    SidesChange(core::ListModel& sides, const QString& text)
        : QUndoCommand(text)
        , m_sides(sides)
        , countBefore(sides.itemCount()) {}

    void undo() override {
        for (auto run = runs.rbegin(); run != runs.rend(); ++run)
            put(*run, !run->added);
    }
    void redo() override {
        // The push runs redo() on a change that has just happened.
        if (!m_pushed) {
            m_pushed = true;
            return;
        }
        for (Run& run : runs)
            put(run, run.added);
    }

    std::vector<Run> runs;
    std::int64_t countBefore;
    std::int64_t countAfter = 0;

private:
    void put(Run& run, bool present) {
        if (present)
            m_sides.insertItems(run.position, std::move(run.rows));
        else
            run.rows = m_sides.takeItems(run.position, run.count);
    }
};

SidesHistory::SidesHistory(core::ListModel& sides)
    : m_sides(sides) {
    m_stack.setUndoLimit(kUndoLimit);
}

SidesHistory::~SidesHistory() = default;

bool SidesHistory::undo() {
    const int index = m_stack.index();
    if (index == 0)
        return false;
    if (static_cast<const SidesChange*>(m_stack.command(index - 1))->countAfter != m_sides.itemCount()) {
        m_stack.clear();
        return false;
    }
    const QScopedValueRollback replaying(m_replaying, true);
    m_stack.undo();
    return true;
}

bool SidesHistory::redo() {
    const int index = m_stack.index();
    if (index == m_stack.count())
        return false;
    if (static_cast<const SidesChange*>(m_stack.command(index))->countBefore != m_sides.itemCount()) {
        m_stack.clear();
        return false;
    }
    const QScopedValueRollback replaying(m_replaying, true);
    m_stack.redo();
    return true;
}

SidesHistory::Change::Change(SidesHistory& history, const QString& text)
    : m_history(history)
    , m_step(new SidesChange(history.m_sides, text))
    , m_expected(history.m_sides.itemCount()) {}

SidesHistory::Change::~Change() {
    std::unique_ptr<SidesChange> step(m_step);
    noteAppended();
    QUndoStack& stack = m_history.m_stack;
    const int index = stack.index();
    const bool follows =
        index == 0 || static_cast<const SidesChange*>(stack.command(index - 1))->countAfter == step->countBefore;
    if (m_lost || !follows)
        stack.clear(); // the older steps no longer fit the list
    if (m_lost || step->runs.empty())
        return;
    step->countAfter = m_history.m_sides.itemCount();
    stack.push(step.release());
}

void SidesHistory::Change::noteAppended() {
    const std::int64_t count = m_history.m_sides.itemCount();
    if (count > m_expected)
        m_step->runs.push_back({m_expected + 1, count - m_expected, true, {}});
    else if (count < m_expected)
        m_lost = true;
    m_expected = count;
}

void SidesHistory::Change::removeItems(std::int64_t position, std::int64_t count) {
    noteAppended();
    m_step->runs.reserve(m_step->runs.size() + 1); // so that the removal, once done, is recorded
    core::TextRows rows = m_history.m_sides.takeItems(position, count);
    m_step->runs.push_back({position, count, false, std::move(rows)});
    m_expected -= count;
}

void SidesHistory::Change::removeAll() {
    noteAppended();
    const std::int64_t count = m_history.m_sides.itemCount();
    if (count == 0) {
        m_history.m_sides.removeAll(); // nothing to keep, but the views still hear of the clearing
        return;
    }
    removeItems(1, count);
}

} // namespace dice
