#pragma once
// The player on the session bus for the desktop's media keys and sound applets: the
// MPRIS 2 root and player interfaces at /org/mpris/MediaPlayer2, under the name
// org.mpris.MediaPlayer2.sorvel. Everything goes through `IMediaControl`; nothing here
// knows the windows. Window thread only.
//
// The program tells it of every change as it happens (`Refresh` after a change of state,
// song, length or volume, `TellSeeked` after a seek); it sends PropertiesChanged for what
// differs from what the bus was last told, and Seeked. Nothing here runs on a timer: the
// position is read when the bus asks for it.

#include "MediaControl.h"

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

class QDBusObjectPath;

class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* ObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* RootInterface = "org.mpris.MediaPlayer2";
    static constexpr const char* PlayerInterface = "org.mpris.MediaPlayer2.Player";

    MprisService(IMediaControl& media, const QDBusConnection& bus, QObject* parent = nullptr);
    ~MprisService() override;

    // Puts the object and the name on the bus: "org.mpris.MediaPlayer2.sorvel", or with
    // ".instance<pid>" when another program holds that name. False without a bus.
    bool Register();
    // The bus name taken, empty before Register succeeded.
    QString ServiceName() const { return m_serviceName; }

    // Compares what the player shows with what the bus was last told, and tells the bus
    // what differs.
    void Refresh();
    // The position jumped to `ms` (a seek, from the bus or from the player).
    void TellSeeked(qint64 ms);

    // --- the interfaces' members, for the adaptors ---
    QString PlaybackStatusText() const;
    QVariantMap Metadata() const;
    qint64 PositionUs() const;
    double Volume() const;
    void SetVolume(double volume);
    bool CanSeek() const;
    void Seek(qint64 offsetUs);
    void SetPosition(const QDBusObjectPath& trackId, qint64 positionUs);
    void OpenUri(const QString& uri);
    IMediaControl& Media() { return m_media; }

signals:
    void Seeked(qint64 positionUs);

private:
    struct Snapshot {
        QString status;
        QVariantMap metadata;
        double volume = -1;
        bool canSeek = false;
        bool canGoPrevious = false;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take();
    void UpdateTrack();
    void SendChanges(const Snapshot& now);

    IMediaControl& m_media;
    QDBusConnection m_bus;
    QString m_serviceName;
    bool m_registered = false;

    // The song the metadata describes (its number; 0 for none), its tags read once.
    quint64 m_songNumber = 0;
    TrackTags m_tags;
    qint64 m_lengthMs = 0;

    Snapshot m_told;
};
