#include "PathRows.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Rows noted through many doublings of the table are found again, a path noted twice
// keeps its first row, and a table cleared and filled again answers for the new rows.
TEST(PathRowsTest, FindsEveryRowThroughGrowthAndKeepsTheFirstOfADuplicate)
{
    std::vector<QString> paths;
    const PathRows::PathOf pathOf = [&paths](int row) -> const QString& { return paths.at(std::size_t(row)); };
    PathRows rows;
    for (int i = 0; i < 50000; ++i) {
        paths.push_back(QStringLiteral("/음악/%1/노래.mp3").arg(i));
        ASSERT_EQ(rows.FindOrAdd(paths.back(), i, pathOf), i);
    }
    EXPECT_EQ(rows.Size(), 50000u);
    for (int i = 0; i < 50000; i += 997)
        EXPECT_EQ(rows.Find(paths[std::size_t(i)], pathOf), i);
    EXPECT_EQ(rows.FindOrAdd(paths[123], 50000, pathOf), 123);
    EXPECT_EQ(rows.Find(QStringLiteral("/음악/노래.mp3"), pathOf), -1);
    // Names differing only in case or normalisation are different files.
    EXPECT_EQ(rows.Find(QStringLiteral("/음악/1/노래.MP3"), pathOf), -1);

    rows.Clear();
    EXPECT_EQ(rows.Find(paths[0], pathOf), -1);
    std::reverse(paths.begin(), paths.end());
    rows.Reserve(paths.size());
    for (int i = 0; i < 50000; ++i)
        rows.FindOrAdd(paths[std::size_t(i)], i, pathOf);
    EXPECT_EQ(rows.Find(QStringLiteral("/음악/0/노래.mp3"), pathOf), 49999);
}

} // namespace
