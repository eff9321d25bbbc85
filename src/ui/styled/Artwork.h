#pragma once
// The program's pictures at the device's resolution.
//
// Every picture under resources/ is drawn twice by tools/make_artwork.py: at its size
// ("play.png") and at twice its size ("play@2x.png"). A picture is loaded at its size,
// so that at 100 % the program draws exactly those pixels; it remembers the file it came
// from, copies included, and ArtworkFor hands out the @2x drawing for a device with more
// pixels. Window thread only.

#include <QImage>
#include <QLabel>

// A PNG file's picture; a null image when it does not load. Read as PNG by name: a
// reader left to find the kind asks every image plugin installed, loading each of them
// (and libjpeg) for good.
QImage ReadPng(const QString& path);

// The picture at its size; a null image when the file does not load.
QImage LoadArtwork(const QString& path);

// The version of `image` to draw on a device of `devicePixelRatio`: its @2x drawing (with a
// device pixel ratio of 2) above 100 % when there is one, else the image itself.
QImage ArtworkFor(const QImage& image, qreal devicePixelRatio);

// A picture on a window: at 100 % exactly the label's pixmap, drawn as QLabel draws it
// (stretched with smooth scaling when the contents are scaled); at a higher device pixel
// ratio the @2x drawing, so nothing is enlarged from the small picture.
class ArtworkLabel : public QLabel {
    Q_OBJECT
public:
    explicit ArtworkLabel(QWidget* parent = nullptr);
    // Loads the picture and shows it.
    void SetArtwork(const QString& path);
    const QImage& Artwork() const { return m_artwork; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_artwork;
    QImage m_scaled;  // the stretched picture for the last size and ratio
    qreal m_scaledRatio = 0;
};
