#include "ListView.h"

#include "core/ListModel.h"
#include "platform/Twips.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace shell {

namespace {

QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls())
        return files;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

bool takesDrop(const QMimeData* data) {
    return data != nullptr && (data->hasText() || !localFiles(data).isEmpty());
}

} // namespace

ListView::ListView(QWidget* parent)
    : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A list, not a grid: Tab leaves it for the next control, as it leaves a one-column list everywhere.
    setTabKeyNavigation(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setSectionsClickable(false);
}

void ListView::setListModel(core::ListModel* model) {
    m_model = model;
    setModel(model);
    setSelectionModel(model->selectionModel());
    connect(model, &core::ListModel::columnWidthChanged, this, &ListView::applyWidth);
    connect(model, &QAbstractItemModel::columnsInserted, this, [this](const QModelIndex&, int first, int last) {
        for (int column = first; column <= last; ++column)
            applyWidth(column + 1, m_model->columnWidthTwips(column + 1));
    });
}

void ListView::enableTicking() {
    if (m_ticking)
        return;
    m_ticking = true;
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* tickAll = new QAction(u"Tick All"_s, this);
    auto* untickAll = new QAction(u"Untick All"_s, this);
    connect(tickAll, &QAction::triggered, this, [this] {
        if (m_model != nullptr)
            m_model->setAllTicked(true);
    });
    connect(untickAll, &QAction::triggered, this, [this] {
        if (m_model != nullptr)
            m_model->setAllTicked(false);
    });
    addAction(tickAll);
    addAction(untickAll);
}

void ListView::addMenuAction(QAction* action) {
    m_menuActions.append(action);
}

bool ListView::showContextMenu(QEvent* event) {
    if (event->type() != QEvent::ContextMenu || contextMenuPolicy() != Qt::ActionsContextMenu ||
        m_menuActions.isEmpty())
        return false;
    QMenu menu(this);
    menu.addActions(actions());
    menu.addSeparator();
    menu.addActions(m_menuActions);
    menu.exec(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}

bool ListView::event(QEvent* event) {
    return showContextMenu(event) || QTableView::event(event);
}

void ListView::enableDropping() {
    m_dropping = true;
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

void ListView::applyWidth(int column, int twips) {
    setColumnWidth(column - 1, platform::twipsToPixels(twips));
}

void ListView::keyPressEvent(QKeyEvent* event) {
    emit keyDown(event->key(), event->modifiers());
    if (standInForMouse(*event)) {
        event->accept();
        return;
    }
    // The item view's own Space would toggle the current row only.
    if (m_ticking && m_model != nullptr && m_model->isCheckable() && event->key() == Qt::Key_Space &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        m_model->toggleTicks(selectionModel()->selection());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool ListView::standInForMouse(const QKeyEvent& event) {
    const int key = event.key();
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int columns = model() != nullptr ? model()->columnCount() : 0;
    if (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier) {
        openContextMenuAtCurrentRow();
    } else if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && (modifiers & Qt::ControlModifier)) {
        // Where Tab is a control's own, Ctrl+Tab moves on; here it just does what Tab does.
        focusNextPrevChild(key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
    } else if ((key == Qt::Key_Plus || key == Qt::Key_Equal) &&
               (modifiers & ~Qt::ShiftModifier) == Qt::ControlModifier) {
        for (int column = 0; column < columns; ++column)
            resizeColumnToContents(column); // the rows in view and up to a thousand around them
    } else if (key == Qt::Key_Minus && modifiers == Qt::ControlModifier && m_model != nullptr) {
        for (int column = 1; column <= columns; ++column)
            applyWidth(column, m_model->columnWidthTwips(column));
    } else if ((key == Qt::Key_Left || key == Qt::Key_Right) && modifiers == Qt::NoModifier && columns == 1) {
        horizontalScrollBar()->triggerAction(key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                                 : QAbstractSlider::SliderSingleStepAdd);
    } else {
        return false;
    }
    return true;
}

void ListView::openContextMenuAtCurrentRow() {
    const QRect row = visualRect(currentIndex());
    const QPoint anchor = viewport()->mapTo(this, row.intersects(viewport()->rect()) ? row.bottomLeft() : QPoint());
    QContextMenuEvent event(QContextMenuEvent::Keyboard, anchor, mapToGlobal(anchor), Qt::NoModifier);
    QCoreApplication::sendEvent(this, &event);
}

QModelIndex ListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    // A table's Home and End go to the first and last column of the row; in a list they go to the first
    // and last row, as Ctrl+Home and Ctrl+End do. Only the target changes: the selection still follows
    // the keys as pressed.
    if (cursorAction == MoveHome || cursorAction == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(cursorAction, modifiers);
}

void ListView::dragEnterEvent(QDragEnterEvent* event) {
    if (m_dropping)
        dragMoveEvent(event);
    else
        QTableView::dragEnterEvent(event);
}

void ListView::dragMoveEvent(QDragMoveEvent* event) {
    if (!m_dropping) {
        QTableView::dragMoveEvent(event);
        return;
    }
    if (!takesDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void ListView::dropEvent(QDropEvent* event) {
    if (!m_dropping) {
        QTableView::dropEvent(event);
        return;
    }
    const QMimeData* data = event->mimeData();
    if (!takesDrop(data)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (const QStringList files = localFiles(data); !files.isEmpty())
        emit filesDropped(files);
    else
        emit textDropped(data->text());
}

void ListView::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void ListView::mouseMoveEvent(QMouseEvent* event) {
    emit pointerMoved();
    QTableView::mouseMoveEvent(event);
}

bool ListView::viewportEvent(QEvent* event) {
    // The item view hands a menu request over the rows straight to the widget's own handling.
    if (showContextMenu(event))
        return true;
    if (event->type() == QEvent::Enter || event->type() == QEvent::HoverMove)
        emit pointerMoved();
    return QTableView::viewportEvent(event);
}

} // namespace shell
