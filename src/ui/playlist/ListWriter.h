#pragma once
// Writes "Temprary.txt" on a thread of its own ("list writer"), so that a list of
// hundreds of thousands of entries, written when a drop or a hand-over is done, never
// holds the window up (200,000 paths take about a second to encode and write). Only the
// newest list waiting is written: a list given while another is being written follows it.
//
// Threads: everything but the writing is called on the window thread. The thread is
// started by the first list given and sleeps while there is nothing to write.

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class TempListWriter {
public:
    TempListWriter() = default;
    // Writes what is still waiting (it is the user's list), then joins the thread.
    ~TempListWriter();
    TempListWriter(const TempListWriter&) = delete;
    TempListWriter& operator=(const TempListWriter&) = delete;

    // `paths` are to replace the file `fileName`, in the encoding of the file they replace.
    void Save(const QString& fileName, QStringList paths);
    // True when nothing is waiting or being written.
    bool Idle();
    // Returns once what was given has been written.
    void Wait();

private:
    struct List {
        QString FileName;
        QStringList Paths;
    };
    void run();

    std::mutex m_lock;  // guards m_waiting, m_writing and m_stop
    std::condition_variable m_changed;
    std::optional<List> m_waiting;
    bool m_writing = false;
    bool m_stop = false;
    std::thread m_thread;
};
