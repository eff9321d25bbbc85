#include "PlaylistViews.h"

#include "FileName.h"
#include "MusicFile.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

TMusicNode::TMusicNode(TMusicFile* record) : QTreeWidgetItem(NodeType), m_record(record) {}

QVariant TMusicNode::data(int column, int role) const
{
    // The name is read from the record when a row is shown, not stored beside it: a page
    // of tens of thousands of entries then opens without decoding every path.
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole) && m_record)
        return ReadableFileName(EntryDisplayName(*m_record));
    return QTreeWidgetItem::data(column, role);
}

TMusicFile* TMusicNode::DataOf(const QTreeWidgetItem* item)
{
    if (!item || item->type() != NodeType)
        return nullptr;
    return static_cast<const TMusicNode*>(item)->Data();
}

QString EntryRowText(const TMusicFile& record, const QString& nodeText)
{
    const QString number = record.IsFolder == 1 ? QStringLiteral("     ")
                                                : QStringLiteral("%1").arg(record.No, 5);
    return number + QString(2 * record.Level, QLatin1Char(' ')) + QLatin1Char(' ') + nodeText;
}

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

UpdateGuard::UpdateGuard(QWidget* widget) : m_widget(widget), m_wasEnabled(widget && widget->updatesEnabled())
{
    if (m_wasEnabled)
        m_widget->setUpdatesEnabled(false);
}

UpdateGuard::~UpdateGuard()
{
    if (m_wasEnabled)
        m_widget->setUpdatesEnabled(true);
}

namespace {

void setUpEntryView(QTreeWidget* view, const QString& name)
{
    view->setObjectName(name);
    view->setAccessibleName(name);
    view->setColumnCount(1);
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

TFileDropTree::TFileDropTree(QWidget* parent) : QTreeWidget(parent) {}

TDropTreeView::TDropTreeView(int tag, QWidget* parent) : TFileDropTree(parent), Tag(tag)
{
    setUpEntryView(this, QStringLiteral("TreeView%1").arg(tag));
    setHeaderHidden(true);
    // Hidden, but screen readers still find the column: it is named for what it shows.
    setHeaderLabels({QStringLiteral("번호와 곡 이름")});
    setIndentation(tag == 1 ? 16 : 19);
    if (tag == 1) {
        QPalette pal = palette();
        pal.setColor(QPalette::Base, QColor(240, 240, 240));
        setPalette(pal);
    }
}

QColor TDropTreeView::RowColor(const TMusicFile* record, bool selected)
{
    if (selected)
        return {128, 128, 128};
    if (record && record->IsFolder == 1)
        return {216, 216, 216};
    return {240, 240, 240};
}

bool TDropTreeView::AcceptsSource(const QObject* source) const
{
    return qobject_cast<const TDropTreeView*>(source) != nullptr;
}

void TDropTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QTreeWidgetItem* item = itemFromIndex(index);
    const TMusicFile* record = TMusicNode::DataOf(item);
    const bool selected = selectionModel() && selectionModel()->isSelected(index);
    const QRect row(0, option.rect.top(), viewport()->width(), option.rect.height());
    painter->fillRect(row, RowColor(record, selected));
    if (!item)
        return;
    painter->setFont(font());
    painter->setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
    const QString text = record ? EntryRowText(*record, item->text(0)) : item->text(0);
    painter->drawText(row, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
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
        // The base class scrolls near the edges and shows where the entries would go;
        // whether the model could take the data does not matter here.
        QTreeWidget::dragMoveEvent(event);
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
    emit EntriesDropped(qobject_cast<QWidget*>(event->source()), itemAt(event->position().toPoint()));
}

TDropListView::TDropListView(QWidget* parent) : TFileDropTree(parent)
{
    setUpEntryView(this, QStringLiteral("ListView1"));
    setHeaderLabels({QStringLiteral("음악 파일명")});
    header()->resizeSection(0, 500);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(230, 235, 249));
    setPalette(pal);
}

bool TDropListView::AcceptsSource(const QObject* source) const
{
    return qobject_cast<const TDropListView*>(source) != nullptr;
}

QTreeWidgetItem* TDropListView::NewItem(const QString& path)
{
    auto* item = new QTreeWidgetItem;
    // The path itself is the caption unless it holds something that must not be shown
    // as it is; the row then shows the readable form and keeps the path beside it.
    const QString shown = ReadableFileName(path);
    item->setText(0, shown);
    if (shown != path)
        item->setData(0, PathRole, path);
    return item;
}

QString TDropListView::PathOf(const QTreeWidgetItem* item)
{
    if (!item)
        return {};
    const QVariant path = item->data(0, PathRole);
    return path.isValid() ? path.toString() : item->text(0);
}

QString TDropListView::Caption(int index) const
{
    return PathOf(topLevelItem(index));
}

QStringList TDropListView::Captions() const
{
    QStringList captions;
    const int count = topLevelItemCount();
    captions.reserve(count);
    for (int i = 0; i < count; ++i)
        captions.append(PathOf(topLevelItem(i)));
    return captions;
}
