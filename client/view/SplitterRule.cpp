#include "client/view/SplitterRule.h"

namespace {

const int kUpperFloor = 50;
const int kFloorFromHeight = 150;

} // namespace

int SashAfterResize(int sash, int lastHeight, int height)
{
    int position = sash - lastHeight + height;
    if (position < kUpperFloor && height >= kFloorFromHeight)
        position = kUpperFloor;
    return position;
}
