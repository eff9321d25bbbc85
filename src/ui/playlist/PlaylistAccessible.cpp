// What screen readers see of the playlist window's own widgets: the window is a frame
// named by its caption, the master-volume track a slider with a value that can be read
// and set.

#include "Playlist.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeyEvent>

namespace {

class TrackAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TrackAccessible(TTrackShape* track) : QAccessibleWidget(track, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return track()->Value ? track()->Value() : 0; }
    void setCurrentValue(const QVariant& value) override
    {
        if (track()->SetValue)
            track()->SetValue(value.toInt());
    }
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    TTrackShape* track() const { return static_cast<TTrackShape*>(widget()); }
};

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

QAccessibleInterface* playlistAccessible(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("TTrackShape"))
        return new TrackAccessible(static_cast<TTrackShape*>(object));
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

void TTrackShape::keyPressEvent(QKeyEvent* event)
{
    if (!Value || !SetValue) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        SetValue(std::max(0, Value() - 5));
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        SetValue(std::min(100, Value() + 5));
        break;
    case Qt::Key_Home:
        SetValue(0);
        break;
    case Qt::Key_End:
        SetValue(100);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    QAccessibleValueChangeEvent changed(this, Value());
    QAccessible::updateAccessibility(&changed);
}
