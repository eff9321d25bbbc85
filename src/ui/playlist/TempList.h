#pragma once
// The text of "Temprary.txt": one path per line, every line ended by CR LF.
//
// Lines are code page 949 in the file, as the program has always written them. Two
// other forms are read and kept:
// - UTF-8 behind a byte-order mark, which the program writes when some line has no
//   code page 949 form; every line is then a name's own bytes (FileName.h), UTF-8 or
//   not.
// - UTF-8 without a mark, as a Linux text editor saves it. A file without the mark is
//   judged whole, from all its lines: it is UTF-8 when some line is valid UTF-8 and
//   not valid code page 949, or when no line is only code page 949 and the lines both
//   can read are letters in UTF-8 but not Hangul syllables in code page 949; else it
//   is code page 949. Lists of the original program, and this program's own unmarked
//   ones, are code page 949 throughout; a file that is truly ambiguous (the two bytes
//   of "창" are "â" in UTF-8) is read as code page 949.
// A line that does not decode in the file's form is read in the other one when it
// decodes there (not in a marked file); bytes that still do not decode are carried
// as the characters U+DC80 to U+DCFF and written back as the same bytes.
#include <QByteArray>
#include <QStringList>

enum class TempListEncoding { CodePage949, Utf8, MarkedUtf8 };

// How `bytes`, a whole file, is to be read and written back.
TempListEncoding TempListEncodingOf(const QByteArray& bytes);

// Splits at CR LF, a lone CR and a lone LF. An empty line is an empty entry; the end
// of the last line needs no line break and a final line break adds no entry.
QStringList DecodeTempListText(const QByteArray& bytes);

// Code page 949 unless `encoding` asks for UTF-8 or some line has no code page 949
// form; UTF-8 files start with the byte-order mark.
QByteArray EncodeTempListText(const QStringList& lines, TempListEncoding encoding = TempListEncoding::CodePage949);

// True when a name holds a line break, which would make it two lines of the file.
bool HasLineBreak(const QString& path);
