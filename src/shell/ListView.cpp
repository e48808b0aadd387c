#include "ListView.h"

#include "core/ListModel.h"
#include "platform/Twips.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

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
    // The item view's own Space would toggle the current row only.
    if (m_ticking && m_model != nullptr && m_model->isCheckable() && event->key() == Qt::Key_Space &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        m_model->toggleTicks(selectionModel()->selection());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

bool ListView::event(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            const QModelIndex current = currentIndex();
            const QRect area = viewport()->rect();
            QPoint at = current.isValid() ? visualRect(current).center() : area.topLeft();
            at = QPoint(std::clamp(at.x(), area.left(), area.right()), std::clamp(at.y(), area.top(), area.bottom()));
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, viewport()->mapTo(this, at),
                                   viewport()->mapToGlobal(at), key->modifiers());
            QCoreApplication::sendEvent(this, &menu);
            return true;
        }
    }
    return QTableView::event(event);
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
    if (event->type() == QEvent::Enter || event->type() == QEvent::HoverMove)
        emit pointerMoved();
    return QTableView::viewportEvent(event);
}

} // namespace shell
