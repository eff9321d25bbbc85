// The loudness tags read, and the factor taken from them.

#include "ReplayGain.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

float db(double value)
{
    return static_cast<float>(std::pow(10.0, value / 20.0));
}

TEST(ReplayGain, TagsOfEverySpellingAreRead)
{
    ReplayGainTags tags;
    TakeReplayGainTag(tags, "REPLAYGAIN_TRACK_GAIN", "-6.20 dB");
    TakeReplayGainTag(tags, "replaygain_track_peak", "0.988");
    TakeReplayGainTag(tags, "ReplayGain_Album_Gain", "+1.5 dB");
    TakeReplayGainTag(tags, "REPLAYGAIN_ALBUM_PEAK", " 1.02 ");
    ASSERT_TRUE(tags.trackGainDb && tags.trackPeak && tags.albumGainDb && tags.albumPeak);
    EXPECT_DOUBLE_EQ(*tags.trackGainDb, -6.2);
    EXPECT_DOUBLE_EQ(*tags.trackPeak, 0.988);
    EXPECT_DOUBLE_EQ(*tags.albumGainDb, 1.5);
    EXPECT_DOUBLE_EQ(*tags.albumPeak, 1.02);

    // Opus: 1/256 dB towards -23 LUFS, 5 dB quieter than ReplayGain's reference.
    ReplayGainTags opus;
    TakeReplayGainTag(opus, "R128_TRACK_GAIN", "-2816");  // -11 dB
    TakeReplayGainTag(opus, "R128_ALBUM_GAIN", "256");     // +1 dB
    EXPECT_DOUBLE_EQ(*opus.trackGainDb, -6.0);
    EXPECT_DOUBLE_EQ(*opus.albumGainDb, 6.0);
}

TEST(ReplayGain, WhatDoesNotReadIsNoValue)
{
    ReplayGainTags tags;
    for (const char* value : {"", "loud", "-6.2 dBx", "nan", "inf", "-99 dB", "1e400"})
        TakeReplayGainTag(tags, "REPLAYGAIN_TRACK_GAIN", value);
    TakeReplayGainTag(tags, "REPLAYGAIN_TRACK_PEAK", "0");
    TakeReplayGainTag(tags, "REPLAYGAIN_ALBUM_PEAK", "-1");
    TakeReplayGainTag(tags, "R128_TRACK_GAIN", "12.5");
    TakeReplayGainTag(tags, "R128_ALBUM_GAIN", "99999");
    TakeReplayGainTag(tags, "TITLE", "-6 dB");
    EXPECT_EQ(tags, ReplayGainTags{});
    EXPECT_TRUE(tags.Empty());
    EXPECT_EQ(ReplayGainFactor(tags, false), 1.0f);
}

TEST(ReplayGain, TheFactorIsTheGainChosenHeldBelowFullScaleByItsPeak)
{
    ReplayGainTags tags;
    tags.trackGainDb = -12.0;
    tags.albumGainDb = -9.0;
    EXPECT_FLOAT_EQ(ReplayGainFactor(tags, false), db(-12.0));
    EXPECT_FLOAT_EQ(ReplayGainFactor(tags, true), db(-9.0));
    tags.trackGainDb.reset();  // an album gain alone serves a lone track too
    EXPECT_FLOAT_EQ(ReplayGainFactor(tags, false), db(-9.0));

    // +6 dB on a track whose loudest sample is 0.9 would clip: held to 1 / 0.9.
    ReplayGainTags loud;
    loud.trackGainDb = 6.0;
    loud.trackPeak = 0.9;
    EXPECT_FLOAT_EQ(ReplayGainFactor(loud, false), static_cast<float>(1.0 / 0.9));
    loud.trackPeak = 0.4;
    EXPECT_FLOAT_EQ(ReplayGainFactor(loud, false), db(6.0));
}

} // namespace
