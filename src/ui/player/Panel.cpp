#include "Panel.h"

#include "FrameSink.h"
#include "StripAccessible.h"

#include <QPainter>

#include <cstring>

// The 60 x 30 spectrum area as a child of its own, opaque, so that a new frame
// repaints these 1,800 pixels and nothing under or around them. Presses go through
// to the panel, which moves the window.
class SpectrumArea : public QWidget {
public:
    SpectrumArea(TPanel* panel, SpectrumFrameSink* sink)
        : QWidget(panel)
        , m_sink(sink)
        , m_frame(SpectrumFrameSink::kWidth, SpectrumFrameSink::kHeight, QImage::Format_RGB32)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(TPanel::kSpectrumArea);
        // Moving bars say nothing to a screen reader.
        HideFromScreenReaders(this);
    }
    void SetBack(const QImage* back) { m_back = back; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (m_sink && m_sink->HasFrame()) {
            // Frames are bottom row first, four bytes a pixel (blue, green, red, unused).
            const SpectrumFrameSink::Frame bits = m_sink->LatestFrame();
            constexpr int rowBytes = SpectrumFrameSink::kWidth * 4;
            for (int row = 0; row < SpectrumFrameSink::kHeight; ++row)
                std::memcpy(m_frame.scanLine(SpectrumFrameSink::kHeight - 1 - row), bits.data() + row * rowBytes,
                            rowBytes);
            painter.drawImage(0, 0, m_frame);
        } else if (m_back && !m_back->isNull()) {
            painter.drawImage(0, 0, *m_back);
        } else {
            painter.fillRect(rect(), QColor(0, 0, 128));
        }
    }

private:
    SpectrumFrameSink* m_sink;
    const QImage* m_back = nullptr;
    QImage m_frame;  // reused: no allocation per frame
};

TPanel::TPanel(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPanel::SetColor(const QColor& color)
{
    if (m_color == color)
        return;
    m_color = color;
    // Children that follow their parent's colour (the styled buttons' corners, the tool
    // buttons' fill) read it from the palette.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, color);
    setPalette(palette);
    update();
}

void TPanel::SetSpectrumBack(const QImage* back)
{
    m_spectrumBack = back;
    if (m_area)
        m_area->SetBack(back);
}

void TPanel::SetFrameSink(SpectrumFrameSink* sink)
{
    m_sink = sink;
    delete m_area;
    m_area = nullptr;
    if (!sink)
        return;
    m_area = new SpectrumArea(this, sink);
    m_area->SetBack(m_spectrumBack);
    m_area->show();
    // Runs on the spectrum thread: only a queued repaint request crosses over.
    sink->SetRepaintRequest([this] {
        QMetaObject::invokeMethod(this, [this] { UpdateSpectrumArea(); }, Qt::QueuedConnection);
    });
}

void TPanel::UpdateSpectrumArea()
{
    if (m_area)
        m_area->update();
    else
        update(kSpectrumArea);
}

void TPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect client = rect();
    if (m_tag < 1000) {
        painter.fillRect(client, m_color);
        painter.setPen(QColor(192, 192, 192));
        painter.drawRect(client.adjusted(0, 0, -1, -1));
        return;
    }
    // The ordinary panel: a fill with a one-pixel raised bevel.
    painter.fillRect(client, m_color);
    painter.setPen(m_color.lighter(160));
    painter.drawLine(0, 0, client.width() - 1, 0);
    painter.drawLine(0, 0, 0, client.height() - 1);
    painter.setPen(m_color.darker(160));
    painter.drawLine(client.width() - 1, 0, client.width() - 1, client.height() - 1);
    painter.drawLine(0, client.height() - 1, client.width() - 1, client.height() - 1);
    if (m_tag != 1001)
        return;
    if (m_spectrumBack && !m_spectrumBack->isNull())
        painter.drawImage(kSpectrumArea.topLeft(), *m_spectrumBack);
    else
        painter.fillRect(kSpectrumArea, QColor(0, 0, 128));
}

void DrawSpectrumBack(TPanel* panel)
{
    if (!panel)
        return;
    if (SpectrumFrameSink* sink = panel->FrameSink())
        sink->Clear();
    panel->UpdateSpectrumArea();
}
