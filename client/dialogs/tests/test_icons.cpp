// The compiled-in icons and promotion pieces, made into real toolkit bitmaps.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include "client/dialogs/IconData.h"
#include "client/dialogs/Icons.h"
#include "testsupport/XvfbDisplay.h"
#include "client/view/tests/support/GuiLeaks.h"

namespace {

class Icons : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!RookwellTest::SharedDisplay().IsReady())
            return;
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp);
        s_started = wxEntryStart(argc, argv);
        if (s_started)
            wxInitAllImageHandlers();
    }
    static void TearDownTestSuite()
    {
        if (s_started)
            wxEntryCleanup();
    }
    void SetUp() override
    {
        if (!s_started)
            GTEST_SKIP() << "no X server";
    }
    static bool s_started;
};

bool Icons::s_started = false;

TEST_F(Icons, TwoSizesOfTheAppIconWithAMaskedBackground)
{
    for (int index : {0, 1}) {
        int size = index == 0 ? 32 : 16;
        wxBitmap bitmap = GetAppIcon(index);
        ASSERT_TRUE(bitmap.IsOk());
        EXPECT_EQ(bitmap.GetWidth(), size);
        EXPECT_EQ(bitmap.GetHeight(), size);
        ASSERT_NE(bitmap.GetMask(), nullptr);
        wxImage image = bitmap.ConvertToImage();
        ASSERT_TRUE(image.HasMask() || image.HasAlpha());
        // The corner is background, so transparent; the middle is the knight.
        EXPECT_TRUE(image.IsTransparent(0, 0));
        EXPECT_TRUE(image.IsTransparent(size - 1, size - 1));
        EXPECT_FALSE(image.IsTransparent(size / 2, size / 2));
        // Transparency is exactly the mask colour of the stored pixels.
        const unsigned char* pixels = index == 0 ? kAppIconPixels32 : kAppIconPixels16;
        int transparent = 0, maskColoured = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const unsigned char* p = pixels + (y * size + x) * 3;
                maskColoured += p[0] == 212 && p[1] == 208 && p[2] == 200;
                transparent += image.IsTransparent(x, y);
            }
        EXPECT_EQ(transparent, maskColoured);
        EXPECT_GT(maskColoured, size * size / 4);
        EXPECT_LT(maskColoured, size * size);
    }
    EXPECT_FALSE(GetAppIcon(2).IsOk());
    EXPECT_FALSE(GetAppIcon(-1).IsOk());
}

TEST_F(Icons, TwelvePiecePicturesOnTwoBackgrounds)
{
    const int colours[12] = {15, 15, 15, 15, 17, 16, 17, 17, 17, 17, 17, 17};
    for (int index = 0; index < 12; ++index) {
        int width = 0, height = 0, count = 0, perPixel = 0;
        ASSERT_EQ(sscanf(kPieceXpms[index][0], "%d %d %d %d", &width, &height, &count, &perPixel), 4);
        EXPECT_EQ(count, colours[index]) << index;
        EXPECT_EQ(perPixel, 1);
        wxBitmap bitmap = GetPieceBitmap(index);
        ASSERT_TRUE(bitmap.IsOk()) << index;
        EXPECT_EQ(bitmap.GetWidth(), 32);
        EXPECT_EQ(bitmap.GetHeight(), 32);
        wxImage image = bitmap.ConvertToImage();
        unsigned char grey = index < 4 ? 0x99 : 0xCC;
        EXPECT_EQ(image.GetRed(0, 0), grey) << index;
        EXPECT_EQ(image.GetGreen(31, 0), grey) << index;
        std::set<unsigned long> seen;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                seen.insert((unsigned long)image.GetRed(x, y) << 16 | image.GetGreen(x, y) << 8 | image.GetBlue(x, y));
        EXPECT_EQ(int(seen.size()), colours[index]) << index;
        // Every piece has a near black outline; White's are white inside
        // it, Black's never lighter than the background.
        EXPECT_LT(*seen.begin(), 0x202020ul);
        if (index >= 8)
            EXPECT_EQ(*seen.rbegin(), 0xFFFFFFul) << index;
        else
            EXPECT_LE(*seen.rbegin(), (unsigned long)(grey << 16 | grey << 8 | grey)) << index;
    }
    EXPECT_FALSE(GetPieceBitmap(12).IsOk());
    EXPECT_FALSE(GetPieceBitmap(-1).IsOk());
}

} // namespace
