#pragma once
// Brings the audio library up once per test program and down at its end, and makes
// the audio fixtures the engine tests share.

#include "AudioFixtures.h"
#include "fsound.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>

namespace fixtures {

// Every program that includes this gets the result of an open at once, however slow the
// machine or the sanitizer; the tests of slow opens set a short wait themselves.
inline const bool kOpensWaitForTheResult = (fsound::SetOpenWaitForTests(10000), true);

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);  // no sound server needed, real-time pacing kept
        FSOUND_Init(44100, 32, 0);
    }
    void TearDown() override { fsound::Shutdown(); }
};

// Generated files, made on first use and kept for the whole test program.
class Library {
public:
    static Library& instance()
    {
        static Library library;
        return library;
    }
    // A 1 kHz stereo tone of `seconds` in the named kind (see MakeFile).
    std::string tone(const std::string& kind, double seconds = 1.5)
    {
        const std::string key = kind + "/" + std::to_string(seconds);
        auto it = m_files.find(key);
        if (it != m_files.end())
            return it->second;
        const std::string folder = m_dir.path().toStdString() + "/" + std::to_string(m_files.size());
        std::filesystem::create_directories(folder);
        const std::string path = MakeFile(folder, kind, Clip{44100, 2, seconds}, Tone(1000.0));
        m_files[key] = path;
        return path;
    }
    std::string folder() const { return m_dir.path().toStdString(); }

private:
    QTemporaryDir m_dir;
    std::map<std::string, std::string> m_files;
};

// Polls `done` every 10 ms until it holds or `timeout` passes.
// Interleaved floats as SDL's disk driver writes what the device plays.
// What the disk device holds now. The device may still be writing: the file is read as
// far as it reached when asked, in one piece, or a slow reader (a sanitizer build) never
// catches up with its end.
inline std::vector<float> deviceSound(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    const std::streamoff size = in.tellg();
    std::vector<float> samples(size > 0 ? static_cast<std::size_t>(size) / sizeof(float) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * sizeof(float)));
    samples.resize(static_cast<std::size_t>(in.gcount()) / sizeof(float));
    return samples;
}

inline bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

} // namespace fixtures
