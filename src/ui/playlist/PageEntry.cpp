#include "PageEntry.h"

#include "CodePage.h"
#include "FileName.h"

#include <algorithm>
#include <cstring>

static_assert(sizeof(TMusicFile::Path) < 0x10000, "a field's size fits m_size");

PageEntry::PageEntry(const TMusicFile& record)
    : Reserved(record.Reserved), IsFolder(record.IsFolder), Level(record.Level), PathIsUtf8(record.PathIsUtf8),
      No(record.No)
{
    const char* field = record.Path;
    const char* end = field + sizeof(record.Path);
    const char* nul = std::find(field, end, '\0');
    // Only zeros after the NUL: they are written back from nothing.
    const bool plain = nul != end && std::all_of(nul, end, [](char c) { return c == '\0'; });
    m_size = static_cast<std::uint16_t>(plain ? nul - field : end - field);
    if (m_size > 0) {
        m_field = std::make_unique_for_overwrite<char[]>(m_size);
        std::memcpy(m_field.get(), field, m_size);
    }
}

QByteArrayView PageEntry::PathBytes() const
{
    const char* field = m_field.get();
    return QByteArrayView(field, static_cast<qsizetype>(field ? strnlen(field, m_size) : 0));
}

void PageEntry::ToRecord(TMusicFile& record) const
{
    record.Reserved = Reserved;
    record.IsFolder = IsFolder;
    record.Level = Level;
    record.PathIsUtf8 = PathIsUtf8;
    record.No = No;
    std::memset(record.Path, 0, sizeof(record.Path));
    if (m_size > 0)
        std::memcpy(record.Path, m_field.get(), m_size);
}

QString EntryPath(const PageEntry& entry)
{
    const QByteArrayView bytes = entry.PathBytes();
    if (entry.PathIsUtf8 == 1)
        return FileNameFromBytes(bytes);
    return DecodeCodePage949Text(bytes.data(), static_cast<std::size_t>(bytes.size()));
}

QString EntryDisplayName(const PageEntry& entry)
{
    return EntryDisplayName(EntryPath(entry));
}
