#pragma once
// Arithmetic of the player strip's seek bar (the knob's own is KnobBar's), the position
// and title timers and the stream labels, kept apart from the widgets so it is tested
// without a screen.
// Pixel values are relative to the display panel; divisions truncate toward zero.

#include <QString>

#include <cstdint>

namespace bars {

// Seek target in ms for a seek-knob offset, the first millisecond the knob stands for;
// 64-bit product, so any song length works.
int SeekTargetMs(int lengthMs, int offset, int range);
// While a song plays on: milliseconds until its position reaches the next whole second,
// when the clock's text changes.
int MsUntilNextSecond(std::int64_t timeMs);
// Milliseconds until the seek knob of a bar with `range` moves on to its next pixel; -1
// when it never will (no length, or the knob is at the end).
int MsUntilKnobMoves(int range, std::int64_t timeMs, std::int64_t lengthMs);
// True when the knob of a bar with `range` moves at most once a second over a song of
// `lengthMs`: it then moves with the clock's tick, at most a second (one pixel) late,
// and the strip is drawn once a second instead of twice.
bool KnobMovesWithClock(int range, std::int64_t lengthMs);
// The position as a screen reader says it: "1:41 of 3:20" (hours when the song has them).
QString PositionWords(std::int64_t positionMs, std::int64_t lengthMs);
// "%3dKB" of kbps modulo 1000; "%2dKH" of kHz, or "%dK" from 100 kHz on (176.4 kHz: "176K").
QString KbpsText(int kbps);
QString KhzText(int khz);
// Next left of the title label: a title wider than the strip creeps left one pixel a
// tick and jumps back to 15 once its right end passes 20 pixels short of the strip's edge;
// a title that fits stays centred. `reset` places it afresh.
int NextTitleLeft(bool reset, int left, int titleWidth, int stripWidth);

} // namespace bars
