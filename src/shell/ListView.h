#pragma once

#include <QTableView>

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
    // The context-menu key and Shift+F10 open the context menu at the current row.
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void applyWidth(int column, int twips);

    core::ListModel* m_model = nullptr;
    bool m_ticking = false;
    bool m_dropping = false;
};

} // namespace shell
