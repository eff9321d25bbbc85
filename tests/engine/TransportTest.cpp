#include "G.h"
#include "Transport.h"
#include "support/EngineEnvironment.h"
#include "support/QtApplication.h"

#include <QCoreApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <filesystem>
#include <thread>

#include <sys/stat.h>

using namespace std::chrono_literals;
using fixtures::Library;

namespace {

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new fixtures::EngineEnvironment);

// Runs the event loop until `done` holds or `timeout` passes.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeout.count()) {
        if (done())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

class Songs : public ISongSource {
public:
    QStringList list;
    int current = 0;
    bool wraps = false;
    QString CurrentSong() override { return list.value(current); }
    QString NextSong() override
    {
        if (current + 1 < list.size())
            return list[++current];
        if (wraps && !list.isEmpty())
            return list[current = 0];
        return {};
    }
    QString PeekNextSong() override
    {
        if (current + 1 < list.size())
            return list[current + 1];
        return wraps ? list.value(0) : QString();
    }
    QString PreviousSong() override
    {
        if (list.isEmpty())
            return {};
        current = current > 0 ? current - 1 : static_cast<int>(list.size()) - 1;
        return list[current];
    }
    QString PeekPreviousSong() override
    {
        return list.isEmpty() ? QString() : list[current > 0 ? current - 1 : list.size() - 1];
    }
    // 0: the songs that cannot play are not passed over.
    int count = 0;
    int SongCount() const override { return count; }
};

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApplication();
        SetMessageBoxHandler([this](const QString& caption, const QString& text, int) {
            boxes << caption + "|" + text;
            return IDOK;
        });
        ogg = std::make_unique<COgg>(nullptr, nullptr);
        ogg->m_InitSound();
        transport = std::make_unique<Transport>(*ogg);
        transport->SetSongSource(&songs);
        transport->SetVolume(1.0);
    }
    void TearDown() override
    {
        transport.reset();
        ogg->m_ControlOGG(OggStop);
        ogg.reset();
        SetMessageBoxHandler({});
    }
    static QString tone(const char* kind, double seconds)
    {
        return QString::fromStdString(Library::instance().tone(kind, seconds));
    }
    static std::string scratch(const std::string& name)
    {
        const std::string folder = Library::instance().folder() + "/transport";
        std::filesystem::create_directories(folder);
        return folder + "/" + name;
    }

    Songs songs;
    std::unique_ptr<COgg> ogg;
    std::unique_ptr<Transport> transport;
    QStringList boxes;
};

TEST_F(TransportTest, PauseHoldsThePositionAndResumeGoesOnFromTheSameStream)
{
    songs.list = {tone("mp3", 3.0)};
    transport->Play();
    ASSERT_EQ(transport->State(), TransportState::Playing);
    ASSERT_TRUE(spinUntil([&] { return transport->PositionMs() >= 800; }, 3s));

    transport->PlayPause();
    EXPECT_EQ(transport->State(), TransportState::Paused);
    const qint64 held = transport->PositionMs();
    EXPECT_GE(held, 800);
    // The paused song shows where it was held, not the start, and stands still.
    EXPECT_EQ(transport->TimeText(), QString("00:%1-00:03").arg(held / 1000, 2, 10, QChar('0')));
    FSOUND_STREAM* stream = ogg->m_hStream.load();
    EXPECT_NE(stream, nullptr) << "a paused song keeps its stream";
    spinUntil([] { return false; }, 300ms);
    EXPECT_EQ(transport->PositionMs(), held);

    transport->PlayPause();
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_EQ(ogg->m_hStream.load(), stream) << "resuming does not open the file again";
    EXPECT_GE(transport->PositionMs(), held);
    EXPECT_LE(transport->PositionMs(), held + 100);
    ASSERT_TRUE(spinUntil([&] { return transport->PositionMs() >= held + 300; }, 2s));
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(TransportTest, ACuedSongWaitsPausedWithNoSoundAndPlaysOnFromItsPlace)
{
    const QString song = tone("flac", 4.0);
    QSignalSpy changed(transport.get(), &Transport::SongChanged);
    ASSERT_TRUE(transport->Cue(song, 2500));
    EXPECT_EQ(transport->State(), TransportState::Paused);
    EXPECT_EQ(transport->SongPath(), song);
    EXPECT_EQ(transport->PositionMs(), 2500);
    EXPECT_EQ(transport->TimeText(), "00:02-00:04");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(transport->Khz(), 44) << "the file's rate, before it is heard";
    EXPECT_EQ(FSOUND_GetChannelsPlaying(), 0) << "nothing is heard or held at the output";
    spinUntil([] { return false; }, 200ms);
    EXPECT_EQ(transport->PositionMs(), 2500);

    QSignalSpy rates(transport.get(), &Transport::StreamInfoChanged);
    transport->Play();
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_EQ(rates.count(), 1);
    EXPECT_EQ(transport->Khz(), 44);
    EXPECT_GE(transport->PositionMs(), 2500);
    EXPECT_LE(transport->PositionMs(), 2600);
    ASSERT_TRUE(spinUntil([&] { return transport->State() == TransportState::Stopped; }, 4s))
        << "the song plays out from its place and ends";

    // A place past the end is the end; a song that is gone leaves the player stopped.
    ASSERT_TRUE(transport->Cue(song, 99000));
    EXPECT_EQ(transport->PositionMs(), transport->LengthMs());
    EXPECT_FALSE(transport->Cue(QString::fromStdString(scratch("gone.mp3")), 1000));
    EXPECT_EQ(transport->State(), TransportState::Stopped);
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(TransportTest, PreviousRestartsASongHeardPastThreeSecondsElseGoesBack)
{
    songs.list = {tone("wav", 6.0), tone("ogg", 6.0)};
    songs.current = 1;
    EXPECT_TRUE(transport->CanGoPrevious()) << "stopped, with a song before the current one";
    transport->Play();
    ASSERT_TRUE(spinUntil([&] { return transport->PositionMs() >= 1000; }, 3s));
    transport->Previous();  // 1 s in: the song before
    EXPECT_EQ(songs.current, 0);
    EXPECT_EQ(transport->SongPath(), songs.list[0]);
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_LT(transport->PositionMs(), 300);

    transport->SeekTo(5000);  // 5 s in: back to its own start
    transport->Previous();
    EXPECT_EQ(songs.current, 0);
    EXPECT_EQ(transport->SongPath(), songs.list[0]);
    EXPECT_LT(transport->PositionMs(), 300);

    // From the first song it goes to the last.
    transport->Previous();
    EXPECT_EQ(songs.current, 1);
    EXPECT_EQ(transport->SongPath(), songs.list[1]);

    songs.list.clear();
    transport->Stop();
    EXPECT_FALSE(transport->CanGoPrevious());
    transport->Previous();
    EXPECT_EQ(transport->State(), TransportState::Stopped);
}

TEST_F(TransportTest, SeekWhilePausedOrStoppedMovesWherePlayGoesOn)
{
    songs.list = {tone("wav", 3.0)};
    QSignalSpy seeked(transport.get(), &Transport::Seeked);
    transport->Play();
    transport->Pause();
    transport->SeekTo(2000);
    EXPECT_EQ(transport->State(), TransportState::Paused);
    EXPECT_EQ(transport->PositionMs(), 2000);
    ASSERT_EQ(seeked.count(), 1);
    EXPECT_EQ(seeked.at(0).at(0).toLongLong(), 2000);
    transport->Play();
    EXPECT_GE(transport->PositionMs(), 2000);
    EXPECT_LE(transport->PositionMs(), 2150);

    transport->Stop();
    EXPECT_EQ(transport->PositionMs(), 0);
    EXPECT_EQ(transport->TimeText(), "00:00-00:03") << "the last length stays after a stop";
    transport->SeekTo(1500);
    EXPECT_EQ(transport->State(), TransportState::Stopped);
    EXPECT_EQ(transport->PositionMs(), 1500);
    transport->Play();
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_GE(transport->PositionMs(), 1500);
    EXPECT_LE(transport->PositionMs(), 1650);
    // The playlist's request always starts the song it carries from the beginning.
    transport->PlayPath(songs.CurrentSong());
    EXPECT_LE(transport->PositionMs(), 150);
}

TEST_F(TransportTest, ASongEndingWithNothingAfterItStops)
{
    // The last entry of a page is a folder heading: the playlist has nothing after it.
    songs.list = {tone("wav", 0.6)};
    QSignalSpy state(transport.get(), &Transport::StateChanged);
    transport->Play();
    ASSERT_TRUE(spinUntil([&] { return transport->State() == TransportState::Stopped; }, 3s))
        << "still reported as playing after the last sample was heard";
    EXPECT_EQ(transport->TimeText(), "00:00-00:00");
    EXPECT_EQ(transport->LengthMs(), 600);
    EXPECT_EQ(state.count(), 2);  // playing, stopped
}

TEST_F(TransportTest, SongsThatCannotPlayArePassedOverAndARoundOfThemStopsOnce)
{
    const QString folder = QString::fromStdString(Library::instance().folder());
    QFile text(folder + "/text.mp3");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a song at all\n");
    text.close();
    QFile empty(folder + "/empty.flac");
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    const QString fifo = folder + "/pipe.mp3";
    ::mkfifo(QFile::encodeName(fifo).constData(), 0600);
    songs.list = {tone("wav", 0.5), text.fileName(), empty.fileName(), folder + "/gone.mp3", fifo, tone("ogg", 0.6)};
    songs.count = static_cast<int>(songs.list.size());
    songs.wraps = true;
    QSignalSpy skipped(transport.get(), &Transport::SongSkipped);
    transport->Play();
    ASSERT_TRUE(spinUntil([&] { return songs.current == 5; }, 3s)) << "stuck at " << songs.current;
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_EQ(transport->SongPath(), songs.list[5]);
    ASSERT_EQ(skipped.count(), 4);
    EXPECT_EQ(skipped.at(0).at(0).toString(), songs.list[1]);
    EXPECT_EQ(skipped.at(3).at(0).toString(), fifo);
    EXPECT_TRUE(boxes.isEmpty()) << "no box while music plays";

    // A double click on a bad entry plays the next good one after it.
    songs.current = 2;
    transport->PlayPath(songs.CurrentSong());
    EXPECT_EQ(songs.current, 5);
    EXPECT_EQ(transport->State(), TransportState::Playing);

    // Nothing in the list can play: one box, stopped, and no endless round.
    transport->Stop();
    songs.list = {text.fileName(), empty.fileName(), folder + "/gone.mp3"};
    songs.count = 3;
    songs.current = 0;
    skipped.clear();
    transport->Play();
    EXPECT_EQ(transport->State(), TransportState::Stopped);
    EXPECT_EQ(skipped.count(), 3);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains("재생할 수 있는 음악 파일을 찾지 못했습니다")) << boxes[0].toStdString();
    QFile::remove(fifo);
}

TEST_F(TransportTest, TheNextSongFollowsAndABadOneStops)
{
    songs.list = {tone("wav", 0.5), tone("ogg", 1.5), "/no/such/song.mp3"};
    QSignalSpy changed(transport.get(), &Transport::SongChanged);
    QElapsedTimer clock;
    clock.start();
    transport->Play();
    ASSERT_TRUE(spinUntil([&] { return changed.count() == 2; }, 3s));
    EXPECT_GE(clock.elapsed(), 450);
    // The next song starts once the last sample of the first one is heard, and shows
    // its own position and length at once.
    EXPECT_LE(clock.elapsed(), 900);
    EXPECT_EQ(transport->SongPath(), songs.list[1]);
    EXPECT_LE(transport->PositionMs(), 300) << "not the first song's 500 ms";
    EXPECT_EQ(transport->LengthMs(), 1500);
    ASSERT_TRUE(spinUntil([&] { return transport->State() == TransportState::Stopped; }, 4s));
    EXPECT_EQ(songs.current, 2);
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(TransportTest, NoSongShowsTheNoticeAndNextWithoutOneChangesNothing)
{
    transport->PlayPause();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith("알림|플레이할 음악 파일이 등록되어 있지 않습니다."));
    transport->PlayPath(QString());
    EXPECT_EQ(boxes.size(), 2);
    EXPECT_EQ(transport->State(), TransportState::Stopped);

    songs.list = {tone("wav", 3.0)};
    transport->Play();
    transport->Next();
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_EQ(transport->SongPath(), songs.list[0]);
}

TEST_F(TransportTest, AHeaderThatOverstatesTheSoundCorrectsTheLengthNotThePosition)
{
    // An AIFF whose header counts twice the frames its sound chunk holds.
    const std::string path = scratch("overstated.aiff");
    ASSERT_TRUE(fixtures::WriteAiff(path, {44100, 2, 1.0}, fixtures::Tone(440)));
    ASSERT_TRUE(fixtures::OverwriteBigEndian32(path, 22, 2 * 44100));
    songs.list = {QString::fromStdString(path)};
    transport->Play();
    ASSERT_GE(transport->LengthMs(), 1900) << "the fixture must overstate its length";
    QSignalSpy length(transport.get(), &Transport::LengthChanged);
    // How far the position ran ahead of the wall clock between two looks.
    qint64 last = 0;
    qint64 biggestLead = 0;
    QElapsedTimer wall;
    wall.start();
    while (transport->State() == TransportState::Playing) {
        const qint64 now = transport->PositionMs();
        biggestLead = std::max(biggestLead, (now - last) - wall.restart());
        last = now;
        ASSERT_LE(now, 1010);
        spinUntil([] { return false; }, 20ms);
    }
    // A device buffer's worth is the most a loaded machine can make it look ahead.
    EXPECT_LE(biggestLead, 300) << "the position jumped";
    EXPECT_GE(length.count(), 1);
    EXPECT_EQ(transport->LengthMs(), 1000);
}

TEST_F(TransportTest, VolumeIsTheKnobsShareOfTheFullLevel)
{
    QSignalSpy volume(transport.get(), &Transport::VolumeChanged);
    transport->SetVolume(30.0 / 55.0);
    EXPECT_EQ(transport->VolumeLevel(), 139);
    transport->SetVolume(55.0 / 55.0);
    EXPECT_EQ(transport->VolumeLevel(), 255);
    transport->SetVolume(-3);
    EXPECT_EQ(transport->VolumeLevel(), 0);
    transport->SetVolume(std::nan(""));
    EXPECT_EQ(transport->Volume(), 0.0);
    EXPECT_EQ(volume.count(), 3);
}

} // namespace

// While a song plays out, the next is opened and queued behind it; the song source's
// choice moves only when that song's first sample is heard, and the strip is told then.
TEST_F(TransportTest, TheQueuedSongMovesTheChoiceWhenItIsHeard)
{
    songs.list = {tone("wav", 0.6), tone("flac", 1.0)};
    QSignalSpy changed(transport.get(), &Transport::SongChanged);
    QElapsedTimer clock;
    clock.start();
    transport->Play();
    ASSERT_TRUE(spinUntil([&] { return ogg->m_HasQueued(); }, 3s));
    EXPECT_EQ(ogg->m_QueuedFileName(), songs.list[1]);
    EXPECT_EQ(songs.current, 0) << "the choice moved before the song was heard";
    EXPECT_EQ(transport->SongPath(), songs.list[0]);
    ASSERT_TRUE(spinUntil([&] { return changed.count() == 2; }, 3s));
    EXPECT_GE(clock.elapsed(), 550);
    EXPECT_EQ(songs.current, 1);
    EXPECT_EQ(transport->SongPath(), songs.list[1]);
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_LE(transport->PositionMs(), 300) << "not the first song's 600 ms";
    EXPECT_EQ(transport->LengthMs(), 1000);
    EXPECT_FALSE(ogg->m_HasQueued());
    ASSERT_TRUE(spinUntil([&] { return transport->State() == TransportState::Stopped; }, 3s));
    EXPECT_TRUE(boxes.isEmpty());
}

// A long song opens the next only in its last ten seconds (an open song holds its decoder
// and its ring): by the clock, and at once after a seek there. A header that promises far
// more than the file holds still gets its follower when the sound runs out.
TEST_F(TransportTest, ALongSongQueuesTheNextOnlyNearItsEnd)
{
    songs.list = {tone("wav", 10.8), tone("flac", 1.0)};
    QElapsedTimer clock;
    clock.start();
    transport->Play();
    spinUntil([] { return false; }, 300ms);
    EXPECT_FALSE(ogg->m_HasQueued()) << "opened ten seconds before its time";
    ASSERT_TRUE(spinUntil([&] { return ogg->m_HasQueued(); }, 3s));
    EXPECT_GE(clock.elapsed(), 700);
    EXPECT_EQ(ogg->m_QueuedFileName(), songs.list[1]);

    transport->Stop();
    songs.current = 0;
    transport->Play();
    EXPECT_FALSE(ogg->m_HasQueued());
    transport->SeekTo(9800);
    EXPECT_TRUE(ogg->m_HasQueued());
    ASSERT_TRUE(spinUntil([&] { return transport->SongPath() == songs.list[1]; }, 3s));
    EXPECT_LE(transport->PositionMs(), 300);
    transport->Stop();

    // An AIFF whose header counts 30 s of the 1 s it holds.
    const std::string path = scratch("promises-more.aiff");
    ASSERT_TRUE(fixtures::WriteAiff(path, {44100, 2, 1.0}, fixtures::Tone(440)));
    ASSERT_TRUE(fixtures::OverwriteBigEndian32(path, 22, 30 * 44100));
    songs.list = {QString::fromStdString(path), tone("wav", 1.0)};
    songs.current = 0;
    clock.restart();
    transport->Play();
    ASSERT_GE(transport->LengthMs(), 29000) << "the fixture must overstate its length";
    ASSERT_TRUE(spinUntil([&] { return transport->SongPath() == songs.list[1]; }, 4s));
    EXPECT_LE(clock.elapsed(), 2500);
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_TRUE(boxes.isEmpty());
}

// Stop, next, a seek, pause and a change of the list drop the queued song and behave as
// without one.
TEST_F(TransportTest, WhatIsAskedWhileASongIsQueuedDropsIt)
{
    const QString a = tone("wav", 0.6), b = tone("wav", 1.0), c = tone("ogg", 1.5);
    auto startQueued = [&] {
        songs.list = {a, b, c};
        songs.current = 0;
        transport->PlayPath(songs.CurrentSong());
        return spinUntil([&] { return ogg->m_HasQueued(); }, 3s);
    };

    ASSERT_TRUE(startQueued());
    transport->SeekTo(100);
    EXPECT_EQ(transport->SongPath(), a);
    EXPECT_LT(transport->PositionMs(), 300);
    EXPECT_EQ(songs.current, 0);
    // Queued again at once behind the song at its new place; the list changes under it:
    // chosen again.
    ASSERT_TRUE(ogg->m_HasQueued());
    EXPECT_EQ(ogg->m_QueuedFileName(), b);
    songs.list[1] = c;
    transport->SongListChanged();
    EXPECT_EQ(ogg->m_QueuedFileName(), c);
    ASSERT_TRUE(spinUntil([&] { return transport->SongPath() == c; }, 3s));
    EXPECT_EQ(songs.current, 1);
    transport->Stop();

    ASSERT_TRUE(startQueued());
    transport->Next();
    EXPECT_EQ(transport->SongPath(), b);
    EXPECT_EQ(songs.current, 1);
    EXPECT_LE(transport->PositionMs(), 150);

    ASSERT_TRUE(startQueued());
    transport->Stop();
    EXPECT_FALSE(ogg->m_HasQueued());
    EXPECT_EQ(transport->State(), TransportState::Stopped);
    EXPECT_EQ(songs.current, 0);

    ASSERT_TRUE(startQueued());
    transport->Pause();
    EXPECT_FALSE(ogg->m_HasQueued());
    const qint64 held = transport->PositionMs();
    EXPECT_EQ(transport->SongPath(), a);
    transport->Play();
    EXPECT_GE(transport->PositionMs(), held);
    ASSERT_TRUE(spinUntil([&] { return transport->SongPath() == b; }, 3s));
    EXPECT_EQ(songs.current, 1);
    EXPECT_TRUE(boxes.isEmpty());
}

// Files that take long to open (held here): opens are let through only when the test says.
struct HeldOpens {
    HeldOpens()
    {
        fsound::SetOpenWaitForTests(0);
        fsound::HoldOpensForTests(true);
    }
    ~HeldOpens()
    {
        fsound::HoldOpensForTests(false);
        fsound::SetOpenWaitForTests(10000);
    }
};

// The button shows the state asked for at once while the song, position and length
// before it stay; the song is told once open. A stop given meanwhile holds, and a song of
// the list that turns out not to open is passed over as one that does not open at once.
TEST_F(TransportTest, ASlowOpenShowsTheStateAskedForAndKeepsTheSongBeforeIt)
{
    const QString first = tone("wav", 3.0);
    const QString slow = tone("mp3", 3.0);
    ASSERT_TRUE(transport->PlayFile(first));
    ASSERT_TRUE(spinUntil([&] { return transport->PositionMs() >= 300; }, 3s));
    QSignalSpy told(transport.get(), &Transport::SongChanged);
    QSignalSpy skipped(transport.get(), &Transport::SongSkipped);

    HeldOpens held;
    transport->Pause();
    const qint64 heard = transport->PositionMs();
    ASSERT_TRUE(transport->PlayFile(slow));
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_EQ(transport->SongPath(), first);
    EXPECT_EQ(transport->PositionMs(), heard);
    EXPECT_NEAR(transport->LengthMs(), 3000, 30);
    transport->SeekTo(1000);
    EXPECT_EQ(transport->PositionMs(), 1000);
    EXPECT_EQ(told.count(), 0);
    fsound::HoldOpensForTests(false);
    ASSERT_TRUE(spinUntil([&] { return told.count() == 1; }, 5s));
    EXPECT_EQ(transport->SongPath(), slow);
    EXPECT_NEAR(transport->LengthMs(), 3000, 60);
    EXPECT_TRUE(spinUntil([&] { return transport->PositionMs() >= 1200; }, 3s)) << "from the seek on";

    fsound::HoldOpensForTests(true);
    ASSERT_TRUE(transport->PlayFile(first));
    transport->Stop();
    EXPECT_EQ(transport->State(), TransportState::Stopped);

    const QString noise = QString::fromStdString(scratch("noise.mp3"));
    ASSERT_TRUE(fixtures::WriteRandomBytes(noise.toStdString(), 40000, 5));
    songs.list = {noise, first};
    songs.count = 2;
    songs.current = 0;
    transport->PlayPath(songs.CurrentSong());
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_EQ(skipped.count(), 0) << "not known yet";
    fsound::HoldOpensForTests(false);
    ASSERT_TRUE(spinUntil([&] { return told.count() == 2; }, 5s));
    ASSERT_EQ(skipped.count(), 1);
    EXPECT_EQ(skipped.at(0).at(0).toString(), noise);
    EXPECT_EQ(transport->SongPath(), first);
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_EQ(FSOUND_GetChannelsPlaying(), 1);
    EXPECT_TRUE(boxes.isEmpty());
}

// A song carried on from the last run whose file is slow to open is held where it stood
// all the same: paused, nothing at the output, told once open, and heard from its place.
TEST_F(TransportTest, ASlowCueIsHeldWhereItStood)
{
    const QString song = tone("flac", 4.0);
    QSignalSpy told(transport.get(), &Transport::SongChanged);
    HeldOpens held;
    ASSERT_TRUE(transport->Cue(song, 2500));
    EXPECT_EQ(transport->State(), TransportState::Paused);
    EXPECT_EQ(transport->PositionMs(), 2500);
    EXPECT_EQ(told.count(), 0);
    fsound::HoldOpensForTests(false);
    ASSERT_TRUE(spinUntil([&] { return told.count() == 1; }, 5s));
    EXPECT_EQ(transport->State(), TransportState::Paused);
    EXPECT_EQ(transport->SongPath(), song);
    EXPECT_EQ(transport->PositionMs(), 2500);
    EXPECT_EQ(transport->Khz(), 44);
    EXPECT_EQ(FSOUND_GetChannelsPlaying(), 0);
    transport->Play();
    EXPECT_EQ(transport->State(), TransportState::Playing);
    EXPECT_GE(transport->PositionMs(), 2500);
    EXPECT_LE(transport->PositionMs(), 2600);
    EXPECT_TRUE(boxes.isEmpty());
}

// A file found not to open between the moment the engine is asked and the moment the
// transport looks, before the news of it is taken, is passed over all the same: each of
// these missing files fails while the transport starts it.
TEST_F(TransportTest, AFileThatFailsBeforeItsNewsIsTakenIsPassedOver)
{
    const QString good = tone("wav", 2.0);
    const QString folder = QString::fromStdString(Library::instance().folder());
    for (int round = 0; round < 200; ++round) {
        songs.list.clear();
        for (int n = 0; n < 10; ++n)
            songs.list << folder + QStringLiteral("/gone-%1.mp3").arg(n);
        songs.list << good;
        songs.count = static_cast<int>(songs.list.size());
        songs.current = 0;
        QSignalSpy skipped(transport.get(), &Transport::SongSkipped);
        fsound::SetOpenWaitForTests(0);
        transport->PlayPath(songs.CurrentSong());
        fsound::SetOpenWaitForTests(10000);
        ASSERT_TRUE(spinUntil([&] { return skipped.count() == 10 && transport->SongPath() == good; }, 3s))
            << "round " << round << ": " << skipped.count() << " passed over, stuck at "
            << transport->SongPath().toStdString();
        EXPECT_EQ(transport->State(), TransportState::Playing);
        transport->Stop();
    }
    EXPECT_TRUE(boxes.isEmpty());
}
