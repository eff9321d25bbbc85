#include "PlaylistViews.h"

#include "MusicFile.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

TMusicNode::TMusicNode(std::unique_ptr<TMusicFile> record)
    : QTreeWidgetItem(NodeType), record_(std::move(record))
{
    if (record_)
        setText(0, EntryDisplayName(*record_));
}

TMusicNode::~TMusicNode() = default;

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
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.append(url.toLocalFile());
    return paths;
}

UpdateGuard::UpdateGuard(QWidget* widget) : widget_(widget), wasEnabled_(widget && widget->updatesEnabled())
{
    if (wasEnabled_)
        widget_->setUpdatesEnabled(false);
}

UpdateGuard::~UpdateGuard()
{
    if (wasEnabled_)
        widget_->setUpdatesEnabled(true);
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

TDropTreeView::TDropTreeView(int tag, QWidget* parent) : TFileDropTree(parent), Tag(tag)
{
    setUpEntryView(this, QStringLiteral("TreeView%1").arg(tag));
    setHeaderHidden(true);
    setIndentation(tag == 1 ? 16 : 19);
    if (tag == 1) {
        QPalette pal = palette();
        pal.setColor(QPalette::Base, QColor(240, 240, 240));
        setPalette(pal);
    }
}

void TFileDropTree::dragEnterEvent(QDragEnterEvent* event)
{
    if (!acceptFileDrag(event))
        QTreeWidget::dragEnterEvent(event);
}

void TFileDropTree::dragMoveEvent(QDragMoveEvent* event)
{
    if (!acceptFileDrag(event))
        QTreeWidget::dragMoveEvent(event);
}

void TFileDropTree::dropEvent(QDropEvent* event)
{
    const QStringList paths = DroppedLocalPaths(event->mimeData());
    if (paths.isEmpty()) {
        QTreeWidget::dropEvent(event);
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit FilesDropped(paths);
}

TDropListView::TDropListView(QWidget* parent) : TFileDropTree(parent)
{
    setUpEntryView(this, QStringLiteral("ListView1"));
    setHeaderLabels({QStringLiteral("음악 파일명")});
    header()->resizeSection(0, 500);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(230, 235, 249));
    setPalette(pal);

    const auto invalidate = [this] {
        if (!appending_)
            loweredValid_ = false;
    };
    QAbstractItemModel* m = model();
    modelConnections_ = {
        connect(m, &QAbstractItemModel::rowsInserted, this, invalidate),
        connect(m, &QAbstractItemModel::rowsRemoved, this, invalidate),
        connect(m, &QAbstractItemModel::rowsMoved, this, invalidate),
        connect(m, &QAbstractItemModel::dataChanged, this, invalidate),
        connect(m, &QAbstractItemModel::modelReset, this, invalidate),
        connect(m, &QAbstractItemModel::layoutChanged, this, invalidate),
    };
}

TDropListView::~TDropListView()
{
    for (const auto& connection : modelConnections_)
        disconnect(connection);
}

QString TDropListView::Caption(int index) const
{
    const QTreeWidgetItem* item = topLevelItem(index);
    return item ? item->text(0) : QString();
}

QStringList TDropListView::Captions() const
{
    QStringList captions;
    const int count = topLevelItemCount();
    captions.reserve(count);
    for (int i = 0; i < count; ++i)
        captions.append(topLevelItem(i)->text(0));
    return captions;
}

void TDropListView::AppendCaption(const QString& caption)
{
    auto* item = new QTreeWidgetItem(QStringList{caption});
    appending_ = true;
    addTopLevelItem(item);
    appending_ = false;
    if (loweredValid_)
        lowered_.insert(caption.toLower());
}

bool TDropListView::HasLoweredCaption(const QString& lowered)
{
    if (!loweredValid_) {
        lowered_.clear();
        const int count = topLevelItemCount();
        for (int i = 0; i < count; ++i)
            lowered_.insert(topLevelItem(i)->text(0).toLower());
        loweredValid_ = true;
    }
    return lowered_.contains(lowered);
}

