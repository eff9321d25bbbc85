// What the listener is told about the program's own files: one box per file until it is
// saved again, the same line on stderr every time, stderr alone once no box can be
// answered, and what start-up found in one box.

#include "Diagnostics.h"
#include "G.h"
#include "ReplaceFile.h"
#include "SaveProblems.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

class SaveProblemsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetMessageBoxHandler([this](const QString&, const QString& text, int) { return m_boxes << text, IDOK; });
        SetProblemReporter([this](const QString& text) { m_lines << text; });
    }
    void TearDown() override
    {
        SetMessageBoxHandler({});
        SetProblemReporter({});
    }

    SaveProblems m_problems;
    QStringList m_boxes;
    QStringList m_lines;
};

TEST_F(SaveProblemsTest, ReasonsAreNamedInTheListenersWords)
{
    EXPECT_EQ(SaveFailureText(QStringLiteral("Temprary.txt"), ENOSPC),
              QStringLiteral("파일을 저장하지 못했습니다: Temprary.txt\n디스크 공간이 없습니다"));
    EXPECT_EQ(SaveFailureReason(EACCES), QStringLiteral("쓰기 권한이 없습니다"));
    EXPECT_EQ(SaveFailureReason(EROFS), QStringLiteral("쓰기 권한이 없습니다"));
    EXPECT_EQ(SaveFailureReason(ReplaceFile::NotRegularError), QStringLiteral("일반 파일이 아닙니다"));
    EXPECT_FALSE(SaveFailureReason(EIO).isEmpty());
}

TEST_F(SaveProblemsTest, OneBoxPerFileUntilItIsSavedAndALineEveryTime)
{
    m_problems.Failed(QStringLiteral("Temprary.txt"), ENOSPC);
    m_problems.Failed(QStringLiteral("Temprary.txt"), ENOSPC);
    m_problems.Failed(QStringLiteral("Sorvel.ini"), EACCES);
    EXPECT_EQ(m_boxes.size(), 2);
    EXPECT_EQ(m_lines.size(), 3);
    EXPECT_EQ(m_lines[0], QStringLiteral("파일을 저장하지 못했습니다: Temprary.txt: 디스크 공간이 없습니다"));
    m_problems.Succeeded(QStringLiteral("Temprary.txt"));
    m_problems.Failed(QStringLiteral("Temprary.txt"), ENOSPC);
    EXPECT_EQ(m_boxes.size(), 3);

    // At a signal or the session's end nobody answers a box.
    m_problems.Succeeded(QStringLiteral("Temprary.txt"));
    m_problems.SetBoxesAllowed(false);
    m_problems.Failed(QStringLiteral("Temprary.txt"), ENOSPC);
    EXPECT_EQ(m_boxes.size(), 3);
    EXPECT_EQ(m_lines.size(), 5);
}

TEST_F(SaveProblemsTest, WhatStartUpFoundIsToldInOneBox)
{
    m_problems.ShowStartNotices();
    EXPECT_TRUE(m_boxes.isEmpty());
    m_problems.TellAtStart(QStringLiteral("first"));
    m_problems.TellAtStart(QStringLiteral("second"));
    m_problems.TellAtStart(QStringLiteral("first"));
    m_problems.ShowStartNotices();
    ASSERT_EQ(m_boxes.size(), 1);
    EXPECT_EQ(m_boxes[0], QStringLiteral("first\n\nsecond"));
    EXPECT_EQ(m_lines.size(), 2);
    m_problems.ShowStartNotices();
    EXPECT_EQ(m_boxes.size(), 1);
}

} // namespace
