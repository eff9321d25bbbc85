#include "DropQueue.h"

#include "FileName.h"
#include "PlaylistFile.h"
#include "ThreadName.h"

#include <QMetaObject>
#include <QTimer>

#include <chrono>
#include <optional>
#include <utility>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool isFolder(const QString& path)
{
    struct stat st {};
    return ::stat(FileNameBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

// One job on the drop walker: the names in order, each a file or a walked folder,
// gathered into batches.
class DropQueue::JobRun {
public:
    JobRun(DropQueue& queue, std::uint64_t id, const DropJob& job) : m_queue(queue), m_id(id), m_job(job) {}

    bool Run()
    {
        m_batch = newBatch();
        // A playlist file among the names stands for what it names.
        const QStringList names = ExpandPlaylistFiles(m_job.Names, &m_leftOut.Missing, &m_leftOut.Lists);
        for (const QString& name : names) {
            if (name.isEmpty())
                continue;
            const bool whole = m_job.Kind == DropJob::Target::Page ? page(name) : list(name);
            if (!whole)
                return false;
        }
        m_batch->Last = true;
        m_batch->LeftOut = std::move(m_leftOut);
        return m_queue.deliver(std::move(m_batch));
    }

private:
    std::unique_ptr<DropBatch> newBatch()
    {
        auto batch = std::make_unique<DropBatch>();
        batch->Job = m_id;
        m_entries = 0;
        return batch;
    }

    // Counts one entry and hands the batch over when it is full or old enough.
    bool counted()
    {
        ++m_entries;
        return flushIfDue();
    }

    // A walk whose next listing may take long hands over what it has met first, so
    // entries never wait behind a slow folder (at most one batch in kBatchMs all the same).
    CFolderWalk walker()
    {
        CFolderWalk walk(*m_queue.m_lister, &m_queue.m_stop);
        walk.SetBeforeListing([this] { return flushIfDue(0); });
        walk.SetLeftOut(&m_leftOut);
        return walk;
    }

    bool flush()
    {
        if (!m_queue.deliver(std::move(m_batch)))
            return false;
        m_delivered = Clock::now();
        m_batch = newBatch();
        return true;
    }

    // Hands the batch over when it holds `full` entries or the last one went out
    // kBatchMs ago; the first entry of a job goes out at once.
    bool flushIfDue(std::size_t full = kBatchEntries)
    {
        if (m_entries == 0)
            return !m_queue.m_stop.load();
        const bool old = !m_delivered || Clock::now() - *m_delivered >= std::chrono::milliseconds(kBatchMs);
        if ((full == 0 || m_entries < full) && !old)
            return !m_queue.m_stop.load();
        return flush();
    }

    // A dropped name for the temporary list: a music file, or the music files below a
    // folder in walk order.
    bool list(const QString& name)
    {
        if (!isFolder(name)) {
            if (IsMusicFile(name)) {
                m_batch->Paths.append(name);
                return counted();
            }
            return true;
        }
        return walker().Walk(name, [this](const WalkItem& item) {
            if (item.IsDir || !IsMusicFile(item.Path))
                return flushIfDue();
            m_batch->Paths.append(item.Path);
            return counted();
        });
    }

    // A dropped name for a page: a file becomes an entry at level 0; a folder its
    // headings and files. A folder gets a heading only when the pair after it in the
    // walk has a larger value (a deeper folder or any file), decided as if every path
    // fitted a record. A path that does not fit is left out, and so is every heading
    // that had nothing else to show below it: a refusal leaves no empty heading behind.
    bool page(const QString& name)
    {
        if (!isFolder(name))
            return pageFile(name);
        const QString folder = TrimFolderPath(name);
        m_previous.reset();
        takePair(folder, 0, true);
        const bool whole = walker().Walk(folder, [this](const WalkItem& item) {
            const std::intptr_t value = PageValue(item);
            if (value < 0) {
                if (IsMusicFile(item.Path))
                    m_leftOut.Small.append(item.Path);
                return flushIfDue();
            }
            takePair(item.Path, value, item.IsDir);
            return flushIfDue();
        });
        // The walk's last folder never gets a heading.
        m_previous.reset();
        closeHeadings(0);
        return whole;
    }

    void takePair(const QString& path, std::intptr_t value, bool folder)
    {
        if (m_previous && m_previous->Folder && value > m_previous->Value)
            heading(m_previous->Path, m_previous->Value);
        m_previous = Pair{path, value, folder};
        if (!folder && IsMusicFile(path))
            file(path, static_cast<int>(value - FileValueBase));
    }

    void heading(const QString& path, std::intptr_t value)
    {
        const int level = static_cast<int>(std::min<std::intptr_t>(value, 255));
        closeHeadings(level);
        auto record = TMusicFile::Create(true, path);
        if (!record) {
            refused(level);
            return;
        }
        record->Level = static_cast<std::uint8_t>(level);
        m_held.push_back(Held{std::move(record), false});
    }

    void file(const QString& path, int depthLevel)
    {
        const int level = std::min(depthLevel, 255);
        closeHeadings(level);
        auto record = TMusicFile::Create(false, path);
        if (!record) {
            m_batch->TooLong.append(path);
            refused(level);
            return;
        }
        record->Level = static_cast<std::uint8_t>(level);
        showHeld();
        m_batch->Records.push_back(std::move(record));
        ++m_entries;
    }

    // Something at `level` was left out: the heading it stood under may be empty now.
    void refused(int level)
    {
        if (!m_held.empty() && m_held.back().Record->Level < level)
            m_held.back().Refusal = true;
    }

    // Ends the held headings at `level` and deeper: one whose only contents were left
    // out goes (telling its parent), any other is shown, empty or not.
    void closeHeadings(int level)
    {
        while (!m_held.empty() && m_held.back().Record->Level >= level) {
            if (!m_held.back().Refusal) {
                showHeld();
                return;
            }
            m_held.pop_back();
            if (!m_held.empty())
                m_held.back().Refusal = true;
        }
    }

    // The held headings go out, in order, ahead of what is shown below them.
    void showHeld()
    {
        for (Held& held : m_held) {
            m_batch->Records.push_back(std::move(held.Record));
            ++m_entries;
        }
        m_held.clear();
    }

    bool pageFile(const QString& path)
    {
        if (!IsMusicFile(path))
            return true;
        auto record = TMusicFile::Create(false, path);
        if (!record) {
            m_batch->TooLong.append(path);
            return true;
        }
        m_batch->Records.push_back(std::move(record));
        return counted();
    }

    // The previous pair of the walk, whose heading waits for the next one.
    struct Pair {
        QString Path;
        std::intptr_t Value = 0;
        bool Folder = false;
    };
    // A heading decided but not shown yet: it shows once something below it does.
    struct Held {
        std::unique_ptr<TMusicFile> Record;
        bool Refusal = false;  // something below it was left out
    };

    DropQueue& m_queue;
    const std::uint64_t m_id;
    const DropJob& m_job;
    std::unique_ptr<DropBatch> m_batch;
    std::optional<Clock::time_point> m_delivered;
    std::size_t m_entries = 0;
    WalkLeftOut m_leftOut;
    std::optional<Pair> m_previous;
    std::vector<Held> m_held;
};

DropQueue::DropQueue(Receiver receive, CFolderLister* lister)
    : m_receive(std::move(receive)), m_lister(lister ? lister : &DefaultFolderLister())
{
    m_relay.OnReady = [this] { receiveReady(); };
}

DropQueue::~DropQueue()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop.store(true);
        m_jobs.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

std::uint64_t DropQueue::Add(DropJob job)
{
    const std::uint64_t id = ++m_lastJob;
    ++m_unfinished;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_jobs.emplace_back(id, std::move(job));
    }
    if (!m_thread.joinable())
        m_thread = std::thread([this] {
            NameThisThread("sorvel-drops");
            run();
        });
    m_wake.notify_all();
    return id;
}

void DropQueue::run()
{
    // Background work: the window thread comes first when both want the processor.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    for (;;) {
        std::pair<std::uint64_t, DropJob> next;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait(hold, [this] { return m_stop.load() || !m_jobs.empty(); });
            if (m_stop.load())
                return;
            next = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        if (!JobRun(*this, next.first, next.second).Run())
            return;
    }
}

namespace {

std::size_t entriesOf(const DropBatch& batch)
{
    return batch.Records.size() + static_cast<std::size_t>(batch.Paths.size());
}

// `later`, the same job's next batch, appended to `waiting`.
void join(DropBatch& waiting, DropBatch& later)
{
    waiting.Records.insert(waiting.Records.end(), std::make_move_iterator(later.Records.begin()),
                           std::make_move_iterator(later.Records.end()));
    waiting.Paths += later.Paths;
    waiting.TooLong += later.TooLong;
    waiting.LeftOut = std::move(later.LeftOut);  // only the last batch has any
    waiting.Last = later.Last;
}

} // namespace

bool DropQueue::deliver(std::unique_ptr<DropBatch> batch)
{
    bool call = false;
    {
        std::unique_lock<std::mutex> hold(m_lock);
        DropBatch* waiting = m_ready.empty() ? nullptr : m_ready.back().get();
        if (waiting && waiting->Job == batch->Job && !waiting->Last
            && entriesOf(*waiting) + entriesOf(*batch) <= kJoinedEntries) {
            join(*waiting, *batch);
            return !m_stop.load();
        }
        m_wake.wait(hold, [this] { return m_stop.load() || m_inFlight < kMaxBatchesInFlight; });
        if (m_stop.load())
            return false;
        ++m_inFlight;
        m_ready.push_back(std::move(batch));
        call = !std::exchange(m_called, true);
    }
    if (call)
        QMetaObject::invokeMethod(&m_relay, "Ready", Qt::QueuedConnection);
    return true;
}

void DropQueue::receiveReady()
{
    std::unique_ptr<DropBatch> batch;
    bool more = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_ready.empty()) {
            batch = std::move(m_ready.front());
            m_ready.pop_front();
            --m_inFlight;
        }
        more = !m_ready.empty();
        m_called = more;
    }
    m_wake.notify_all();
    if (batch) {
        if (batch->Last)
            --m_unfinished;
        m_receive(*batch);
    }
    // The next batch waits: what the window has to do meanwhile (painting, input, the
    // views laying out what they were given) is not kept waiting behind a whole walk.
    // Once the pause is over it is posted, so it also goes behind every event posted
    // meanwhile, however late the timer fires on a busy machine.
    if (more)
        QTimer::singleShot(kBreatheMs, &m_relay,
                           [this] { QMetaObject::invokeMethod(&m_relay, "Ready", Qt::QueuedConnection); });
}

int DropQueue::BatchesWaiting()
{
    std::lock_guard<std::mutex> hold(m_lock);
    return static_cast<int>(m_ready.size());
}
