#include "Panel.h"

#include "Artwork.h"
#include "StripAccessible.h"
#include "WholePixels.h"
#include "XFramePresenter.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace {

constexpr QRgb kNavy = 0xFF000080;

// The background picture at the device's size for `ratio`: its drawing for the device,
// scaled smoothly where the ratio is not the drawing's.
QImage deviceBackground(const QImage* back, qreal ratio)
{
    const QSize device(qCeil(TPanel::kSpectrumArea.width() * ratio), qCeil(TPanel::kSpectrumArea.height() * ratio));
    if (!back || back->isNull())
        return {};
    QImage picture = ArtworkFor(*back, ratio).convertToFormat(QImage::Format_RGB32);
    if (picture.size() != device)
        picture = picture.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    picture.setDevicePixelRatio(ratio);
    return picture;
}

} // namespace

QImage SpectrumImage(const SpectrumFrameSink::Levels& levels, const QImage& back, qreal ratio)
{
    constexpr int kWidth = SpectrumFrameSink::kWidth;
    constexpr int kMaxBar = 29;
    const int width = qCeil(kWidth * ratio);
    const int height = qCeil(SpectrumFrameSink::kHeight * ratio);
    QImage image;
    if (back.width() == width && back.height() == height) {
        image = back.convertToFormat(QImage::Format_RGB32);
    } else {
        image = QImage(width, height, QImage::Format_RGB32);
        image.fill(kNavy);
    }
    image.setDevicePixelRatio(ratio);
    const int tallest = int(kMaxBar * ratio);
    for (int bar = 0; bar < SpectrumFrameSink::kBars; ++bar) {
        // The thread's arithmetic, in device rows: the comparisons come first, so that a
        // negative, NaN or huge value never reaches the conversion.
        const float scaled = levels[bar] * 6.0f * 30.0f;
        int rows = 0;
        if (scaled >= 30.0f)
            rows = tallest;
        else if (scaled > 0.0f)
            rows = std::min(int(scaled * ratio), tallest);
        const int column = kWidth - 1 - 2 * bar;
        const int left = int(column * ratio);
        const int right = std::min(width, int((column + 1) * ratio));
        for (int row = 0; row < rows && row < height; ++row) {
            const int step = int(4 * row / ratio);
            const QRgb colour = qRgb(100 + step, 255 - step, 250);
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(height - 1 - row));
            std::fill(line + left, line + right, colour);
        }
    }
    return image;
}

// The 60 x 30 spectrum area as a child of its own, opaque, so that a new frame
// repaints these 1,800 pixels and nothing under or around them. Presses go through
// to the panel, which moves the window.
class SpectrumArea : public QWidget {
public:
    SpectrumArea(TPanel* panel, SpectrumFrameSink* sink)
        : QWidget(panel)
        , m_sink(sink)
        , m_frame(SpectrumFrameSink::kWidth, SpectrumFrameSink::kHeight, QImage::Format_RGB32)
        , m_presenter(this, sink)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(TPanel::kSpectrumArea);
        // Moving bars say nothing to a screen reader.
        HideFromScreenReaders(this);
    }
    void SetBack(const QImage* back)
    {
        m_back = back;
        m_deviceBack = {};
    }
    void PresentDirectly(bool on)
    {
        if (on) {
            m_presenter.Start();
        } else if (m_presenter.Started()) {
            m_presenter.Stop();
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const qreal ratio = devicePixelRatioF();
        if (ratio != 1.0) {
            // Moved to a screen of another scale: frames are drawn here from now on.
            m_presenter.Stop();
            // More device pixels than the design's: the background's own drawing for them,
            // and the bars drawn at their resolution from the frame's values.
            if (m_deviceBack.devicePixelRatio() != ratio || m_deviceBack.isNull())
                m_deviceBack = deviceBackground(m_back, ratio);
            SpectrumFrameSink::Levels levels{};
            if (m_sink && m_sink->HasFrame())
                levels = m_sink->LatestLevels();
            painter.drawImage(0, 0, SpectrumImage(levels, m_deviceBack, ratio));
            return;
        }
        // Frames are four bytes a pixel (blue, green, red, unused), as RGB32 lies in memory:
        // one copy into the picture drawn, under the sink's lock.
        if (m_sink && m_sink->CopyLatestFrame(m_frame.bits(), m_frame.bytesPerLine())) {
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
    QImage m_frame;       // reused: no allocation per frame
    QImage m_deviceBack;  // the background at the last device pixel ratio other than 1
    XFramePresenter m_presenter;
};

TPanel::TPanel(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

TPanel::~TPanel()
{
    if (m_sink)
        m_sink->SetRepaintRequest({});
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
    if (m_sink && m_sink != sink)
        m_sink->SetRepaintRequest({});
    m_sink = sink;
    delete m_area;
    m_area = nullptr;
    if (!sink)
        return;
    m_area = new SpectrumArea(this, sink);
    m_area->SetBack(m_spectrumBack);
    m_area->show();
    // Runs on the spectrum thread: only a queued repaint request crosses over, by name and
    // without arguments, so that nothing of ours is made on that thread and read on this
    // one through Qt's event queue (whose locks the thread sanitizer cannot see).
    sink->SetRepaintRequest([this] { QMetaObject::invokeMethod(this, "UpdateSpectrumArea", Qt::QueuedConnection); });
}

void TPanel::PresentFramesDirectly(bool on)
{
    if (m_area)
        m_area->PresentDirectly(on);
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
        DrawPixelFrame(painter, client, QColor(192, 192, 192));
        return;
    }
    // The ordinary panel: a fill with a one-pixel raised bevel.
    painter.fillRect(client, m_color);
    const QPoint topRight(client.width() - 1, 0), bottomLeft(0, client.height() - 1);
    const QPoint bottomRight(client.width() - 1, client.height() - 1);
    DrawPixelLine(painter, {0, 0}, topRight, m_color.lighter(160));
    DrawPixelLine(painter, {0, 0}, bottomLeft, m_color.lighter(160));
    DrawPixelLine(painter, topRight, bottomRight, m_color.darker(160));
    DrawPixelLine(painter, bottomLeft, bottomRight, m_color.darker(160));
    if (m_tag != 1001)
        return;
    if (m_spectrumBack && !m_spectrumBack->isNull())
        painter.drawImage(kSpectrumArea.topLeft(), ArtworkFor(*m_spectrumBack, devicePixelRatioF()));
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
