#include <gtest/gtest.h>

#include <vector>

#include "client/view/TilePlan.h"

TEST(TilePlan, TextureSidesArePowersOfTwoFromSixtyFour)
{
    EXPECT_EQ(TextureSide(1), 64);
    EXPECT_EQ(TextureSide(40), 64);
    EXPECT_EQ(TextureSide(64), 64);
    EXPECT_EQ(TextureSide(65), 128);
    EXPECT_EQ(TextureSide(500), 512);
    EXPECT_EQ(TextureSide(512), 512);
    EXPECT_EQ(TextureSide(513), 1024);
}

TEST(TilePlan, AnImageThatFitsIsOneSpan)
{
    const std::vector<STileSpan> spans = PlanTileSpans(200, 256);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].start, 0);
    EXPECT_EQ(spans[0].length, 200);
    EXPECT_EQ(spans[0].drawLength, 200);
    EXPECT_TRUE(PlanTileSpans(0, 256).empty());
}

TEST(TilePlan, SmallTexturesCutFiveHundredIntoTwoTilesSteppingBy254)
{
    const std::vector<STileSpan> spans = PlanTileSpans(500, 256);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].start, 0);
    EXPECT_EQ(spans[0].length, 256);
    EXPECT_EQ(spans[1].start, 254);
    EXPECT_EQ(spans[1].length, 246);
}

// Sizes just past a whole number of steps are where a count of
// ceil(size / limit) tiles leaves the far edge bare.
TEST(TilePlan, TilesShowEveryPixelOnceAndKeepABorderForFiltering)
{
    for (int limit : {4, 5, 64, 256, 1024}) {
        for (int size = 1; size <= 3 * limit + 7; ++size) {
            const std::vector<STileSpan> spans = PlanTileSpans(size, limit);
            ASSERT_FALSE(spans.empty());
            std::vector<int> shown(size_t(size), 0);
            for (size_t i = 0; i < spans.size(); ++i) {
                const STileSpan& s = spans[i];
                ASSERT_LE(s.length, limit) << size << "/" << limit;
                ASSERT_GE(s.start, 0);
                ASSERT_LE(s.start + s.length, size);
                // What a tile shows lies inside what it holds.
                ASSERT_GE(s.drawStart, s.start);
                ASSERT_LE(s.drawStart + s.drawLength, s.start + s.length);
                ASSERT_GT(s.drawLength, 0);
                // Inner edges have a held pixel beyond them on both sides.
                if (i > 0) {
                    EXPECT_GE(s.drawStart - s.start, 1) << size << "/" << limit;
                }
                if (i + 1 < spans.size()) {
                    EXPECT_GE(s.start + s.length - (s.drawStart + s.drawLength), 1) << size << "/" << limit;
                }
                for (int p = s.drawStart; p < s.drawStart + s.drawLength; ++p)
                    ++shown[size_t(p)];
            }
            for (int p = 0; p < size; ++p)
                ASSERT_EQ(shown[size_t(p)], 1) << "pixel " << p << " of " << size << ", limit " << limit;
        }
    }
}
