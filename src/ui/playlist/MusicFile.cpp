#include "MusicFile.h"

#include "AppFolder.h"
#include "CodePage.h"
#include "FileName.h"
#include "FileIO.h"
#include "G.h"
#include "RecordPool.h"
#include "ReplaceFile.h"
#include "SaveProblems.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

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

bool CMusicFile::ReadFile(const QString& path, const RecordSink* sink)
{
    Entries->Clear();
    m_readInPart = false;
    m_readProblem.clear();
    m_replaceUnread = false;
    errno = 0;
    TFILE file(path, "rb");
    const int openError = errno;
    if (file.IsNull()) {
        // A missing file, or anything but a regular file, is an empty page; a file that
        // is there and cannot be read is kept from being replaced.
        struct stat st {};
        if (::stat(FileNameBytes(path).constData(), &st) == 0 && S_ISREG(st.st_mode))
            readInPart(path, openError == EACCES || openError == EPERM
                                 ? QStringLiteral("읽기 권한이 없습니다")
                                 : QString::fromLocal8Bit(std::strerror(openError != 0 ? openError : EIO)));
        return false;
    }
    const bool read = ReadFrom(file, sink);
    if (file.HadError())
        readInPart(path, QStringLiteral("읽는 중에 오류가 났습니다"));
    // Records past the count would be lost by the next save.
    char more = 0;
    if (!m_readInPart && read && file.Read(&more, 1, 1) == 1)
        readInPart(path, QStringLiteral("머리글에 적힌 수(%1)보다 기록이 많습니다").arg(HeaderCount()));
    return read;
}

void CMusicFile::readInPart(const QString& path, const QString& why)
{
    m_readInPart = true;
    m_readProblem = QStringLiteral("%1: %2").arg(ReadableFileName(EntryDisplayName(path)), why);
}

bool CMusicFile::ReadFrom(TFILE& file, const RecordSink* sink)
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
    if (sink) {
        TMusicFile record;
        for (std::int32_t i = 0; i < count; ++i) {
            if (file.Read(&record, RecordSize, 1) != 1)
                return false;
            (*sink)(record);
        }
        return true;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        auto record = std::make_unique<TMusicFile>();
        if (file.Read(record.get(), RecordSize, 1) != 1)
            return false;
        Entries->Add(record.release());
    }
    return true;
}

bool CMusicFile::failWrite(const QString& text, int error, Warnings warnings)
{
    m_writeProblem = QStringLiteral("%1 (%2)").arg(text, SaveFailureReason(error));
    if (warnings == Warnings::Show)
        ShowWarning(text, MB_ICONEXCLAMATION);
    return false;
}

bool CMusicFile::WriteFile(const QString& path, Warnings warnings, const RecordSource* source)
{
    Modified = 0;
    m_writeProblem.clear();
    // A target that is not a regular file (a link to a FIFO or a device), or someone
    // else's, is refused.
    ReplaceFile file(path);
    if (!file.IsOpen())
        return failWrite(QStringLiteral("파일을 열수 없습니다. #11"), file.Error(), warnings);
    file.SetBufferBytes(256 * 1024);
    const int count = source ? source->Count : Entries->Count();
    setHeaderCount(count);
    bool ok = file.Write(Header, HeaderSize);
    TMusicFile filled;
    for (int i = 0; ok && i < count; ++i) {
        if (source)
            source->Fill(i, filled);
        ok = file.Write(source ? &filled : Entries->Get(i), RecordSize);
    }
    ok = ok && file.Commit();
    if (!ok)
        return failWrite(QStringLiteral("파일을 쓸수 없습니다. #12"), file.Error(), warnings);
    m_readInPart = false;
    m_readProblem.clear();
    m_replaceUnread = false;
    return true;
}

bool CMusicFile::Load(const RecordSink* sink)
{
    return ReadFile(FileName(), sink);
}

bool CMusicFile::Save(Warnings warnings, const RecordSource* source)
{
    m_writeProblem.clear();
    if (!ProgramFolderWritable())
        return failWrite(QStringLiteral("파일을 열수 없습니다. #11"), EROFS, warnings);
    if (m_readInPart && !m_replaceUnread) {
        m_writeProblem = QStringLiteral("읽지 못한 기록이 있어 덮어쓰지 않았습니다");
        return false;
    }
    return WriteFile(FileName(), warnings, source);
}

bool CMusicFile::SaveIfModified(const RecordSource* source)
{
    if (Modified == 0)
        return false;
    return Save(Warnings::Show, source);
}
