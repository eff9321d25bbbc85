#pragma once
// A playlist of one song for the programs that drive the real player strip (the
// end-to-end demo and the playback benchmark): current and next are always that song.

#include "PlayListLink.h"

#include <QRect>
#include <QString>

#include <utility>

class OneSongList : public IPlayListLink {
public:
    explicit OneSongList(QString path) : m_path(std::move(path)) {}
    QString CurrentSong() override { return m_path; }
    QString NextSong() override { return m_path; }
    void BeginTempUpdate() override {}
    void EndTempUpdate() override {}
    void AddTempPath(const QString&) override {}
    void SaveTempList() override {}
    void ShowWindow() override {}
    void HideWindow() override {}
    bool IsWindowVisible() const override { return false; }
    QRect WindowGeometry() const override { return {}; }

private:
    QString m_path;
};
