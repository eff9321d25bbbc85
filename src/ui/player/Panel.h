#pragma once
// The player window's panels, painted by tag: below 1000 a plain fill with a one-pixel
// silver frame; 1000 and above the ordinary panel look, and for 1001 the spectrum area
// at (1, 1): the background picture (navy when there is none) with the spectrum
// thread's latest frame over it.

#include <QImage>
#include <QWidget>

class SpectrumFrameSink;
class SpectrumArea;

class TPanel : public QWidget {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent = nullptr);

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
    void UpdateSpectrumArea();

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
