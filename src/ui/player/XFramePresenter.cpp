#include "XFramePresenter.h"

#include <QWidget>

#include <cstring>

XFramePresenter::XFramePresenter(QWidget* area, SpectrumFrameSink* sink)
    : m_area(area)
    , m_sink(sink)
{
}

XFramePresenter::~XFramePresenter()
{
    Stop();
}

bool XFramePresenter::Start()
{
    Stop();
    if (!m_sink || !m_image.Attach(m_area))
        return false;
    m_sink->SetPresenter([this](const std::uint8_t* bits) { return Present(bits); });
    m_started = true;
    return true;
}

void XFramePresenter::Stop()
{
    if (!m_started)
        return;
    m_sink->SetPresenter({});
    m_started = false;
}

bool XFramePresenter::Present(const std::uint8_t* bits)
{
    constexpr int rowBytes = SpectrumFrameSink::kWidth * 4;
    constexpr int height = SpectrumFrameSink::kHeight;
    for (int row = 0; row < height; ++row)
        std::memcpy(m_rows.data() + (height - 1 - row) * rowBytes, bits + row * rowBytes, rowBytes);
    m_image.Put(m_rows.data(), SpectrumFrameSink::kWidth, height);
    return true;
}
