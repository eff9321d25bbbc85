#pragma once
// One entry of a page as the playlist model keeps it. A page file's record is 500 bytes,
// most of them the zeros after the path; a page of 10,000 entries held as records is
// five megabytes. The entry keeps the record's first eight bytes as they were and, of
// the 492-byte path field, only the bytes before the terminating NUL when nothing but
// zeros follows it (every record this program writes). A field with anything after its
// NUL, or without one (a damaged or foreign file), is kept whole, so that a page read and
// written back is the same bytes.

#include "MusicFile.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <memory>

class PageEntry {
public:
    std::uint8_t Reserved = 0;
    std::uint8_t IsFolder = 0;   // 1 for a folder heading
    std::uint8_t Level = 0;      // indentation level
    std::uint8_t PathIsUtf8 = 0; // as TMusicFile::PathIsUtf8
    std::int32_t No = 0;         // display number of a file entry

    PageEntry() = default;
    explicit PageEntry(const TMusicFile& record);
    PageEntry(PageEntry&&) noexcept = default;
    PageEntry& operator=(PageEntry&&) noexcept = default;

    // The path's stored bytes, up to the NUL or the end of the field.
    QByteArrayView PathBytes() const;
    // The 500 bytes of the record this entry was made from.
    void ToRecord(TMusicFile& record) const;

private:
    std::unique_ptr<char[]> m_field;  // m_size bytes of the path field
    std::uint16_t m_size = 0;
};

QString EntryPath(const PageEntry& entry);
QString EntryDisplayName(const PageEntry& entry);
