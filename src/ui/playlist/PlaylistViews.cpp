#include "PlaylistViews.h"

#include "FileName.h"
#include "PlaylistModel.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

QStringList DroppedLocalPaths(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls()) {
        const QString path = LocalPathOfUrl(url);
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

namespace {

void setUpEntryView(QTreeView* view, const QString& name)
{
    view->setObjectName(name);
    view->setAccessibleName(name);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setSortingEnabled(false);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setAcceptDrops(true);
    view->viewport()->setAcceptDrops(true);
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDefaultDropAction(Qt::MoveAction);
    view->setDropIndicatorShown(true);
}

template <typename Event>
bool acceptFileDrag(Event* event)
{
    if (DroppedLocalPaths(event->mimeData()).isEmpty())
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

TFileDropTree::TFileDropTree(QWidget* parent) : QTreeView(parent) {}

void TFileDropTree::ShowPage(PlaylistModel& model, int pageNo)
{
    m_playlist = &model;
    m_pageNo = pageNo;
    setModel(&model);
    // The view's own selection model gives way to the page's, which the model keeps.
    QItemSelectionModel* own = selectionModel();
    setSelectionModel(model.SelectionModel(pageNo));
    if (own && own != selectionModel())
        own->deleteLater();
    setRootIndex(model.PageIndex(pageNo));
    PageShown();
}

int TFileDropTree::EntryCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

QModelIndex TFileDropTree::EntryIndex(int row) const
{
    return model() ? model()->index(row, 0, rootIndex()) : QModelIndex();
}

int TFileDropTree::RowOf(const QModelIndex& index) const
{
    return index.isValid() && index.parent() == rootIndex() ? index.row() : -1;
}

void TFileDropTree::setKeyboardUsed(bool used)
{
    m_keyboardUsed = used;
    const bool held = used && hasFocus();
    if (held == m_held)
        return;
    m_held = held;
    emit CursorHeldChanged(held);
}

void TFileDropTree::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        setKeyboardUsed(true);
        break;
    case Qt::MouseFocusReason:
        setKeyboardUsed(false);
        break;
    default:
        // Back in an active window, the cursor is whose it was.
        setKeyboardUsed(m_keyboardUsed);
        break;
    }
}

void TFileDropTree::focusOutEvent(QFocusEvent* event)
{
    QTreeView::focusOutEvent(event);
    setKeyboardUsed(m_keyboardUsed);
}

void TFileDropTree::keyPressEvent(QKeyEvent* event)
{
    setKeyboardUsed(true);
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit PlayKey();
        return;
    case Qt::Key_Delete:
        emit DeleteKey();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (alt) {
            emit MoveKey(event->key() == Qt::Key_Up ? -1 : 1);
            return;
        }
        break;
    default:
        break;
    }
    QTreeView::keyPressEvent(event);
}

void TFileDropTree::mousePressEvent(QMouseEvent* event)
{
    setKeyboardUsed(false);
    QTreeView::mousePressEvent(event);
}

void TFileDropTree::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QTreeView::mouseDoubleClickEvent(event);
        return;
    }
    // Below the last entry nothing plays.
    const int row = RowOf(indexAt(event->position().toPoint()));
    if (row >= 0)
        emit EntryDoubleClicked(row);
}

void TFileDropTree::dragEnterEvent(QDragEnterEvent* event)
{
    if (acceptFileDrag(event))
        return;
    if (AcceptsSource(event->source())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return;
    }
    event->ignore();
}

void TFileDropTree::dragMoveEvent(QDragMoveEvent* event)
{
    if (acceptFileDrag(event))
        return;
    if (AcceptsSource(event->source())) {
        // The base class scrolls near the edges and shows where the entries would go.
        QTreeView::dragMoveEvent(event);
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return;
    }
    event->ignore();
}

void TFileDropTree::dropEvent(QDropEvent* event)
{
    const QStringList paths = DroppedLocalPaths(event->mimeData());
    if (!paths.isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        emit FilesDropped(paths);
        return;
    }
    if (!AcceptsSource(event->source())) {
        event->ignore();
        return;
    }
    // Reported as a copy, so the source view never removes what it thinks was moved.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    emit EntriesDropped(qobject_cast<QWidget*>(event->source()), RowOf(indexAt(event->position().toPoint())));
}

void PageRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool marked = (option.state & QStyle::State_Selected) || index.data(PlaylistModel::CurrentRole).toBool();
    painter->fillRect(option.rect, TDropTreeView::RowColor(index.data(PlaylistModel::IsFolderRole).toBool(), marked));
    painter->setFont(option.font);
    painter->setPen(marked ? QColor(Qt::white) : QColor(Qt::black));
    painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(PlaylistModel::RowTextRole).toString());
}

void ListRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(PlaylistModel::CurrentRole).toBool())
        option->state |= QStyle::State_Selected;
}

TDropTreeView::TDropTreeView(int tag, QWidget* parent) : TFileDropTree(parent), Tag(tag)
{
    setUpEntryView(this, QStringLiteral("TreeView%1").arg(tag));
    setHeaderHidden(true);
    // Hidden, but screen readers still find the column: it is named for what it shows.
    SetHeaderName(QStringLiteral("번호와 곡 이름"));
    setIndentation(tag == 1 ? 16 : 19);
    setItemDelegate(new PageRowDelegate(this));
    if (tag == 1) {
        QPalette pal = palette();
        pal.setColor(QPalette::Base, QColor(240, 240, 240));
        setPalette(pal);
    }
}

QColor TDropTreeView::RowColor(bool folder, bool selected)
{
    if (selected)
        return {128, 128, 128};
    if (folder)
        return {216, 216, 216};
    return {240, 240, 240};
}

bool TDropTreeView::AcceptsSource(const QObject* source) const
{
    return qobject_cast<const TDropTreeView*>(source) != nullptr;
}

void TDropTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The whole row, from the view's left edge (all entries are at the top level, so no
    // indentation is added) to its right one.
    QStyleOptionViewItem row = option;
    row.rect = QRect(0, option.rect.top(), viewport()->width(), option.rect.height());
    row.font = font();
    if (selectionModel() && selectionModel()->isSelected(index))
        row.state |= QStyle::State_Selected;
    else
        row.state &= ~QStyle::State_Selected;
    itemDelegateForIndex(index)->paint(painter, row, index);
}

TDropListView::TDropListView(QWidget* parent) : TFileDropTree(parent)
{
    setUpEntryView(this, QStringLiteral("ListView1"));
    setItemDelegate(new ListRowDelegate(this));
    SetHeaderName(QStringLiteral("음악 파일명"));
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(230, 235, 249));
    setPalette(pal);
}

void TDropListView::PageShown()
{
    header()->resizeSection(0, 500);
}

bool TDropListView::AcceptsSource(const QObject* source) const
{
    return qobject_cast<const TDropListView*>(source) != nullptr;
}

QString TDropListView::Caption(int row) const
{
    return EntryIndex(row).data(PlaylistModel::PathRole).toString();
}

QStringList TDropListView::Captions() const
{
    QStringList captions;
    const int count = EntryCount();
    captions.reserve(count);
    for (int row = 0; row < count; ++row)
        captions.append(Caption(row));
    return captions;
}
