#pragma once

#include <QList>
#include <QTableView>

class QAction;

namespace core {
class ListModel;
}

namespace shell {

// The view of one ListModel: a report view with column headers, one fixed row height (so millions
// of rows lay out at once), widths given in twips. Raises the events the window's procedures handle.
class ListView : public QTableView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);
    void setListModel(core::ListModel* model);

    // Lets the user tick rows of a checkable model: a check box per row, several rows selectable
    // (Ctrl+A selects all), Space toggles the tick of every selected row, and the context menu ticks
    // or unticks all rows.
    void enableTicking();

    // An entry of the context menu that belongs to the window rather than to the list ("Statistics…"
    // on the results list): shown after the list's own actions.
    void addMenuAction(QAction* action);
    QList<QAction*> menuActions() const { return m_menuActions; }

    // Takes what other programs drop on the list: local files come out as filesDropped, in the order
    // dropped; anything else that carries text as textDropped. The source always keeps what it dropped.
    void enableDropping();

signals:
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    void doubleClicked();
    void pointerMoved();
    void filesDropped(const QStringList& paths);
    void textDropped(const QString& text);

protected:
    // Besides the item view's keys, some that stand in for the mouse: Shift+F10 opens the context menu
    // at the current row (the Menu key does so through the platform), Ctrl+Plus fits the column to its
    // labels and Ctrl+Minus gives it back its width, Left and Right scroll a one-column list sideways.
    // Tab, Shift+Tab and Ctrl+Tab move the focus to the next or previous control, never to another row.
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void applyWidth(int column, int twips);
    bool standInForMouse(const QKeyEvent& event);
    void openContextMenuAtCurrentRow();
    bool showContextMenu(QEvent* event);

    core::ListModel* m_model = nullptr;
    bool m_ticking = false;
    QList<QAction*> m_menuActions;
    bool m_dropping = false;
};

} // namespace shell
