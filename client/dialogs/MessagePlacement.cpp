#include "client/dialogs/MessagePlacement.h"

namespace {

const int kGap = 8;

bool Inside(const SMessageRect& r, const SMessageRect& work)
{
    return r.x >= work.x && r.y >= work.y && r.x + r.width <= work.x + work.width &&
           r.y + r.height <= work.y + work.height;
}

// Keeps a position on one axis inside [low, high - size] where it can.
int Clamp(int value, int size, int low, int high)
{
    if (value + size > high)
        value = high - size;
    return value < low ? low : value;
}

} // namespace

SMessageRect PlaceMessage(const SMessageRect& avoid, int width, int height, const SMessageRect& work)
{
    int top = Clamp(avoid.y, height, work.y, work.y + work.height);
    int left = Clamp(avoid.x, width, work.x, work.x + work.width);
    const SMessageRect candidates[] = {
        {avoid.x + avoid.width + kGap, top, width, height},
        {avoid.x - kGap - width, top, width, height},
        {left, avoid.y + avoid.height + kGap, width, height},
        {left, avoid.y - kGap - height, width, height},
    };
    for (const SMessageRect& r : candidates)
        if (Inside(r, work))
            return r;
    int centreX = avoid.x + avoid.width / 2, centreY = avoid.y + avoid.height / 2;
    bool right = centreX < work.x + work.width / 2;
    bool bottom = centreY < work.y + work.height / 2;
    return {right ? work.x + work.width - width : work.x, bottom ? work.y + work.height - height : work.y, width,
            height};
}

SMessageRect PlaceMessageOffFrame(const SMessageRect& frame, const SMessageRect& board, int width, int height,
                                  const SMessageRect& work)
{
    SMessageRect outside = PlaceMessage(frame, width, height, work);
    bool overlaps = outside.x < frame.x + frame.width && frame.x < outside.x + outside.width &&
                    outside.y < frame.y + frame.height && frame.y < outside.y + outside.height;
    if (!overlaps)
        return outside;
    SMessageRect avoid = board;
    int bottom = frame.y + frame.height;
    if (bottom > avoid.y + avoid.height)
        avoid.height = bottom - avoid.y;
    return PlaceMessage(avoid, width, height, work);
}
