#pragma once
// The text of "Temprary.txt": one path per line, every line ended by CR LF.
// Lines are code page 949 in the file. When some line has no code page 949 form the
// whole file is written as UTF-8 behind a byte-order mark instead, so no path is
// lost or garbled; readers honour the mark.

#include <QByteArray>
#include <QStringList>

// Splits at CR LF, a lone CR and a lone LF. An empty line is an empty entry; the end
// of the last line needs no line break and a final line break adds no entry.
QStringList DecodeTempListText(const QByteArray& bytes);

QByteArray EncodeTempListText(const QStringList& lines);
