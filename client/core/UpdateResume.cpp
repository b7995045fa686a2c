#include "client/core/UpdateResume.h"

#include <wx/defs.h>

#include "client/core/Prompt.h"

using Zorlin::CString;

namespace {

const char* const kCaption = "Update";

} // namespace

void TellUpdaterSwap(const SUpdaterSwap& swap, wxWindow* parent)
{
    if (swap.result != EUpdaterSwap::kRefused)
        return;
    GetPrompt().ShowMessage(CString("The updater that came with the last update can not run on this computer, "
                                    "so Rookwell keeps the updater it had.\n\n") +
                                swap.reason,
                            kCaption, wxOK | wxICON_WARNING, parent);
}
