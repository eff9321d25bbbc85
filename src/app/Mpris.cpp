#include "Mpris.h"

#include "FileName.h"
#include "MusicFormats.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QUrl>

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace {

const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

QString trackId(quint64 number)
{
    return QStringLiteral("/org/sorvel/track/%1").arg(number);
}

QString statusText(TransportState status)
{
    switch (status) {
    case TransportState::Playing:
        return QStringLiteral("Playing");
    case TransportState::Paused:
        return QStringLiteral("Paused");
    case TransportState::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

} // namespace

// org.mpris.MediaPlayer2: who the player is, and bringing it forward or ending it.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), m_service(service) {}
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Sorvel"); }
    QString DesktopEntry() const { return QStringLiteral("sorvel"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    // The formats the playlist takes (its music-file test goes by the same table).
    QStringList SupportedMimeTypes() const { return MusicMimeTypes(); }

public slots:
    void Raise() { m_service->Media().Raise(); }
    void Quit() { m_service->Media().Quit(); }

private:
    MprisService* m_service;
};

// org.mpris.MediaPlayer2.Player: the transport, the song and the volume.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ Yes)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ Yes)
    Q_PROPERTY(bool CanPause READ Yes)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ Yes)
public:
    explicit MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), m_service(service)
    {
        setAutoRelaySignals(true);
    }
    QString PlaybackStatus() const { return m_service->PlaybackStatusText(); }
    double Rate() const { return 1.0; }
    void SetRate(double) {}  // one speed only
    QVariantMap Metadata() const { return m_service->Metadata(); }
    double Volume() const { return m_service->Volume(); }
    void SetVolume(double volume) { m_service->SetVolume(volume); }
    qlonglong Position() const { return m_service->PositionUs(); }
    bool CanSeek() const { return m_service->CanSeek(); }
    bool CanGoPrevious() const { return m_service->Media().CanGoPrevious(); }
    bool Yes() const { return true; }

public slots:
    void Next() { Act(&IMediaControl::Next); }
    void Previous() { Act(&IMediaControl::Previous); }
    void Pause() { Act(&IMediaControl::Pause); }
    void PlayPause() { Act(&IMediaControl::PlayPause); }
    void Stop() { Act(&IMediaControl::Stop); }
    void Play() { Act(&IMediaControl::Play); }
    void Seek(qlonglong offset) { m_service->Seek(offset); }
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) { m_service->SetPosition(trackId, position); }
    void OpenUri(const QString& uri) { m_service->OpenUri(uri); }

signals:
    void Seeked(qlonglong Position);

private:
    void Act(void (IMediaControl::*action)()) { (m_service->Media().*action)(); }

    MprisService* m_service;
};

MprisService::MprisService(IMediaControl& media, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_media(media), m_bus(bus)
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
}

MprisService::~MprisService()
{
    if (m_registered) {
        m_bus.unregisterService(m_serviceName);
        m_bus.unregisterObject(QString::fromLatin1(ObjectPath));
    }
}

bool MprisService::Register()
{
    if (m_registered)
        return true;
    if (!m_bus.isConnected() || !m_bus.registerObject(QString::fromLatin1(ObjectPath), this,
                                                      QDBusConnection::ExportAdaptors))
        return false;
    QString name = QStringLiteral("org.mpris.MediaPlayer2.sorvel");
    if (!m_bus.registerService(name)) {
        name += QStringLiteral(".instance%1").arg(getpid());
        if (!m_bus.registerService(name)) {
            m_bus.unregisterObject(QString::fromLatin1(ObjectPath));
            return false;
        }
    }
    m_serviceName = name;
    m_registered = true;
    m_told = Take();
    return true;
}

void MprisService::UpdateTrack()
{
    if (const quint64 number = m_media.SongNumber(); number != m_songNumber) {
        m_songNumber = number;
        const QString path = m_media.TrackPath();
        m_tags = path.isEmpty() ? TrackTags{} : m_media.Tags(path);
        m_lengthMs = 0;
    }
    // A paused song has no stream to ask; it keeps the length it had.
    if (const qint64 length = m_media.LengthMs(); length > 0)
        m_lengthMs = length;
}

MprisService::Snapshot MprisService::Take()
{
    UpdateTrack();
    return {PlaybackStatusText(), Metadata(), Volume(), CanSeek(), m_media.CanGoPrevious()};
}

void MprisService::Refresh()
{
    if (!m_registered)
        return;
    const Snapshot now = Take();
    if (!(now == m_told))
        SendChanges(now);
    m_told = now;
}

void MprisService::TellSeeked(qint64 ms)
{
    if (!m_registered)
        return;
    Refresh();
    emit Seeked(ms * 1000);
}

void MprisService::SendChanges(const Snapshot& now)
{
    QVariantMap changed;
    if (now.status != m_told.status)
        changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    if (now.metadata != m_told.metadata)
        changed.insert(QStringLiteral("Metadata"), now.metadata);
    if (now.volume != m_told.volume)
        changed.insert(QStringLiteral("Volume"), now.volume);
    if (now.canSeek != m_told.canSeek)
        changed.insert(QStringLiteral("CanSeek"), now.canSeek);
    if (now.canGoPrevious != m_told.canGoPrevious)
        changed.insert(QStringLiteral("CanGoPrevious"), now.canGoPrevious);
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(ObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(PlayerInterface) << changed << QStringList();
    m_bus.send(signal);
}

QString MprisService::PlaybackStatusText() const
{
    return statusText(m_media.Status());
}

QVariantMap MprisService::Metadata() const
{
    QVariantMap map;
    const QString path = m_media.TrackPath();
    if (path.isEmpty()) {
        map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack)));
        return map;
    }
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId(m_songNumber))));
    map.insert(QStringLiteral("xesam:url"), UrlOfLocalPath(path).toString(QUrl::FullyEncoded));
    const QString fileName = ReadableFileName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    map.insert(QStringLiteral("xesam:title"), m_tags.title.isEmpty() ? fileName : m_tags.title);
    if (!m_tags.artist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{m_tags.artist});
    if (!m_tags.album.isEmpty())
        map.insert(QStringLiteral("xesam:album"), m_tags.album);
    if (m_lengthMs > 0)
        map.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(m_lengthMs * 1000));
    return map;
}

qint64 MprisService::PositionUs() const
{
    return m_media.PositionMs() * 1000;
}

double MprisService::Volume() const
{
    return m_media.Volume();
}

void MprisService::SetVolume(double volume)
{
    if (std::isnan(volume))
        return;
    m_media.SetVolume(std::clamp(volume, 0.0, 1.0));
}

bool MprisService::CanSeek() const
{
    return m_media.CanSeek();
}

void MprisService::Seek(qint64 offsetUs)
{
    if (!m_media.CanSeek())
        return;
    const qint64 target = std::max<qint64>(0, m_media.PositionMs() + offsetUs / 1000);
    if (m_lengthMs > 0 && target >= m_lengthMs) {
        m_media.Next();  // past the end: as if the song had ended
        return;
    }
    m_media.SeekTo(target);
}

void MprisService::SetPosition(const QDBusObjectPath& trackIdPath, qint64 positionUs)
{
    UpdateTrack();
    if (!m_media.CanSeek() || m_media.TrackPath().isEmpty() || trackIdPath.path() != trackId(m_songNumber))
        return;  // a stale request for another song
    if (positionUs < 0 || (m_lengthMs > 0 && positionUs / 1000 > m_lengthMs))
        return;
    m_media.SeekTo(positionUs / 1000);
}

void MprisService::OpenUri(const QString& uri)
{
    const QUrl url(uri);
    const QString path = LocalPathOfUrl(url);
    if (path.isEmpty())
        return;
    m_media.OpenPaths({path}, true);
}

#include "Mpris.moc"
