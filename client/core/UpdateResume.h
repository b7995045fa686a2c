#pragma once

// What the client's start-up does about the last update, before anything
// else reads the program folder: a new updater is swapped in only when it
// runs here. Messages go through the prompt seam.

#include "client/core/StartUp.h"

class wxWindow;

// Tells the user when the swap refused a new updater; nothing otherwise.
void TellUpdaterSwap(const SUpdaterSwap& swap, wxWindow* parent);
