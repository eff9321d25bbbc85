#pragma once
// Arithmetic of a knob that slides on a track: where a press, a drag or a click puts the
// knob, and what value its place stands for on a scale of the caller's (a volume of
// 0..255, a percentage, a song's milliseconds). Kept apart from the widgets so that it is
// tested without a screen. Pixel values are lefts in the parent's coordinates; divisions
// truncate toward zero; products are 64-bit, so any scale works.

#include <cstdint>

class KnobBar {
public:
    KnobBar(int trackLeft, int trackWidth, int knobWidth, int knobLeft)
        : m_trackLeft(trackLeft), m_trackWidth(trackWidth), m_knobWidth(knobWidth), m_knobLeft(knobLeft)
    {
    }

    int TrackLeft() const { return m_trackLeft; }
    int KnobLeft() const { return m_knobLeft; }
    // How far the knob travels: track width minus knob width.
    int Range() const { return m_trackWidth - m_knobWidth; }
    // The knob's offset from the track's left end, 0..Range().
    int Offset() const { return m_knobLeft - m_trackLeft; }
    bool Dragging() const { return m_drag; }
    // Where the running (or last) drag grabbed the knob, in knob coordinates.
    int GrabX() const { return m_downX; }
    int GrabY() const { return m_downY; }

    void SetKnobLeft(int left) { m_knobLeft = left; }
    void SetOffset(int offset) { m_knobLeft = m_trackLeft + offset; }
    // Takes the controls' current geometry; the drag state stays.
    void Sync(int trackLeft, int trackWidth, int knobWidth, int knobLeft)
    {
        m_trackLeft = trackLeft;
        m_trackWidth = trackWidth;
        m_knobWidth = knobWidth;
        m_knobLeft = knobLeft;
    }

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

    // The value the knob's place stands for on a scale of 0..full: offset x full / range
    // (0 on a track without travel).
    std::int64_t ValueOf(std::int64_t full) const;
    // The knob left for `value` on a scale of 0..full, the value held to the scale:
    // track left + range x value / full (the track's left end for an empty scale).
    int KnobLeftFor(std::int64_t value, std::int64_t full) const;
    // A reading (a mixer's percentage, say) as a whole value: truncated toward zero, 0
    // for what is not a number, infinities held to the largest values.
    static std::int64_t WholeValue(double reading);

private:
    int m_trackLeft;
    int m_trackWidth;
    int m_knobWidth;
    int m_knobLeft;
    bool m_drag = false;
    int m_downX = 0;
    int m_downY = 0;
};
