// Message boxes below the windows: who gets a box, and what happens when nobody shows one.

#include "Diagnostics.h"
#include "G.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct Seen {
    QString caption;
    QString text;
    int flags = -1;
    bool ownedByApp = false;
};

class MessageBoxes : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetMessageBoxHandler({});
        SetMessageBoxPresenter({});
        SetProblemReporter({});
    }
};

TEST_F(MessageBoxes, WithNoPresenterTheTextIsReportedAndOkReturned)
{
    QStringList problems;
    SetProblemReporter([&](const QString& text) { problems << text; });
    EXPECT_EQ(ShowWarning(QStringLiteral("파일이 없습니다"), MB_ICONEXCLAMATION), IDOK);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains(QStringLiteral("경고")));
    EXPECT_TRUE(problems[0].contains(QStringLiteral("파일이 없습니다")));
}

TEST_F(MessageBoxes, ThePresenterGetsEveryBoxAndTheTestHandlerComesFirst)
{
    Seen presented;
    SetMessageBoxPresenter([&](const QString& caption, const QString& text, int flags, bool owned) {
        presented = {caption, text, flags, owned};
        return 7;
    });
    EXPECT_EQ(ShowMessageBox(QStringLiteral("오류"), QStringLiteral("x"), MB_ICONHAND, false), 7);
    EXPECT_EQ(presented.caption, QStringLiteral("오류"));
    EXPECT_EQ(presented.flags, MB_ICONHAND);
    EXPECT_FALSE(presented.ownedByApp);
    EXPECT_EQ(ShowNotice(QStringLiteral("y"), MB_OK), 7);
    EXPECT_EQ(presented.caption, QStringLiteral("알림"));
    EXPECT_TRUE(presented.ownedByApp);

    int handled = 0;
    SetMessageBoxHandler([&](const QString&, const QString&, int) { return ++handled, 3; });
    presented = {};
    EXPECT_EQ(ShowNotice(QStringLiteral("z"), MB_OK), 3);
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(presented.caption.isEmpty());

    SetMessageBoxHandler({});
    EXPECT_EQ(ShowNotice(QStringLiteral("w"), MB_OK), 7);
    EXPECT_EQ(presented.text, QStringLiteral("w"));
}

} // namespace
