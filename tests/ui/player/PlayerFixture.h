#pragma once
// The player window with a fake playlist of two generated songs, in a fresh program
// folder, with message boxes collected instead of shown.

#include "AppFolder.h"
#include "Cmain.h"
#include "Dxbuttons.h"
#include "G.h"
#include "Main.h"
#include "PlayListLink.h"
#include "PlaybackEngine.h"
#include "Transport.h"
#include "support/EngineEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

class FakePlayList : public IPlayListLink {
public:
    QStringList songs;
    int current = 0;
    bool wraps = true;  // false: nothing after the last song, as a page ending in a heading
    bool visible = false;
    QStringList temp;
    int updates = 0;
    int saves = 0;

    QString CurrentSong() override { return songs.value(current); }
    QString NextSong() override
    {
        if (songs.isEmpty() || (!wraps && current + 1 >= songs.size()))
            return {};
        current = (current + 1) % songs.size();
        return songs[current];
    }
    int SongCount() const override { return static_cast<int>(songs.size()); }
    void BeginTempUpdate() override { ++updates; }
    void EndTempUpdate() override { ++updates; }
    void AddTempPath(const QString& path) override { temp << path; }
    void SaveTempList() override { ++saves; }
    void ShowWindow() override { visible = true; }
    void HideWindow() override { visible = false; }
    bool IsWindowVisible() const override { return visible; }
    QRect WindowGeometry() const override { return {210, 220, 410, 620}; }
};

class PlayerWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "player_window_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
        const std::string folder = fixtures::Library::instance().folder();
        songA = QString::fromStdString(fixtures::Library::instance().tone("wav", 3.0));
        songB = QString::fromStdString(fixtures::Library::instance().tone("ogg", 3.0));
        longSong = QString::fromStdString(folder + "/long.wav");
        fixtures::WriteWav(longSong.toStdString(), {8000, 1, 200.0}, fixtures::Tone(440, 0.5, 8000));
    }

    void SetUp() override
    {
        SetProgramFolderOverride(dir.path());
        SetMessageBoxHandler([this](const QString& caption, const QString& text, int flags) {
            boxes << caption + "|" + text + "|" + QString::number(flags);
            return IDOK;
        });
        playList.songs = {songA, songB};
        engine = std::make_unique<PlaybackEngine>();
        engine->TheTransport().SetSongSource(&playList);
        form = std::make_unique<TFormMain>(engine->TheTransport(), engine->FrameSink(), settings, app, &playList);
        engine->SetSpectrumBack(form->SpectrumBackBits());
        engine->StartSpectrum();
    }

    void TearDown() override
    {
        form.reset();
        engine.reset();
        SetMessageBoxHandler({});
        SetProgramFolderOverride({});
    }

    // Builds the window anew over a "Sorvel.ini" holding `ini`.
    void RebuildWithSettings(const QByteArray& ini)
    {
        form.reset();
        QFile file(dir.path() + "/Sorvel.ini");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini);
        file.close();
        form = std::make_unique<TFormMain>(engine->TheTransport(), engine->FrameSink(), settings, app, &playList);
    }

    bool playing() const { return form->TransportOf().State() == TransportState::Playing; }
    // Runs the event loop until `done` holds or `timeout` passes.
    static bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            if (done())
                return true;
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return done();
    }
    static void spin(std::chrono::milliseconds time) { spinUntil([] { return false; }, time); }
    bool showsPause() const { return form->BPlay->Glyph() == form->BPauseImg->Glyph(); }

    static inline QString songA, songB, longSong;
    QTemporaryDir dir;
    G_STRUCT_tag settings;
    CMain app;
    FakePlayList playList;
    std::unique_ptr<PlaybackEngine> engine;
    std::unique_ptr<TFormMain> form;
    QStringList boxes;
};
