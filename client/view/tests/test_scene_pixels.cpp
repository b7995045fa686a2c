// The tiny skin drawn by Mesa and read back. In a 300 x 240 window the
// 200 x 200 board image stands at (50, 20); its squares start at (70, 40)
// and are 20 pixels wide. See scripts/make-skins for the colours.
#include <gtest/gtest.h>

#include "client/view/BoardScene.h"
#include "support/gl_harness.h"
#include "support/scene_support.h"

using Zorlin::CImage;

namespace {

const RGB kBackground{0, 200, 0};
const RGB kFrame{40, 40, 40};
const RGB kLight{200, 200, 200};
const RGB kDark{100, 100, 100};
const RGB kWhiteKing{255, 200, 0};
const RGB kBlackPawn{0, 0, 255};

class ScenePixels : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!CGLHarness::Get())
            GTEST_SKIP() << "no OpenGL context: " << CGLHarness::GetFailure();
        ASSERT_TRUE(LoadSkinFrom(m_scene, TinySkinPath()));
        Resize(300, 240);
    }
    void Resize(int width, int height)
    {
        m_width = width;
        m_height = height;
        m_scene.SetViewportSize(width, height);
    }
    RGB At(int x, int y) { return ReadWindowPixel(x, y, m_height); }
    void Frame(bool pointer = false)
    {
        m_scene.SetTime(m_time);
        m_scene.Draw(pointer);
    }
    // Top-left window pixel of a square with the board unzoomed.
    void SquareCorner(const SSquare& s, int& x, int& y)
    {
        const SScenePoint c = m_scene.GetGeometry().SquareCentre(s);
        const SScenePoint w = m_scene.GetGeometry().SceneToWindow(c.x, c.y);
        x = int(w.x) - 10;
        y = int(w.y) - 10;
    }
    // White pixels of a glyph cell's row, counted from its left edge.
    int BarWidth(int x, int y)
    {
        int n = 0;
        for (int i = 0; i < 16; ++i)
            n += At(x + i, y)[0] > 200;
        return n;
    }

    CBoardScene m_scene;
    int m_width = 0;
    int m_height = 0;
    double m_time = 0.0;
};

} // namespace

TEST_F(ScenePixels, TheBoardIsCentredWithTheBackgroundRoundIt)
{
    Frame();
    EXPECT_EQ(At(30, 10), kBackground);
    EXPECT_EQ(At(295, 235), kBackground);
    EXPECT_EQ(At(49, 120), kBackground);
    EXPECT_EQ(At(250, 120), kBackground);
    EXPECT_EQ(At(150, 19), kBackground);
    EXPECT_EQ(At(150, 220), kBackground);
    EXPECT_EQ(At(50, 120), kFrame);
    EXPECT_EQ(At(249, 219), kFrame);
    EXPECT_EQ(At(60, 30), kFrame);
    EXPECT_EQ(At(71, 41), kLight) << "a8";
    EXPECT_EQ(At(71, 181), kDark) << "a1";
    EXPECT_EQ(At(228, 181), kLight) << "h1";
    // An odd size puts the centre on a whole pixel: same picture.
    Resize(301, 241);
    Frame();
    EXPECT_EQ(At(49, 120), kBackground);
    EXPECT_EQ(At(50, 120), kFrame);
    EXPECT_EQ(At(71, 181), kDark);
    EXPECT_EQ(At(300, 240), kBackground);
}

TEST_F(ScenePixels, PiecesStandOnTheirSquaresAndTurnWithTheBoard)
{
    for (bool flipped : {false, true}) {
        m_scene.SetFlipped(flipped);
        m_scene.Clear();
        m_scene.AddPiece(WHITE, PIECE_KING, SSquare(4, 0), false);
        m_scene.AddPiece(BLACK, PIECE_PAWN, SSquare(4, 6), false);
        Frame();
        // Unflipped e1 is at file 4 of the bottom row; flipped at file 3 of the top.
        const int kingX = flipped ? 140 : 160;
        const int kingY = flipped ? 50 : 190;
        EXPECT_EQ(At(kingX, kingY), kWhiteKing) << flipped;
        const int pawnX = flipped ? 140 : 160;
        const int pawnY = flipped ? 170 : 70;
        EXPECT_EQ(At(pawnX, pawnY), kBlackPawn) << flipped;
        // The transparent rim of the picture shows the square.
        EXPECT_EQ(At(kingX - 9, kingY - 9), kDark) << flipped;
        SSquare hit;
        ASSERT_TRUE(m_scene.SquareAt(float(kingX), float(kingY), hit));
        EXPECT_EQ(hit, SSquare(4, 0));
    }
}

TEST_F(ScenePixels, CoordinatesReadForwardsOrBackwards)
{
    m_scene.SetShowCoordinates(true);
    for (bool flipped : {false, true}) {
        m_scene.SetFlipped(flipped);
        Frame();
        // Glyph k of "ABCDEFGH12345678" is a bar k + 1 pixels wide.
        for (int i = 0; i < 8; ++i) {
            const int file = flipped ? 7 - i : i; // A..H, or H..A
            EXPECT_EQ(BarWidth(72 + 20 * i, 210), file + 1) << "column " << i << " flipped " << flipped;
            const int rank = flipped ? 8 + i : 15 - i; // '8'..'1', or '1'..'8' from the top
            EXPECT_EQ(BarWidth(52, 50 + 20 * i), rank + 1) << "row " << i << " flipped " << flipped;
        }
    }
    m_scene.SetShowCoordinates(false);
    Frame();
    EXPECT_EQ(BarWidth(72, 210), 0);
}

TEST_F(ScenePixels, AGlyphSmallerThanItsCellIsStillDrawn)
{
    CTempFolder temp;
    CBoardScene scene;
    ASSERT_TRUE(LoadSkinFrom(scene, CopySkin(temp, TinySkinPath(), "Coordinates.Glyphs.Size= 8\r\n")));
    scene.SetViewportSize(300, 240);
    scene.SetShowCoordinates(true);
    scene.Draw(false);
    // 'H', bar 8 wide at scale 1/2: 4 pixels.
    int n = 0;
    for (int x = 212; x < 212 + 16; ++x)
        n += ReadWindowPixel(x, 204, 240)[0] > 150;
    EXPECT_EQ(n, 4);
}

TEST_F(ScenePixels, MarksHintsAndTheCursorHighlight)
{
    m_scene.MarkSquare(SSquare(3, 3), 1); // d4, dark
    m_scene.MarkSquare(SSquare(4, 3), 2); // e4, light
    m_scene.SetSquareImage(WHITE, PIECE_KING, false, SSquare(0, 4)); // a5, dark
    m_scene.SetMousePosition(171.0f, 121.0f);                        // f4 (dark)
    Frame();
    // Half-transparent cyan and magenta over the squares.
    EXPECT_TRUE(Near(At(135, 125), RGB{50, 177, 177}, 3)) << Describe(At(135, 125));
    EXPECT_TRUE(Near(At(155, 125), RGB{227, 100, 227}, 3)) << Describe(At(155, 125));
    // The hint: the king's colours at 92 / 255 over the square.
    EXPECT_TRUE(Near(At(80, 110), RGB{156, 136, 64}, 4)) << Describe(At(80, 110));
    // The cursor ring: the edge yellow, the middle untouched.
    EXPECT_EQ(At(171, 121), (RGB{255, 255, 0}));
    EXPECT_EQ(At(180, 130), kDark);
    m_scene.SetShowCursorHighlight(false);
    m_scene.ClearMarks();
    m_scene.ClearSquareImages();
    Frame();
    EXPECT_EQ(At(171, 121), kDark);
    EXPECT_EQ(At(135, 125), kDark);
    EXPECT_EQ(At(80, 110), kDark);
}

TEST_F(ScenePixels, AHighlightWithoutAlphaIsOpaque)
{
    CTempFolder temp;
    CBoardScene scene;
    ASSERT_TRUE(LoadSkinFrom(scene, CopySkin(temp, TinySkinPath(), "Highlights.Move.Alpha=\r\n")));
    scene.SetViewportSize(300, 240);
    scene.MarkSquare(SSquare(3, 3), 1);
    scene.Draw(false);
    EXPECT_EQ(ReadWindowPixel(135, 125, 240), (RGB{0, 255, 255}));
}

TEST_F(ScenePixels, ThePointerFollowsTheMouseAndHidesWhenAway)
{
    m_scene.SetMousePosition(100.0f, 100.0f);
    Frame(true);
    EXPECT_EQ(At(102, 102), (RGB{255, 0, 255}));
    Frame(false);
    EXPECT_NE(At(102, 102), (RGB{255, 0, 255}));
    // Lifting a piece shows the grip and the lifted piece under the pointer.
    CBoardSprite* king = m_scene.AddPiece(WHITE, PIECE_KING, SSquare(4, 0), false);
    m_scene.SetMousePosition(160.0f, 190.0f);
    m_scene.SetDraggedPiece(king);
    m_scene.SetMousePosition(100.0f, 100.0f);
    Frame(true);
    EXPECT_EQ(At(102, 102), (RGB{0, 255, 255}));
    EXPECT_EQ(At(94, 94), kWhiteKing) << "the lifted piece, 1.2 times larger";
    EXPECT_EQ(At(160, 190), kDark) << "its square is empty meanwhile";
    m_scene.HidePointer();
    Frame(true);
    EXPECT_NE(At(102, 102), (RGB{0, 255, 255}));
    EXPECT_NE(At(102, 102), (RGB{255, 0, 255}));
}

TEST_F(ScenePixels, LinksBrightenUnderThePointer)
{
    m_scene.SetMousePosition(200.0f, 200.0f);
    Frame();
    // Orange at 128 / 255 over the green margin.
    EXPECT_TRUE(Near(At(5, 5), RGB{128, 163, 0}, 3)) << Describe(At(5, 5));
    Zorlin::CString url, text;
    EXPECT_FALSE(m_scene.LinkAt(url, text));
    m_scene.SetMousePosition(16.0f, 16.0f); // the edge counts
    Frame();
    EXPECT_EQ(At(5, 5), (RGB{255, 128, 0}));
    ASSERT_TRUE(m_scene.LinkAt(url, text));
    EXPECT_STREQ(url.GetText(), "http://example.org/");
    EXPECT_STREQ(text.GetText(), "Home");
    m_scene.SetShowLinks(false);
    Frame();
    EXPECT_EQ(At(5, 5), kBackground);
    EXPECT_FALSE(m_scene.LinkAt(url, text));
}

TEST_F(ScenePixels, PenStrokesShowOnlyWithAnnotation)
{
    m_scene.SetPenColour(0, Zorlin::CColour(255, 0, 0, 255));
    m_scene.PenMoveTo(0, -60.0f, 0.0f);
    m_scene.PenLineTo(0, 60.0f, 0.0f);
    Frame();
    EXPECT_NE(At(150, 120), (RGB{255, 0, 0}));
    m_scene.SetShowAnnotation(true);
    Frame();
    EXPECT_TRUE(Near(At(150, 120), RGB{255, 0, 0}, 10)) << Describe(At(150, 120));
    EXPECT_TRUE(Near(At(100, 120), RGB{255, 0, 0}, 10));
    // Strokes stay on their squares when the board turns.
    m_scene.PenMoveTo(0, 0.0f, -50.0f);
    m_scene.PenLineTo(0, 0.0f, -40.0f);
    m_scene.SetFlipped(true);
    Frame();
    EXPECT_TRUE(Near(At(150, 120 + 45), RGB{255, 0, 0}, 10)) << Describe(At(150, 165));
}

TEST_F(ScenePixels, DepthSortingDrawsTheLowerPieceOnTop)
{
    CTempFolder temp;
    for (bool sorted : {false, true}) {
        CBoardScene scene;
        ASSERT_TRUE(LoadSkinFrom(scene, CopySkin(temp, TinySkinPath(), sorted ? "info.depth= yes\r\n" : "")));
        scene.SetViewportSize(300, 240);
        // The lower piece first in the list, the upper one overlapping it.
        CBoardSprite* lower = scene.AddPiece(WHITE, PIECE_KING, SSquare(4, 3), false);
        CBoardSprite* upper = scene.AddPiece(BLACK, PIECE_PAWN, SSquare(4, 3), false);
        upper->m_y -= 6.0f;
        scene.Draw(false);
        const RGB overlap = ReadWindowPixel(160, 127, 240);
        EXPECT_EQ(overlap, sorted ? kWhiteKing : kBlackPawn) << sorted;
        (void)lower;
    }
}

TEST_F(ScenePixels, ZoomShrinksTheBoardToFitEitherWay)
{
    // 150 x 120: the height decides, 0.6.
    Resize(150, 120);
    Frame();
    EXPECT_DOUBLE_EQ(m_scene.GetGeometry().GetZoom(), 0.6);
    EXPECT_EQ(At(5, 60), kBackground);
    EXPECT_EQ(At(20, 60), kFrame);
    // 400 x 100, wider than high and far from square: still inside.
    Resize(400, 100);
    Frame();
    EXPECT_DOUBLE_EQ(m_scene.GetGeometry().GetZoom(), 0.5);
    EXPECT_EQ(At(149, 50), kBackground);
    EXPECT_EQ(At(152, 50), kFrame);
    EXPECT_EQ(At(200, 1), kFrame);
    // 100 x 400, higher than wide: the width decides.
    Resize(100, 400);
    Frame();
    EXPECT_DOUBLE_EQ(m_scene.GetGeometry().GetZoom(), 0.5);
    EXPECT_EQ(At(1, 200), kFrame);
    EXPECT_EQ(At(50, 149), kBackground);
}

TEST_F(ScenePixels, SnapshotsHoldJustTheBoardAtAnySize)
{
    struct SCase {
        int width, height, size;
    } cases[] = {{301, 241, 200}, {300, 240, 200}, {199, 500, 199}, {333, 77, 77}, {1023, 767, 200}};
    for (const SCase& c : cases) {
        Resize(c.width, c.height);
        CImage shot;
        ASSERT_TRUE(m_scene.GrabImage(shot)) << c.width;
        ASSERT_EQ(shot.GetWidth(), c.size) << c.width << "x" << c.height;
        ASSERT_EQ(shot.GetHeight(), c.size) << c.width << "x" << c.height;
        // Frame at every corner, squares inside, no margin caught.
        const int last = c.size - 1;
        for (int x : {1, last - 1})
            for (int y : {1, last - 1})
                EXPECT_TRUE(Near(ImagePixel(shot, x, y), kFrame, 6))
                    << c.width << "x" << c.height << " at " << x << "," << y << Describe(ImagePixel(shot, x, y));
        const int a1 = int(c.size * 0.11);
        const int a1y = int(c.size * 0.89);
        EXPECT_TRUE(Near(ImagePixel(shot, a1, a1y), kDark, 8)) << c.width << "x" << c.height;
    }
}

TEST_F(ScenePixels, TheInactiveBoardIsDimmed)
{
    m_scene.SetInactive(true);
    Frame();
    EXPECT_TRUE(Near(At(60, 30), RGB{20, 20, 20}, 1)) << Describe(At(60, 30));
    EXPECT_TRUE(Near(At(71, 41), RGB{100, 100, 100}, 1));
    m_scene.SetInactive(false);
    Frame();
    EXPECT_EQ(At(71, 41), kLight);
}

TEST_F(ScenePixels, ARefusedSkinDrawsNothing)
{
    CTempFolder temp;
    CBoardScene scene;
    ASSERT_FALSE(LoadSkinFrom(scene, CopySkin(temp, TinySkinPath(), "Pieces.White.Queen.Image=\r\n")));
    StartWindowFrame(300, 240); // clears to blue
    scene.SetViewportSize(300, 240);
    scene.AddPiece(WHITE, PIECE_KING, SSquare(4, 0), false);
    scene.SetShowCoordinates(true);
    scene.Draw(true);
    EXPECT_EQ(ReadWindowPixel(150, 120, 240), (RGB{0, 0, 255}));
    EXPECT_EQ(ReadWindowPixel(5, 5, 240), (RGB{0, 0, 255}));
    CImage shot;
    EXPECT_FALSE(scene.GrabImage(shot));
}

TEST_F(ScenePixels, ADenseScreenShowsTheSamePictureInTwiceThePixels)
{
    // Points of the 300 x 240 picture in the margin, on the frame and on squares.
    const struct {
        int x, y;
        RGB colour;
    } points[] = {{30, 10, kBackground}, {150, 230, kBackground}, {50, 120, kFrame}, {249, 219, kFrame},
                  {71, 41, kLight}, {71, 181, kDark}, {225, 45, kDark}};
    m_scene.SetPixelScale(2.0);
    Resize(600, 480);
    m_scene.SetMousePosition(300.0f, 300.0f);
    Frame();
    EXPECT_DOUBLE_EQ(m_scene.GetGeometry().GetZoom(), 2.0);
    for (const auto& p : points)
        EXPECT_EQ(At(2 * p.x + 1, 2 * p.y + 1), p.colour) << p.x << "," << p.y;

    // The link keeps its size on the desktop: 16 pixels there, 32 here.
    Zorlin::CString url, text;
    m_scene.SetMousePosition(32.0f, 32.0f);
    Frame();
    EXPECT_EQ(At(30, 30), (RGB{255, 128, 0}));
    EXPECT_TRUE(m_scene.LinkAt(url, text));
    m_scene.SetMousePosition(34.0f, 34.0f);
    EXPECT_FALSE(m_scene.LinkAt(url, text));

    // A pen stroke is as thick on the desktop as on an ordinary screen.
    m_scene.SetShowLinks(false);
    m_scene.SetShowAnnotation(true);
    m_scene.SetPenColour(0, Zorlin::CColour(255, 0, 0, 255));
    m_scene.PenMoveTo(0, -60.0f, 0.0f);
    m_scene.PenLineTo(0, 60.0f, 0.0f);
    Frame();
    EXPECT_TRUE(Near(At(300, 240 + 3), RGB{255, 0, 0}, 10)) << Describe(At(300, 243));

    // The snapshot holds the board in device pixels.
    CImage shot;
    ASSERT_TRUE(m_scene.GrabImage(shot));
    EXPECT_EQ(shot.GetWidth(), 400);
    EXPECT_EQ(shot.GetHeight(), 400);
}
