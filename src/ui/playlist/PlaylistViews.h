#pragma once
// The widgets of the playlist window that show entries: the five page trees and the
// temporary list, each a view of one page of the playlist model (PlaylistModel.h) that
// shares the page's selection. They keep no entry of their own: they draw what the model
// holds, take files dropped from the file manager and entries dragged inside them, and
// hand both on as signals; what becomes of them is `PlaylistPages`'s business.

#include <QStringList>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <functional>

class PlaylistModel;
class QMimeData;

// The local file paths of a drop, in order; empty when it carries none.
QStringList DroppedLocalPaths(const QMimeData* mime);

// A view of one page of the model that takes files dropped from the file manager and
// hands their local paths on through `FilesDropped`. Its own entries can be dragged: a
// drag whose source the subclass accepts (`AcceptsSource`) is reported through
// `EntriesDropped` with the row under the drop point (-1 below the last one); the view
// itself moves nothing. A double-click and the keys that act on entries (Enter, Delete,
// Alt+Up and Alt+Down) are handed on as signals too.
//
// The view tells whose cursor its current row is: the keyboard user's while it has the
// keyboard focus and the keyboard was used in it last (the focus came by Tab, or a key
// was pressed in it), not after a click in it or once the focus is elsewhere
// (`CursorHeldChanged`).
class TFileDropTree : public QTreeView {
    Q_OBJECT
public:
    explicit TFileDropTree(QWidget* parent = nullptr);

    // Shows page `pageNo` of `model` (its `ListPage` for the list) with the page's
    // selection. The model must outlive the view.
    void ShowPage(PlaylistModel& model, int pageNo);
    PlaylistModel* Playlist() const { return m_playlist; }
    int PageNo() const { return m_pageNo; }
    // The page's entries as this view shows them.
    int EntryCount() const;
    QModelIndex EntryIndex(int row) const;
    // The page row of an index of this view; -1 for anything else.
    int RowOf(const QModelIndex& index) const;
    // What screen readers call the column, whether its header shows or not.
    QString HeaderName() const { return m_headerName; }
    void SetHeaderName(const QString& name) { m_headerName = name; }

    // Plays the entry on `row` as a double-click on it does: what a screen reader's
    // "Play" on a row runs. Set by the playlist window; empty, the rows offer no way to
    // play.
    std::function<void(int row)> PlayEntry;

    // True while the current row is the keyboard user's cursor.
    bool CursorHeld() const { return m_held; }

signals:
    void FilesDropped(const QStringList& paths);
    void EntriesDropped(QWidget* source, int targetRow);
    // A double-click with the left button on the entry at `row`.
    void EntryDoubleClicked(int row);
    // Enter; Delete; Alt+Up (`step` -1) and Alt+Down (`step` 1).
    void PlayKey();
    void DeleteKey();
    void MoveKey(int step);
    void CursorHeldChanged(bool held);

protected:
    virtual bool AcceptsSource(const QObject* source) const = 0;
    // The page's rows are shown: what depends on the model's columns is set here.
    virtual void PageShown() {}
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setKeyboardUsed(bool used);

    PlaylistModel* m_playlist = nullptr;
    int m_pageNo = 0;
    QString m_headerName;
    bool m_keyboardUsed = false;  // the keyboard, not the mouse, was used here last
    bool m_held = false;
};

// Draws a page row as the page trees always have: the whole row grey 128 when it is
// selected or plays, 216 for a folder heading, else 240, and on it the row text
// (`RowTextRole`) from the left edge, white on grey 128.
class PageRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Draws a row of the temporary list as an item view does, the entry that plays as a
// selected one.
class ListRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// One page's tree: `TreeView1` to `TreeView5`, with `Tag` = page number. Each row is
// drawn across the view by `PageRowDelegate`.
class TDropTreeView : public TFileDropTree {
    Q_OBJECT
public:
    TDropTreeView(int tag, QWidget* parent = nullptr);

    // Grey 128 when selected, 216 for a folder heading, else 240.
    static QColor RowColor(bool folder, bool selected);

    const int Tag;

protected:
    // Drags from any page tree are accepted; the drop handler ignores other pages.
    bool AcceptsSource(const QObject* source) const override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The temporary list, `ListView1`: one column headed "음악 파일명" whose rows are the
// entries' paths.
class TDropListView : public TFileDropTree {
    Q_OBJECT
public:
    explicit TDropListView(QWidget* parent = nullptr);

    // The path of the entry on `row`, and all of them.
    QString Caption(int row) const;
    QStringList Captions() const;

protected:
    bool AcceptsSource(const QObject* source) const override;
    void PageShown() override;
};
