#include "Artwork.h"

#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QStyle>
#include <QtMath>

namespace {

// The text key under which a loaded picture keeps the file it came from.
const QString kSourceKey = QStringLiteral("sorvel-artwork");

QString doubleSizePath(const QString& path)
{
    const int dot = int(path.lastIndexOf(QLatin1Char('.')));
    if (dot <= int(path.lastIndexOf(QLatin1Char('/'))))
        return path + QStringLiteral("@2x");
    return path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
}

} // namespace

QImage ReadPng(const QString& path)
{
    QImageReader reader(path, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QImage LoadArtwork(const QString& path)
{
    QImage image = ReadPng(path);
    if (!image.isNull())
        image.setText(kSourceKey, path);
    return image;
}

QImage ArtworkFor(const QImage& image, qreal devicePixelRatio)
{
    const QString source = image.text(kSourceKey);
    if (devicePixelRatio <= 1.0 || source.isEmpty())
        return image;
    // Loaded once; a picture without a drawing at twice its size is drawn as it is.
    static QHash<QString, QImage> doubled;
    auto found = doubled.find(source);
    if (found == doubled.end()) {
        QImage large = ReadPng(doubleSizePath(source));
        if (large.size() != image.size() * 2)
            large = QImage();
        else
            large.setDevicePixelRatio(2.0);
        found = doubled.insert(source, large);
    }
    return found->isNull() ? image : *found;
}

ArtworkLabel::ArtworkLabel(QWidget* parent) : QLabel(parent) {}

void ArtworkLabel::SetArtwork(const QString& path)
{
    m_artwork = LoadArtwork(path);
    m_scaled = QImage();
    setPixmap(QPixmap::fromImage(m_artwork));
}

void ArtworkLabel::paintEvent(QPaintEvent* event)
{
    const qreal ratio = devicePixelRatioF();
    if (m_artwork.isNull() || ratio <= 1.0) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect area = contentsRect();
    if (hasScaledContents()) {
        // As QLabel does it: the picture scaled smoothly to the label's device pixels.
        const QSize device(qCeil(area.width() * ratio), qCeil(area.height() * ratio));
        if (m_scaled.size() != device || m_scaledRatio != ratio) {
            m_scaled = ArtworkFor(m_artwork, ratio).scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            m_scaled.setDevicePixelRatio(ratio);
            m_scaledRatio = ratio;
        }
        painter.drawImage(area.topLeft(), m_scaled);
        return;
    }
    const QImage picture = ArtworkFor(m_artwork, ratio);
    const QRect at = QStyle::alignedRect(layoutDirection(), alignment(), m_artwork.size(), area);
    painter.drawImage(at.topLeft(), picture);
}
