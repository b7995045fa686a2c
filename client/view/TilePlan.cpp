#include "client/view/TilePlan.h"

int TextureSide(int size)
{
    int side = 64;
    while (side < size && side < (1 << 30))
        side <<= 1;
    return side;
}

std::vector<STileSpan> PlanTileSpans(int size, int limit)
{
    std::vector<STileSpan> spans;
    if (size <= 0)
        return spans;
    if (limit < 4)
        limit = 4;
    if (size <= limit) {
        spans.push_back({0, size, 0, size});
        return spans;
    }
    const int step = limit - 2;
    // The smallest count whose last tile reaches the end: a plain
    // ceil(size / limit) leaves the far edge uncovered for some sizes.
    const int count = 1 + (size - limit + step - 1) / step;
    for (int i = 0; i < count; ++i) {
        STileSpan span;
        span.start = i * step;
        span.length = size - span.start < limit ? size - span.start : limit;
        span.drawStart = i == 0 ? 0 : span.start + 1;
        const int drawEnd = i == count - 1 ? size : (i + 1) * step + 1;
        span.drawLength = drawEnd - span.drawStart;
        spans.push_back(span);
    }
    return spans;
}
