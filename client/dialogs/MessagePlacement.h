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

// The same for a message that should leave the whole main window readable
// (its status bar says whose move it is): beside the frame when there is
// room; else beside the board and the strip of the frame below it, where
// the status bar is.
SMessageRect PlaceMessageOffFrame(const SMessageRect& frame, const SMessageRect& board, int width, int height,
                                  const SMessageRect& work);
