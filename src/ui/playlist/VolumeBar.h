#pragma once
// Arithmetic of the playlist window's master-volume bar: a track and a knob whose left
// edge stands for a percentage. Positions are left edges in the title bar's coordinates;
// all of it is 32-bit integer arithmetic with divisions truncating toward zero.

struct MasterVolumeBar {
    int TrackLeft;
    int TrackWidth;
    int KnobWidth;

    // Track width minus knob width: 51 pixels for the window's 63-wide track.
    int Travel() const { return TrackWidth - KnobWidth; }
    // Knob left for a master volume in percent (truncated first, held to 0..100).
    int KnobLeftFor(float percent) const;
    // Percentage the knob at `knobLeft` stands for.
    int PercentFor(int knobLeft) const;
    // A click at x on the track (track coordinates) centres the knob there, or puts it
    // at the nearer end when it would leave the track.
    int KnobLeftForClick(int x) const;
    // Dragging: the knob at `knobLeft` grabbed at `downX` and the pointer now at `x`
    // (both in knob coordinates). Returns the new left, or `knobLeft` when the move is
    // nil or would take the knob off the track (it is not clamped to the end).
    int KnobLeftForDrag(int knobLeft, int downX, int x) const;
};
