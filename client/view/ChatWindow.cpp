#include "client/view/ChatWindow.h"

#include <wx/button.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/MediaSet.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogLayouts.h"
#include "foundation/Config.h"

using Zorlin::CString;

namespace {

const int kPointSize = 11;

wxFont StyleFont(wxFontWeight weight, wxFontStyle style)
{
    return wxFont(kPointSize, wxFONTFAMILY_SWISS, style, weight, false);
}

wxTextAttr NameStyle()
{
    return wxTextAttr(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT), wxNullColour,
                      StyleFont(wxFONTWEIGHT_BOLD, wxFONTSTYLE_NORMAL));
}

wxTextAttr SpokenStyle()
{
    return wxTextAttr(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT), wxNullColour,
                      StyleFont(wxFONTWEIGHT_NORMAL, wxFONTSTYLE_NORMAL));
}

wxTextAttr NoticeStyle()
{
    return wxTextAttr(wxColour(255, 0, 0), wxNullColour, StyleFont(wxFONTWEIGHT_NORMAL, wxFONTSTYLE_ITALIC));
}

CGame* CurrentGame()
{
    CFrameView* frame = GetAppServices().GetFrameView();
    CChessView* view = frame ? frame->GetChessView() : nullptr;
    return view ? view->GetGame() : nullptr;
}

} // namespace

wxIMPLEMENT_DYNAMIC_CLASS(CChatWindow, wxSashLayoutWindow);

wxBEGIN_EVENT_TABLE(CChatWindow, wxSashLayoutWindow)
    EVT_SIZE(CChatWindow::OnSize)
    EVT_TEXT_ENTER(CChatWindow::kInputId, CChatWindow::OnTextEnter)
    EVT_BUTTON(CChatWindow::kSendId, CChatWindow::OnSendButton)
wxEND_EVENT_TABLE()

CChatWindow::CChatWindow()
{
    Construct();
}

CChatWindow::CChatWindow(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size, long style,
                         const wxString& name)
{
    Construct();
    Create(parent, id, position, size, style, name);
}

void CChatWindow::Construct()
{
    m_firstLine = true;
    m_transcript = nullptr;
    m_input = nullptr;
    m_sent = 0;
}

bool CChatWindow::Create(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size, long style,
                         const wxString& name)
{
    if (!wxSashLayoutWindow::Create(parent, id, position, size, style, name))
        return false;
    m_firstLine = true;
    ChatLayout(this, false, true);
    m_transcript = dynamic_cast<wxTextCtrl*>(FindWindow(kTranscriptId));
    m_input = dynamic_cast<wxTextCtrl*>(FindWindow(kInputId));
    // Return is taken at the input line itself: the Send button is the
    // window's default button, so a Return left to the toolkit would press
    // it as well and send the line a second time.
    if (m_input)
        m_input->Bind(wxEVT_KEY_DOWN, &CChatWindow::OnInputKey, this);
    Show();
    return true;
}

void CChatWindow::OnSize(wxSizeEvent& event)
{
    Layout();
    event.Skip();
}

void CChatWindow::BeginLine()
{
    if (!m_firstLine)
        m_transcript->AppendText("\n");
    m_firstLine = false;
}

void CChatWindow::ScrollToEnd()
{
    m_transcript->ShowPosition(m_transcript->GetLastPosition());
}

void CChatWindow::AddMessage(const CString& name, const CString& text)
{
    if (m_transcript) {
        m_transcript->SetDefaultStyle(NameStyle());
        BeginLine();
        m_transcript->AppendText(ToWx(name) + ": ");
        m_transcript->SetDefaultStyle(SpokenStyle());
        m_transcript->AppendText(ToWx(text));
        ScrollToEnd();
    }
    if (CChessApp* app = GetChessApp()) {
        app->LoadMedia();
        if (CMediaSet* media = app->GetMediaSet())
            media->PlayEffect(CMediaSet::kChat);
    }
}

void CChatWindow::AddNotice(const CString& text)
{
    if (!m_transcript)
        return;
    m_transcript->SetDefaultStyle(NoticeStyle());
    BeginLine();
    m_transcript->AppendText(ToWx(text));
    ScrollToEnd();
}

void CChatWindow::Clear()
{
    if (m_transcript)
        m_transcript->Clear();
    m_firstLine = true;
}

void CChatWindow::SendLine(const CString& name, const CString& text)
{
    AddMessage(name, text);
    ++m_sent;
    if (CGame* game = CurrentGame())
        game->SendChat(name, text);
}

void CChatWindow::Send()
{
    if (!m_input)
        return;
    CString text = FromWx(m_input->GetValue());
    if (text.IsEmpty())
        return;
    // Emptied before the game sees the line, so whatever else the same key
    // press reaches finds nothing left to send.
    m_input->Clear();
    SendLine(GetAppServices().GetUserSettings().GetValueOr("profile.nickname", ""), text);
}

void CChatWindow::OnTextEnter(wxCommandEvent&)
{
    Send();
}

void CChatWindow::OnSendButton(wxCommandEvent&)
{
    Send();
}

void CChatWindow::OnInputKey(wxKeyEvent& event)
{
    int code = event.GetKeyCode();
    if (code == WXK_RETURN || code == WXK_NUMPAD_ENTER) {
        Send();
        return;
    }
    event.Skip();
}

CString CChatWindow::GetTranscriptText() const
{
    return m_transcript ? FromWx(m_transcript->GetValue()) : CString();
}
