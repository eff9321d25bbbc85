#include "PlaylistPages.h"

#include "AppFolder.h"
#include "G.h"


#include <algorithm>
#include <utility>

PlaylistPages::PlaylistPages(const std::array<TDropTreeView*, 5>& trees, TDropListView* list, PlaylistModel& model)
    : m_trees(trees), m_list(list), m_model(model)
{
    for (int n = 1; n <= 5; ++n) {
        TDropTreeView* tree = TreeView(n);
        tree->ShowPage(m_model, n);
        connectView(tree, n);
        m_connections.push_back(QObject::connect(tree, &TDropTreeView::FilesDropped, tree,
                                                [this, tree](const QStringList& paths) { WMDropFiles(tree, paths); }));
        m_connections.push_back(QObject::connect(tree, &TDropTreeView::EntriesDropped, tree,
                                                [this, tree](QWidget* source, int target) {
                                                    MoveTreeEntries(tree, source, target);
                                                }));
    }
    m_list->ShowPage(m_model, PlaylistModel::ListPage);
    connectView(m_list, PlaylistModel::ListPage);
    m_connections.push_back(QObject::connect(m_list, &TDropListView::FilesDropped, m_list,
                                            [this](const QStringList& paths) { WMDropFiles(m_list, paths); }));
    m_connections.push_back(QObject::connect(m_list, &TDropListView::EntriesDropped, m_list,
                                            [this](QWidget* source, int target) { MoveTempEntries(source, target); }));
    m_playTimer.setSingleShot(true);
    m_connections.push_back(QObject::connect(&m_playTimer, &QTimer::timeout, m_list, [this] { playHanded(); }));
}

PlaylistPages::~PlaylistPages()
{
    for (const auto& connection : m_connections)
        QObject::disconnect(connection);
    // The views let go of the model's selections.
    for (int n = 1; n <= 5; ++n)
        TreeView(n)->setModel(nullptr);
    m_list->setModel(nullptr);
}

TFileDropTree* PlaylistPages::viewOf(int pageNo) const
{
    if (pageNo == PlaylistModel::ListPage)
        return m_list;
    return TreeView(pageNo);
}

void PlaylistPages::connectView(TFileDropTree* view, int pageNo)
{
    m_connections.push_back(QObject::connect(view, &TFileDropTree::EntryDoubleClicked, view,
                                            [this, pageNo](int row) { m_model.PlayEntry(pageNo, row); }));
    // Enter plays the entry chosen and Delete removes the chosen ones, as the double-click
    // and the context menu do: the selection, else the row the keyboard is on.
    m_connections.push_back(QObject::connect(view, &TFileDropTree::PlayKey, view,
                                            [this, pageNo] { m_model.PlayChosen(pageNo); }));
    m_connections.push_back(QObject::connect(view, &TFileDropTree::DeleteKey, view,
                                            [this, pageNo] { m_model.DeleteChosen(pageNo); }));
    m_connections.push_back(QObject::connect(view, &TFileDropTree::MoveKey, view, [this, view, pageNo](int step) {
        m_model.MoveChosen(pageNo, step);
        view->scrollTo(view->currentIndex());
    }));
    m_connections.push_back(QObject::connect(view, &TFileDropTree::CursorHeldChanged, view,
                                            [this, pageNo](bool held) { m_model.SetCursorHeld(pageNo, held); }));
}

// --- pages ---

bool PlaylistPages::LoadPages()
{
    m_model.LoadPages();
    return true;
}

QString PlaylistPages::PageReadProblems() const
{
    QStringList problems;
    for (int n = 1; n <= 5; ++n)
        if (Page(n).ReadInPart())
            problems.append(QStringLiteral("  ") + Page(n).ReadProblem());
    if (problems.isEmpty())
        return {};
    return QStringLiteral("다 읽지 못한 페이지 파일이 있습니다. \"Save To File\"은 이 파일을 덮어쓰기 전에 묻습니다.\n")
        + problems.join(QLatin1Char('\n'));
}

bool PlaylistPages::SavePages(bool all)
{
    m_model.SavePages(all);
    return true;
}

QString SaveToFileReport(const std::array<QString, 5>& problems)
{
    QStringList saved;
    QStringList failed;
    for (int n = 1; n <= 5; ++n) {
        const QString page = QStringLiteral("%1 (MusicList%2.dat)").arg(PageCaption(n).trimmed()).arg(n);
        const QString& problem = problems[static_cast<std::size_t>(n - 1)];
        if (problem.isEmpty())
            saved.append(page);
        else
            failed.append(QStringLiteral("  %1: %2").arg(page, problem));
    }
    if (failed.isEmpty())
        return {};
    QString text = QStringLiteral("저장하지 못한 페이지가 있습니다.\n") + failed.join(QLatin1Char('\n'));
    text += saved.isEmpty() ? QStringLiteral("\n\n저장된 페이지가 없습니다.")
                            : QStringLiteral("\n\n저장된 페이지: ") + saved.join(QStringLiteral(", "));
    return text;
}

void PlaylistPages::SaveToFile()
{
    // Records a read did not take are not destroyed unasked.
    QStringList unread;
    for (int n = 1; n <= 5; ++n)
        if (Page(n).ReadInPart())
            unread.append(QStringLiteral("  ") + Page(n).ReadProblem());
    if (!unread.isEmpty() && ProgramFolderWritable()) {
        const int answer = ShowMessageBox(QStringLiteral("확인"),
                                          QStringLiteral("다음 페이지 파일에는 읽지 못한 기록이 있습니다.\n%1\n\n"
                                                         "지금 보이는 목록으로 덮어쓸까요?")
                                              .arg(unread.join(QLatin1Char('\n'))),
                                          MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES)
            for (int n = 1; n <= 5; ++n)
                Page(n).AllowReplacingUnread();
    }
    // One answer for the five writes: the notice only when every page was saved.
    m_model.SavePages(true, CMusicFile::Warnings::Quiet);
    std::array<QString, 5> problems;
    for (int n = 1; n <= 5; ++n)
        problems[static_cast<std::size_t>(n - 1)] = Page(n).WriteProblem();
    const QString report = SaveToFileReport(problems);
    if (report.isEmpty())
        ShowNotice(QStringLiteral("MusicFile1~5.dat 로 각 페이지별로 저장 되었습니다."), MB_ICONEXCLAMATION);
    else
        ShowWarning(report, MB_ICONEXCLAMATION);
}

void PlaylistPages::RenumberPage(const TDropTreeView* tree)
{
    if (tree)
        m_model.Renumber(tree->Tag);
}

void PlaylistPages::DeleteSelected(const TDropTreeView* tree)
{
    const auto page = std::find(m_trees.begin(), m_trees.end(), tree);
    if (page != m_trees.end())
        m_model.DeleteSelected((*page)->Tag);
}

void PlaylistPages::DeleteSelectedTemp()
{
    m_model.DeleteSelectedTemp();
}

void PlaylistPages::MoveTreeEntries(TDropTreeView* tree, QWidget* source, int target)
{
    if (!tree || source != tree)
        return;
    m_model.MoveSelected(tree->Tag, target);
}

void PlaylistPages::MoveTempEntries(QWidget* source, int target)
{
    if (source != m_list)
        return;
    m_model.MoveSelectedTemp(target);
}

void PlaylistPages::LoadTempList()
{
    m_model.LoadTempList();
}

bool PlaylistPages::SaveTempList()
{
    return m_model.SaveTempList();
}
