#pragma once

// The windows, sounds and board effects of an online game, kept behind one
// interface so the game's rules run without a display. Texts given here
// are HTML in which remote text is already escaped.

#include "foundation/AssocArray.h"
#include "foundation/String.h"

class CLinkHandler;

class CGridmoorGameUi {
public:
    enum ERequest { kNewGame, kTakeback, kDraw, kReset, kRequestCount };
    enum ESound { kPopupSound, kGongSound, kTickSound };

    virtual ~CGridmoorGameUi() = default;

    // The message popup: the page "message", closing itself after 10 s.
    virtual void ShowMessage(const Zorlin::CString& title, const Zorlin::CString& html) = 0;
    // A request popup of kind on page, following closeLink when closed; one
    // per kind, an older one of the kind closed first.
    virtual void OpenRequest(ERequest kind, const Zorlin::CString& page, const Zorlin::CString& title,
                             const Zorlin::CString& closeLink, const Zorlin::CAssocArray<Zorlin::CString>& variables,
                             CLinkHandler* handler) = 0;
    virtual bool IsRequestOpen(ERequest kind) = 0;
    // Closes the request popups without following their links.
    virtual void CloseRequests() = 0;
    // Dismisses every open popup, following the close links.
    virtual void DismissAll() = 0;
    // Closes every popup without following any link (the game is going).
    virtual void CloseAll() = 0;
    // The "Wrong Protocol" window.
    virtual void ShowWrongProtocol() = 0;
    // The "gameover" options popup, without close timer, one at a time;
    // withOpponent offers another game against the same opponent.
    virtual void ShowGameOverOptions(CLinkHandler* handler, bool withOpponent) = 0;
    // Forgets a popup that is closing by itself.
    virtual void ForgetRequest(ERequest kind) = 0;

    virtual void PlaySound(ESound sound) = 0;
    virtual void Say(const char* phrase) = 0;
    virtual void ChatNotice(const Zorlin::CString& text) = 0;
    virtual void ChatLine(const Zorlin::CString& name, const Zorlin::CString& text) = 0;

    virtual void CancelDrag() = 0;
    virtual void SetBoardInactive(bool inactive) = 0;
    // The board shows the end of the game (result already set); outcome as
    // the board canvas's GameOver takes it.
    virtual void ShowGameEnd(int outcome) = 0;
    // The board and panels rebuilt from the game (after a take-back or a new game).
    virtual void Refresh() = 0;
    // The board starts over for a new game: turned for the local side's colour.
    virtual void ShowNewGame() = 0;
    // The board canvas's clock, in seconds.
    virtual double Now() = 0;
    // Runs a frame command by name ("GAME_ONLINE").
    virtual void RunCommand(const char* command) = 0;
    // The Send Challenge dialog: minutes (0 untimed), or -1 when cancelled.
    virtual int AskChallenge(bool timed, int minutes) = 0;
};
