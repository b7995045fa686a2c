#include <gtest/gtest.h>

#include <GL/gl.h>

#include <random>

#include "client/view/GLTexture.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"
#include "foundation/Win32File.h"
#include "support/gl_harness.h"
#include "support/scene_support.h"

using Zorlin::CColour;
using Zorlin::CImage;

namespace {

// Restores the default options after a test changes them.
class GLTextureTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        CGLTexture::SetOptions(SGLTextureOptions());
        CGLTexture::SetDimmed(false);
    }
};

void Fill(CImage& image, CColour colour)
{
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            image.SetPixel(x, y, colour);
}

void Noise(CImage& image, unsigned seed)
{
    std::mt19937 random(seed);
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            image.SetPixel(x, y, CColour(int(random() % 256), int(random() % 256), int(random() % 256), 255));
}

void TextureSize(unsigned name, int& width, int& height)
{
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
}

} // namespace

TEST_F(GLTextureTest, TexturesArePowersOfTwoWithTheUsedExtent)
{
    REQUIRE_GL();
    CImage big(500, 500, 19);
    Fill(big, CColour(10, 20, 30, 255));
    CGLTexture texture;
    ASSERT_TRUE(texture.Build(big, CGLTexture::KIND_RGB, nullptr));
    EXPECT_FALSE(texture.IsTiled());
    EXPECT_DOUBLE_EQ(texture.GetExtentU(), 500.0 / 512.0);
    int w = 0, h = 0;
    TextureSize(texture.GetName(), w, h);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(h, 512);

    CImage small(40, 20, 19);
    Fill(small, CColour(1, 2, 3, 255));
    ASSERT_TRUE(texture.Build(small, CGLTexture::KIND_RGB, nullptr));
    EXPECT_DOUBLE_EQ(texture.GetWidth(), 40.0);
    EXPECT_DOUBLE_EQ(texture.GetExtentU(), 40.0 / 64.0);
    EXPECT_DOUBLE_EQ(texture.GetExtentV(), 20.0 / 64.0);
    TextureSize(texture.GetName(), w, h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64);
    texture.Release();
    EXPECT_FALSE(texture.IsLoaded());
    EXPECT_EQ(texture.GetName(), 0u);
}

TEST_F(GLTextureTest, SmallTexturesTileAndDrawTheSamePixels)
{
    REQUIRE_GL();
    CImage image(500, 300, 19);
    Noise(image, 7);
    SGLTextureOptions options;
    options.smallTextures = true;
    CGLTexture::SetOptions(options);
    CGLTexture tiled;
    ASSERT_TRUE(tiled.Build(image, CGLTexture::KIND_RGB, nullptr));
    ASSERT_TRUE(tiled.IsTiled());
    ASSERT_EQ(tiled.GetTiles().size(), 4u); // 2 across, 2 down
    EXPECT_DOUBLE_EQ(tiled.GetTiles()[1].x, 255.0);
    for (const STextureTile& tile : tiled.GetTiles()) {
        int w = 0, h = 0;
        TextureSize(tile.name, w, h);
        EXPECT_LE(w, 256);
        EXPECT_LE(h, 256);
    }
    // Drawn one to one, tiles and all, the window shows the image itself.
    StartWindowFrame(520, 320);
    STextureDraw draw;
    tiled.Draw(draw);
    CImage shown;
    GrabWindow(500, 300, 320, shown);
    int wrong = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 500; ++x)
            wrong += !Near(ImagePixel(shown, x, y), ImagePixel(image, x, y), 1);
    EXPECT_EQ(wrong, 0);
    // Scaled, tiled and untiled agree too (up to filtering round-off).
    StartWindowFrame(1000, 600);
    draw.scaleX = draw.scaleY = 1.7;
    tiled.Draw(draw);
    CImage tiledShot;
    GrabWindow(850, 510, 600, tiledShot);
    CGLTexture::SetOptions(SGLTextureOptions());
    CGLTexture whole;
    ASSERT_TRUE(whole.Build(image, CGLTexture::KIND_RGB, nullptr));
    ASSERT_FALSE(whole.IsTiled());
    StartWindowFrame(1000, 600);
    whole.Draw(draw);
    CImage wholeShot;
    GrabWindow(850, 510, 600, wholeShot);
    wrong = 0;
    for (int y = 0; y < 510; ++y)
        for (int x = 0; x < 850; ++x)
            wrong += !Near(ImagePixel(tiledShot, x, y), ImagePixel(wholeShot, x, y), 3);
    EXPECT_EQ(wrong, 0);
}

TEST_F(GLTextureTest, EdgesOfAScaledImageDoNotFadeIntoThePadding)
{
    REQUIRE_GL();
    CImage image(40, 20, 19);
    Fill(image, CColour(255, 255, 255, 255));
    CGLTexture texture;
    ASSERT_TRUE(texture.Build(image, CGLTexture::KIND_RGB, nullptr));
    StartWindowFrame(200, 100);
    STextureDraw draw;
    draw.scaleX = draw.scaleY = 2.0;
    texture.Draw(draw);
    CImage shown;
    GrabWindow(80, 40, 100, shown);
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(Near(ImagePixel(shown, 79, i), RGB{255, 255, 255}, 2)) << i << Describe(ImagePixel(shown, 79, i));
    for (int i = 0; i < 80; ++i)
        EXPECT_TRUE(Near(ImagePixel(shown, i, 39), RGB{255, 255, 255}, 2)) << i;
}

TEST_F(GLTextureTest, AlphaImagesGiveCoverageAndASmallerOneLeavesTheRestClear)
{
    REQUIRE_GL();
    CImage colour(64, 64, 19);
    Fill(colour, CColour(255, 0, 0, 255));
    CImage alpha(32, 16, 1);
    Fill(alpha, CColour(255, 255, 255, 255));
    CGLTexture texture;
    ASSERT_TRUE(texture.Build(colour, CGLTexture::KIND_RGBA, &alpha));
    StartWindowFrame(100, 100); // blue
    STextureDraw draw;
    draw.blend = 1;
    texture.Draw(draw);
    EXPECT_EQ(ReadWindowPixel(5, 5, 100), (RGB{255, 0, 0}));
    EXPECT_EQ(ReadWindowPixel(31, 15, 100), (RGB{255, 0, 0}));
    EXPECT_EQ(ReadWindowPixel(40, 5, 100), (RGB{0, 0, 255})) << "outside the alpha image";
    EXPECT_EQ(ReadWindowPixel(5, 30, 100), (RGB{0, 0, 255}));

    // A grey image as coverage, drawn in the draw's colour.
    CImage grey(16, 16, 1);
    Fill(grey, CColour(128, 128, 128, 255));
    CGLTexture coverage;
    ASSERT_TRUE(coverage.Build(grey, CGLTexture::KIND_ALPHA, nullptr));
    StartWindowFrame(100, 100);
    draw.red = 0;
    draw.green = 255;
    draw.blue = 0;
    coverage.Draw(draw);
    const RGB p = ReadWindowPixel(8, 8, 100);
    EXPECT_NEAR(p[1], 128, 2);
    EXPECT_NEAR(p[2], 127, 2);
}

TEST_F(GLTextureTest, BlendModesAndTheInactiveDimming)
{
    REQUIRE_GL();
    CImage image(8, 8, 19);
    Fill(image, CColour(200, 100, 0, 255));
    CGLTexture texture;
    ASSERT_TRUE(texture.Build(image, CGLTexture::KIND_RGB, nullptr));
    STextureDraw draw;
    StartWindowFrame(16, 16);
    draw.blend = 2; // added to the blue background
    texture.Draw(draw);
    EXPECT_EQ(ReadWindowPixel(2, 2, 16), (RGB{200, 100, 255}));
    StartWindowFrame(16, 16);
    draw.blend = 0;
    CGLTexture::SetDimmed(true);
    texture.Draw(draw);
    const RGB dim = ReadWindowPixel(2, 2, 16);
    EXPECT_NEAR(dim[0], 100, 1);
    EXPECT_NEAR(dim[1], 50, 1);
    CGLTexture::SetDimmed(false);
}

TEST_F(GLTextureTest, FilesThatDoNotOpenOrDecodeLeaveNothing)
{
    REQUIRE_GL();
    CGLTexture texture;
    Zorlin::CWin32File closed;
    EXPECT_FALSE(texture.Load(closed, CGLTexture::KIND_RGB, nullptr));
    const std::string board = (TinySkinPath() / "graphics" / "board.png").string();
    Zorlin::CWin32File good(board.c_str(), Zorlin::CFile::kModeRead);
    ASSERT_TRUE(good.IsOpen());
    EXPECT_FALSE(texture.Load(good, CGLTexture::KIND_RGBA, &closed)) << "alpha given but not open";
    EXPECT_FALSE(texture.IsLoaded());
    Zorlin::CMemFile junk;
    junk.Open("junk.png", Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite);
    junk.WriteString("this is not a picture");
    junk.Seek(0, Zorlin::CFile::kSeekStart);
    EXPECT_FALSE(texture.Load(junk, CGLTexture::KIND_RGB, nullptr));
    EXPECT_FALSE(texture.IsLoaded());
    EXPECT_EQ(texture.GetName(), 0u);
    good.Seek(0, Zorlin::CFile::kSeekStart);
    ASSERT_TRUE(texture.Load(good, CGLTexture::KIND_RGB, nullptr));
    EXPECT_DOUBLE_EQ(texture.GetWidth(), 200.0);
    // An unloaded texture draws nothing at all.
    CGLTexture empty;
    StartWindowFrame(16, 16);
    empty.Draw(STextureDraw());
    EXPECT_EQ(ReadWindowPixel(1, 1, 16), (RGB{0, 0, 255}));
}
