#include "client/view/HtmlPopup.h"

#include "client/core/AppServices.h"
#include "client/dialogs/LinkHandler.h"
#include "foundation/Config.h"

using namespace Zorlin;

wxBEGIN_EVENT_TABLE(CHtmlPopup, CHtmlMessageBox)
    EVT_CLOSE(CHtmlPopup::OnClose)
    EVT_TIMER(CHtmlPopup::kTimerId, CHtmlPopup::OnTimer)
wxEND_EVENT_TABLE()

CHtmlPopup::CHtmlPopup(wxWindow* parent, const CString& title, const CString& page,
                       const CHtmlVariables* variables)
    : CHtmlMessageBox(parent, title, true), m_ownerList(nullptr)
{
    CAppServices& app = GetAppServices();
    CString path = GetHtmlFolder(GetLanguage(app.GetUserSettings())) + "game/" + page + ".htm";
    CHtmlText text;
    LoadTemplate(app.GetProgramDrive(), path.GetText(), text);
    if (variables)
        text.ExpandVariables(*variables, true);
    SetSize(380, 240);
    SetHtml(text);
    Centre(wxBOTH);
    m_closeTimer.SetOwner(this, kTimerId);
}

CHtmlPopup::~CHtmlPopup()
{
    m_closeTimer.Stop();
    LeaveOwnerList();
}

void CHtmlPopup::LeaveOwnerList()
{
    if (!m_ownerList)
        return;
    for (COwnerList::SNode* node = m_ownerList->GetHead(); node; node = node->next) {
        if (node->value == this) {
            m_ownerList->DeleteNode(node);
            break;
        }
    }
    m_ownerList = nullptr;
}

void CHtmlPopup::SetCloseTimer(int seconds)
{
    m_closeTimer.StartOnce(seconds * 1000);
}

void CHtmlPopup::Dismiss()
{
    if (m_closeLink.IsEmpty())
        Close(true);
    else
        OnLink(m_closeLink);
}

void CHtmlPopup::OnLink(const CString& link)
{
    if (!m_linkHandler)
        return;
    m_closeTimer.Stop();
    if (m_linkHandler->HandleLink(link))
        Close(true);
}

void CHtmlPopup::OnClose(wxCloseEvent& event)
{
    if (event.CanVeto() && !m_closeLink.IsEmpty()) {
        // The handler's answer decides; a handled link comes back here unvetoable.
        event.Veto();
        OnLink(m_closeLink);
        return;
    }
    Hide();
    LeaveOwnerList();
    Destroy();
}

void CHtmlPopup::OnTimer(wxTimerEvent&)
{
    if (m_timeoutLink.IsEmpty()) {
        Hide();
        LeaveOwnerList();
        Destroy();
    } else
        OnLink(m_timeoutLink);
}
