#pragma once

// "Your Opponents": the stored opponents, their details, notes and picture.
// Edits are written to the opponent's file when another is chosen or on OK.

#include <wx/dialog.h>

class COpponentList;
class wxListBox;
class wxStaticBitmap;

class COpponentsDialog : public wxDialog {
public:
    explicit COpponentsDialog(wxWindow* parent);

    void Refresh();
    void ShowOpponent(int number);
    void Store(int number);

    // Fills list with the stored opponents' names, each entry carrying its
    // opponent's number; the other dialogs that pick an opponent use it too.
    static void FillList(wxListBox* list, COpponentList& opponents);
    // The number carried by the list's selected entry, -1 when none.
    static int SelectedNumber(wxListBox* list);

private:
    void OnSelect(wxCommandEvent& event);
    void OnRemove(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    int m_shown;
    wxStaticBitmap* m_photo;

    wxDECLARE_EVENT_TABLE();
};
