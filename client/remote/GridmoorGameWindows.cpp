#include "client/remote/GridmoorGameWindows.h"

#include <vector>

#include <wx/time.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/MediaSet.h"
#include "client/core/VoicePlayer.h"
#include "client/remote/SendChallengeDialog.h"
#include "client/view/ChatWindow.h"
#include "client/view/ChessWindow.h"
#include "foundation/Drive.h"
#include "foundation/File.h"

using Zorlin::CAssocArray;
using Zorlin::CString;

namespace {

const int kMessageSeconds = 10;

CChessFrame* Frame()
{
    return dynamic_cast<CChessFrame*>(GetAppServices().GetFrameView());
}

CChessWindow* Canvas()
{
    CFrameView* frame = GetAppServices().GetFrameView();
    return frame ? dynamic_cast<CChessWindow*>(frame->GetChessView()) : nullptr;
}

} // namespace

CGridmoorGameWindows::CGridmoorGameWindows() = default;

CGridmoorGameWindows::~CGridmoorGameWindows()
{
    CloseAll();
}

void CGridmoorGameWindows::CloseList(CHtmlPopup::COwnerList& list, bool follow)
{
    // Closing makes a popup leave the list, and a followed link may open or
    // close others: work from a copy.
    std::vector<CHtmlPopup*> popups;
    for (CHtmlPopup::COwnerList::SNode* node = list.GetHead(); node; node = node->next)
        popups.push_back(node->value);
    for (CHtmlPopup* popup : popups) {
        bool stillThere = false;
        for (CHtmlPopup::COwnerList::SNode* node = list.GetHead(); node; node = node->next)
            stillThere = stillThere || node->value == popup;
        if (!stillThere)
            continue;
        if (follow) {
            popup->Dismiss();
            continue;
        }
        popup->SetLinkHandler(nullptr);
        popup->m_closeLink = "";
        popup->m_timeoutLink = "";
        popup->Close(true);
    }
}

void CGridmoorGameWindows::ShowMessage(const CString& title, const CString& html)
{
    CHtmlVariables variables;
    variables["message"] = html;
    CHtmlPopup* popup = new CHtmlPopup(nullptr, title, "message", &variables);
    popup->m_ownerList = &m_others;
    m_others.Add(popup);
    popup->SetCloseTimer(kMessageSeconds);
    popup->Show();
}

void CGridmoorGameWindows::OpenRequest(ERequest kind, const CString& page, const CString& title,
                                       const CString& closeLink, const CAssocArray<CString>& variables,
                                       CLinkHandler* handler)
{
    CloseList(m_requests[kind], false);
    CHtmlPopup* popup = new CHtmlPopup(nullptr, title, page, &variables);
    popup->SetLinkHandler(handler);
    popup->m_closeLink = closeLink;
    popup->m_ownerList = &m_requests[kind];
    m_requests[kind].Add(popup);
    popup->Show();
}

bool CGridmoorGameWindows::IsRequestOpen(ERequest kind)
{
    return m_requests[kind].GetHead() != nullptr;
}

void CGridmoorGameWindows::ForgetRequest(ERequest)
{
    // A popup leaves its list as it closes; nothing else points at it.
}

void CGridmoorGameWindows::CloseRequests()
{
    for (CHtmlPopup::COwnerList& list : m_requests)
        CloseList(list, false);
}

void CGridmoorGameWindows::DismissAll()
{
    for (CHtmlPopup::COwnerList& list : m_requests)
        CloseList(list, true);
    CloseList(m_others, true);
    CloseList(m_options, true);
}

void CGridmoorGameWindows::CloseAll()
{
    for (CHtmlPopup::COwnerList& list : m_requests)
        CloseList(list, false);
    CloseList(m_others, false);
    CloseList(m_options, false);
}

void CGridmoorGameWindows::ShowWrongProtocol()
{
    CAppServices& app = GetAppServices();
    CString path = GetHtmlFolder(GetLanguage(app.GetUserSettings())) + "wrongprotocol.htm";
    CHtmlText page;
    LoadTemplate(app.GetProgramDrive(), path.GetText(), page);
    app.ShowHtmlMessage("Wrong Protocol", page);
}

void CGridmoorGameWindows::ShowGameOverOptions(CLinkHandler* handler, bool withOpponent)
{
    CloseList(m_options, false);
    CHtmlVariables variables;
    variables["propose"] = withOpponent ? "<a href=\"propose\">Propose another game</a> to the same opponent<br>" : "";
    CHtmlPopup* popup = new CHtmlPopup(nullptr, "Gridmoor Options", "gameover", &variables);
    popup->SetLinkHandler(handler);
    popup->m_ownerList = &m_options;
    m_options.Add(popup);
    // Beside the board, where the Game Over window (centred on the frame) is not.
    CChessFrame* frame = Frame();
    if (frame && frame->IsShown())
        popup->ShowBeside(frame->GetScreenRect());
    else
        popup->Show();
}

void CGridmoorGameWindows::PlaySound(ESound sound)
{
    CChessApp* app = GetChessApp();
    if (!app)
        return;
    app->LoadMedia();
    CMediaSet* media = app->GetMediaSet();
    if (!media)
        return;
    static const CMediaSet::EEffect effects[] = { CMediaSet::kPopup, CMediaSet::kGong, CMediaSet::kTikTok };
    media->PlayEffect(effects[sound]);
}

void CGridmoorGameWindows::Say(const char* phrase)
{
    CChessApp* app = GetChessApp();
    CVoicePlayer* voice = app ? app->GetVoice(WHITE) : nullptr;
    if (voice && phrase && *phrase)
        voice->Say(phrase);
}

void CGridmoorGameWindows::ChatNotice(const CString& text)
{
    if (CChessFrame* frame = Frame())
        if (CChatWindow* chat = frame->GetChatWindow())
            chat->AddNotice(text);
}

void CGridmoorGameWindows::ChatLine(const CString& name, const CString& text)
{
    CChessFrame* frame = Frame();
    if (!frame)
        return;
    frame->ShowChat();
    if (CChatWindow* chat = frame->GetChatWindow())
        chat->AddMessage(name, text);
}

void CGridmoorGameWindows::CancelDrag()
{
    if (CChessWindow* canvas = Canvas())
        canvas->CancelDrag();
}

void CGridmoorGameWindows::SetBoardInactive(bool inactive)
{
    if (CChessWindow* canvas = Canvas())
        canvas->SetInactive(inactive);
}

void CGridmoorGameWindows::ShowGameEnd(int outcome)
{
    if (CChessWindow* canvas = Canvas())
        canvas->GameOver(outcome, 0);
}

void CGridmoorGameWindows::Refresh()
{
    CFrameView* frame = GetAppServices().GetFrameView();
    if (!frame)
        return;
    if (CChessView* view = frame->GetChessView()) {
        view->SyncScene();
        view->UpdateStatus();
    }
    frame->RefreshFromGame();
}

void CGridmoorGameWindows::ShowNewGame()
{
    // What next after the last game is answered: a new one has begun.
    CloseList(m_options, false);
    if (CChessWindow* canvas = Canvas())
        canvas->ResetView(nullptr, false, true);
}

double CGridmoorGameWindows::Now()
{
    return double(wxGetLocalTimeMillis().GetValue()) / 1000.0;
}

void CGridmoorGameWindows::RunCommand(const char* command)
{
    // Later, from the event loop: the command may replace the game whose
    // popup link asked for it.
    if (CChessFrame* frame = Frame()) {
        CString name(command);
        frame->CallAfter([frame, name]() { frame->ExecuteCommand(name); });
    }
}

int CGridmoorGameWindows::AskChallenge(bool timed, int minutes)
{
    CFrameView* frame = GetAppServices().GetFrameView();
    CSendChallengeDialog dialog(frame ? frame->GetWindow() : nullptr);
    dialog.SetValues(timed, minutes);
    if (dialog.ShowModal() != 1)
        return -1;
    return dialog.GetMinutes();
}
