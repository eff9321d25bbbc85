// What screen readers see of the playlist window's own widgets: the window is a frame
// named by its caption, and each page tree and the temporary list a list whose entries
// are list items a reader can play. (The master-volume track is a KnobTrack, a slider of
// its own.)

#include "Playlist.h"

#include "PlaylistViews.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>

namespace {

// The window itself: a frame named by its caption.
class PlayListWindowAccessible : public QAccessibleWidget {
public:
    explicit PlayListWindowAccessible(QWidget* window) : QAccessibleWidget(window, QAccessible::Window) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return widget()->windowTitle();
        return QAccessibleWidget::text(t);
    }
};

// A part of a view that is not a widget of its own (a row, the column header): no
// children, no object, a child of its view's interface, its text not settable.
class ViewPartAccessible : public QAccessibleInterface {
public:
    explicit ViewPartAccessible(TFileDropTree* view) : m_view(view) {}

    bool isValid() const override { return m_view; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

protected:
    QPointer<TFileDropTree> m_view;
};

// A row of a page tree or of the temporary list: a list item named as it reads, that a
// reader can play (its default action, as Enter and a double-click do) or select.
class EntryAccessible : public ViewPartAccessible, public QAccessibleActionInterface {
public:
    static QString playAction() { return QStringLiteral("Play"); }

    EntryAccessible(TFileDropTree* view, const QModelIndex& entry) : ViewPartAccessible(view), m_entry(entry) {}

    // The entry may have gone since: it is asked for only while the view shows it.
    bool isValid() const override { return m_view && m_view->RowOf(m_entry) >= 0; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    int Row() const { return isValid() ? m_entry.row() : -1; }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        return m_entry.data(Qt::DisplayRole).toString().simplified();
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = m_view->visualRect(m_entry);
        return QRect(m_view->viewport()->mapToGlobal(local.topLeft()), local.size());
    }

    // Rows of a page that is not shown are neither visible nor showing; the current row
    // is focused only while its window has the keyboard.
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        const bool shown = m_view->isVisible();
        state.invisible = !shown;
        state.offscreen = !shown || !m_view->viewport()->rect().intersects(m_view->visualRect(m_entry));
        state.selectable = true;
        state.multiSelectable = true;
        state.selected = m_view->selectionModel() && m_view->selectionModel()->isSelected(m_entry);
        state.focusable = true;
        state.focused = shown && m_view->hasFocus() && m_view->isActiveWindow() && m_view->currentIndex() == m_entry;
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override
    {
        if (!isValid())
            return {};
        QStringList names;
        if (m_view->PlayEntry)
            names << playAction();
        return names << toggleAction();
    }

    QString localizedActionDescription(const QString& name) const override
    {
        if (name == playAction())
            return QStringLiteral("이 곡을 재생합니다");
        return QAccessibleActionInterface::localizedActionDescription(name);
    }

    QStringList keyBindingsForAction(const QString& name) const override
    {
        if (name == playAction())
            return {QStringLiteral("Return")};
        return {};
    }

    // Runs after the reader's request has been answered, as a press of a button does.
    void doAction(const QString& name) override
    {
        if (!isValid())
            return;
        QPointer<TFileDropTree> view = m_view;
        const QPersistentModelIndex entry = m_entry;
        if (name == playAction() && view->PlayEntry) {
            QMetaObject::invokeMethod(
                view, [view, entry] {
                    if (view && view->RowOf(entry) >= 0 && view->PlayEntry)
                        view->PlayEntry(entry.row());
                },
                Qt::QueuedConnection);
        } else if (name == toggleAction() && view->selectionModel()) {
            view->selectionModel()->select(m_entry, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
        }
    }

private:
    QPersistentModelIndex m_entry;
};

// The column header of a view: named by what the column shows; a page tree's is hidden.
class HeaderAccessible : public ViewPartAccessible {
public:
    using ViewPartAccessible::ViewPartAccessible;
    QAccessible::Role role() const override { return QAccessible::ColumnHeader; }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && m_view ? m_view->HeaderName() : QString();
    }
    QRect rect() const override
    {
        if (!m_view || m_view->isHeaderHidden())
            return {};
        const QHeaderView* header = m_view->header();
        return QRect(header->mapToGlobal(QPoint(0, 0)), header->size());
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !m_view || m_view->isHeaderHidden() || !m_view->isVisible();
        return state;
    }
};

// A page tree or the temporary list: a list of its entries. Child 0 is the column header
// and the entries follow it, as the view counts them when it reports a change of focus
// or of selection (it counts its header even when that is hidden).
class EntryViewAccessible : public QAccessibleWidget {
public:
    explicit EntryViewAccessible(TFileDropTree* view) : QAccessibleWidget(view, QAccessible::List) {}

    ~EntryViewAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_entries))
            QAccessible::deleteAccessibleInterface(id);
        if (m_header)
            QAccessible::deleteAccessibleInterface(m_header);
    }

    int childCount() const override { return 1 + view()->EntryCount(); }

    QAccessibleInterface* child(int index) const override
    {
        if (index == 0)
            return QAccessible::accessibleInterface(headerId());
        const QModelIndex entry = view()->EntryIndex(index - 1);
        return entry.isValid() ? QAccessible::accessibleInterface(entryId(entry)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        if (child->role() == QAccessible::ColumnHeader)
            return 0;
        if (child->parent() != this)
            return -1;
        const int row = static_cast<const EntryAccessible*>(child)->Row();
        return row >= 0 ? row + 1 : -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QModelIndex entry = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return view()->RowOf(entry) >= 0 ? QAccessible::accessibleInterface(entryId(entry)) : nullptr;
    }

    // The current entry holds the focus the list has; the list itself only when empty.
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.multiSelectable = true;
        state.focused = state.focused && view()->RowOf(view()->currentIndex()) < 0;
        return state;
    }

private:
    TFileDropTree* view() const { return static_cast<TFileDropTree*>(widget()); }

    QAccessible::Id headerId() const
    {
        if (!m_header)
            m_header = QAccessible::registerAccessibleInterface(new HeaderAccessible(view()));
        return m_header;
    }

    // One interface per entry for as long as the entry lives; those of entries that are
    // gone are let go when more of them pile up than the view holds.
    QAccessible::Id entryId(const QModelIndex& entry) const
    {
        if (const auto found = m_entries.constFind(QPersistentModelIndex(entry)); found != m_entries.cend())
            return *found;
        if (m_entries.size() > 2 * view()->EntryCount() + 64) {
            for (auto it = m_entries.begin(); it != m_entries.end();) {
                if (!it.key().isValid()) {
                    QAccessible::deleteAccessibleInterface(*it);
                    it = m_entries.erase(it);
                } else {
                    ++it;
                }
            }
        }
        const QAccessible::Id id = QAccessible::registerAccessibleInterface(new EntryAccessible(view(), entry));
        m_entries.insert(QPersistentModelIndex(entry), id);
        return id;
    }

    mutable QHash<QPersistentModelIndex, QAccessible::Id> m_entries;
    mutable QAccessible::Id m_header = 0;
};

// A tab of the pages' tab bar: a page tab named by its caption, selected while its page
// is shown, focused only while the bar has the focus of the active window; its action
// shows the page.
class PageTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PageTabAccessible(QTabBar* bar, int index) : m_bar(bar), m_index(index) {}

    bool isValid() const override { return m_bar && m_index < m_bar->count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_bar ? m_bar->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_bar.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    void setText(QAccessible::Text, const QString&) override {}
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? m_bar->tabText(m_index).trimmed() : QString();
    }
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = m_bar->tabRect(m_index);
        return QRect(m_bar->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.invisible = !m_bar->isVisible();
        state.offscreen = state.invisible || !m_bar->rect().intersects(m_bar->tabRect(m_index));
        state.selectable = true;
        state.focusable = true;
        const bool current = m_bar->currentIndex() == m_index;
        state.selected = current;
        state.focused = current && m_bar->hasFocus() && m_bar->isActiveWindow();
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && isValid())
            m_bar->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QTabBar> m_bar;
    int m_index;
};

// The pages' tab bar: a page tab list of its tabs (as the bar counts them when it reports
// a change of the current tab), focused itself only when no tab could be.
class PageTabListAccessible : public QAccessibleWidget {
public:
    explicit PageTabListAccessible(QTabBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}
    ~PageTabListAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_tabs))
            QAccessible::deleteAccessibleInterface(id);
    }
    int childCount() const override { return bar()->count(); }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= bar()->count())
            return nullptr;
        while (m_tabs.size() <= index)
            m_tabs.append(QAccessible::registerAccessibleInterface(new PageTabAccessible(bar(), int(m_tabs.size()))));
        return QAccessible::accessibleInterface(m_tabs[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 0; i < m_tabs.size(); ++i)
            if (QAccessible::accessibleInterface(m_tabs[i]) == child)
                return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const int index = bar()->tabAt(bar()->mapFromGlobal(QPoint(x, y)));
        return index >= 0 ? child(index) : nullptr;
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focused = state.focused && bar()->count() == 0;
        return state;
    }

private:
    QTabBar* bar() const { return static_cast<QTabBar*>(widget()); }
    mutable QList<QAccessible::Id> m_tabs;
};

// The page control: a panel holding the tab bar and the shown page. The focus it hands
// on to its tab bar is the bar's, not its own.
class PageControlAccessible : public QAccessibleWidget {
public:
    explicit PageControlAccessible(QWidget* control) : QAccessibleWidget(control, QAccessible::Pane) {}
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.focusable = false;
        state.focused = false;
        return state;
    }
};

QAccessibleInterface* playlistAccessible(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("TPageTabBar"))
        return new PageTabListAccessible(static_cast<QTabBar*>(object));
    if (className == QLatin1String("TPageControl"))
        return new PageControlAccessible(static_cast<QWidget*>(object));
    if (className == QLatin1String("TDropTreeView") || className == QLatin1String("TDropListView"))
        return new EntryViewAccessible(static_cast<TFileDropTree*>(object));
    if (className == QLatin1String("TFormPlayList"))
        return new PlayListWindowAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void InstallPlaylistAccessibility()
{
    static const bool installed = (QAccessible::installFactory(playlistAccessible), true);
    (void)installed;
}
