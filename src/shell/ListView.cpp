#include "ListView.h"

#include "core/ListModel.h"
#include "platform/Twips.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

using namespace Qt::StringLiterals;

namespace shell {

ListView::ListView(QWidget* parent)
    : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
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

void ListView::applyWidth(int column, int twips) {
    setColumnWidth(column - 1, platform::twipsToPixels(twips));
}

void ListView::keyPressEvent(QKeyEvent* event) {
    emit keyDown(event->key(), event->modifiers());
    // The item view's own Space would toggle the current row only.
    if (m_ticking && m_model != nullptr && m_model->isCheckable() && event->key() == Qt::Key_Space &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        m_model->toggleTicks(selectionModel()->selection());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

QModelIndex ListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    // A table's Home and End go to the first and last column of the row; in a list they go to the first
    // and last row, as Ctrl+Home and Ctrl+End do. Only the target changes: the selection still follows
    // the keys as pressed.
    if (cursorAction == MoveHome || cursorAction == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(cursorAction, modifiers);
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
    if (event->type() == QEvent::Enter || event->type() == QEvent::HoverMove)
        emit pointerMoved();
    return QTableView::viewportEvent(event);
}

} // namespace shell
