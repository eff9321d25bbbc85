// The master volume's arithmetic over a mixer double, and what it does without a mixer.

#include "Cmain.h"
#include "support/MixerDouble.h"

#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

TEST(MasterVolume, ReadsTheFirstChannelAsAPercentage)
{
    CMain app;
    MixerState mixer;
    mixer.Values = {32767, 100};
    UseMixerDouble use(mixer);
    const float percent = app.GetMasterVolume();
    EXPECT_FLOAT_EQ(percent, 3276700.0f / 65535.0f);
    EXPECT_EQ(static_cast<int>(percent), 49);

    mixer.Minimum = 1000;
    mixer.Maximum = 1000;  // no span: divided by 1 instead of 0
    mixer.Values = {1003, 0};
    EXPECT_FLOAT_EQ(app.GetMasterVolume(), 300.0f);
}

TEST(MasterVolume, SetsTheFirstAndLastChannels)
{
    CMain app;
    MixerState mixer;
    mixer.Values = {7, 7};
    UseMixerDouble use(mixer);
    app.SetMasterVolume(100);
    EXPECT_EQ(mixer.Values, (std::vector<long>{65535, 65535}));
    app.SetMasterVolume(0);
    EXPECT_EQ(mixer.Values, (std::vector<long>{0, 0}));
    app.SetMasterVolume(49);
    EXPECT_EQ(mixer.Values, (std::vector<long>{32112, 32112}));

    // Channels between the first and the last keep their values.
    mixer.Values = {1, 2, 3, 4};
    mixer.Minimum = -100;
    mixer.Maximum = 100;
    app.SetMasterVolume(75);
    EXPECT_EQ(mixer.Values, (std::vector<long>{50, 2, 3, 50}));
}

TEST(MasterVolume, UniformControlIsOneChannel)
{
    CMain app;
    MixerState mixer;
    mixer.Uniform = true;
    mixer.Values = {0, 9};
    UseMixerDouble use(mixer);
    app.SetMasterVolume(100);
    EXPECT_EQ(mixer.Values, (std::vector<long>{65535, 9}));
}

TEST(MasterVolume, NoMixerGivesZeroAndChangesNothingAndEveryCallCloses)
{
    CMain app;
    MixerState mixer;
    mixer.Present = false;
    mixer.Values = {123, 456};
    UseMixerDouble use(mixer);
    EXPECT_EQ(app.GetMasterVolume(), 0.0f);
    app.SetMasterVolume(100);
    EXPECT_EQ(mixer.Values, (std::vector<long>{123, 456}));
    mixer.Present = true;
    app.GetMasterVolume();
    app.SetMasterVolume(10);
    EXPECT_EQ(mixer.Opened, 4);
    EXPECT_EQ(mixer.Released, 4);
}

TEST(MasterVolume, SystemMixerAnswersWhateverTheMachineHas)
{
    CMain app;
    // No sound server, no card, or a real one: asking never fails. (Setting is left to
    // the end-to-end test, which owns its sound server.)
    EXPECT_GE(app.GetMasterVolume(), 0.0f);
    // The mixer library, its plugins and their connection are let go after each use.
    std::ifstream maps("/proc/self/maps");
    const std::string mapped((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    EXPECT_EQ(mapped.find("libasound"), std::string::npos);
}

// Another part of the program using ALSA already (SDL's output on it) keeps the
// configuration it loaded: a read of the master volume does not free it under it.
TEST(MasterVolume, AnAlsaInUseElsewhereKeepsItsConfiguration)
{
    void* alsa = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(alsa, nullptr);
    auto update = reinterpret_cast<int (*)()>(::dlsym(alsa, "snd_config_update"));
    auto config = static_cast<void**>(::dlsym(alsa, "snd_config"));
    ASSERT_TRUE(update && config);
    ASSERT_GE(update(), 0);
    ASSERT_NE(*config, nullptr);
    CMain app;
    EXPECT_GE(app.GetMasterVolume(), 0.0f);
    EXPECT_NE(*config, nullptr) << "the other user's configuration was freed";
    // The other user lets it go when done, as the mixer does.
    if (auto freeGlobal = reinterpret_cast<int (*)()>(::dlsym(alsa, "snd_config_update_free_global")))
        freeGlobal();
    ::dlclose(alsa);
}

} // namespace
