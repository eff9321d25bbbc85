// The PulseAudio output against a private server with a null sink (run by
// with_sound_server.sh): the device it is given, and what it does when a call of the
// client library fails, made to fail through PulseFaults or by the server itself.

#include "Diagnostics.h"
#include "PulseFaults.h"
#include "PulseOutput.h"
#include "support/SoundServer.h"
#include "fsound.h"
#include "support/EngineEnvironment.h"

#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <vector>

#include <poll.h>

using namespace std::chrono_literals;
using fixtures::Library;
using fixtures::PulseCall;
using fixtures::run;
using fixtures::waitFor;

namespace {

const std::string kWaits = "; the song waits where it was heard last and goes on when the output is back";

// Our playback stream on the server: its sink input, its client and its sink's index.
struct SinkInput {
    int index = -1;
    int client = -1;
    int sink = -1;
    unsigned volume = 0;  // of the left channel
};

SinkInput ourSinkInput()
{
    std::istringstream lines(run("pactl list sink-inputs"));
    SinkInput current;
    std::string line;
    while (std::getline(lines, line)) {
        int value = 0;
        if (std::sscanf(line.c_str(), "Sink Input #%d", &value) == 1)
            current = {value, -1, -1};
        else if (std::sscanf(line.c_str(), " Client: %d", &value) == 1)
            current.client = value;
        else if (std::sscanf(line.c_str(), " Sink: %d", &value) == 1)
            current.sink = value;
        else if (std::sscanf(line.c_str(), " Volume: front-left: %u", &current.volume) == 1)
            continue;
        else if (line.find("application.name = \"Sorvel\"") != std::string::npos)
            return current;
    }
    return {};
}

// The server's own command line (pactl cannot end a client or a stream), opened first.
void pacmd(const std::string& command)
{
    run("pactl load-module module-cli-protocol-unix >/dev/null 2>&1; pacmd " + command);
}

int sinkIndex(const std::string& name)
{
    std::istringstream lines(run("pactl list short sinks"));
    std::string line;
    while (std::getline(lines, line)) {
        int index = -1;
        char sink[256] = {};
        if (std::sscanf(line.c_str(), "%d %255s", &index, sink) == 2 && name == sink)
            return index;
    }
    return -1;
}

class PulseOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::unsetenv("SDL_AUDIODRIVER");
        SetProblemReporter([this](const QString& text) { m_said << text; });
    }
    void TearDown() override
    {
        if (m_stream)
            FSOUND_Stream_Stop(m_stream);
        fsound::Shutdown();
        fsound::SetOutputDevice({});
        SetProblemReporter({});
    }

    void open(const char* kind = "wav", double seconds = 8.0)
    {
        m_stream = FSOUND_Stream_Open(Library::instance().tone(kind, seconds).c_str(), 0x130, 0, 0);
        ASSERT_NE(m_stream, nullptr);
    }
    int ms() const { return FSOUND_Stream_GetTime(m_stream); }
    // Plays until `ms` of the song are heard.
    void heardUntil(int until)
    {
        ASSERT_TRUE(waitFor([&] { return ms() >= until; }, 5s)) << "heard " << ms() << " ms, waited for " << until;
    }

    // What the transport does about a loss (Transport::TakeEngineNews): once the output
    // is lost the song stands where it was heard; it is held, and when the output is
    // back it is put where it was heard and goes on.
    void lostAndBack()
    {
        ASSERT_TRUE(waitFor([] { return !fsound::OutputConnected(); }, 5s)) << "the output was not lost";
        const int held = ms();
        std::this_thread::sleep_for(300ms);
        if (!fsound::OutputConnected()) {
            EXPECT_EQ(ms(), held) << "the position ran on while the output was lost";
        }
        FSOUND_SetPaused(FSOUND_ALL, 1);
        ASSERT_TRUE(waitFor([] { return fsound::OutputConnected(); }, 8s)) << "the output did not come back";
        EXPECT_STREQ(fsound::OutputName(), "pulse");
        FSOUND_Stream_SetTime(m_stream, ms());
        FSOUND_SetPaused(FSOUND_ALL, 0);
        heardUntil(held + 500);
        EXPECT_NE(ourSinkInput().index, -1) << "no stream of ours on the server";
    }

    // What the library said on stderr, one line each.
    std::string said() const { return m_said.join('\n').toStdString(); }

    fixtures::PulseFaults m_faults;
    QStringList m_said;
    FSOUND_STREAM* m_stream = nullptr;
};

// A failure while the output opens: SDL plays instead, and one line says why.
struct OpenFault {
    PulseCall call;
    int skip;  // calls that go through first: a state callback that asks before the caller
    const char* said;
};

class PulseOpenFault : public PulseOutput, public ::testing::WithParamInterface<OpenFault> {};

TEST_P(PulseOpenFault, SdlPlaysAndTheLineSaysWhy)
{
    m_faults.fail(GetParam().call, 1, GetParam().skip);
    FSOUND_Init(44100, 32, 0);
    EXPECT_EQ(m_faults.failed(GetParam().call), 1);
    EXPECT_STREQ(fsound::OutputName(), "sdl");
    EXPECT_TRUE(fsound::OutputConnected());
    EXPECT_EQ(said(), std::string(GetParam().said) + "; playing through SDL");
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(300);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, PulseOpenFault,
    ::testing::Values(
        OpenFault{PulseCall::MainloopNew, 0, "PulseAudio: pa_threaded_mainloop_new failed"},
        OpenFault{PulseCall::MainloopStart, 0, "PulseAudio: pa_threaded_mainloop_start failed"},
        OpenFault{PulseCall::ContextNew, 0, "PulseAudio: pa_context_new failed"},
        OpenFault{PulseCall::ContextConnect, 0, "PulseAudio: pa_context_connect failed: Connection refused"},
        OpenFault{PulseCall::ContextState, 1, "PulseAudio: pa_context_connect failed"},
        OpenFault{PulseCall::StreamNew, 0, "PulseAudio: pa_stream_new failed"},
        OpenFault{PulseCall::ConnectPlayback, 0, "PulseAudio: pa_stream_connect_playback failed: Invalid argument"},
        OpenFault{PulseCall::StreamState, 1, "PulseAudio: pa_stream_connect_playback failed"}));

// No server answers at all (the commonest case): the connection fails after it was
// asked for, and the next driver plays (SDL, or the silent sink where SDL finds no
// device either, as in a container); the line names PulseAudio's reason first.
TEST_F(PulseOutput, NoServerTheNextDriverPlays)
{
    ::setenv("PULSE_SERVER", "unix:/nonexistent/sorvel/native", 1);
    FSOUND_Init(44100, 32, 0);
    ::unsetenv("PULSE_SERVER");
    EXPECT_STRNE(fsound::OutputName(), "pulse");
    EXPECT_TRUE(fsound::OutputConnected());
    ASSERT_EQ(m_said.size(), 1);
    EXPECT_NE(said().find("PulseAudio: pa_context_connect failed: "), std::string::npos) << said();
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(300);
}

// The folder watched for a server that went away comes from what the client library
// says the server is.
TEST(PulseServerSocket, OnlyALocalSocketIsWatched)
{
    EXPECT_EQ(fsound::socketPathOf("/run/user/1000/pulse/native"), "/run/user/1000/pulse/native");
    EXPECT_EQ(fsound::socketPathOf("unix:/tmp/pulse/native"), "/tmp/pulse/native");
    EXPECT_EQ(fsound::socketPathOf("tcp:studio:4713"), "");
    EXPECT_EQ(fsound::socketPathOf(nullptr), "");
}

// The song plays on the sink named in the settings, at the volume the knob gives it,
// which the server applies to our stream.
TEST_F(PulseOutput, NamedSinkIsWhereTheSongPlays)
{
    run("pactl load-module module-null-sink sink_name=sorvel_other >/dev/null");
    const int other = sinkIndex("sorvel_other");
    ASSERT_GE(other, 0);
    fsound::SetOutputDevice("sorvel_other");
    FSOUND_Init(44100, 32, 0);
    EXPECT_STREQ(fsound::OutputName(), "pulse");
    EXPECT_EQ(said(), "");
    EXPECT_EQ(ourSinkInput().sink, other);
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    FSOUND_SetVolume(FSOUND_ALL, 51);
    heardUntil(300);
    EXPECT_EQ(ourSinkInput().volume, pa_sw_volume_from_linear(51 / 255.0));
}

// Nothing to play, the stream is taken down after a while, so the server can rest; the
// next song makes it again and is heard.
TEST_F(PulseOutput, AnIdleStreamGoesAndComesBackWithTheNextSong)
{
    FSOUND_Init(44100, 32, 0);
    ASSERT_STREQ(fsound::OutputName(), "pulse");
    EXPECT_GE(ourSinkInput().index, 0);
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(300);
    FSOUND_Stream_Stop(m_stream);
    m_stream = nullptr;
    EXPECT_GE(ourSinkInput().index, 0);  // a start soon after finds it ready
    std::this_thread::sleep_for(9s);
    EXPECT_TRUE(waitFor([] { return ourSinkInput().index < 0; }, 5s));
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(300);
    EXPECT_GE(ourSinkInput().index, 0);
    EXPECT_EQ(said(), "");
}

// Playing steadily, the server is asked for its timing every few seconds, not with every
// write: each answer wakes three threads. The clock keeps real time meanwhile.
TEST_F(PulseOutput, SteadyPlayAsksForTimingEveryFewSeconds)
{
    FSOUND_Init(44100, 32, 0);
    open("wav", 10);
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(1500);
    const int writes = m_faults.made(PulseCall::Write);
    const int asks = m_faults.made(PulseCall::UpdateTiming);
    const auto start = std::chrono::steady_clock::now();
    const int from = ms();
    std::this_thread::sleep_for(3s);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(m_faults.made(PulseCall::Write) - writes, 8);
    EXPECT_LE(m_faults.made(PulseCall::UpdateTiming) - asks, 2);
    EXPECT_NEAR(ms() - from, took.count(), 150);
}

// A sink's volume set elsewhere is told, and wakes whoever waits for the library's news
// (the master-volume bar follows it); playing, pausing and going on tell nothing,
// though the sink changes its state with them.
TEST_F(PulseOutput, ASinkChangedElsewhereIsTold)
{
    FSOUND_Init(44100, 32, 0);
    ASSERT_STREQ(fsound::OutputName(), "pulse");
    const unsigned before = fsound::OutputSinkChanges();
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(500);
    FSOUND_SetPaused(FSOUND_ALL, 1);
    std::this_thread::sleep_for(300ms);
    FSOUND_SetPaused(FSOUND_ALL, 0);
    heardUntil(800);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(fsound::OutputSinkChanges(), before) << "playing or pausing was told as a change";
    fsound::TakeNews();
    for (const char* level : {"40%", "70%"}) {
        const unsigned seen = fsound::OutputSinkChanges();
        run(std::string("pactl set-sink-volume @DEFAULT_SINK@ ") + level);
        EXPECT_TRUE(waitFor([&] { return fsound::OutputSinkChanges() > seen; }, 3s)) << level;
        pollfd news{fsound::NewsDescriptor(), POLLIN, 0};
        EXPECT_EQ(::poll(&news, 1, 1000), 1) << "nobody was woken";
        fsound::TakeNews();
    }
}

TEST_F(PulseOutput, MissingSinkPlaysOnTheDefaultAndIsSaidOnce)
{
    fsound::SetOutputDevice("no_such_sink");
    FSOUND_Init(44100, 32, 0);
    EXPECT_STREQ(fsound::OutputName(), "pulse");
    EXPECT_EQ(ourSinkInput().sink, sinkIndex("sorvel_null"));
    EXPECT_EQ(said(), "the output device \"no_such_sink\" could not be opened (PulseAudio: "
                      "pa_stream_connect_playback failed: No such entity), playing through PulseAudio's default "
                      "device");
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(300);
}

// A failure while a song plays: the output is lost, the song stands where it was heard,
// one line says why, and a new connection plays it on. `holdOff` fails three times while
// the output connects again, so that the loss lasts.
// `failing` is the call the trigger makes fail (Count: the server itself fails us).
struct PlayingFault {
    const char* name;
    void (*trigger)(fixtures::PulseFaults& faults, FSOUND_STREAM* stream);
    PulseCall failing;
    PulseCall holdOff;
    const char* said;
};

class PulsePlayingFault : public PulseOutput, public ::testing::WithParamInterface<PlayingFault> {};

TEST_P(PulsePlayingFault, LostStandingStillAndBack)
{
    FSOUND_Init(44100, 32, 0);
    ASSERT_STREQ(fsound::OutputName(), "pulse");
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(400);
    m_faults.fail(GetParam().holdOff, 3);
    GetParam().trigger(m_faults, m_stream);
    lostAndBack();
    if (GetParam().failing != PulseCall::Count) {
        EXPECT_EQ(m_faults.failed(GetParam().failing), 1);
    }
    EXPECT_GE(m_faults.failed(GetParam().holdOff), 1) << "the new connection did not meet the failure";
    EXPECT_EQ(said(), GetParam().said + kWaits);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, PulsePlayingFault,
    ::testing::Values(
        PlayingFault{"Write", [](auto& faults, auto*) { faults.fail(PulseCall::Write); }, PulseCall::Write,
                     PulseCall::ContextConnect, "PulseAudio: pa_stream_write failed: Bad state"},
        PlayingFault{"BeginWrite", [](auto& faults, auto*) { faults.fail(PulseCall::BeginWrite); },
                     PulseCall::BeginWrite, PulseCall::ContextNew,
                     "PulseAudio: pa_stream_begin_write failed: Bad state"},
        PlayingFault{"CorkOnPause",
                     [](auto& faults, auto*) {
                         faults.fail(PulseCall::Cork);
                         FSOUND_SetPaused(FSOUND_ALL, 1);
                     },
                     PulseCall::Cork, PulseCall::StreamNew, "PulseAudio: pa_stream_cork failed"},
        PlayingFault{"FlushOnSeek",
                     [](auto& faults, auto* stream) {
                         faults.fail(PulseCall::Flush);
                         FSOUND_Stream_SetTime(stream, FSOUND_Stream_GetTime(stream));
                     },
                     PulseCall::Flush, PulseCall::ConnectPlayback, "PulseAudio: pa_stream_flush failed"},
        PlayingFault{"ServerDropsTheClient",
                     [](auto&, auto*) { pacmd("kill-client " + std::to_string(ourSinkInput().client)); },
                     PulseCall::Count, PulseCall::ContextState, "the sound server does not answer"},
        PlayingFault{"ServerKillsTheStream",
                     [](auto&, auto*) { pacmd("kill-sink-input " + std::to_string(ourSinkInput().index)); },
                     PulseCall::Count, PulseCall::StreamState, "PulseAudio: the playback stream failed: Entity killed"},
        // Without a watch on the server's folder the server is asked again on a timer.
        PlayingFault{"NoWatchForTheServer",
                     [](auto& faults, auto*) {
                         faults.fail(PulseCall::WatchInit);
                         pacmd("kill-client " + std::to_string(ourSinkInput().client));
                     },
                     PulseCall::WatchInit, PulseCall::ContextConnect, "the sound server does not answer"},
        PlayingFault{"NoFolderToWatch",
                     [](auto& faults, auto*) {
                         faults.fail(PulseCall::WatchAdd, 2);
                         pacmd("kill-client " + std::to_string(ourSinkInput().client));
                     },
                     PulseCall::Count, PulseCall::ContextState, "the sound server does not answer"}),
    [](const auto& info) { return std::string(info.param.name); });

// A failure as a song starts: the stream the output keeps corked while idle is gone and
// a new one cannot be made, or the server refuses the silence put in front of the first
// sound. The connection is made anew.
struct StartFault {
    const char* name;
    std::vector<PulseCall> calls;
    const char* said;
};

class PulseStartFault : public PulseOutput, public ::testing::WithParamInterface<StartFault> {};

TEST_P(PulseStartFault, LostAndBack)
{
    FSOUND_Init(44100, 32, 0);
    ASSERT_STREQ(fsound::OutputName(), "pulse");
    open();
    for (PulseCall call : GetParam().calls)
        m_faults.fail(call);
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    lostAndBack();
    for (PulseCall call : GetParam().calls)
        EXPECT_EQ(m_faults.failed(call), 1);
    EXPECT_EQ(said(), GetParam().said + kWaits);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, PulseStartFault,
    ::testing::Values(StartFault{"NoStream", {PulseCall::StreamState, PulseCall::ConnectPlayback},
                                 "PulseAudio: pa_stream_connect_playback failed: Invalid argument"},
                      StartFault{"LeadInBegin", {PulseCall::BeginWrite},
                                 "PulseAudio: pa_stream_begin_write failed: Bad state"},
                      StartFault{"LeadInWrite", {PulseCall::Write}, "PulseAudio: pa_stream_write failed: Bad state"}),
    [](const auto& info) { return std::string(info.param.name); });

// Closing while the server is gone and a new try waits on a timer leaves nothing behind.
TEST_F(PulseOutput, ClosedWhileLost)
{
    FSOUND_Init(44100, 32, 0);
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(300);
    m_faults.fail(PulseCall::ContextConnect, 1 << 20);
    pacmd("kill-client " + std::to_string(ourSinkInput().client));
    ASSERT_TRUE(waitFor([&] { return m_faults.failed(PulseCall::ContextConnect) >= 2; }, 5s));
    EXPECT_FALSE(fsound::OutputConnected());
    FSOUND_Stream_Stop(m_stream);
    m_stream = nullptr;
    fsound::Shutdown();
    EXPECT_EQ(said(), "the sound server does not answer" + kWaits);
}

// Without timing from the server (none asked for, none answered, or one with indices
// that cannot be used) nothing sent counts as heard: the position waits rather than run
// ahead of the sound, and moves once timing comes again.
class PulseNoTiming : public PulseOutput, public ::testing::WithParamInterface<std::vector<PulseCall>> {};

TEST_P(PulseNoTiming, KeepsThePositionBehind)
{
    FSOUND_Init(44100, 32, 0);
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(400);
    for (PulseCall call : GetParam())
        m_faults.fail(call, 1 << 20);
    const int before = ms();
    std::this_thread::sleep_for(400ms);
    EXPECT_LE(ms(), before) << "the position ran on without timing";
    // Timing is renewed every few seconds while playing steadily.
    for (PulseCall call : GetParam())
        EXPECT_TRUE(waitFor([&] { return m_faults.failed(call) > 0; }, 4s));
    EXPECT_LE(ms(), before) << "the position ran on without timing";
    m_faults.clear();
    heardUntil(before + 300);
    EXPECT_TRUE(fsound::OutputConnected());
    EXPECT_STREQ(fsound::OutputName(), "pulse");
    EXPECT_EQ(said(), "");
}

INSTANTIATE_TEST_SUITE_P(Calls, PulseNoTiming,
                         ::testing::Values(std::vector{PulseCall::TimingInfo},
                                           std::vector{PulseCall::TimingInfo, PulseCall::UpdateTiming},
                                           std::vector{PulseCall::TimingCorrupt}));

// The server goes away and another starts, without the sink the song played on: the
// song stands still meanwhile and goes on on the new server's default sink. A second
// loss for the same reason is not said again.
TEST_F(PulseOutput, ServerRestartIsWaitedForAndSaidOnce)
{
    const char* restart = std::getenv("SORVEL_SOUND_SERVER_START");
    ASSERT_NE(restart, nullptr) << "run through with_sound_server.sh";
    run("pactl load-module module-null-sink sink_name=sorvel_other >/dev/null");
    fsound::SetOutputDevice("sorvel_other");
    FSOUND_Init(44100, 32, 0);
    open();
    FSOUND_Stream_Play(FSOUND_FREE, m_stream);
    heardUntil(400);
    run("pulseaudio --kill");
    ASSERT_TRUE(waitFor([] { return !fsound::OutputConnected(); }, 5s));
    const int held = ms();
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(ms(), held);
    EXPECT_FALSE(fsound::OutputConnected());
    FSOUND_SetPaused(FSOUND_ALL, 1);
    run(restart);
    ASSERT_TRUE(waitFor([] { return fsound::OutputConnected(); }, 8s)) << "not back with the new server";
    EXPECT_EQ(ourSinkInput().sink, sinkIndex("sorvel_null"));
    FSOUND_Stream_SetTime(m_stream, ms());
    FSOUND_SetPaused(FSOUND_ALL, 0);
    heardUntil(held + 500);

    pacmd("kill-client " + std::to_string(ourSinkInput().client));
    lostAndBack();
    EXPECT_EQ(said(), "the sound server does not answer" + kWaits);
}

} // namespace
