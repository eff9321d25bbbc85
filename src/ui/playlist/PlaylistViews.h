#pragma once
// The widgets of the playlist window that hold entries: the five page trees and the
// temporary list. Both take files dropped from the file manager and hand the local
// paths on through `FilesDropped`; what becomes of them is `CPlaylist`'s business.

#include <QHash>
#include <QStringList>
#include <QTreeWidget>

#include <functional>

#include <cstdint>
#include <memory>

class QMimeData;
struct TMusicFile;

// A top-level node of a page tree. It owns its record: deleting the node frees it.
class TMusicNode : public QTreeWidgetItem {
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 1;

    explicit TMusicNode(std::unique_ptr<TMusicFile> record);
    ~TMusicNode() override;

    TMusicFile* Data() const { return record_.get(); }
    // Column 0 shows `EntryDisplayName` of the record.
    QVariant data(int column, int role) const override;
    // The record of any node of a page tree; null for a node of another kind.
    static TMusicFile* DataOf(const QTreeWidgetItem* item);

private:
    std::unique_ptr<TMusicFile> record_;
};

// The text a page row shows: the number ("%5d", five blanks for a folder heading),
// 2 × `Level` blanks, one blank, then the node text.
QString EntryRowText(const TMusicFile& record, const QString& nodeText);

// The local file paths of a drop, in order; empty when it carries none.
QStringList DroppedLocalPaths(const QMimeData* mime);

// Keeps a widget from repainting until the outermost guard ends.
class UpdateGuard {
public:
    explicit UpdateGuard(QWidget* widget);
    ~UpdateGuard();
    UpdateGuard(const UpdateGuard&) = delete;
    UpdateGuard& operator=(const UpdateGuard&) = delete;

private:
    QWidget* widget_;
    bool wasEnabled_;
};

// A tree widget that takes files dropped from the file manager and hands their local
// paths on through `FilesDropped`. Its own entries can be dragged: a drag whose source
// the subclass accepts (`AcceptsSource`) is reported through `EntriesDropped` with the
// item under the drop point (null below the last one); the view itself moves nothing.
class TFileDropTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TFileDropTree(QWidget* parent = nullptr);

    // Plays an entry as a double-click on it does: what a screen reader's "Play" on a row
    // runs. Set by the playlist window; empty, the rows offer no way to play.
    std::function<void(QTreeWidgetItem*)> PlayEntry;

signals:
    void FilesDropped(const QStringList& paths);
    void EntriesDropped(QWidget* source, QTreeWidgetItem* target);

protected:
    virtual bool AcceptsSource(const QObject* source) const = 0;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// One page's tree: `TreeView1` to `TreeView5`, with `Tag` = page number. Rows are drawn
// as `EntryRowText` on the colour of `RowColor`.
class TDropTreeView : public TFileDropTree {
    Q_OBJECT
public:
    TDropTreeView(int tag, QWidget* parent = nullptr);

    // Grey 128 when selected, 216 for a folder heading, else 240.
    static QColor RowColor(const TMusicFile* record, bool selected);

    const int Tag;

    // Where numbering stood after the last renumbering: the number the next file gets
    // when the tree still has `Rows` nodes. Lets entries appended by a walk be numbered
    // without looking back over the page.
    struct NumberingHint {
        int Rows = -1;
        std::int32_t Next = 1;
    } Numbering;

protected:
    // Drags from any page tree are accepted; the drop handler ignores other pages.
    bool AcceptsSource(const QObject* source) const override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The temporary list, `ListView1`: one column whose item captions are the entries.
class TDropListView : public TFileDropTree {
    Q_OBJECT
public:
    explicit TDropListView(QWidget* parent = nullptr);
    ~TDropListView() override;

    // Item data role that holds an entry's path when its caption is not the path itself.
    static constexpr int PathRole = Qt::UserRole + 1;
    // A new item for `path`: its caption is the path as shown (ReadableFileName).
    static QTreeWidgetItem* NewItem(const QString& path);
    // The path an item of the list stands for.
    static QString PathOf(const QTreeWidgetItem* item);

    // The paths of the entries, the list's captions.
    QString Caption(int index) const;
    QStringList Captions() const;
    void AppendCaption(const QString& caption);
    // The same for many captions at once, in order.
    void AppendCaptions(const QStringList& captions);
    // The first entry whose path is exactly `path` (names are bytes: case counts);
    // null when none.
    QTreeWidgetItem* ItemWithPath(const QString& path);
    bool HasCaption(const QString& path);

protected:
    bool AcceptsSource(const QObject* source) const override;

private:
    // Paths to their first entries, so a drop of thousands of files does not compare
    // each one with every item. Any change to the items not made by AppendCaption
    // invalidates it; it is rebuilt at the next question.
    QHash<QString, QTreeWidgetItem*> paths_;
    bool pathsValid_ = false;
    bool appending_ = false;
    // The model outlives this class's part of the object and reports its own
    // teardown; these connections must be gone by then.
    QList<QMetaObject::Connection> modelConnections_;
};
