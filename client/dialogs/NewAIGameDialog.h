#pragma once

// Starts a game against an installed engine: the engine (its information
// page beside the list), the computer's colour, the time control, an
// optional search depth and pondering. OK puts the new game on the board and
// remembers the choices; a game whose engine does not start changes nothing.

#include <wx/dialog.h>

#include "client/dialogs/AIGameSettings.h"
#include "foundation/Array.h"
#include "foundation/String.h"

class CWebPanel;

class CNewAIGameDialog : public wxDialog {
public:
    explicit CNewAIGameDialog(wxWindow* parent);

    void ShowEngineInfo(const Zorlin::CString& name);
    const Zorlin::CArray<Zorlin::CString>& GetEngineNames() const { return m_engines; }
    // The choices as the controls show them now.
    SAIGameSettings ReadControls() const;

private:
    void FillEngines();
    void LoadSettings();
    void UpdateDepthEnabled();

    void OnEngine(wxCommandEvent& event);
    void OnMoreEngines(wxCommandEvent& event);
    void OnDepth(wxCommandEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnVoices(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    Zorlin::CArray<Zorlin::CString> m_engines;
    CWebPanel* m_info;
    Zorlin::CString m_defaultEngine;

    wxDECLARE_EVENT_TABLE();
};
