#pragma once

// The windows that start a network game: hosting, joining and choosing
// whom to invite. They only drive a CNetworkGame until it has begun.

#include <wx/dialog.h>
#include <wx/timer.h>

#include "client/remote/NetworkGame.h"
#include "foundation/String.h"

class CStartNetworkGameDialog : public wxDialog, public INetworkGameListener {
public:
    static const int kGaugeTimerId = 9996;

    explicit CStartNetworkGameDialog(wxWindow* parent);
    ~CStartNetworkGameDialog() override;

    void OnNetworkState(int state) override;
    void AddStatusLine(const Zorlin::CString& text) override;

private:
    void OnStart(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnVoices(wxCommandEvent& event);
    void OnEmailInvite(wxCommandEvent& event);
    void OnGaugeTimer(wxTimerEvent& event);
    void Leave();

    CNetworkGame* m_game;
    bool m_running;
    int m_port;
    wxTimer m_gaugeTimer;

    wxDECLARE_EVENT_TABLE();
};

class CJoinNetworkGameDialog : public wxDialog, public INetworkGameListener {
public:
    explicit CJoinNetworkGameDialog(wxWindow* parent);
    ~CJoinNetworkGameDialog() override;

    void SetAddress(const Zorlin::CString& address);

    void OnNetworkState(int state) override;
    void AddStatusLine(const Zorlin::CString& text) override;

private:
    void OnOpponent(wxCommandEvent& event);
    void OnJoin(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnVoices(wxCommandEvent& event);
    void Leave();
    void JoinFailed(const char* text);

    CNetworkGame* m_game;

    wxDECLARE_EVENT_TABLE();
};

class CEmailInvitationDialog : public wxDialog {
public:
    // address receives the chosen address; it is left alone on Cancel.
    CEmailInvitationDialog(wxWindow* parent, Zorlin::CString& address);

private:
    void OnSend(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnOpponent(wxCommandEvent& event);

    Zorlin::CString& m_address;

    wxDECLARE_EVENT_TABLE();
};

// Mails an invitation to join this machine's game (after asking whom),
// offering to save the invitation file when it cannot be sent.
void SendNetworkInvitation(wxWindow* parent);
