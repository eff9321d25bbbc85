#pragma once
// The player window's panels, painted by tag: below 1000 a plain fill with a one-pixel
// silver frame; 1000 and above the ordinary panel look, and for 1001 the spectrum area
// at (1, 1): the background picture (navy when there is none) with the spectrum
// thread's latest frame over it.

#include "FrameSink.h"

#include <QImage>
#include <QWidget>

class SpectrumArea;

class TPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);
    // Takes its repaint request back from the sink, which outlives it.
    ~TPanel() override;

    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }
    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);

    // Tag 1001 only: the 60 x 30 background and where the spectrum frames come from.
    void SetSpectrumBack(const QImage* back);
    void SetFrameSink(SpectrumFrameSink* sink);
    SpectrumFrameSink* FrameSink() const { return m_sink; }

    static constexpr QRect kSpectrumArea{1, 1, 60, 30};
    // Repaints the spectrum area only: the background with the latest frame over it.
    Q_INVOKABLE void UpdateSpectrumArea();
    // While on (and the window system allows), new frames go to the screen from the
    // spectrum thread without waking this one. Off, the area is repainted here, so that
    // the toolkit's copy of the window holds the last frame shown.
    void PresentFramesDirectly(bool on);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_tag = 0;
    QColor m_color = Qt::white;
    const QImage* m_spectrumBack = nullptr;
    SpectrumFrameSink* m_sink = nullptr;
    SpectrumArea* m_area = nullptr;  // child over kSpectrumArea, made with the sink
};

// Erases the spectrum area of `panel` down to its background: the last frame is
// forgotten, so the bars disappear until the thread draws again.
void DrawSpectrumBack(TPanel* panel);

// The spectrum area drawn at `ratio` device pixels per pixel, as the spectrum thread draws
// it at 100 %: `back` (the background picture at the device's size; navy when null) with
// bar b of `levels` in column 59 - 2b, at most 29 pixels high, its colour running from
// (red 100, green 255) at the bottom towards (212, 143). The bars' heights and colours
// are taken at the device's resolution; at a ratio of 1 the pixels are the thread's own.
QImage SpectrumImage(const SpectrumFrameSink::Levels& levels, const QImage& back, qreal ratio);
