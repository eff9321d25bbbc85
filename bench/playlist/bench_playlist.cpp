// Playlist figures: five pages of 10,000 entries loaded and shown, saved, and a
// folder tree of 10,000 files dropped onto a page and onto the temporary list.
// Goals: load and show under 300 ms, save under 100 ms, each drop under 1 s.

#include "AppFolder.h"
#include "G.h"
#include "PlaylistPages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kEntriesPerPage = 10000;
constexpr int kRuns = 5;

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The playlist window's entry widgets on tabs, shown, as the window will hold them.
struct Window {
    Window()
    {
        std::array<TDropTreeView*, 5> trees {};
        for (int n = 1; n <= 5; ++n) {
            trees[n - 1] = new TDropTreeView(n);
            tabs.addTab(trees[n - 1], QStringLiteral("page %1").arg(n));
        }
        list = new TDropListView;
        tabs.addTab(list, QStringLiteral("Temprary"));
        tabs.resize(400, 500);
        tabs.show();
        QApplication::processEvents();
        playlist = std::make_unique<CPlaylist>(trees, list);
    }
    ~Window() { playlist.reset(); }

    QTabWidget tabs;
    TDropListView* list = nullptr;
    std::unique_ptr<CPlaylist> playlist;
};

void writePageFiles()
{
    for (int n = 1; n <= 5; ++n) {
        CMusicFile page(n);
        std::vector<std::unique_ptr<TMusicFile>> records;
        for (int i = 0; i < kEntriesPerPage; ++i) {
            const int album = i / 100;
            const bool heading = i % 100 == 0;
            const QString folder = QStringLiteral("/home/user/음악/앨범 %1").arg(album, 3, 10, QLatin1Char('0'));
            const QString path = heading ? folder : folder + QStringLiteral("/%1 노래 제목 track.mp3").arg(i % 100, 2, 10, QLatin1Char('0'));
            records.push_back(TMusicFile::Create(heading, path));
            records.back()->Level = heading ? 0 : 1;
            page.Entries->Add(records.back().get());
        }
        page.Save();
        page.Entries->Clear();
    }
}

void makeDropTree(const QString& root)
{
    for (int folder = 0; folder < 100; ++folder) {
        const QString dir = root + QStringLiteral("/CD %1").arg(folder, 3, 10, QLatin1Char('0'));
        QDir().mkpath(dir);
        for (int file = 0; file < 100; ++file) {
            QFile f(dir + QStringLiteral("/%1 곡.mp3").arg(file, 3, 10, QLatin1Char('0')));
            if (f.open(QIODevice::WriteOnly))
                f.resize(300);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    SetProgramFolderOverride(dir.path());
    int boxes = 0;
    SetMessageBoxHandler([&boxes](const QString&, const QString&, int) {
        ++boxes;
        return IDOK;
    });

    writePageFiles();
    std::vector<double> load, save;
    for (int run = 0; run < kRuns; ++run) {
        Window window;
        auto start = std::chrono::steady_clock::now();
        window.playlist->LoadPages();
        QApplication::processEvents();
        window.tabs.repaint();
        load.push_back(msSince(start));

        start = std::chrono::steady_clock::now();
        window.playlist->SavePages(true);
        save.push_back(msSince(start));
    }

    const QString dropRoot = dir.filePath(QStringLiteral("drop"));
    makeDropTree(dropRoot);
    std::vector<double> pageDrop, listDrop;
    int pageEntries = 0, listEntries = 0;
    for (int run = 0; run < kRuns; ++run) {
        Window window;
        auto start = std::chrono::steady_clock::now();
        window.playlist->WMDropFiles(window.playlist->TreeView(1), {dropRoot});
        QApplication::processEvents();
        pageDrop.push_back(msSince(start));
        pageEntries = window.playlist->TreeView(1)->topLevelItemCount();

        start = std::chrono::steady_clock::now();
        window.playlist->WMDropFiles(window.list, {dropRoot});
        QApplication::processEvents();
        listDrop.push_back(msSince(start));
        listEntries = window.list->topLevelItemCount();
    }

    std::printf("pages: 5 x %d entries (1 heading per 100), median of %d runs\n", kEntriesPerPage, kRuns);
    std::printf("load and show five pages: %8.1f ms  (goal < 300 ms)\n", median(load));
    std::printf("save five pages:          %8.1f ms  (goal < 100 ms, includes fsync of each file)\n", median(save));
    std::printf("drop 10,000 files on page:%8.1f ms  (goal < 1000 ms, %d entries)\n", median(pageDrop), pageEntries);
    std::printf("drop 10,000 files on list:%8.1f ms  (goal < 1000 ms, %d entries, file written)\n", median(listDrop), listEntries);
    std::printf("message boxes shown: %d\n", boxes);
    SetMessageBoxHandler({});
    SetProgramFolderOverride({});
    return boxes == 0 ? 0 : 1;
}
