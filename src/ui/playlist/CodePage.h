#pragma once
// Conversion between the system's UTF-8 text and code page 949, the code page the
// playlist files are stored in. Everything here is used on one thread at a time;
// each thread keeps its own converters.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>

// The text in code page 949, or nothing when some character has no place in it.
std::optional<QByteArray> ToCodePage949(const QString& text);

// Strict decoding: nothing when the bytes are not valid code page 949.
std::optional<QString> FromCodePage949(const char* bytes, std::size_t size);

// Decoding that never fails: code page 949 when valid, else valid UTF-8 as such, else
// code page 949 with every undecodable byte shown as U+FFFD.
QString DecodeCodePage949Text(const char* bytes, std::size_t size);

// Strict UTF-8 decoding: nothing when the bytes are not valid UTF-8.
std::optional<QString> FromStrictUtf8(const char* bytes, std::size_t size);
