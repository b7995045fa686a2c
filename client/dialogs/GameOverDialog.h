#pragma once

// Shown when a game ends: how it ended, a result page and three options
// (remove the client's saved copy, keep it as PGN in "played games", count
// the result). Everything it needs of the game is copied when it opens, so
// it acts on the game it was opened for even when another game has
// replaced that one. The ticked options are carried out once, however the
// window goes: OK, Escape, its close box, a new game, or the program's
// end. Modeless; it destroys itself.

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
    ~CGameOverDialog() override;

    // Carries out the ticked options of every Game Over window still open
    // (the program is ending); the windows go with their parent.
    static void FinishAll();

    // The page as shown: the template's text in the dialog's colours.
    static Zorlin::CString MakeResultPage(const Zorlin::CString& body, const wxColour& background,
                                          const wxColour& text);

    // What the user is told when the game could not be written as PGN.
    static Zorlin::CString LostGameText(const Zorlin::CString& players, const Zorlin::CString& error,
                                        bool savedGameKept);

private:
    void LoadPage(const char* page);
    void OnOK(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    // The ticked options, once; the side panel is told when refreshViews.
    void CarryOut(bool refreshViews);

    int m_result;
    Zorlin::CString m_savedPath;
    Zorlin::CString m_pgn;
    Zorlin::CString m_pgnName;
    Zorlin::CString m_players; // "White vs Black" as typed
    Zorlin::CString m_endText;
    bool m_done;
    wxHtmlWindow* m_html;

    wxDECLARE_EVENT_TABLE();
};
