// Where a panel splitter's sash goes when the window is resized.

#include <gtest/gtest.h>

#include "client/view/SplitterRule.h"

TEST(SplitterRule, GrowingMovesTheSashWithTheBottomEdge)
{
    EXPECT_EQ(SashAfterResize(300, 400, 500), 400);
    EXPECT_EQ(500 - SashAfterResize(300, 400, 500), 400 - 300) << "the lower pane keeps its height";
}

TEST(SplitterRule, ShrinkingKeepsFiftyPixelsAboveOnlyFromAHundredAndFifty)
{
    EXPECT_EQ(SashAfterResize(300, 400, 160), 60);
    EXPECT_EQ(SashAfterResize(300, 400, 140), 40);
    EXPECT_EQ(SashAfterResize(300, 400, 150), 50);
    EXPECT_EQ(SashAfterResize(300, 400, 151), 51);
    EXPECT_EQ(SashAfterResize(300, 400, 149), 49);
    EXPECT_EQ(SashAfterResize(300, 400, 200), 100);
}

TEST(SplitterRule, UnchangedHeightLeavesTheSash)
{
    EXPECT_EQ(SashAfterResize(123, 456, 456), 123);
}
