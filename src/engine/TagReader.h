#pragma once
// The text tags of a music file (title, artist, album) as the desktop's media controls
// show them. Read by the decoder that plays the file (DecodeModule.h); any thread.
//
// Old Korean files carry their tags in code page 949: in ID3v1 and in ID3v2 frames
// marked Latin-1 (which FFmpeg and libmpg123 turn into UTF-8 one byte at a time), and
// now and then as bare bytes in tags that should be UTF-8. `DecodeTagText` undoes that.

#include <QByteArray>
#include <QString>

struct FileTagText {
    QString title;
    QString artist;
    QString album;
};

// Empty fields for a file that cannot be opened, is not a regular file, or has no tags.
FileTagText ReadFileTags(const QString& path);

// One tag value as a decoding library gives it:
//  - bytes that are not valid UTF-8 are code page 949 (Latin-1 when not that either);
//  - valid UTF-8 whose characters all lie below U+0100 with some above U+007F is the
//    Latin-1 reading of other bytes: those bytes are UTF-8 when valid as UTF-8, else
//    code page 949 when valid as that, else the text stays as it is (real Latin-1);
//  - anything else is taken as it is.
QString DecodeTagText(const QByteArray& value);
