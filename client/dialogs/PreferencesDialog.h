#pragma once

// The "Preferences" notebook (Voice, Board, Music, Browser, Updates,
// Performance). It reads the user settings when it opens; some controls act
// at once (board preview, music, the side panel, update checks); OK writes
// everything back and saves user.cfg, Cancel undoes the previews.

#include <wx/dialog.h>

#include "foundation/String.h"

class wxScrollEvent;

class CPreferencesDialog : public wxDialog {
public:
    explicit CPreferencesDialog(wxWindow* parent);

    void Load();
    void Save();
    void SaveBrowserPage();
    // Shows a board's description and, with apply, puts the board on the
    // canvas; a board that cannot be read brings the one shown before back.
    bool ShowBoard(const Zorlin::CString& name, bool apply, bool isRetry = false);

    const Zorlin::CString& GetShownBoard() const { return m_shownBoard; }
    bool GetVoicesChanged() const { return m_voicesChanged; }

private:
    Zorlin::CString GetSelectedBoard() const;
    void ApplyMusic(bool on);
    void ChangeVoice(int textId);
    void UndoPreviews();

    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnBoardSelected(wxCommandEvent& event);
    void OnHideLinks(wxCommandEvent& event);
    void OnChangeWhiteVoice(wxCommandEvent& event);
    void OnChangeBlackVoice(wxCommandEvent& event);
    void OnApplyBrowser(wxCommandEvent& event);
    void OnCheckNow(wxCommandEvent& event);
    void OnUpdateNow(wxCommandEvent& event);
    void OnMusic(wxCommandEvent& event);
    void OnVolume(wxScrollEvent& event);

    bool m_voicesChanged;
    Zorlin::CString m_shownBoard;
    int m_savedBoardIndex;
    bool m_musicWasOn;
    int m_volumeWas;

    wxDECLARE_EVENT_TABLE();
};
