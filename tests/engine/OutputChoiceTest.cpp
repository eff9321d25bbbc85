// Which output the library opens and what it says about it, on SDL's drivers (the
// PulseAudio output's own cases are in PulseOutputTest.cpp).

#include "Diagnostics.h"
#include "fsound.h"
#include "support/EngineEnvironment.h"

#include <QStringList>

#include <cstdlib>

using namespace std::chrono_literals;
using fixtures::Library;
using fixtures::waitFor;

namespace {

class OutputChoice : public ::testing::Test {
protected:
    void SetUp() override { SetProblemReporter([this](const QString& text) { m_said << text; }); }
    void TearDown() override
    {
        fsound::Shutdown();
        fsound::SetOutputDevice({});
        ::setenv("SDL_AUDIODRIVER", "dummy", 1);
        SetProblemReporter({});
    }
    void expectHeard()
    {
        FSOUND_STREAM* stream = FSOUND_Stream_Open(Library::instance().tone("wav", 2.0).c_str(), 0x130, 0, 0);
        ASSERT_NE(stream, nullptr);
        FSOUND_Stream_Play(FSOUND_FREE, stream);
        EXPECT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) >= 300; }, 3s));
        FSOUND_Stream_Stop(stream);
    }

    QStringList m_said;
};

TEST_F(OutputChoice, TheDefaultDeviceIsOpenedWithoutAWord)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    FSOUND_Init(44100, 32, 0);
    EXPECT_STREQ(fsound::OutputName(), "sdl");
    EXPECT_TRUE(m_said.isEmpty());
}

// SDL's dummy driver has only its default device: a device named in the settings is
// refused, said once, and the song plays on the default.
TEST_F(OutputChoice, ARefusedDeviceIsSaidOnceAndTheDefaultPlays)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    fsound::SetOutputDevice("no-such-device");
    FSOUND_Init(44100, 32, 0);
    EXPECT_STREQ(fsound::OutputName(), "sdl");
    ASSERT_EQ(m_said.size(), 1);
    EXPECT_TRUE(m_said[0].startsWith("the output device \"no-such-device\" could not be opened (SDL: ")) << m_said[0].toStdString();
    EXPECT_TRUE(m_said[0].endsWith("), playing through SDL's default device")) << m_said[0].toStdString();
    expectHeard();
}

TEST_F(OutputChoice, WithNoDeviceTheSilentSinkPlaysAndTheLineSaysWhy)
{
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    fsound::SetOutputDevice("no-such-device");
    FSOUND_Init(44100, 32, 0);
    EXPECT_TRUE(fsound::UsingSilentSink());
    EXPECT_STREQ(fsound::OutputName(), "silent");
    ASSERT_EQ(m_said.size(), 1);
    EXPECT_TRUE(m_said[0].startsWith("no sound device (SDL: ")) << m_said[0].toStdString();
    EXPECT_TRUE(m_said[0].endsWith(", playing into a silent sink")) << m_said[0].toStdString();
    expectHeard();
}

} // namespace
