#pragma once
// Playlists for the programs that drive the real player strip (the end-to-end demo and
// probes, the benchmarks): one without a window, and one of a single song.

#include "PlayListLink.h"

#include <QRect>
#include <QString>

#include <utility>

// A playlist link with no window and no temporary list behind it: only its songs count.
class WindowlessList : public IPlayListLink {
public:
    void BeginTempUpdate() override {}
    void EndTempUpdate() override {}
    void AddTempPath(const QString&) override {}
    void SaveTempList() override {}
    void ShowWindow() override {}
    void HideWindow() override {}
    bool IsWindowVisible() const override { return false; }
    QRect WindowGeometry() const override { return {}; }
};

class OneSongList : public WindowlessList {
public:
    explicit OneSongList(QString path) : m_path(std::move(path)) {}
    QString CurrentSong() override { return m_path; }
    QString NextSong() override { return m_path; }

private:
    QString m_path;
};
