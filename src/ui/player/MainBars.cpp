// The player strip's bars, clock and labels: the volume and seek knobs joined to the
// transport, and the timers that move the knob, the clock and the title.

#include "Bars.h"
#include "Main.h"
#include "Panel.h"
#include "Transport.h"

#include <QEvent>
#include <QLabel>

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

void TFormMain::ShowStreamInfo(int kbps, int khz)
{
    LKBPS->setText(bars::KbpsText(kbps));
    LFrequency->setText(bars::KhzText(khz));
}

void TFormMain::ScrollTitle(bool reset)
{
    // Its size changes with its text only, which comes with a reset.
    if (reset)
        LTitle->adjustSize();
    LTitle->move(bars::NextTitleLeft(reset, LTitle->x(), LTitle->width(), PanelTitleBack->width()), LTitle->y());
}

void TFormMain::TimerPositionTimer()
{
    ShowKnob();
    if (m_transport.State() == TransportState::Playing)
        ScrollTitle(false);
    ScheduleKnob();
}

void TFormMain::Timer1Timer()
{
    ShowClock();
    if (bars::KnobMovesWithClock(ShapePosition->Bar().Range(), m_transport.LengthMs()))
        ShowKnob();
    ScheduleClock();
}

void TFormMain::SeenChanged(bool seen)
{
    // The spectrum thread sleeps while nobody sees its frames, and the clock and the knob
    // wait too; seen again, all of them are brought up to date at once.
    m_frameSink.SetShown(seen);
    Panel1->PresentFramesDirectly(seen);
    if (seen) {
        ShowPosition();
    } else {
        ScheduleClock();
        ScheduleKnob();
    }
}

bool TFormMain::HandleBar(KnobTrack* track, QObject* watched, QEvent* event)
{
    switch (track->HandleMouse(watched, event)) {
    case KnobTrack::KnobMove::Dragged:
        // The volume follows the knob as it moves; the position only where it is let go.
        if (track == ShapeVolume)
            ApplyVolume();
        break;
    case KnobTrack::KnobMove::LetGo:
        if (track == ShapePosition)
            SeekToKnob();
        track->TellValueChanged();
        break;
    case KnobTrack::KnobMove::Clicked:
        if (track == ShapeVolume)
            ApplyVolume();
        else
            SeekToKnob();
        track->TellValueChanged();
        break;
    case KnobTrack::KnobMove::None:
        break;
    }
    // The knob keeps all its presses; the track only the press, so that the right button
    // let go on it still reaches the strip's popup menu.
    return watched != track || event->type() == QEvent::MouseButtonPress;
}
