// Drops walked on the drop walker: entries arrive in the order of the drops and of the
// walk, the window thread stays free meanwhile, and names of any bytes come through the
// lists and their files unchanged.

#include "PlaylistGuiSupport.h"

#include "DropQueue.h"
#include "FileName.h"
#include "TempList.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Holds every listing of a folder named "slow" until released, so a walk can be caught
// half-way; lists everything else at once.
class GateLister : public CFolderLister {
public:
    bool List(const QString& folder, std::vector<FolderEntry>& entries) override
    {
        if (folder.endsWith(QStringLiteral("/slow"))) {
            std::unique_lock<std::mutex> hold(m_lock);
            m_waiting = true;
            m_changed.notify_all();
            m_changed.wait(hold, [this] { return m_open; });
        }
        return CFolderLister::List(folder, entries);
    }
    void WaitUntilHeld()
    {
        std::unique_lock<std::mutex> hold(m_lock);
        m_changed.wait(hold, [this] { return m_waiting; });
    }
    void Open()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_waiting = false;
    bool m_open = false;
};

class DropQueueTest : public PlaylistTest {
protected:
    void MakeFile(const QString& name, int bytes = 300)
    {
        QDir().mkpath(QFileInfo(Path(name)).path());
        WriteBytes(name, QByteArray(bytes, 'x'));
    }
    // A file whose name holds raw bytes (not UTF-8), made byte for byte.
    QString MakeRawFile(const QByteArray& name)
    {
        const QByteArray path = FileNameBytes(m_dir.path()) + '/' + name;
        const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::write(fd, QByteArray(300, 'x').constData(), 300), 300);
        ::close(fd);
        return FileNameFromBytes(path);
    }
    QStringList Names(TFileDropTree* view) const
    {
        QStringList names;
        for (int i = 0; i < view->EntryCount(); ++i)
            names.append(view->EntryIndex(i).data().toString().section(QLatin1Char('/'), -1));
        return names;
    }
};

// While a walk is held half-way the window thread runs on: the entries found so far
// are on the page, a second drop waits behind the first, entries can be deleted, and
// the second drop's entries come after all of the first's once the walk goes on.
TEST_F(DropQueueTest, ASecondDropWaitsBehindTheFirstAndTheWindowStaysFree)
{
    GateLister gate;
    m_playlist->SetFolderLister(&gate);
    MakeFile(QStringLiteral("D/a.mp3"));
    MakeFile(QStringLiteral("D/slow/b.mp3"));
    MakeFile(QStringLiteral("D/z.mp3"));
    MakeFile(QStringLiteral("E/c.mp3"));
    m_playlist->WMDropFiles(Tree(1), {Path(QStringLiteral("D"))});
    m_playlist->WMDropFiles(Tree(1), {Path(QStringLiteral("E"))});
    gate.WaitUntilHeld();

    QElapsedTimer waited;
    waited.start();
    while (Tree(1)->EntryCount() < 2 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(Names(Tree(1)), (QStringList{"D", "a.mp3"}));  // what the walk has met
    EXPECT_FALSE(m_playlist->DropsIdle());
    SelectRows(Tree(1), {1});
    m_playlist->DeleteSelected(Tree(1));

    gate.Open();
    ASSERT_TRUE(m_playlist->FinishDrops());
    EXPECT_EQ(Names(Tree(1)), (QStringList{"D", "slow", "b.mp3", "z.mp3", "E", "c.mp3"}));
    EXPECT_EQ(Rows(1).last(), QStringLiteral("c.mp3|0|1|3"));
    m_playlist->SetFolderLister(nullptr);
}

// While the window thread is busy, what the walker meets joins the batch still waiting
// for it (a drop of 2,000 songs is one insertion, not four), and the window takes one
// batch at a time, so what was posted meanwhile comes before the next one.
TEST_F(DropQueueTest, ABusyWindowGetsFewerLargerBatchesOneAtATime)
{
    for (int i = 0; i < 2000; ++i)
        MakeFile(QStringLiteral("D/%1.mp3").arg(i), 1);
    MakeFile(QStringLiteral("e.mp3"), 1);
    QStringList log;
    DropQueue queue(
        [&](DropBatch& batch) {
            // On a slow machine a job's last word may come after its entries, in a batch
            // of its own with nothing in it.
            if (batch.Paths.isEmpty())
                return;
            log.append(QStringLiteral("batch %1").arg(batch.Paths.size()));
            QMetaObject::invokeMethod(qApp, [&log] { log.append(QStringLiteral("posted")); }, Qt::QueuedConnection);
        },
        &DefaultFolderLister());
    queue.Add(DropJob{DropJob::Target::List, {Path(QStringLiteral("D"))}});
    queue.Add(DropJob{DropJob::Target::List, {Path(QStringLiteral("e.mp3"))}});
    // The window thread takes nothing until both jobs have been walked; two jobs' batches
    // never join.
    QElapsedTimer waited;
    waited.start();
    while (queue.BatchesWaiting() < 2 && waited.elapsed() < 20000)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(queue.BatchesWaiting(), 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(log, QStringList{"batch 2000"});
    const QDeadlineTimer deadline(10000);
    while ((log.size() < 4 || !queue.Idle()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(log, (QStringList{"batch 2000", "posted", "batch 1", "posted"}));
    EXPECT_TRUE(queue.Idle());
}

// Closing the window in the middle of a walk ends it at once: the walk of a slow disk
// (2,000 folders at 5 ms a listing) is not waited for.
TEST_F(DropQueueTest, ClosingDuringAWalkEndsIt)
{
    class SlowLister : public CFolderLister {
    public:
        bool List(const QString& folder, std::vector<FolderEntry>& entries) override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return CFolderLister::List(folder, entries);
        }
    } slow;
    m_playlist->SetFolderLister(&slow);
    for (int i = 0; i < 2000; ++i)
        ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("D/%1").arg(i))));
    m_playlist->WMDropFiles(m_list.get(), {Path(QStringLiteral("D"))});
    QElapsedTimer closing;
    closing.start();
    Destroy();
    EXPECT_LT(closing.elapsed(), 2000);
}

// Names that are not UTF-8 keep their bytes: on a page through its file, on the list
// through "Temprary.txt", shown with U+FFFD for the bytes that are not text.
TEST_F(DropQueueTest, NamesOfAnyBytesSurviveTheListsAndTheirFiles)
{
    const QString latin1 = MakeRawFile("caf\xE9.mp3");
    const QString cp949 = MakeRawFile("\xB0\xA1.mp3");  // "가" in code page 949, not UTF-8
    const QString korean = MakeRawFile(QStringLiteral("창.mp3").toUtf8());
    const QStringList names{latin1, cp949, korean};
    m_playlist->WMDropFiles(Tree(2), names);
    m_playlist->WMDropFiles(m_list.get(), names);
    ASSERT_TRUE(m_playlist->FinishDrops());
    EXPECT_EQ(Names(Tree(2)), (QStringList{"caf\uFFFD.mp3", "\uFFFD\uFFFD.mp3", "창.mp3"}));
    EXPECT_EQ(m_list->Captions(), names);
    EXPECT_EQ(m_list->EntryIndex(0).data().toString(), ReadableFileName(latin1));
    m_playlist->SavePages(true);
    m_playlist->SaveTempList();

    Rebuild();
    m_playlist->LoadPages();
    m_playlist->LoadTempList();
    ASSERT_EQ(Tree(2)->EntryCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(FileNameBytes(EntryPath(*Record(2, i))), FileNameBytes(names.at(i))) << i;
    ASSERT_EQ(m_list->Captions().size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(FileNameBytes(m_list->Caption(i)), FileNameBytes(names.at(i))) << i;
    EXPECT_TRUE(m_boxes.empty());
}

// A name with a line break is kept exactly on a page (its file holds any bytes) and
// refused with a message on the list (its file is one name per line).
TEST_F(DropQueueTest, ALineBreakIsKeptOnAPageAndRefusedOnTheList)
{
    const QString broken = MakeRawFile("two\nlines.mp3");
    m_playlist->WMDropFiles(Tree(3), {broken});
    m_playlist->WMDropFiles(m_list.get(), {broken});
    ASSERT_TRUE(m_playlist->FinishDrops());
    ASSERT_EQ(Tree(3)->EntryCount(), 1);
    EXPECT_EQ(EntryPath(*Record(3, 0)), broken);
    EXPECT_EQ(Tree(3)->EntryIndex(0).data().toString(), QStringLiteral("two\u240Alines.mp3"));
    EXPECT_EQ(m_list->EntryCount(), 0);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_TRUE(m_boxes[0].Text.contains(QStringLiteral("two\u240Alines.mp3")));
}

} // namespace
