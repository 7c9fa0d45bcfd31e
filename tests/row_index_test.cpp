// The report's row index: every row of a key in the order added, across the growth of
// its table, and nothing at all once its memory failed.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "row_index.h"

namespace {

std::vector<int32_t> RowsOf(const pim::RowIndex &index, uint64_t key) {
    std::vector<int32_t> rows;
    for (int32_t row = index.First(key); row >= 0; row = index.Next(row)) rows.push_back(row);
    return rows;
}

// Keys that differ only in one part (the low 16 bits, the next 16 or the high 32), so
// that their slots collide often.
uint64_t KeyOfRow(int32_t row) {
    const uint64_t n = static_cast<uint64_t>(row);
    return row % 3 == 0 ? 0x00010000u * (n % 97) : row % 3 == 1 ? n % 89 : (n % 83) << 32;
}

TEST(RowIndex, ChainedKeepsEveryRowOfAKeyInOrderAcrossGrowth) {
    pim::RowIndex index(true);
    std::map<uint64_t, std::vector<int32_t>> expected;
    for (int32_t row = 0; row < 5000; ++row) {
        ASSERT_TRUE(index.Add(KeyOfRow(row)));
        expected[KeyOfRow(row)].push_back(row);
    }
    EXPECT_EQ(index.indexed(), 5000);
    for (const auto &[key, rows] : expected) EXPECT_EQ(RowsOf(index, key), rows) << key;
    EXPECT_EQ(index.First(0xFFFFFFFFu), -1);
    EXPECT_EQ(index.First(0x00010000u * 98), -1);
    EXPECT_EQ(index.First(uint64_t{84} << 32), -1);
    EXPECT_EQ(index.First(uint64_t{1} << 32 | 1), -1);
}

TEST(RowIndex, UnchainedKeepsTheFirstRowOfAKey) {
    pim::RowIndex index(false);
    ASSERT_TRUE(index.Put(0, 9));  // a row entered out of order
    ASSERT_TRUE(index.Add(7));
    ASSERT_TRUE(index.Add(7));
    ASSERT_TRUE(index.Add(0));
    EXPECT_EQ(index.First(7), 0);
    EXPECT_EQ(index.First(0), 9);
    index.Clear();
    EXPECT_EQ(index.indexed(), 0);
    EXPECT_EQ(index.First(7), -1);
    ASSERT_TRUE(index.Add(0));
    EXPECT_EQ(index.First(0), 0);
}

TEST(RowIndex, MemoryIsCountedAndAFailedAllocationLeavesItEmpty) {
    const int64_t before = pim::RowIndexBytes();
    {
        pim::RowIndex index(true);
        for (int32_t row = 0; row < 100; ++row) ASSERT_TRUE(index.Add(static_cast<uint32_t>(row)));
        EXPECT_GT(pim::RowIndexBytes(), before);
        pim::FailIndexAllocation(1, false);  // the next growth
        bool added = true;
        for (int32_t row = 100; row < 200 && added; ++row) added = index.Add(static_cast<uint32_t>(row));
        pim::FailIndexAllocation(0, false);
        EXPECT_FALSE(added);
        EXPECT_EQ(index.indexed(), 0);
        EXPECT_EQ(index.First(5), -1);
        EXPECT_EQ(pim::RowIndexBytes(), before) << "a failed index holds no memory";
        ASSERT_TRUE(index.Add(5));  // and can start again
        EXPECT_EQ(index.First(5), 0);
    }
    EXPECT_EQ(pim::RowIndexBytes(), before);
}

}  // namespace
