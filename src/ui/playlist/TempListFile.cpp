#include "TempListFile.h"

#include "AppFolder.h"
#include "FileName.h"
#include "ReplaceFile.h"
#include "SaveProblems.h"
#include "ThreadName.h"

#include <QMetaObject>

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Lists of this many paths or more are worth giving memory back after their write.
constexpr qsizetype kTrimFrom = 10000;

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString readReason(int error)
{
    if (error == EACCES || error == EPERM)
        return QStringLiteral("읽기 권한이 없습니다");
    return QString::fromLocal8Bit(std::strerror(error));
}

QString keptWhere()
{
    const QString folder = StateFolder();
    return folder.isEmpty() ? QStringLiteral("(보관할 폴더가 없음)") : ReadableFileName(folder);
}

enum class Read { Missing, NotRegular, Failed, Whole };

// The whole of a regular file, any size memory holds; never blocks on a FIFO.
Read readWhole(const QString& path, QByteArray& bytes, int& error)
{
    const int fd = ::open(FileNameBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return error == ENOENT || error == ELOOP ? Read::Missing : Read::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Read::NotRegular;
    }
    Read result = Read::Whole;
    try {
        bytes.reserve(static_cast<qsizetype>(st.st_size));
        char chunk[1 << 16];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                error = errno;
                result = Read::Failed;
                break;
            }
            if (got == 0)
                break;
            bytes.append(chunk, static_cast<qsizetype>(got));
        }
    } catch (const std::bad_alloc&) {
        bytes = QByteArray();
        error = ENOMEM;
        result = Read::Failed;
    }
    ::close(fd);
    return result;
}

} // namespace

QStringList TempListEntries(const QByteArray& bytes, int* skipped)
{
    QStringList entries;
    int dropped = 0;
    for (QString& line : DecodeTempListText(bytes)) {
        if (line.contains(QChar(0)) || (!line.isEmpty() && !line.startsWith(QLatin1Char('/')))) {
            ++dropped;
            continue;
        }
        entries.append(std::move(line));
    }
    if (skipped)
        *skipped = dropped;
    return entries;
}

TempListFile::TempListFile(SaveProblems& problems) : m_problems(problems)
{
    m_relay.OnReady = [this] { takeOutcomes(); };
}

TempListFile::~TempListFile()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_saver.joinable())
        m_saver.join();
}

QStringList TempListFile::Load(const QString& path)
{
    m_held = false;
    m_fileHolds.clear();
    QByteArray bytes;
    int error = 0;
    const Read read = readWhole(path, bytes, error);
    const QString name = fileNameOf(path);
    if (read == Read::Failed) {
        m_held = true;
        m_problems.TellAtStart(QStringLiteral("%1 을(를) 읽을 수 없습니다 (%2).\n이 파일은 덮어쓰지 않고, 목록은 %3 에 "
                                              "보관합니다.")
                                   .arg(name, readReason(error), keptWhere()));
        return {};
    }
    if (read != Read::Whole)
        return {};
    m_encoding = TempListEncodingOf(bytes);
    int skipped = 0;
    QStringList entries = TempListEntries(bytes, &skipped);
    if (skipped > 0) {
        m_held = true;
        m_problems.TellAtStart(QStringLiteral("%1 에서 경로가 아닌 줄 %2개를 건너뛰었습니다.\n이 파일은 덮어쓰지 않고, "
                                              "목록은 %3 에 보관합니다.")
                                   .arg(name)
                                   .arg(skipped)
                                   .arg(keptWhere()));
    }
    m_fileHolds = entries;
    return entries;
}

TempListFile::Job TempListFile::makeJob(const QString& path, const QStringList& paths) const
{
    Job job;
    if (!m_held && ProgramFolderWritable())
        job.Path = path;
    job.Paths = paths;
    job.FileHolds = m_fileHolds;
    job.Encoding = m_encoding;
    job.RemoveKeptOnSuccess = m_keptThisRun;
    job.Generation = m_generation;
    return job;
}

TempListFile::Outcome TempListFile::run(const Job& job)
{
    Outcome outcome;
    outcome.Paths = job.Paths;
    outcome.Path = job.Path;
    outcome.Generation = job.Generation;
    if (!job.Path.isEmpty()) {
        if (ReplaceFileContents(job.Path, EncodeTempListText(job.Paths, job.Encoding), &outcome.Error)) {
            outcome.Written = true;
            if (job.RemoveKeptOnSuccess)
                ::unlink(FileNameBytes(KeptListPath()).constData());
            return outcome;
        }
    }
    // Nothing the file does not hold is lost.
    if (job.Paths == job.FileHolds)
        return outcome;
    const QString kept = KeptListPath();
    if (kept.isEmpty() || !MakeFolders(StateFolder())) {
        outcome.KeptError = ENOENT;
        return outcome;
    }
    outcome.Kept = ReplaceFileContents(kept, EncodeTempListText(job.Paths, job.Encoding), &outcome.KeptError);
    if (outcome.Kept)
        outcome.KeptError = 0;
    return outcome;
}

void TempListFile::told(const Outcome& outcome)
{
    if (outcome.Written) {
        m_fileHolds = outcome.Paths;
        m_problems.Succeeded(fileNameOf(outcome.Path));
        m_keptThisRun = false;
        return;
    }
    if (!outcome.Path.isEmpty())
        m_problems.Failed(fileNameOf(outcome.Path), outcome.Error);
    if (outcome.Kept)
        m_keptThisRun = true;
    else if (outcome.KeptError != 0)
        m_problems.Failed(ReadableFileName(KeptListPath().isEmpty() ? QStringLiteral("(state)/Temprary.txt")
                                                                      : KeptListPath()),
                          outcome.KeptError);
}

void TempListFile::SaveLater(const QString& path, const QStringList& paths)
{
    ++m_pending;
    bool replaced = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        replaced = m_next.has_value();
        m_next = makeJob(path, paths);
        if (!m_saver.joinable())
            m_saver = std::thread([this] { saverLoop(); });
    }
    if (replaced)
        --m_pending;  // the older list waiting is never written: this one holds it all
    m_wake.notify_all();
}

bool TempListFile::SaveNow(const QString& path, const QStringList& paths)
{
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_wake.wait(hold, [this] { return !m_next && !m_busy; });
    }
    // Outcomes of earlier writes still on their way are older than this one.
    ++m_generation;
    const Outcome outcome = run(makeJob(path, paths));
    told(outcome);
    return outcome.Written;
}

void TempListFile::saverLoop()
{
    NameThisThread("sorvel-save");
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait(hold, [this] { return m_stop || m_next.has_value(); });
            if (!m_next)
                return;
            job = std::move(*m_next);
            m_next.reset();
            m_busy = true;
        }
        Outcome outcome = run(job);
        // The text of a long list was megabytes, and the drop that made the list (whose
        // end is written here) left holes between the entries kept: what is free goes
        // back to the system here, off the window thread.
        if (job.Paths.size() >= kTrimFrom)
            ::malloc_trim(0);
        bool first = false;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_busy = false;
            m_outcomes.push_back(std::move(outcome));
            first = m_outcomes.size() == 1;
        }
        m_wake.notify_all();
        if (first)
            QMetaObject::invokeMethod(&m_relay, "Ready", Qt::QueuedConnection);
    }
}

void TempListFile::takeOutcomes()
{
    for (;;) {
        Outcome outcome;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_outcomes.empty())
                return;
            outcome = std::move(m_outcomes.front());
            m_outcomes.pop_front();
        }
        --m_pending;
        if (outcome.Generation == m_generation)
            told(outcome);
    }
}

QString TempListFile::KeptListPath()
{
    const QString folder = StateFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("Temprary.txt");
}

QStringList TempListFile::ReadKeptList()
{
    const QString kept = KeptListPath();
    QByteArray bytes;
    int error = 0;
    if (kept.isEmpty() || readWhole(kept, bytes, error) != Read::Whole)
        return {};
    QStringList entries = TempListEntries(bytes);
    entries.removeAll(QString());
    return entries;
}

void TempListFile::RemoveKeptList()
{
    const QString kept = KeptListPath();
    if (!kept.isEmpty())
        ::unlink(FileNameBytes(kept).constData());
    m_keptThisRun = false;
}
