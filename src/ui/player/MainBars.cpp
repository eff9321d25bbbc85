// The strip's two knobs as the listener reaches them: by mouse, keys and screen reader.
#include "Main.h"

#include "Bars.h"
#include "Transport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

void TFormMain::SetVolumePercent(double percent)
{
    m_transport.SetVolume(std::clamp(percent, 0.0, 100.0) / 100.0);
}

void TFormMain::SetPositionSeconds(double seconds)
{
    m_transport.SeekTo(static_cast<qint64>(std::llround(std::max(seconds, 0.0) * 1000.0)));
}

void TFormMain::ConnectBars()
{
    KnobTrack::ValueAccess volume;
    volume.value = [this] { return std::round(m_transport.Volume() * 100.0); };
    volume.maximum = [] { return 100.0; };
    volume.setValue = [this](double percent) { SetVolumePercent(percent); };
    volume.step = 5;
    volume.page = 25;
    volume.describe = [this] { return QStringLiteral("%1 %").arg(std::lround(m_transport.Volume() * 100.0)); };
    ShapeVolume->SetValueAccess(volume);

    KnobTrack::ValueAccess position;
    position.value = [this] { return std::floor(static_cast<double>(m_transport.PositionMs()) / 1000.0); };
    position.maximum = [this] { return std::floor(static_cast<double>(m_transport.LengthMs()) / 1000.0); };
    position.setValue = [this](double seconds) { SetPositionSeconds(seconds); };
    position.step = 5;
    position.page = 30;
    position.describe = [this] { return bars::PositionWords(m_transport.PositionMs(), m_transport.LengthMs()); };
    ShapePosition->SetValueAccess(position);
}

void TFormMain::ApplyVolume()
{
    const KnobBar& bar = ShapeVolume->Bar();
    if (bar.Range() > 0)
        m_transport.SetVolume(static_cast<double>(bar.Offset()) / bar.Range());
}

void TFormMain::SeekToKnob()
{
    const qint64 length = m_transport.LengthMs();
    if (length <= 0)
        return;
    const KnobBar& bar = ShapePosition->Bar();
    m_transport.SeekTo(bars::SeekTargetMs(static_cast<int>(std::min<qint64>(length, INT32_MAX)), bar.Offset(),
                                           bar.Range()));
}
