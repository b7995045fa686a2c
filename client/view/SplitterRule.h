#pragma once

// The sash position after a splitter's height went from lastHeight to
// height: the distance from the sash to the bottom edge is kept, but the
// upper pane keeps 50 pixels while the window is at least 150 high.
int SashAfterResize(int sash, int lastHeight, int height);
