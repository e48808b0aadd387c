#pragma once

// The commands that edit the sides list (the die): add, clear, remove, the four examples and loading
// side-list files. Form1's event procedures call them; they work on the list model, the window's
// pointer and the platform services only, so tests drive them without a window.
//
// The count header ("There are currently N sides on this dice.") is the list's only count display and
// is refreshed at fixed moments only: after an added side, by "Clear List" and each double-click, by the
// examples, and after each loaded file. The Delete key leaves it stale on purpose.
//
// The busy pointer (11) marks a long command in progress: clearing and removing are skipped while it
// shows, adding is not. Undo and redo, which may do either, wait for it to go.
//
// Every command that changes the list is one step of the history (SidesHistory): Ctrl+Z undoes it.

#include "SidesHistory.h"

#include "Examples.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace core {
class ListModel;
class MousePointer;
class TextRows;
class Trap;
} // namespace core

namespace platform {
struct Services;
}

namespace dice {

QString sidesHeaderText(std::int64_t count);

inline constexpr char16_t kAddSidePrompt[] = u"Enter new entry to add: ";
inline constexpr char16_t kLoadListTitle[] = u"Load List(s) - Hold Ctrl to select multiple list files";
inline constexpr char16_t kSaveListTitle[] = u"Save Side List";

class SidesCommands {
public:
    SidesCommands(core::ListModel& sides, core::MousePointer& pointer, const platform::Services& services)
        : m_sides(sides)
        , m_pointer(pointer)
        , m_services(services) {}

    void addSide();                    // PushButton6_Click
    void clearList();                  // PushButton5_Click
    void removeOnDoubleClick();        // ListView1_DblClick
    void keyDown(int key);             // ListView1_KeyDown; the modifiers do not matter
    void loadExample(Example example); // PushButton1/2/4/7_Click
    void loadListFromFile();           // PushButton3_Click
    // Puts another die's labels in place of the list's, as one step of the history. Nothing happens
    // while the busy pointer shows; false then, or when the list could not take them (reported).
    bool replaceSides(const core::TextRows& labels, const QString& procedure);

    // The sides list as an editor. Pasted and dropped text follows the side-list file's rules; dropped
    // files load as "Load List From File" loads them.
    void paste();
    void copySelection();
    void dropFiles(const QStringList& paths);
    void dropText(const QString& text);
    void saveSideList();
    void undo();
    void redo();
    QUndoStack& undoStack() { return m_history.stack(); }
    bool replayingHistory() const { return m_history.replaying(); }

    bool SideAlreadyInList(const QString& label) const;
    void refreshHeader();

private:
    void removeSelection(SidesHistory::Change& change);
    void loadFiles(core::Trap& trap, const QStringList& paths);

    core::ListModel& m_sides;
    core::MousePointer& m_pointer;
    const platform::Services& m_services;
    SidesHistory m_history{m_sides};
};

} // namespace dice
