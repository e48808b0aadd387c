#pragma once

// Undo and redo for the sides list. Each command that edits the list opens a Change for the length of
// its run; the Change becomes one step of the undo stack. Rows the command appends are noticed from the
// item count, so the loaders and the duplicate test need not know about the history; rows it removes go
// through the Change, which moves them into the step instead of copying them (a cleared list of a million
// sides is handed over whole). Undoing an append takes the appended tail back out.

#include <QString>
#include <QUndoStack>

#include <cstdint>

namespace core {
class ListModel;
}

namespace dice {

class SidesChange;

class SidesHistory {
public:
    // Steps kept; each holds what it removed, so the limit bounds the memory of many cleared lists.
    static constexpr int kUndoLimit = 100;

    explicit SidesHistory(core::ListModel& sides);
    ~SidesHistory();
    SidesHistory(const SidesHistory&) = delete;
    SidesHistory& operator=(const SidesHistory&) = delete;

    QUndoStack& stack() { return m_stack; }

    // One step back or forward; false when there is none. When the list no longer holds what the step
    // expects (it was changed behind the history's back), the history is dropped instead.
    bool undo();
    bool redo();
    // True while undo() or redo() puts rows back or takes them out, for those who watch the list.
    bool replaying() const { return m_replaying; }

    class Change {
    public:
        Change(SidesHistory& history, const QString& text);
        ~Change(); // records what changed as one step; nothing when nothing did
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;

        // Removes the items, keeping them for undo. Raises the list's RuntimeError for a bad range.
        void removeItems(std::int64_t position, std::int64_t count);
        void removeAll();

    private:
        void noteAppended();

        SidesHistory& m_history;
        SidesChange* m_step; // owned until pushed
        std::int64_t m_expected;
        bool m_lost = false; // the list changed in a way not recorded
    };

private:
    core::ListModel& m_sides;
    QUndoStack m_stack;
    bool m_replaying = false;
};

} // namespace dice
