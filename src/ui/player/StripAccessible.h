#pragma once
// What screen readers see of the player strip:
// - the window is a frame named by its caption;
// - the panels are panels named in Korean for what a person sees;
// - the seek and volume tracks are sliders (KnobTrack) in the user's units (the volume in
//   percent, the position in seconds, described in words as "1:41 of 3:20"), settable by
//   the reader; they report changes the user makes, not the song playing on;
// - the labels are readable texts (their name is the text they show), the pictures images;
// - the styled buttons are push buttons (Dxaccessible.cpp).
// Hidden controls and widgets marked with HideFromScreenReaders (the knobs, which the
// sliders stand for, and a decoration covered by a button) are left out of the tree.
// Window thread only.

class QString;
class QWidget;

// Installs the strip's accessibility factory; once per process.
void InstallStripAccessibility();

// Leaves a visible widget out of what screen readers see.
void HideFromScreenReaders(QWidget* widget);

// The play button's state as a screen reader hears it: pressed (checked) while a song is
// heard, and `words` as its description; a change is announced.
void ShowPlayStateToScreenReaders(QWidget* button, bool pressed, const QString& words);
