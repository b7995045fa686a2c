#pragma once

// Shown when a game ends: a result page and three options that OK carries
// out (remove the saved game, keep it as PGN in "played games", count the
// result). Everything it needs of the game is copied when it opens, so it
// acts on the game it was opened for even when another game has replaced
// that one by the time OK is pressed. Modeless; it destroys itself.

#include <wx/colour.h>
#include <wx/dialog.h>

#include "foundation/String.h"

class CGame;
class wxHtmlWindow;

class CGameOverDialog : public wxDialog {
public:
    // result: 1 the user won, 0 drawn, -1 lost. page: a page of the HTML
    // language folder without ".htm", or null for none.
    CGameOverDialog(CGame& game, int result, wxWindow* parent, int id, const char* page);

    // The page as shown: the template's text in the dialog's colours.
    static Zorlin::CString MakeResultPage(const Zorlin::CString& body, const wxColour& background,
                                          const wxColour& text);

private:
    void LoadPage(const char* page);
    void OnOK(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    int m_result;
    Zorlin::CString m_savedPath;
    Zorlin::CString m_pgn;
    Zorlin::CString m_pgnName;
    wxHtmlWindow* m_html;

    wxDECLARE_EVENT_TABLE();
};
