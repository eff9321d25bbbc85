#pragma once
// The widgets of the playlist window that hold entries: the five page trees and the
// temporary list. Both take files dropped from the file manager and hand the local
// paths on through `FilesDropped`; what becomes of them is `PlaylistPages`'s business. The
// entries they show belong to the playlist model (PlaylistModel.h), which `PlaylistPages`
// mirrors here; nothing else adds or removes rows.

#include <QHash>
#include <QStringList>
#include <QTreeWidget>

#include <functional>

#include <cstdint>
#include <memory>

class QMimeData;
struct TMusicFile;

// A top-level node of a page tree: the row of one record of the model, which owns the
// record and outlives the node.
class TMusicNode : public QTreeWidgetItem {
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 1;

    explicit TMusicNode(TMusicFile* record);

    TMusicFile* Data() const { return m_record; }
    // Column 0 shows `EntryDisplayName` of the record.
    QVariant data(int column, int role) const override;
    // The record of any node of a page tree; null for a node of another kind.
    static TMusicFile* DataOf(const QTreeWidgetItem* item);

private:
    TMusicFile* m_record;
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
    QWidget* m_widget;
    bool m_wasEnabled;
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

    // Item data role that holds an entry's path when its caption is not the path itself.
    static constexpr int PathRole = Qt::UserRole + 1;
    // A new item for `path`: its caption is the path as shown (ReadableFileName).
    static QTreeWidgetItem* NewItem(const QString& path);
    // The path an item of the list stands for.
    static QString PathOf(const QTreeWidgetItem* item);

    // The paths of the entries, the list's captions.
    QString Caption(int index) const;
    QStringList Captions() const;

protected:
    bool AcceptsSource(const QObject* source) const override;
};
