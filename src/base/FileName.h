#pragma once
// File names on this system are bytes: any byte but NUL, with no promise of UTF-8. The
// program carries a name in a QString, so it must get the same bytes back out of it:
//
// - valid UTF-8 sequences become their characters;
// - every other byte b (always b >= 0x80) becomes the lone surrogate U+DC00 + b, which
//   no valid UTF-8 ever decodes to, and turns back into the byte b.
//
// Qt's own QFile::encodeName/decodeName replace such bytes with U+FFFD and lose them, so
// nothing that names a file goes through them. The escapes are never shown: a name on
// screen goes through ReadableFileName.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

class QUrl;

// The name with these bytes; FileNameBytes of it gives `bytes` back exactly.
QString FileNameFromBytes(QByteArrayView bytes);
// The bytes a name stands for. A lone surrogate that is not an escape (it cannot come
// from a file name) becomes the UTF-8 of U+FFFD.
QByteArray FileNameBytes(const QString& name);

// True for the characters that stand for a byte of a name that is not UTF-8.
inline bool IsFileNameEscape(QChar c)
{
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}
// True when the name holds such a character.
bool HasFileNameEscapes(const QString& name);

// The name as it is shown: a byte that is not UTF-8 as U+FFFD and a control character as
// its visible picture (U+2400 + c, U+2421 for DEL), so that a line break in a name
// neither breaks a row nor hides. The same string when there is nothing to change.
QString ReadableFileName(const QString& name);

// The local path a "file:" URL names, its percent-encoded bytes taken as they are (a
// name that is not UTF-8 arrives as %E9 and the like). Empty for anything else.
QString LocalPathOfUrl(const QUrl& url);
// The "file:" URL of a local path, byte for byte.
QUrl UrlOfLocalPath(const QString& path);
