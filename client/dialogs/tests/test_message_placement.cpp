// Where a message window goes beside the board, on screens of every size.
#include <gtest/gtest.h>

#include "client/dialogs/MessagePlacement.h"

namespace {

bool Overlap(const SMessageRect& a, const SMessageRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool Inside(const SMessageRect& r, const SMessageRect& work)
{
    return r.x >= work.x && r.y >= work.y && r.x + r.width <= work.x + work.width &&
           r.y + r.height <= work.y + work.height;
}

} // namespace

TEST(MessagePlacement, BesideTheBoardWhenThereIsRoomElseInTheFarCorner)
{
    const SMessageRect work{0, 0, 1280, 1024};
    // Room on the right: there, level with the board's top.
    SMessageRect right = PlaceMessage({100, 100, 500, 500}, 320, 160, work);
    EXPECT_EQ(right.x, 100 + 500 + 8);
    EXPECT_EQ(right.y, 100);
    // A board at the right edge: on its left.
    SMessageRect left = PlaceMessage({800, 100, 480, 500}, 320, 160, work);
    EXPECT_EQ(left.x + left.width, 800 - 8);
    // A board filling the screen: the corner farthest from its centre.
    SMessageRect corner = PlaceMessage({0, 0, 1280, 1024}, 320, 160, work);
    EXPECT_TRUE(Inside(corner, work));

    // Every board on a grid of places and sizes: the box is on the screen,
    // and off the board whenever the screen has room beside it.
    for (int w = 100; w <= 1280; w += 195)
        for (int h = 100; h <= 1024; h += 154)
            for (int x = 0; x + w <= 1280; x += 137)
                for (int y = 0; y + h <= 1024; y += 131) {
                    SMessageRect board{x, y, w, h};
                    SMessageRect box = PlaceMessage(board, 320, 160, work);
                    ASSERT_TRUE(Inside(box, work)) << x << "," << y << " " << w << "x" << h;
                    bool room = x >= 328 || 1280 - x - w >= 328 || y >= 168 || 1024 - y - h >= 168;
                    if (room)
                        ASSERT_FALSE(Overlap(box, board)) << x << "," << y << " " << w << "x" << h;
                }
}

TEST(MessagePlacement, AnEngineMessageLeavesTheWholeFrameAndItsStatusBarReadable)
{
    const SMessageRect work{0, 0, 1280, 1024};
    // A frame with room beside it: the message stands off the frame.
    SMessageRect frame{40, 40, 900, 700}, board{44, 90, 600, 600};
    SMessageRect box = PlaceMessageOffFrame(frame, board, 320, 160, work);
    EXPECT_FALSE(Overlap(box, frame));
    EXPECT_TRUE(Inside(box, work));
    // A maximised frame: off the board and off the status bar below it.
    SMessageRect full{0, 0, 1280, 1024}, big{0, 50, 900, 900};
    SMessageRect statusBar{0, 1000, 1280, 24};
    SMessageRect inside = PlaceMessageOffFrame(full, big, 320, 160, work);
    EXPECT_TRUE(Inside(inside, work));
    EXPECT_FALSE(Overlap(inside, big));
    EXPECT_FALSE(Overlap(inside, statusBar)) << inside.x << "," << inside.y;
}
