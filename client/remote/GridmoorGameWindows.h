#pragma once

#include "client/remote/GridmoorGameUi.h"
#include "client/view/HtmlPopup.h"

// The online game's windows: popups of the service's "game/" pages, the
// board canvas, the chat pane and the sounds. Every popup sits in the list
// of its kind and leaves it when it closes, so no pointer to a closed popup
// is ever kept.
class CGridmoorGameWindows : public CGridmoorGameUi {
public:
    CGridmoorGameWindows();
    ~CGridmoorGameWindows() override;

    void ShowMessage(const Zorlin::CString& title, const Zorlin::CString& html) override;
    void OpenRequest(ERequest kind, const Zorlin::CString& page, const Zorlin::CString& title,
                     const Zorlin::CString& closeLink, const Zorlin::CAssocArray<Zorlin::CString>& variables,
                     CLinkHandler* handler) override;
    bool IsRequestOpen(ERequest kind) override;
    void CloseRequests() override;
    void DismissAll() override;
    void CloseAll() override;
    void ShowWrongProtocol() override;
    void ShowGameOverOptions(CLinkHandler* handler, bool withOpponent) override;
    void ForgetRequest(ERequest kind) override;

    void PlaySound(ESound sound) override;
    void Say(const char* phrase) override;
    void ChatNotice(const Zorlin::CString& text) override;
    void ChatLine(const Zorlin::CString& name, const Zorlin::CString& text) override;

    void CancelDrag() override;
    void SetBoardInactive(bool inactive) override;
    void ShowGameEnd(int outcome) override;
    void Refresh() override;
    void ShowNewGame() override;
    double Now() override;
    void RunCommand(const char* command) override;
    int AskChallenge(bool timed, int minutes) override;

private:
    // Closes the popups of a list; with follow, through their close links.
    static void CloseList(CHtmlPopup::COwnerList& list, bool follow);

    CHtmlPopup::COwnerList m_requests[kRequestCount];
    CHtmlPopup::COwnerList m_others;
    CHtmlPopup::COwnerList m_options; // the "gameover" options, at most one
};
