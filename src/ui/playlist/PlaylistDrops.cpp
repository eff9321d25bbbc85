// Names dropped on the page trees and the temporary list, files chosen in the player's
// dialog and paths handed to the program: each drop is one job of the drop queue, whose
// batches are given to the playlist model here, on the window thread.

#include "PlaylistPages.h"

#include "FileName.h"
#include "G.h"
#include "TempList.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>

namespace {

// At most this many names are listed in one message; the rest are counted.
constexpr int kNamesShown = 10;

QString nameList(const QStringList& paths)
{
    QStringList shown;
    for (const QString& path : paths.mid(0, kNamesShown))
        shown.append(ReadableFileName(path));
    QString text = shown.join(QLatin1Char('\n'));
    if (paths.size() > kNamesShown)
        text += QStringLiteral("\n... 외 %1개").arg(paths.size() - kNamesShown);
    return text;
}

} // namespace

QString RefusedNamesText(const QStringList& tooLong, const QStringList& lineBreaks)
{
    QStringList parts;
    if (!tooLong.isEmpty())
        parts.append(QStringLiteral("경로가 너무 길어 페이지에 넣지 못했습니다 (%1바이트까지):\n%2")
                         .arg(TMusicFile::PathCapacity)
                         .arg(nameList(tooLong)));
    if (!lineBreaks.isEmpty())
        parts.append(QStringLiteral("이름에 줄바꿈이 있어 임시 목록에 넣지 못했습니다:\n%1").arg(nameList(lineBreaks)));
    return parts.join(QStringLiteral("\n\n"));
}

void PlaylistPages::WMDropFiles(QWidget* target, const QStringList& names)
{
    if (names.isEmpty())
        return;
    const auto tree = std::find(m_trees.begin(), m_trees.end(), target);
    if (tree != m_trees.end())
        queueJob(DropJob::Target::Page, names, (*tree)->Tag, false);
    else if (target == m_list)
        queueJob(DropJob::Target::List, names, PlaylistModel::ListPage, false);
}

void PlaylistPages::OpenHandedPaths(const QStringList& paths, bool play, bool atOnce)
{
    // The walk's batches come back through the event loop, after this.
    m_jobs[queueJob(DropJob::Target::List, paths, PlaylistModel::ListPage, play)].AtOnce = play && atOnce;
}

std::uint64_t PlaylistPages::queueJob(DropJob::Target kind, const QStringList& names, int pageNo, bool play)
{
    if (play) {
        // The last hand-over's song is the one wanted: earlier ones give up theirs.
        for (auto& [id, job] : m_jobs)
            job.Play = false;
        m_playTimer.stop();
        m_playPath.clear();
    }
    const std::uint64_t id = drops().Add(DropJob{kind, names});
    JobState& job = m_jobs[id];
    job.PageNo = pageNo;
    job.Play = play;
    return id;
}

DropQueue& PlaylistPages::drops()
{
    if (!m_queue)
        m_queue = std::make_unique<DropQueue>([this](DropBatch& batch) { receive(batch); }, m_lister);
    return *m_queue;
}

bool PlaylistPages::DropsIdle() const
{
    return (!m_queue || m_queue->Idle()) && !m_playTimer.isActive() && m_model.TempFile().Idle();
}

void PlaylistPages::playHanded()
{
    const int row = m_model.TempRowOf(std::exchange(m_playPath, QString()));
    if (row >= 0 && OnHandedEntry)
        OnHandedEntry(row);
}

bool PlaylistPages::FinishDrops(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!DropsIdle() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return DropsIdle();
}

void PlaylistPages::SetFolderLister(CFolderLister* lister)
{
    m_lister = lister ? lister : &DefaultFolderLister();
    if (m_queue && m_queue->Idle())
        m_queue->SetLister(m_lister);
}

void PlaylistPages::receive(DropBatch& batch)
{
    const auto found = m_jobs.find(batch.Job);
    if (found == m_jobs.end())
        return;
    JobState& job = found->second;
    job.TooLong += batch.TooLong;
    // One insertion into the model for the whole batch.
    int first = -1;
    m_model.Receive(job.PageNo, batch, &job.LineBreaks, job.Play && !job.Played ? &first : nullptr);
    if (first >= 0) {
        // Played once no later hand-over wants its own song (many may come at once).
        job.Played = true;
        m_playPath = m_model.TempPath(first);
        m_playTimer.start(job.AtOnce ? 0 : kPlayDelayMs);
    }
    if (!batch.Last)
        return;
    const JobState done = std::move(job);
    m_jobs.erase(found);
    if (done.PageNo == PlaylistModel::ListPage)
        m_model.SaveTempListLater();
    // One warning per drop: what could not be stored and what the walk left out.
    QStringList texts{RefusedNamesText(done.TooLong, done.LineBreaks), WalkLeftOutText(batch.LeftOut)};
    texts.removeAll(QString());
    if (!texts.isEmpty())
        ShowWarning(texts.join(QStringLiteral("\n\n")), MB_ICONEXCLAMATION);
}

void PlaylistPages::AddPageEntry(TDropTreeView* tree, const QString& path, bool isFolder, int level)
{
    if (!tree || !(isFolder || IsMusicFile(path)))
        return;
    if (!m_model.AddPageEntry(tree->Tag, path, isFolder, level))
        ShowWarning(RefusedNamesText({path}, {}), MB_ICONEXCLAMATION);
}

void PlaylistPages::AddTempPath(const QString& path)
{
    if (m_adding > 0) {
        m_pending.append(path);
        return;
    }
    // Whether the path is a folder is asked on the drop walker, never here: a path on a
    // mount that hangs must not hold up the windows. Entries keep the order they were
    // asked for in, behind the walks queued before them.
    queueJob(DropJob::Target::List, {path}, PlaylistModel::ListPage, false);
}

void PlaylistPages::AddTempFile(const QString& path)
{
    if (m_model.AddTempFile(path) == PlaylistModel::TempAdd::Refused)
        ShowWarning(RefusedNamesText({}, {path}), MB_ICONEXCLAMATION);
}

void PlaylistPages::AddTempItem(const QString& text)
{
    m_model.AddTempItem(text);
}

void PlaylistPages::BeginAdding()
{
    ++m_adding;
}

void PlaylistPages::EndAdding()
{
    if (m_adding > 0 && --m_adding == 0 && !m_pending.isEmpty())
        queueJob(DropJob::Target::List, std::exchange(m_pending, {}), PlaylistModel::ListPage, false);
}

void PlaylistPages::AddChosenFiles(const QStringList& paths)
{
    // One job: the list's file is written once it is done.
    if (!paths.isEmpty())
        queueJob(DropJob::Target::List, paths, PlaylistModel::ListPage, false);
}
