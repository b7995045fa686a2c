// The small pure rules of skins: which file names a skin may use and where
// a coordinate glyph lands.
#include <gtest/gtest.h>

#include "client/view/GlyphLayout.h"
#include "client/view/SkinName.h"

TEST(SkinNames, NamesStayInsideThePackage)
{
    for (const char* good : {"board.png", "pieces/white king.png", "a\\b.bmp", "./x.png", "..x.png", "x..png"})
        EXPECT_TRUE(IsPackageFileName(good)) << good;
    for (const char* bad : {"", "../board.png", "pieces/../../users/x.cfg", "a/..", "..", "/etc/passwd",
                            "\\\\server\\share\\x.png", "c:x.png", "[prog]x.png", "a//b.png", "dir/",
                            "tab\there.png", "q\"uote.png"})
        EXPECT_FALSE(IsPackageFileName(bad)) << bad;
}

TEST(GlyphLayout, SixteenCellsInReadingOrder)
{
    const char* text = "ABCDEFGH12345678";
    for (int i = 0; i < 16; ++i) {
        SGlyphCell cell;
        ASSERT_TRUE(FindGlyphCell(text[i], cell)) << text[i];
        EXPECT_DOUBLE_EQ(cell.u, (i % 4) * 0.25);
        EXPECT_DOUBLE_EQ(cell.v, (i / 4) * 0.25);
        EXPECT_DOUBLE_EQ(cell.width, 0.25);
    }
    SGlyphCell cell;
    EXPECT_FALSE(FindGlyphCell('a', cell));
    EXPECT_FALSE(FindGlyphCell('9', cell));
    EXPECT_FALSE(FindGlyphCell('\0', cell));
}

TEST(GlyphLayout, ScaleIsAFractionAndTheOffsetIsScaledToo)
{
    SGlyphQuad q;
    // Size 24 on 64-pixel cells: 0.375, which whole-number division made 0.
    ASSERT_TRUE(LayOutGlyph(100.0f, 50.0f, 32, 32, 24, 64.0, 64.0, q));
    EXPECT_DOUBLE_EQ(q.width, 24.0);
    EXPECT_DOUBLE_EQ(q.height, 24.0);
    EXPECT_DOUBLE_EQ(q.x, 88.0);
    EXPECT_DOUBLE_EQ(q.y, 38.0);
    ASSERT_TRUE(LayOutGlyph(10.7f, 10.2f, 0, 0, 16, 16.0, 8.0, q));
    EXPECT_DOUBLE_EQ(q.x, 10.0);
    EXPECT_DOUBLE_EQ(q.height, 8.0);
    // A font without an image has no cells: nothing to lay out.
    EXPECT_FALSE(LayOutGlyph(0.0f, 0.0f, 0, 0, 16, 0.0, 0.0, q));
}
