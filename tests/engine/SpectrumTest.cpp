#include "Spectrum.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using fsound::kFftSize;
using fsound::PlayedHistory;

TEST(PlayedHistory, TheRingHoldsASecondAndTwoWindowsAtEveryRate)
{
    for (int rate : {8000, 44100, 48000, 96000, 176400, 192000}) {
        const std::size_t span = PlayedHistory::SpanFor(rate);
        const auto windows = 2 * static_cast<std::size_t>(kFftSize) * static_cast<std::size_t>((rate + 44099) / 44100);
        EXPECT_GE(span, static_cast<std::size_t>(rate) + windows) << rate;
        EXPECT_LE(span, PlayedHistory::kSize) << rate;
    }
    EXPECT_EQ(PlayedHistory::SpanFor(44100), 47104u) << "a second and two windows, in whole pages";
}

// The newest samples come back in order however often the ring has wrapped, and a change
// of the output's rate starts the history afresh rather than mixing two rates.
TEST(PlayedHistory, GivesTheLatestSamplesAndStartsAfreshAtAnotherRate)
{
    PlayedHistory history;
    std::vector<float> stereo;
    float next = 0;
    auto play = [&](std::size_t frames, int rate) {
        stereo.clear();
        for (std::size_t i = 0; i < frames; ++i, next += 1) {
            stereo.push_back(next);
            stereo.push_back(next);
        }
        history.append(stereo.data(), frames, 1.0f, rate);
    };
    for (int i = 0; i < 100; ++i)
        play(1000, 44100);  // wraps the 65,536 frames once
    std::vector<float> out(kFftSize);
    ASSERT_TRUE(history.latest(out.data(), 100));
    EXPECT_EQ(out.back(), next - 1 - 100);
    EXPECT_EQ(out.front(), next - 100 - kFftSize);

    play(500, 96000);
    EXPECT_FALSE(history.latest(out.data(), 0, 96000 / 44100.0));
    play(5000, 96000);
    ASSERT_TRUE(history.latest(out.data(), 0, 1.0));
    EXPECT_EQ(out.back(), next - 1);
}

} // namespace
