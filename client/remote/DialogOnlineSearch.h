#pragma once

// "Find An Opponent Online": connects and logs in through the online
// session, searches, and once matched exchanges profiles, agrees colours
// and clock with the other client and hands the agreed game over. The
// modal result is 1 when an online game was started.

#include <map>
#include <memory>
#include <string>

#include <wx/dialog.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>

#include "client/remote/OnlineSearchProtocol.h"
#include "foundation/Buffer.h"
#include "foundation/Config.h"
#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

class CGlobe;
class CGridmoorSession;
class CPacketHeader;
class CSearchListener;
class wxHtmlWindow;

class CDialogOnlineSearch : public wxDialog {
public:
    enum { kSearchTimer = 1, kBeginTimer = 2, kTimeoutTimer = 3 };
    static const int kSearchSeconds = 60;
    static const int kBeginSeconds = 10;

    CDialogOnlineSearch(wxWindow* parent, int id, CGridmoorSession* session);
    ~CDialogOnlineSearch() override;

    void Begin();
    void EnableButtons(bool on);

    // The session listener's two slots.
    void OnSessionState(int state);
    bool OnPacket(const CPacketHeader& header, Zorlin::CFile& body);

    // The session has deleted the dialog's listener (a game replaced it).
    void OnListenerGone();

    // A link of the page, by its target.
    void OnLinkClicked(const Zorlin::CString& target);
    // The picture the page shows as the opponent's, as the disk names it.
    const Zorlin::CString& GetOpponentPicturePath() const { return m_picturePath; }

private:
    void StartSearch();
    void SendSearch();
    void CancelSearch();
    void ClearMatch();
    void ShowPage(const char* name);
    void ShowOpponent(bool begin);
    void WriteOpponentPicture();
    const Zorlin::CString& GetPage(const char* name);
    void SetStatus(const wxString& text);
    void Beep();
    void RestartTimeout(int ms);

    void OnSearchMatch(const CPacketHeader& header, Zorlin::CFile& body);
    void OnSearching();
    void OnConnectInvite(const CPacketHeader& header);
    void OnConnectFailed();
    void OnOpponentLeft();
    void OnForward(const CPacketHeader& header, Zorlin::CFile& body);
    void OnOpponentProfile(Zorlin::CFile& body);
    // Asks before the opponent joins the stored ones; false when the match
    // ended while the user was asked.
    bool AskToStore();
    void OnGameProposal(Zorlin::CFile& body);
    void SendProfileAndProposal();
    void SendBeginGame();
    void StartGame();

    void OnSearchTick(wxTimerEvent& event);
    void OnBeginTick(wxTimerEvent& event);
    void OnTimeout(wxTimerEvent& event);
    void OnFind(wxCommandEvent& event);
    void OnHelp(wxCommandEvent& event);
    void OnCloseButton(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnInitDialog(wxInitDialogEvent& event);

    CGridmoorSession* m_session;
    CSearchListener* m_listener; // owned by the session; null once it deleted it
    CGlobe* m_globe;
    wxHtmlWindow* m_view;

    // The match.
    uint32_t m_peer;
    bool m_first;
    SMatchTerms m_terms;
    bool m_begunSent;
    bool m_begunReceived;
    bool m_profileReceived = false; // the matched peer's profile has come
    Zorlin::CConfig m_opponentProfile;
    Zorlin::CBuffer m_opponentPicture;
    Zorlin::CString m_picturePath;

    bool m_searchPending;
    bool m_connectedAtOpen;
    bool m_closing;
    bool m_everConnected;
    std::map<std::string, Zorlin::CString> m_pages;
    wxTimer m_searchTimer;
    wxTimer m_beginTimer;
    wxTimer m_timeoutTimer;
    wxStopWatch m_searchWatch;
    wxStopWatch m_beginWatch;

    wxDECLARE_EVENT_TABLE();
};
