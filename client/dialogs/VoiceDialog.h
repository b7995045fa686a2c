#pragma once

// Chooses the spoken voice of one side among the packs of "/voices/", with
// each pack's description and a test that speaks words of the user's choice.
// After OK the caller's string holds the chosen pack; otherwise it is left.

#include <wx/dialog.h>

#include "foundation/AutoPointer.h"
#include "foundation/String.h"

class CVoicePlayer;

class CSelectVoiceDialog : public wxDialog {
public:
    CSelectVoiceDialog(wxWindow* parent, int id, Zorlin::CString* result);
    ~CSelectVoiceDialog() override;

    const Zorlin::CString& GetTestText() const { return m_testText; }

private:
    void FillList();
    void ShowAbout(const Zorlin::CString& name);
    Zorlin::CString GetSelectedName() const;

    void OnSelect(wxCommandEvent& event);
    void OnTest(wxCommandEvent& event);
    void OnGetMore(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    Zorlin::CString m_testText;
    Zorlin::CString* m_result;
    Zorlin::CAutoPointer<CVoicePlayer> m_tester;

    wxDECLARE_EVENT_TABLE();
};
