#pragma once

// The "Dice Library" window: the named dice and sets of library::Library, listed with what they
// are, and the commands that keep them: save the main window's die under a name, use a die in the
// main window, roll a set into its results, make and edit sets, rename, duplicate, delete, import and
// export. It is not modal; the main window goes on working while it is open.
//
// The list is read on a worker thread, so a large library never holds up the main window; a file
// that cannot be read is reported once, by name, and left where it is. Questions and file names go
// through the platform services, so tests answer them with the fakes.

#include "library/Library.h"

#include <QPointer>
#include <QThread>
#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTableView;

namespace library {
class SetEditor;
}

namespace platform {
struct Services;
}

namespace shell {

class Form1;
class DieSidesModel;
class LibraryTableModel;
class SetRowsModel;

class DiceLibraryWindow : public QWidget {
    Q_OBJECT

public:
    DiceLibraryWindow(Form1& form, platform::Services& services, QString folder = library::Library::defaultFolder(),
                      QWidget* parent = nullptr);
    ~DiceLibraryWindow() override;

    // Reads the library again, on a worker thread; listed() once the table shows it.
    void refresh();
    bool listed() const { return m_lister == nullptr; }
    // The entry of the current row; none when the table is empty.
    const library::Entry* currentEntry() const;
    bool selectEntry(QStringView name);

    // The sides of the chosen die with their weights and shares; an empty die for a set.
    const dice::Die& shownDie() const;
    // Ctrl+V in the sides table: label<TAB>weight lines give the sides named their weights.
    void pasteWeights();

    // The commands, as the buttons run them.
    void useCurrent();
    void rollCurrentSet();
    void saveCurrentDieAs();
    void newSet();
    void editCurrentSet();
    void renameCurrent();
    void duplicateCurrent();
    void deleteCurrent();
    void importFiles();
    void exportCurrent();

signals:
    void listingDone();

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum class SetChange { Add, Remove, MoveUp, MoveDown };

    void buildControls();
    void buildSetEditor();
    void listingArrived(const library::Listing& listing);
    void updateCommands();
    void showCurrentEntry();
    void showCurrentDie();
    void showCurrentSet();
    void showSetProblems(const library::SetEditor& editor);
    QStringList libraryDice() const;
    bool saveEditedSet(const library::SetEditor& edited);
    void changeSetRows(SetChange change);
    bool saveEditedDie(const dice::Die& die);
    // Runs a command of the library, showing a failure in plain words; false when it failed.
    template <class Command> bool attempt(Command&& command);
    void failed(const QString& text);
    // A name typed for a new entry, checked; empty when cancelled or refused (and said why).
    QString askName(const QString& prompt, const QString& title, const QString& proposal, const QString& replacing);

    Form1& m_form;
    platform::Services& m_services;
    library::Library m_library;
    LibraryTableModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    DieSidesModel* m_sidesModel = nullptr;
    QTableView* m_sides = nullptr;
    QStackedWidget* m_detail = nullptr;
    SetRowsModel* m_setModel = nullptr;
    QTableView* m_setRows = nullptr;
    QLabel* m_setProblems = nullptr;
    bool m_editSetAfterListing = false;
    QLabel* m_status = nullptr;
    QPushButton* m_use = nullptr;
    QPushButton* m_rollSet = nullptr;
    QPushButton* m_editSet = nullptr;
    QPushButton* m_rename = nullptr;
    QPushButton* m_duplicate = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_export = nullptr;
    QPointer<QThread> m_lister;
    bool m_listAgain = false;
    QString m_selectAfterListing;
    QStringList m_reported; // damaged files already reported, "file\nreason"
};

} // namespace shell
