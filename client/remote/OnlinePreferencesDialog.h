#pragma once

// The user's settings for online play: the country shown to others, the
// own experience level and what is shared with opponents.

#include <wx/dialog.h>

#include "foundation/Array.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

class COnlinePreferencesDialog : public wxDialog {
public:
    explicit COnlinePreferencesDialog(wxWindow* parent);

    // "No comment" and the lines of "assets/txt/countries.txt", in order.
    static void ReadCountries(Zorlin::CDrive& programDrive, Zorlin::CArray<Zorlin::CString>& out);

private:
    void OnOK(wxCommandEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxDECLARE_EVENT_TABLE();
};
