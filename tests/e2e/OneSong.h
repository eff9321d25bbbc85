#pragma once
// A playlist of one song for the end-to-end programs: the current and the next song are
// always the same file, and the playlist window is never shown.

#include "PlayListLink.h"

class OneSong : public IPlayListLink {
public:
    explicit OneSong(QString path) : m_path(std::move(path)) {}
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
