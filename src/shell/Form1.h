#pragma once

// The main window. Form1 owns the controls and the two lists and turns the controls' events into the
// event procedures below (PushButton8_Click, Text1_Change, ...). The procedures are thin: the work is
// done by plain classes of the subsystems (dice/, roll/, results/) that take the lists, the window's
// MousePointer and the platform Services, so tests can drive them without a window.

#include "core/ListModel.h"
#include "core/MousePointer.h"
#include "core/RollMode.h"
#include "dice/DiceSet.h"
#include "dice/SideWeights.h"
#include "platform/Services.h"

#include <QCursor>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>

class QAction;
class QActionGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace bag {
class KeptBag;
}

namespace dice {
class CountFields;
class SidesCommands;
} // namespace dice

namespace history {
class RollHistory;
}

namespace roll {
class KeptTickets;
}

namespace shell {
class DiceLibraryWindow;
class HistoryWindow;
class ListView;
class PresenterWindow;
class StatisticsWindow;
} // namespace shell

namespace core {
class Trap;
}

namespace shell {

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(platform::Services& services, QWidget* parent = nullptr);
    ~Form1() override;

    // Event procedures.
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();
    // Writes the sides under "Dice" now. Every change of the sides list schedules it, so a crash or a
    // killed process loses at most the last kDiceSaveDelay; a burst of changes (a file load, an
    // example) makes one write. Closing writes them as well, and cancels what is still scheduled.
    void SaveDice();
    static constexpr std::chrono::milliseconds kDiceSaveDelay{300};
    bool diceSavePending() const { return m_diceSaveTimer.isActive(); }
    void PushButton8_Click();
    // The roll mode, chosen in the context menu of "Start Rolling" (also Shift+F10 and the Menu key on
    // the button) and kept under "RollMode"; the button's tooltip names it.
    void RollMode_Click(core::RollMode mode);
    void PushButton10_Click();
    void PushButton11_Click();
    void PushButton12_Click();
    // Results leave the program: results/TextExport.h, results/SpreadsheetExport.h.
    void PushButton9_Click();
    void PushButton13_Click();

    // "Statistics…" in the results list's context menu and Ctrl+I: opens the one Statistics window,
    // or raises it.
    void showStatistics();
    QAction* statisticsAction() const { return m_statisticsAction; }
    StatisticsWindow* statisticsWindow() const { return m_statistics; }

    // "Dice Library…" in the sides list's context menu and Ctrl+D: opens the one Dice Library window,
    // or raises it.
    void showDiceLibrary();
    DiceLibraryWindow* diceLibraryWindow() const { return m_library; }
    // The sides list's die with the weights of its sides; what the library keeps of it.
    dice::Die currentDie() const;
    // Puts a library die in the sides list, its weights with it, as one undo step.
    bool useDie(const dice::Die& die);
    // "Roll Set": the set's dice into the results list, Number Of Rolls times, in the roll mode; kept in
    // the roll history under the set's name.
    void rollSet(std::span<const dice::CountedDie> dice, const QString& setName = {});

    // The bag kept between rolls (Form1Bag.cpp): "Keep The Bag Between Rolls" (stored under
    // bag::kKeepBagKey) and "Refill The Bag" below the modes in the Start Rolling menu. openKeptBag()
    // reads the check item's setting and the bag's file; until then the bag lasts as long as the window.
    void openKeptBag(const QString& path);
    void KeepBag_Click(bool keep);
    void RefillBag_Click();
    // "Draw From A Bag: 7 of 24 sides left in the bag" while the bag is kept and drawn from; else empty.
    QString keptBagLine() const;

    // "Present Results…" in the results list's context menu and F5 (Form1Presenter.cpp): opens the
    // one presenter, or raises it. Its R rolls as PushButton8_Click does.
    void showPresenter();
    PresenterWindow* presenterWindow() const { return m_presenter; }

    // The roll history (Form1History.cpp). Without one, its menu entries do nothing. Every Start Rolling
    // that puts rows into the results is kept while "Keep Roll History" (the results list's context
    // menu, stored under history::kKeepHistoryKey) is ticked; the history's notices show in a message box.
    void setRollHistory(history::RollHistory* history);
    void showRollHistory();                           // "Roll History…" and Ctrl+H
    void KeepRollHistory_Click(bool keep);            // "Keep Roll History"
    void ClearRollHistory_Click();                    // "Clear Roll History…": asks, then empties it
    void showHistoryRows(const core::DrawRows& rows); // the results list as after a roll of these rows
    HistoryWindow* historyWindow() const { return m_historyWindow; }

    // Dice definition: the sides list's commands and the two count fields.
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();
    void ListView1_DblClick();
    void ListView1_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    // The sides list as an editor: its context menu, its shortcuts and what is dropped on it.
    void ListView1_Paste();
    void ListView1_Copy();
    void ListView1_Undo();
    void ListView1_Redo();
    void ListView1_SaveList();
    void ListView1_DropFiles(const QStringList& paths);
    void ListView1_DropText(const QString& text);
    void Text1_Change();
    void Text2_Change();
    void Text1_LostFocus();
    void Text2_LostFocus();

    // Pointer cues: the hand (99) over a push button, the ordinary pointer (0) over the window
    // background, the frames and the lists; neither replaces the busy pointer (11).
    void PushButton_MouseMove();
    void Form_MouseMove();

    core::ListModel& sides() { return m_sides; }
    core::ListModel& results() { return m_results; }
    core::MousePointer& mousePointer() { return m_pointer; }
    platform::Services& services() { return m_services; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QPushButton*> pushButtons() const;
    void buildControls();
    void nameForScreenReaders();
    void applyPointer(int shape);
    void connectDiceDefinition();
    void buildSidesMenu();
    void buildRollModeMenu();
    void buildPresenterMenu();
    void buildKeptBagMenu();
    roll::KeptTickets* keptBagForRoll() const;
    void reportKeptBag(const std::function<void()>& work); // its failures in plain words
    void showRollMode();
    // The tooltips of the sides list and Start Rolling say when the die is weighted.
    void showWeights();
    void sidesInserted(int first, int last);
    void writeStoredWeights(core::Trap& trap, bool quietly);
    void pointerCue(int shape);
    void countFieldLostFocus(QLineEdit* field);
    bool autosave(core::Trap& trap, int line, const std::function<void()>& write);
    void buildHistoryMenu();
    // Runs a roll command and keeps the roll it puts into the results, if any: a set's with its name.
    void keepingRoll(const std::function<void()>& roll, const QString& setName = {});

    // Controls, by their designer names, which are also their object names: tests and tools find them
    // by those.
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    shell::ListView* ListView1 = nullptr;
    shell::ListView* ListView2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;
    QPushButton* PushButton4 = nullptr;
    QPushButton* PushButton5 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton9 = nullptr;
    QPushButton* PushButton10 = nullptr;
    QPushButton* PushButton11 = nullptr;
    QPushButton* PushButton12 = nullptr;
    QPushButton* PushButton13 = nullptr;

    platform::Services& m_services;
    core::ListModel m_sides;
    core::ListModel m_results;
    core::MousePointer m_pointer;
    std::optional<QCursor> m_handCursor;
    bool m_saved = false;
    bool m_overrideCursor = false;
    QTimer m_diceSaveTimer;
    std::unique_ptr<dice::SidesCommands> m_sidesCommands;
    std::unique_ptr<dice::CountFields> m_countFields;
    QAction* m_statisticsAction = nullptr;
    core::RollMode m_rollMode = core::RollMode::Independent;
    QActionGroup* m_rollModes = nullptr;      // one checkable entry per mode, in core::kRollModes order
    StatisticsWindow* m_statistics = nullptr; // made when first asked for
    DiceLibraryWindow* m_library = nullptr;   // made when first asked for
    dice::SideWeights m_weights;
    bool m_steppingHistory = false;         // undo and redo bring sides back with the weights they had
    bool m_weightsStored = false;           // the store holds weights, which a die of none must clear
    PresenterWindow* m_presenter = nullptr; // made when first asked for
    std::unique_ptr<bag::KeptBag> m_keptBag;
    std::shared_ptr<const core::TextRows> m_sidesBeforeUse; // while a die is put to use
    QAction* m_keepBagAction = nullptr;
    QTimer m_keptBagRecount;
    history::RollHistory* m_history = nullptr;
    HistoryWindow* m_historyWindow = nullptr; // made when first asked for
    QAction* m_keepHistoryAction = nullptr;
    bool m_checkingCount = false; // the check's own message box moves the focus too
    bool m_storeFailing = false;  // the last write of an edit to the store failed
};

} // namespace shell
