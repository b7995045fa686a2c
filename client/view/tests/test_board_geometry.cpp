#include <gtest/gtest.h>

#include <cmath>

#include "client/view/BoardGeometry.h"

namespace {

// A 500 x 500 image whose squares fill 50..450: squares of 50 pixels.
CBoardGeometry Board(double width, double height, bool flipped)
{
    CBoardGeometry g;
    g.SetBoard(500, 500, 50, 50, 450, 450, 0);
    g.SetViewport(width, height);
    g.SetFlipped(flipped);
    return g;
}

} // namespace

TEST(BoardGeometry, SquareCentresFollowTheBoardSideShown)
{
    CBoardGeometry g = Board(800, 600, false);
    // a1 bottom-left, h8 top-right; the rectangle centre is the origin.
    EXPECT_DOUBLE_EQ(g.SquareCentre(SSquare(0, 0)).x, -175.0);
    EXPECT_DOUBLE_EQ(g.SquareCentre(SSquare(0, 0)).y, 175.0);
    EXPECT_DOUBLE_EQ(g.SquareCentre(SSquare(7, 7)).x, 175.0);
    EXPECT_DOUBLE_EQ(g.SquareCentre(SSquare(7, 7)).y, -175.0);
    g.SetFlipped(true);
    EXPECT_DOUBLE_EQ(g.SquareCentre(SSquare(0, 0)).x, 175.0);
    EXPECT_DOUBLE_EQ(g.SquareCentre(SSquare(0, 0)).y, -175.0);
}

TEST(BoardGeometry, AnOffCentreRectangleStillCentresItsSquares)
{
    CBoardGeometry g;
    g.SetBoard(600, 500, 100, 20, 500, 420, 0);
    g.SetViewport(1000, 1000);
    EXPECT_DOUBLE_EQ(g.GetAnchorX(), 300.0);
    EXPECT_DOUBLE_EQ(g.GetAnchorY(), 220.0);
    EXPECT_DOUBLE_EQ(g.SquareCentre(SSquare(3, 4)).x, -25.0);
    EXPECT_DOUBLE_EQ(g.SquareCentre(SSquare(3, 4)).y, -25.0);
}

TEST(BoardGeometry, SquareAtMatchesTheSquareCentresBothWays)
{
    for (bool flipped : {false, true}) {
        for (double zoom : {1.0, 0.5}) {
            CBoardGeometry g = Board(zoom == 1.0 ? 800 : 250, zoom == 1.0 ? 600 : 250, flipped);
            ASSERT_DOUBLE_EQ(g.GetZoom(), zoom);
            for (int x = 0; x < 8; ++x) {
                for (int y = 0; y < 8; ++y) {
                    const SScenePoint c = g.SquareCentre(SSquare(x, y));
                    const SScenePoint w = g.SceneToWindow(c.x, c.y);
                    // The centre and points just inside each corner.
                    for (double dx : {0.0, -24.0, 24.0}) {
                        for (double dy : {0.0, -24.0, 24.0}) {
                            SSquare hit(-1, -1);
                            ASSERT_TRUE(g.SquareAt(w.x + dx * zoom, w.y + dy * zoom, hit));
                            EXPECT_EQ(hit, SSquare(x, y)) << flipped << " " << zoom;
                        }
                    }
                }
            }
        }
    }
}

TEST(BoardGeometry, SquareAtIsFalseOffTheGridAndMirroredWhenFlipped)
{
    CBoardGeometry g = Board(800, 600, false);
    SSquare hit;
    // The grid spans 200..600 across and 100..500 down.
    EXPECT_FALSE(g.SquareAt(199, 300, hit));
    EXPECT_FALSE(g.SquareAt(600, 300, hit));
    EXPECT_FALSE(g.SquareAt(400, 99, hit));
    EXPECT_FALSE(g.SquareAt(400, 500, hit));
    EXPECT_FALSE(g.SquareAt(-5000, -5000, hit));
    ASSERT_TRUE(g.SquareAt(210, 110, hit));
    EXPECT_EQ(hit, SSquare(0, 7));
    g.SetFlipped(true);
    ASSERT_TRUE(g.SquareAt(210, 110, hit));
    EXPECT_EQ(hit, SSquare(7, 0));
}

TEST(BoardGeometry, BoardFractionsRoundTripInEveryFlipCombination)
{
    const SScenePoint points[] = {{0, 0}, {123.5, -77.25}, {-200, 200}, {3, 1e-3}};
    for (bool from : {false, true}) {
        for (bool to : {false, true}) {
            CBoardGeometry a = Board(800, 600, from);
            CBoardGeometry b = Board(800, 600, to);
            for (const SScenePoint& p : points) {
                const SScenePoint back = a.BoardToPixels(a.PixelsToBoard(p));
                EXPECT_NEAR(back.x, p.x, 1e-9);
                EXPECT_NEAR(back.y, p.y, 1e-9);
                // A peer seeing the other side puts the point on the same square.
                const SScenePoint fraction = a.PixelsToBoard(p);
                const SScenePoint there = b.BoardToPixels(fraction);
                const double sign = from == to ? 1.0 : -1.0;
                EXPECT_NEAR(there.x, sign * p.x, 1e-9);
                EXPECT_NEAR(there.y, sign * p.y, 1e-9);
            }
        }
    }
    CBoardGeometry g = Board(800, 600, false);
    EXPECT_DOUBLE_EQ(g.PixelsToBoard({200, -100}).x, 0.5);
    EXPECT_DOUBLE_EQ(g.PixelsToBoard({200, -100}).y, -0.25);
}

TEST(BoardGeometry, WindowToBoardDividesByTheZoomFromTheCentre)
{
    CBoardGeometry g = Board(250, 250, false);
    ASSERT_DOUBLE_EQ(g.GetZoom(), 0.5);
    EXPECT_DOUBLE_EQ(g.WindowToBoard(125, 125).x, 0.0);
    EXPECT_DOUBLE_EQ(g.WindowToBoard(175, 25).x, 100.0);
    EXPECT_DOUBLE_EQ(g.WindowToBoard(175, 25).y, -200.0);
}

TEST(BoardGeometry, ZoomFitsBothWaysAndNeverEnlarges)
{
    // 600 x 400 with 500 x 500 and border 20: the height decides.
    EXPECT_DOUBLE_EQ(CBoardGeometry::FitZoom(600, 400, 500, 500, 20), 400.0 / 520.0);
    EXPECT_DOUBLE_EQ(CBoardGeometry::FitZoom(2000, 2000, 500, 500, 20), 1.0);
    // A wide board in a window that is wider than high: judging by the
    // height alone would give 1.0 and overflow the width.
    const double zoom = CBoardGeometry::FitZoom(800, 700, 1000, 400, 0);
    EXPECT_DOUBLE_EQ(zoom, 0.8);
    EXPECT_LE(1000 * zoom, 800);
    EXPECT_LE(400 * zoom, 700);
    EXPECT_DOUBLE_EQ(CBoardGeometry::FitZoom(0, 700, 1000, 400, 0), 1.0);
    EXPECT_DOUBLE_EQ(CBoardGeometry::FitZoom(800, 700, 0, 0, 0), 1.0);
}

TEST(BoardGeometry, MarginsCoverExactlyWhatTheBoardLeaves)
{
    struct SCase {
        int width, height;
    } cases[] = {{800, 600}, {801, 601}, {500, 500}, {260, 250}, {600, 400}, {333, 777}};
    for (const SCase& c : cases) {
        CBoardGeometry g = Board(c.width, c.height, false);
        SWindowRect margins[4];
        const int n = g.MarginRects(margins);
        const SScenePoint topLeft = g.SceneToWindow(-250, -250);
        const SScenePoint bottomRight = g.SceneToWindow(250, 250);
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                // A pixel wholly under the board needs no background.
                const bool covered = x >= topLeft.x && x + 1 <= bottomRight.x && y >= topLeft.y &&
                                     y + 1 <= bottomRight.y;
                const int glY = c.height - 1 - y;
                bool inMargin = false;
                for (int i = 0; i < n; ++i)
                    inMargin |= x >= margins[i].x && x < margins[i].x + margins[i].width &&
                                glY >= margins[i].y && glY < margins[i].y + margins[i].height;
                ASSERT_EQ(inMargin, !covered) << c.width << "x" << c.height << " at " << x << "," << y;
            }
        }
    }
    CBoardGeometry exact = Board(500, 500, false);
    EXPECT_TRUE(exact.FillsWindow());
    EXPECT_FALSE(Board(501, 500, false).FillsWindow());
}

TEST(BoardGeometry, SnapshotRectHoldsBoardAndBorder)
{
    CBoardGeometry g;
    g.SetBoard(500, 500, 50, 50, 450, 450, 20);
    g.SetViewport(800, 600);
    SWindowRect r;
    ASSERT_TRUE(g.SnapshotRect(r));
    EXPECT_EQ(r.width, 520);
    EXPECT_EQ(r.height, 520);
    EXPECT_EQ(r.x, 400 - 260);
    EXPECT_EQ(r.y, 300 - 260);
    // Squares placed high in the image: the rectangle follows the image.
    CBoardGeometry high;
    high.SetBoard(400, 500, 0, 0, 400, 400, 0);
    high.SetViewport(1000, 1000);
    ASSERT_TRUE(high.SnapshotRect(r));
    EXPECT_EQ(r.height, 500);
    // Image top at window y 500 - 200 = 300, so its bottom (GL) at 1000 - 800.
    EXPECT_EQ(r.y, 200);
    CBoardGeometry empty;
    empty.SetViewport(100, 100);
    EXPECT_FALSE(empty.SnapshotRect(r));
}

TEST(BoardGeometry, ADenseScreenEnlargesUpToItsPixelScaleAndHitsWhatIsDrawn)
{
    EXPECT_DOUBLE_EQ(CBoardGeometry::FitZoom(2000, 2000, 500, 500, 0, 2.0), 2.0);
    EXPECT_DOUBLE_EQ(CBoardGeometry::FitZoom(700, 900, 500, 500, 0, 2.0), 1.4);
    // A window of 400 x 300 client pixels on a screen of scale 2: the board
    // fills the same share of it as on an ordinary screen, in twice the pixels.
    CBoardGeometry ordinary = Board(400, 300, false);
    CBoardGeometry dense = Board(800, 600, false);
    dense.SetPixelScale(2.0);
    EXPECT_DOUBLE_EQ(dense.GetZoom(), 2.0 * ordinary.GetZoom());
    SWindowRect a, b;
    ASSERT_TRUE(ordinary.SnapshotRect(a));
    ASSERT_TRUE(dense.SnapshotRect(b));
    EXPECT_EQ(b.width, 2 * a.width);
    EXPECT_EQ(b.height, 600);
    EXPECT_TRUE(dense.FillsWindow() == ordinary.FillsWindow());
    // Every square's client point, scaled to the device, lands on that square.
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            const SScenePoint c = ordinary.SquareCentre(SSquare(x, y));
            const SScenePoint client = ordinary.SceneToWindow(c.x, c.y);
            SSquare hit(-1, -1);
            ASSERT_TRUE(dense.SquareAt(client.x * 2.0, client.y * 2.0, hit));
            EXPECT_EQ(hit, SSquare(x, y));
        }
    }
    // A scale below one is taken as one: the board never shrinks for it.
    CBoardGeometry low = Board(2000, 2000, false);
    low.SetPixelScale(0.5);
    EXPECT_DOUBLE_EQ(low.GetZoom(), 1.0);
}
