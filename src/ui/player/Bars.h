#pragma once
// Arithmetic of the player strip's two knob bars, the position and title timers and the
// stream labels, kept apart from the widgets so it is tested without a screen.
// Pixel values are relative to the display panel; divisions truncate toward zero.

#include <QString>

#include <cstdint>

// One horizontal bar: a track and a knob picture that slides on it. The bar's value is
// the knob's offset from the track's left end, 0..Range().
class KnobBar {
public:
    KnobBar(int trackLeft, int trackWidth, int knobWidth, int knobLeft)
        : m_trackLeft(trackLeft), m_trackWidth(trackWidth), m_knobWidth(knobWidth), m_knobLeft(knobLeft)
    {
    }

    int TrackLeft() const { return m_trackLeft; }
    int KnobLeft() const { return m_knobLeft; }
    int Range() const { return m_trackWidth - m_knobWidth; }
    int Offset() const { return m_knobLeft - m_trackLeft; }
    bool Dragging() const { return m_drag; }

    void SetKnobLeft(int left) { m_knobLeft = left; }
    // Takes the controls' current geometry; the drag state stays.
    void Sync(int trackLeft, int trackWidth, int knobWidth, int knobLeft)
    {
        m_trackLeft = trackLeft;
        m_trackWidth = trackWidth;
        m_knobWidth = knobWidth;
        m_knobLeft = knobLeft;
    }
    void SetOffset(int offset) { m_knobLeft = m_trackLeft + offset; }

    // Press on the knob at (x, y) in knob coordinates: starts a drag.
    void PressKnob(int x, int y);
    // Pointer move over the knob, x in knob coordinates. Returns true when the knob moved;
    // a move that would take it off the track is ignored (the knob is not clamped).
    bool MoveKnob(int x);
    // Release on the knob. Returns true when a drag ended.
    bool ReleaseKnob();
    // Click on the track at x in track coordinates: centres the knob on the click, or
    // puts it at the nearer end when that would leave the track.
    void ClickTrack(int x);

private:
    int m_trackLeft;
    int m_trackWidth;
    int m_knobWidth;
    int m_knobLeft;
    bool m_drag = false;
    int m_downX = 0;
    int m_downY = 0;
};

namespace bars {

// Volume 0..255 for a volume-knob offset.
int VolumeForOffset(int offset, int range);
// Seek target in ms for a seek-knob offset, the first millisecond the knob stands for;
// 64-bit product, so any song length works.
int SeekTargetMs(int lengthMs, int offset, int range);
// Knob left for the position timer: track left + range x time / length (0 length: track left).
int KnobLeftForTime(int trackLeft, int range, int timeMs, int lengthMs);
// While a song plays on: milliseconds until its position reaches the next whole second,
// when the clock's text changes.
int MsUntilNextSecond(std::int64_t timeMs);
// Milliseconds until the seek knob of a bar with `range` moves on to its next pixel; -1
// when it never will (no length, or the knob is at the end).
int MsUntilKnobMoves(int range, std::int64_t timeMs, std::int64_t lengthMs);
// The position as a screen reader says it: "1:41 of 3:20" (hours when the song has them).
QString PositionWords(std::int64_t positionMs, std::int64_t lengthMs);
// "%3dKB" of kbps modulo 1000 and "%2dKH" of kHz modulo 100.
QString KbpsText(int kbps);
QString KhzText(int khz);
// Next left of the title label: a title wider than the strip creeps left one pixel a
// tick and jumps back to 15 once its right end passes 20 pixels short of the strip's edge;
// a title that fits stays centred. `reset` places it afresh.
int NextTitleLeft(bool reset, int left, int titleWidth, int stripWidth);

} // namespace bars
