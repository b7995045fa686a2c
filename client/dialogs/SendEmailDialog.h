#pragma once

// The turn window of a game by e-mail: the opponent's message and the
// user's reply, the move to send, a draw offer or a resignation, and Send,
// which writes the turn file and mails or saves it. It belongs to the
// e-mail player that stands for the opponent and lives as long as it, or,
// should the player go while a send yields or asks, until the send returns.

#include <wx/dialog.h>
#include <wx/timer.h>

#include "client/core/HeldWindow.h"
#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

class CEmailPlayer;

class CSendEmailDialog : public CHeldWindow<wxDialog> {
public:
    explicit CSendEmailDialog(CEmailPlayer* owner, const Zorlin::CString& opponentMessage = "");

    void SetSendProfile(bool send);
    void SetResign(bool resign);
    void SetOfferDraw(bool offer);
    void SetOpponentMessage(const Zorlin::CString& message) { m_opponentMessage = message; }
    void SetMove(const Zorlin::CString& move);
    Zorlin::CString GetMove() const;
    void SetAddressing(int moveNumber, const Zorlin::CString& address, const Zorlin::CString& subject);
    void ShowReply(bool reply);
    void StartRestoreTimer(int ms);
    void Restore();
    bool WriteTurnFile(Zorlin::CFile& host);

    bool IsSent() const { return m_sent; }
    bool IsSending() const { return m_sending; }
    bool IsOfferDrawTicked() const;
    bool IsResignTicked() const;
    // The player is going: the window no longer reaches it.
    void Detach() { m_owner = nullptr; }

    // The name of the turn file for the game as it stands.
    Zorlin::CString MakeFileName() const;

private:
    void InitPages();
    void CaptureReply();
    void ShowMessagePage();
    void ShowReplyPage();
    // Writes the turn file to attach.tmp of the user's folder.
    bool WriteAttachment(Zorlin::CString& diskPath);
    bool SaveTurn();
    void KeepSentRecord();
    void MailTurn();

    void OnSend(wxCommandEvent& event);
    void OnQuote(wxCommandEvent& event);
    void OnMessageSelected(wxCommandEvent& event);
    void OnReplySelected(wxCommandEvent& event);
    void OnOfferDrawClicked(wxCommandEvent& event);
    void OnResignClicked(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnRestoreTimer(wxTimerEvent& event);

    CEmailPlayer* m_owner;
    Zorlin::CString m_opponentMessage;
    Zorlin::CString m_savedReply;
    Zorlin::CString m_replyToSend;
    long m_replyCaret;
    bool m_replyShown;
    bool m_sent;
    bool m_sending;
    wxTimer m_restoreTimer;

    wxDECLARE_EVENT_TABLE();
};
