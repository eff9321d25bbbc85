#pragma once
// Dropped names, and paths handed to the program, turned into entries on a worker
// thread ("drop walker"), one job after the other in the order they came: a second drop
// waits behind the first. The window thread is handed what a job found in batches as
// the walk goes on, through queued calls, one batch a turn of its event loop, and never
// waits for a walk; meanwhile it plays, deletes and closes as ever. While the window
// thread has not taken a job's last batch, what the walker meets next joins that batch,
// so the slower the window is to take them (a long list to lay out again), the fewer and
// larger the batches: the work per entry stays the same whatever the list's length.
// Destroying the queue ends a walk at once.
//
// Threads: Add, Idle and the destructor on the window thread, which also receives the
// batches; the walk and everything it calls (the folder lister, record creation, the
// music-file test) on the drop walker.

#include "DropWalk.h"
#include "MusicFile.h"

#include <QObject>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct DropJob {
    enum class Target {
        Page,  // entries for a page tree: files and folder headings with their levels
        List,  // music files for the temporary list
    };
    Target Kind = Target::List;
    QStringList Names;
};

// What a job found since the previous batch, in order.
struct DropBatch {
    std::uint64_t Job = 0;
    // Page jobs: the records to append, headings decided and levels set.
    std::vector<std::unique_ptr<TMusicFile>> Records;
    // List jobs: the music files met.
    QStringList Paths;
    // Page jobs: music files whose path does not fit a record, left out.
    QStringList TooLong;
    // What the job's walks left out; only in its last batch.
    WalkLeftOut LeftOut;
    // The job's last batch; the job is done once it has been received.
    bool Last = false;
};

// Carries the drop walker's "batches are ready" to the window thread. A queued call of a
// slot without arguments: nothing the walker allocated is read outside our own lock.
class DropRelay : public QObject {
    Q_OBJECT
public:
    std::function<void()> OnReady;
public slots:
    void Ready()
    {
        if (OnReady)
            OnReady();
    }
};

class DropQueue {
public:
    using Receiver = std::function<void(DropBatch& batch)>;

    // `receive` runs on the window thread for every batch. `lister` (not owned) lists
    // the folders; it must outlive the queue and be safe on another thread.
    DropQueue(Receiver receive, CFolderLister* lister);
    // Ends the walk under way, drops the jobs still waiting and what was not yet
    // received, and joins the drop walker.
    ~DropQueue();
    DropQueue(const DropQueue&) = delete;
    DropQueue& operator=(const DropQueue&) = delete;

    // Queues a job; returns its number (the `Job` of its batches), counting from 1.
    std::uint64_t Add(DropJob job);
    // True when every job added has been received whole.
    bool Idle() const { return m_unfinished == 0; }
    // Only while Idle.
    void SetLister(CFolderLister* lister) { m_lister = lister; }
    // Batches handed over and not yet received (for tests).
    int BatchesWaiting();

    // A batch is handed over when it holds this many entries, or when this much time
    // went by since the last one: entries appear as the walk goes, each batch is little
    // work for the window thread.
    static constexpr std::size_t kBatchEntries = 512;
    static constexpr int kBatchMs = 30;
    // A batch still waiting for the window thread takes in the job's next ones up to
    // this many entries.
    static constexpr std::size_t kJoinedEntries = 2048;
    // The walker waits while this many batches are still to be received.
    static constexpr int kMaxBatchesInFlight = 4;
    // After a batch, the next one waits this long: the views lay out and paint the rows
    // received in a turn of the event loop of their own, not in the same turn as the
    // next batch, so no turn does both.
    static constexpr int kBreatheMs = 10;

private:
    class JobRun;
    void run();
    // Drop walker: hands a batch over; false when the queue is stopping.
    bool deliver(std::unique_ptr<DropBatch> batch);
    // Window thread: receives the first batch that is ready, and comes back for the next
    // one kBreatheMs later.
    void receiveReady();

    Receiver m_receive;
    CFolderLister* m_lister;
    // Queued calls to the window thread go through this object; those not yet run when
    // it dies (with the queue) are dropped.
    DropRelay m_relay;
    int m_unfinished = 0;  // window thread only
    std::uint64_t m_lastJob = 0;  // window thread only

    std::mutex m_lock;  // guards m_jobs, m_ready, m_inFlight and m_called; never held while walking
    std::condition_variable m_wake;
    std::deque<std::pair<std::uint64_t, DropJob>> m_jobs;
    std::deque<std::unique_ptr<DropBatch>> m_ready;  // handed over, not yet received
    int m_inFlight = 0;  // batches handed over and not yet received
    bool m_called = false;  // a call to receiveReady is on its way
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
