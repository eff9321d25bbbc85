#pragma once
// The playlist's records and pages: `TMusicFile` (one entry, the same 500 bytes in
// memory and in a page file), `CMusicFile` (one page with its header and the page
// file operations) and `TM_PlayList` (the five pages, held by the playlist model).
// Used on the user-interface thread only.

#include "Lists.h"

#include <QString>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class TFILE;

struct TMusicFile {
    std::uint8_t Reserved = 0;      // always 0
    std::uint8_t IsFolder = 0;      // 1 for a folder heading
    std::uint8_t Level = 0;         // indentation level
    // 0: `Path` is code page 949, as every reader of the format expects. 1: `Path`
    // is the name's own bytes (UTF-8, or not) because code page 949 has no form for
    // it; other readers never look here.
    std::uint8_t PathIsUtf8 = 0;
    std::int32_t No = 0;            // display number of a file entry, little-endian
    char Path[492] = {};            // NUL-terminated unless read from a damaged file

    static constexpr std::size_t PathCapacity = sizeof(Path) - 1;

    // Records come from the record pool (RecordPool.h), which keeps large pages apart.
    static void* operator new(std::size_t size);
    static void operator delete(void* record, std::size_t size) noexcept;

    // A zero-filled record with the folder flag and the path; null when the path's
    // stored form is longer than 491 bytes: a path is refused, never cut.
    static std::unique_ptr<TMusicFile> Create(bool isFolder, const QString& path);
};

static_assert(sizeof(TMusicFile) == 500);
static_assert(offsetof(TMusicFile, IsFolder) == 1);
static_assert(offsetof(TMusicFile, Level) == 2);
static_assert(offsetof(TMusicFile, PathIsUtf8) == 3);
static_assert(offsetof(TMusicFile, No) == 4);
static_assert(offsetof(TMusicFile, Path) == 8);
static_assert(std::endian::native == std::endian::little, "records are stored as they lie in memory");

// Stores `path` in the record (code page 949, else the name's bytes with the mark);
// false and the record unchanged when it does not fit.
bool SetEntryPath(TMusicFile& record, const QString& path);
// The record's path, read no further than the end of the field.
QString EntryPath(const TMusicFile& record);
// The part of a path after its last '/': a file's name, a folder's own name.
QString EntryDisplayName(const QString& path);
QString EntryDisplayName(const TMusicFile& record);

class CMusicFile {
public:
    static constexpr int HeaderSize = 500;
    static constexpr int MarkerOffset = 41;
    static constexpr std::uint8_t MarkerValue = 27;
    static constexpr int CountOffset = 42;
    static constexpr int RecordSize = sizeof(TMusicFile);
    // The 34 bytes a page header begins with: product, version pattern, credit.
    static constexpr char Signature[] = "Sorvel  1.x.x   Written by Sorvel.";
    static_assert(sizeof(Signature) == 35);

    explicit CMusicFile(int pageNo);
    ~CMusicFile();
    CMusicFile(const CMusicFile&) = delete;
    CMusicFile& operator=(const CMusicFile&) = delete;

    void ResetHeader();
    std::int32_t HeaderCount() const;

    QString FileName() const;
    // Where a read may hand its records instead of `Entries` (each record only for the
    // call), and where a write may take them from: `Count` records, record i filled by
    // `Fill(i, record)`. The model keeps its entries in less memory than records.
    using RecordSink = std::function<void(const TMusicFile& record)>;
    struct RecordSource {
        int Count = 0;
        std::function<void(int index, TMusicFile& record)> Fill;
    };
    // Appends the file's records to `Entries` (emptied first, never freed), or hands
    // them to `sink` when one is given. False, silently, when the file cannot be
    // opened or a record is short; false with warning #2 when the header is short. A
    // file that exists but could not be read in full (unreadable, a read error, or
    // more records than its count says) is remembered: ReadInPart() and ReadProblem()
    // say so, and Save refuses to replace it until AllowReplacingUnread().
    bool ReadFile(const QString& path, const RecordSink* sink = nullptr);
    // The same read from an already opened stream.
    bool ReadFrom(TFILE& file, const RecordSink* sink = nullptr);
    enum class Warnings { Show, Quiet };
    // Writes `Header` with the current count and the records of `Entries` (of `source`
    // when one is given). The file is replaced only when everything was written;
    // otherwise it keeps its old contents and warning #11 (no file could be created,
    // or the name is not a regular file) or #12 is shown, or with Quiet only kept in
    // WriteProblem with the reason after it.
    bool WriteFile(const QString& path, Warnings warnings = Warnings::Show, const RecordSource* source = nullptr);
    bool Load(const RecordSink* sink = nullptr);
    // Writes FileName(); refused (#11) while the program's folder cannot be written, and
    // while the file holds records that were not read, unless allowed.
    bool Save(Warnings warnings = Warnings::Show, const RecordSource* source = nullptr);
    bool SaveIfModified(const RecordSource* source = nullptr);
    // The warning text of the last failed write; empty after one that succeeded.
    const QString& WriteProblem() const { return m_writeProblem; }
    bool ReadInPart() const { return m_readInPart; }
    // What kept the last read from being whole, naming the file; empty when it was.
    const QString& ReadProblem() const { return m_readProblem; }
    // The next Save replaces the file even though it holds records not read.
    void AllowReplacingUnread() { m_replaceUnread = true; }

    std::uint8_t Header[HeaderSize];
    std::uint8_t PageNo;
    std::uint8_t Modified;
    // Records read or to be written when no sink or source is given; never owns them.
    // The playlist model uses a sink and a source and leaves it empty.
    SvTypedList<TMusicFile> Entries;

private:
    void setHeaderCount(std::int32_t count);
    bool failWrite(const QString& text, int error, Warnings warnings);
    void readInPart(const QString& path, const QString& why);

    QString m_writeProblem;
    QString m_readProblem;
    bool m_readInPart = false;
    bool m_replaceUnread = false;
};

// The tab caption of page 1 to 5, blanks included ("최신음악", "  가요  ", ...).
QString PageCaption(int pageNo);

struct TPoint32 {
    std::int32_t X = 0;
    std::int32_t Y = 0;
};

class TM_PlayList {
public:
    TM_PlayList() = default;
    TM_PlayList(const TM_PlayList&) = delete;
    TM_PlayList& operator=(const TM_PlayList&) = delete;

    bool VolumeDragging = false;
    TPoint32 DragStart;
    // Page n is element n-1; built 1 to 5 and, being an array, destroyed 5 to 1.
    CMusicFile Pages[5] = {CMusicFile(1), CMusicFile(2), CMusicFile(3), CMusicFile(4), CMusicFile(5)};
};
