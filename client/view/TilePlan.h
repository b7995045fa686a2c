#pragma once

#include <vector>

// How an image is cut into textures. Sizes are image pixels along one axis;
// a 2-D plan is the product of the plans of the two axes.
struct STileSpan {
    int start = 0;      // first image pixel uploaded into the tile
    int length = 0;     // pixels uploaded
    int drawStart = 0;  // first image pixel the tile's quad shows
    int drawLength = 0; // pixels the quad shows
};

// The power of two at or above size, never below 64.
int TextureSide(int size);

// One span when the size fits the limit. Otherwise tiles of the limit's
// size stepping by limit - 2, so that every inner edge has one pixel of the
// neighbour on each side for filtering; each pixel is shown by exactly one
// tile, and the last tile always reaches the image's far edge.
std::vector<STileSpan> PlanTileSpans(int size, int limit);
