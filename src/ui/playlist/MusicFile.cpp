#include "MusicFile.h"

#include "AppFolder.h"
#include "CodePage.h"
#include "FileName.h"
#include "FileIO.h"
#include "G.h"
#include "RecordPool.h"
#include "ReplaceFile.h"

#include <cstring>

std::unique_ptr<TMusicFile> TMusicFile::Create(bool isFolder, const QString& path)
{
    auto record = std::make_unique<TMusicFile>();
    record->IsFolder = isFolder ? 1 : 0;
    if (!SetEntryPath(*record, path))
        return nullptr;
    return record;
}

bool SetEntryPath(TMusicFile& record, const QString& path)
{
    std::uint8_t utf8 = 0;
    QByteArray bytes;
    if (auto encoded = ToCodePage949(path)) {
        bytes = std::move(*encoded);
    } else {
        // The name's own bytes: UTF-8, or whatever else the file system holds.
        bytes = FileNameBytes(path);
        utf8 = 1;
    }
    if (static_cast<std::size_t>(bytes.size()) > TMusicFile::PathCapacity || bytes.contains('\0'))
        return false;
    std::memset(record.Path, 0, sizeof(record.Path));
    std::memcpy(record.Path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    record.PathIsUtf8 = utf8;
    return true;
}

QString EntryPath(const TMusicFile& record)
{
    const std::size_t length = strnlen(record.Path, sizeof(record.Path));
    if (record.PathIsUtf8 == 1)
        return FileNameFromBytes(QByteArrayView(record.Path, static_cast<qsizetype>(length)));
    return DecodeCodePage949Text(record.Path, length);
}

QString PageCaption(int pageNo)
{
    static const QString captions[] = {QStringLiteral("최신음악"), QStringLiteral("  가요  "), QStringLiteral("외국음악"),
                                       QStringLiteral(" 클래식 "), QStringLiteral("즐겨듣기")};
    return pageNo >= 1 && pageNo <= 5 ? captions[pageNo - 1] : QString();
}

void* TMusicFile::operator new(std::size_t size)
{
    return record_pool::Allocate(size);
}

void TMusicFile::operator delete(void* record, std::size_t size) noexcept
{
    record_pool::Free(record, size);
}

QString EntryDisplayName(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString EntryDisplayName(const TMusicFile& record)
{
    return EntryDisplayName(EntryPath(record));
}

CMusicFile::CMusicFile(int pageNo)
    : PageNo(static_cast<std::uint8_t>(pageNo)), Modified(0)
{
    ResetHeader();
}

CMusicFile::~CMusicFile()
{
    Entries->Clear();
}

void CMusicFile::ResetHeader()
{
    std::memset(Header, 0, sizeof(Header));
    std::memcpy(Header, Signature, sizeof(Signature));
    Header[MarkerOffset] = MarkerValue;
}

std::int32_t CMusicFile::HeaderCount() const
{
    std::int32_t count = 0;
    std::memcpy(&count, Header + CountOffset, sizeof(count));
    return count;
}

void CMusicFile::setHeaderCount(std::int32_t count)
{
    std::memcpy(Header + CountOffset, &count, sizeof(count));
}

QString CMusicFile::FileName() const
{
    return ProgramFolder() + QStringLiteral("MusicList%1.dat").arg(PageNo);
}

bool CMusicFile::ReadFile(const QString& path)
{
    Entries->Clear();
    TFILE file(path, "rb");
    if (file.IsNull())
        return false;
    return ReadFrom(file);
}

bool CMusicFile::ReadFrom(TFILE& file)
{
    Entries->Clear();
    // A short header must not leave half of itself behind to be written back later.
    std::uint8_t header[HeaderSize];
    if (file.Read(header, HeaderSize, 1) != 1) {
        ShowWarning(QStringLiteral("파일을 읽을 수 없습니다. #2"), MB_ICONEXCLAMATION);
        return false;
    }
    std::memcpy(Header, header, HeaderSize);
    // Records are read one by one as long as the file has them; `Count` comes from
    // the file and may be anything, so nothing is reserved by it.
    const std::int32_t count = HeaderCount();
    for (std::int32_t i = 0; i < count; ++i) {
        auto record = std::make_unique<TMusicFile>();
        if (file.Read(record.get(), RecordSize, 1) != 1)
            return false;
        Entries->Add(record.release());
    }
    return true;
}

bool CMusicFile::WriteFile(const QString& path, Warnings warnings)
{
    Modified = 0;
    m_writeProblem.clear();
    auto fail = [&](const QString& text) {
        m_writeProblem = text;
        if (warnings == Warnings::Show)
            ShowWarning(text, MB_ICONEXCLAMATION);
        return false;
    };
    // A target that is not a regular file (a link to a FIFO or a device) is refused.
    ReplaceFile file(path);
    if (!file.IsOpen())
        return fail(QStringLiteral("파일을 열수 없습니다. #11"));
    file.SetBufferBytes(256 * 1024);
    setHeaderCount(Entries->Count());
    bool ok = std::fwrite(Header, HeaderSize, 1, file.Stream()) == 1;
    for (int i = 0; ok && i < Entries->Count(); ++i)
        ok = std::fwrite(Entries->Get(i), RecordSize, 1, file.Stream()) == 1;
    ok = ok && file.Commit();
    if (!ok)
        return fail(QStringLiteral("파일을 쓸수 없습니다. #12"));
    return true;
}

bool CMusicFile::Load()
{
    return ReadFile(FileName());
}

bool CMusicFile::Save(Warnings warnings)
{
    return WriteFile(FileName(), warnings);
}

bool CMusicFile::SaveIfModified()
{
    if (Modified == 0)
        return false;
    return Save();
}
