#pragma once

// Ends every modal loop that is running (dialogs of ours and of the
// toolkit, the desktop's own message boxes among them) as if each had been
// cancelled; the number ended. The end of the program calls it before it
// closes the frame, so no open question can keep the program alive.
int EndModalLoops();
