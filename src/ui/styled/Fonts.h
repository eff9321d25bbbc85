#pragma once
// The windows' fonts. The windows ask for the faces they were drawn with ("굴림", "굴림체",
// "돋움", Arial); where those are not installed, one substitution table maps each to a
// Debian face of the same metrics or style:
//   Arial   -> Liberation Sans (fonts-liberation2, Arial's metrics)
//   굴림    -> Baekmuk Gulim (fonts-baekmuk, with hand-tuned bitmaps at 11 and 12 pixels), NanumGothic
//   돋움    -> Baekmuk Dotum, NanumGothic
//   굴림체  -> NanumGothicCoding (fonts-nanum-coding: fixed pitch, 7 pixels a character at 13),
//              Baekmuk Gulim
// Text at these few-pixel sizes is drawn without antialiasing, as on the original desktop:
// crisp pixels in the text's own colour.

#include <QFont>

// Installs the substitution table; once per process, before the first window is built.
void InstallDesignFonts();

// A font of `family` at `pixels`, drawn crisp.
QFont DesignFont(const QString& family, int pixels);

// The design's faces by name.
inline QFont Gulim(int pixels) { return DesignFont(QStringLiteral("굴림"), pixels); }
inline QFont GulimChe(int pixels) { return DesignFont(QStringLiteral("굴림체"), pixels); }
inline QFont Dotum(int pixels) { return DesignFont(QStringLiteral("돋움"), pixels); }
inline QFont Arial(int pixels) { return DesignFont(QStringLiteral("Arial"), pixels); }
