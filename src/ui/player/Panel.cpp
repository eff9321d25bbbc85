#include "Panel.h"

#include "FrameSink.h"

#include <QPainter>

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

void TPanel::SetFrameSink(SpectrumFrameSink* sink)
{
    m_sink = sink;
    if (!sink)
        return;
    // Runs on the spectrum thread: only a queued repaint request crosses over.
    sink->SetRepaintRequest([this] {
        QMetaObject::invokeMethod(this, [this] { update(kSpectrumArea); }, Qt::QueuedConnection);
    });
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
    if (m_sink && m_sink->HasFrame()) {
        // Frames are bottom row first, four bytes a pixel (blue, green, red, unused).
        const SpectrumFrameSink::Frame bits = m_sink->LatestFrame();
        QImage frame(bits.data(), SpectrumFrameSink::kWidth, SpectrumFrameSink::kHeight,
                     SpectrumFrameSink::kWidth * 4, QImage::Format_RGB32);
        painter.drawImage(kSpectrumArea.topLeft(), frame.mirrored(false, true));
    }
}

void DrawSpectrumBack(TPanel* panel)
{
    if (!panel)
        return;
    if (SpectrumFrameSink* sink = panel->FrameSink())
        sink->Clear();
    panel->update(TPanel::kSpectrumArea);
}
