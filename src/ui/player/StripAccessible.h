#pragma once
// What screen readers see of the player strip:
// - the window is a frame named by its caption;
// - the panels are panels named in Korean for what a person sees;
// - the seek and volume tracks are sliders whose value is the knob's offset on its track,
//   settable by the reader;
// - the labels are readable texts (their name is the text they show), the pictures images;
// - the styled buttons are push buttons (Dxaccessible.cpp).
// Hidden controls and widgets marked with HideFromScreenReaders (the knobs, which the
// sliders stand for, and a decoration covered by a button) are left out of the tree.
// Window thread only.

class QWidget;

// Installs the strip's accessibility factory; once per process.
void InstallStripAccessibility();

// Leaves a visible widget out of what screen readers see.
void HideFromScreenReaders(QWidget* widget);
