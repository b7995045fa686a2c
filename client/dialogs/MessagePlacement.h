#pragma once

// Where a message window goes so that it does not cover the board: beside
// it (right, left, below, above) when one of those fits the screen's work
// area, otherwise the work area's corner farthest from the board's centre.

struct SMessageRect {
    int x;
    int y;
    int width;
    int height;
};

SMessageRect PlaceMessage(const SMessageRect& avoid, int width, int height, const SMessageRect& work);
