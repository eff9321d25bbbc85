// Records from the pool behave as records from the heap: zero-filled, apart, reusable.

#include "MusicFile.h"
#include "RecordPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

namespace {

TEST(RecordPool, RecordsAreZeroFilledApartAndReused)
{
    std::vector<std::unique_ptr<TMusicFile>> records;
    for (int i = 0; i < 9000; ++i) {  // more than one block's worth
        records.push_back(std::make_unique<TMusicFile>());
        const auto* bytes = reinterpret_cast<const unsigned char*>(records.back().get());
        ASSERT_TRUE(std::all_of(bytes, bytes + sizeof(TMusicFile), [](unsigned char b) { return b == 0; }));
        records.back()->No = i;
        std::fill(std::begin(records.back()->Path), std::end(records.back()->Path), static_cast<char>('a' + i % 26));
    }
    std::set<const char*> starts;
    for (const auto& record : records)
        starts.insert(reinterpret_cast<const char*>(record.get()));
    ASSERT_EQ(starts.size(), records.size());
    const char* previous = nullptr;
    for (const char* start : starts) {
        if (previous) {
            EXPECT_GE(start - previous, static_cast<std::ptrdiff_t>(sizeof(TMusicFile)));
        }
        previous = start;
    }
    for (int i = 0; i < 9000; ++i)
        ASSERT_EQ(records[static_cast<std::size_t>(i)]->No, i);

    // Freed records make room for new ones, which start zero-filled again.
    const std::size_t blocks = record_pool::BlockCount();
    for (std::size_t i = 0; i < records.size(); i += 2)
        records[i].reset();
    for (std::size_t i = 0; i < records.size(); i += 2) {
        records[i] = std::make_unique<TMusicFile>();
        EXPECT_EQ(records[i]->Path[0], 0);
    }
    EXPECT_EQ(record_pool::BlockCount(), blocks);
}

} // namespace
