#pragma once
// The text of "Temprary.txt": one path per line, every line ended by CR LF.
//
// Lines are code page 949 in the file, as the program has always written them. Two
// other forms are read and kept:
// - UTF-8 behind a byte-order mark, which the program writes when some line has no
//   code page 949 form;
// - UTF-8 without a mark, as a Linux text editor saves it: a file that is valid UTF-8
//   throughout and holds multi-byte sequences is read as UTF-8 (code page 949 text
//   almost never is), and written back as UTF-8, with the mark.
// Bytes that neither code page decodes are carried through the list as the characters
// U+DC80 to U+DCFF (never valid text on their own) and written back as the same bytes.

#include <QByteArray>
#include <QStringList>

enum class TempListEncoding { CodePage949, Utf8 };

// How `bytes`, a whole file, is to be read and written back.
TempListEncoding TempListEncodingOf(const QByteArray& bytes);

// Splits at CR LF, a lone CR and a lone LF. An empty line is an empty entry; the end
// of the last line needs no line break and a final line break adds no entry.
QStringList DecodeTempListText(const QByteArray& bytes);

// Code page 949 unless `encoding` asks for UTF-8 or some line has no code page 949
// form; UTF-8 files start with the byte-order mark.
QByteArray EncodeTempListText(const QStringList& lines, TempListEncoding encoding = TempListEncoding::CodePage949);
