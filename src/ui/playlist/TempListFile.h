#pragma once
// "Temprary.txt" as a file: read at start, written after changes and at the end, and what
// keeps the listener's entries when it cannot be written.
//
// - Any size that memory holds is read. A line holding a NUL byte or not starting with
//   '/' is no path of ours: it is skipped and counted; an empty line stays an empty entry.
// - A file not read in full (unreadable, or with lines skipped) is never overwritten by
//   what was read: it is named among the start notices, and the list goes to the state
//   folder instead. So does every list while the program's folder cannot be written.
// - A write that fails is told through SaveProblems (a box once per file until a write
//   succeeds, stderr every time), and the list is kept in the state folder (AppFolder.h)
//   as "Temprary.txt", offered back at the next start.
// A list is kept only when it differs from what the file is known to hold.
//
// SaveLater writes on a thread of its own ("sorvel-save"): the window thread hands the
// list over and goes on; a newer list waiting replaces an older one; the outcome is told
// on the window thread. SaveNow waits for that thread and writes on the window thread, so
// that its box comes before the windows close. Everything else on the window thread.

#include "DropQueue.h"
#include "TempList.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class SaveProblems;

// The entries of a list file's bytes: `skipped` counts the lines that are no path.
QStringList TempListEntries(const QByteArray& bytes, int* skipped = nullptr);

class TempListFile {
public:
    explicit TempListFile(SaveProblems& problems);
    // Waits for a write under way; a newer one still waiting is written first.
    ~TempListFile();
    TempListFile(const TempListFile&) = delete;
    TempListFile& operator=(const TempListFile&) = delete;

    // The entries of the list file at `path`; what kept it from being read whole goes to
    // the start notices.
    QStringList Load(const QString& path);
    // Writes `paths` to `path` on the saver thread.
    void SaveLater(const QString& path, const QStringList& paths);
    // Writes `paths` to `path` now (after any write under way); false when the file was
    // not written (held, read-only folder, or failed: said as above).
    bool SaveNow(const QString& path, const QStringList& paths);
    // True when no write is under way or waiting, and every outcome was told.
    bool Idle() const { return m_pending == 0; }
    // True when the file was not read in full and is left as it is.
    bool Held() const { return m_held; }

    // The list kept from a run whose list could not be written; empty when none is there.
    static QString KeptListPath();
    static QStringList ReadKeptList();
    void RemoveKeptList();

private:
    struct Job {
        QString Path;            // empty: the file is not to be written, only kept
        QStringList Paths;
        QStringList FileHolds;   // what the file holds as far as we know
        TempListEncoding Encoding = TempListEncoding::CodePage949;
        bool RemoveKeptOnSuccess = false;
        int Generation = 0;
    };
    struct Outcome {
        bool Written = false;
        int Error = 0;           // of the list file's write
        bool Kept = false;
        int KeptError = 0;       // of the kept copy's write; 0 when none was needed
        QStringList Paths;
        QString Path;
        int Generation = 0;
    };
    Job makeJob(const QString& path, const QStringList& paths) const;
    static Outcome run(const Job& job);
    void told(const Outcome& outcome);
    void takeOutcomes();
    void saverLoop();

    SaveProblems& m_problems;
    TempListEncoding m_encoding = TempListEncoding::CodePage949;
    QStringList m_fileHolds;
    bool m_held = false;
    bool m_keptThisRun = false;
    int m_pending = 0;
    int m_generation = 0;  // bumped by SaveNow: outcomes of older writes are not told
    // Outcomes reach the window thread through a queued call of a slot without
    // arguments: what the saver made is read only under m_lock.
    DropRelay m_relay;

    std::mutex m_lock;  // guards m_next, m_busy, m_stop and m_outcomes
    std::condition_variable m_wake;
    std::optional<Job> m_next;
    std::deque<Outcome> m_outcomes;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_saver;
};
