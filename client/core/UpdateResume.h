#pragma once

// What the client's start-up does about the last update, before anything
// else reads the program folder: a new updater is swapped in only when it
// runs here, and an update that did not finish is told and offered again.
// Messages go through the prompt seam.

#include <functional>

#include "client/core/StartUp.h"
#include "foundation/String.h"

class wxWindow;

// Tells the user when the swap refused a new updater; nothing otherwise.
void TellUpdaterSwap(const SUpdaterSwap& swap, wxWindow* parent);

// Starts the updater on a package without waiting (StartUpdater); false
// with the reason in error.
using UpdaterStarter = std::function<bool(const Zorlin::CString& package, Zorlin::CString& error)>;

enum class EUnfinishedUpdate {
    kNone,           // the last update finished, or there was none
    kLater,          // the user said no: asked again at the next start
    kPackageGone,    // told; with nothing to run again the mark goes
    kNotStarted,     // the updater could not be started: told
    kUpdaterStarted, // the client must end now, so the updater can work
};

// Looks for the mark of an update that did not finish (see UpdateMark.h).
// When there is one: removes the temporaries killed writers left, tells the
// user and offers to run the update again from its package; Yes starts the
// updater with start.
EUnfinishedUpdate OfferUnfinishedUpdate(const Zorlin::CString& programFolder, wxWindow* parent,
                                        const UpdaterStarter& start);
