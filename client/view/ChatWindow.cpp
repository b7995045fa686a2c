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
    m_batchQueued = false;
    m_sounds = 0;
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

void CChatWindow::ScrollToEnd()
{
    m_transcript->ShowPosition(m_transcript->GetLastPosition());
}

void CChatWindow::AddMessage(const CString& name, const CString& text)
{
    m_lines.Add(CChatTranscript::kMessage, name, text);
    if (!m_batchQueued) {
        m_batchQueued = true;
        CallAfter(&CChatWindow::ShowBatch);
    }
}

void CChatWindow::AddNotice(const CString& text)
{
    m_lines.Add(CChatTranscript::kNotice, CString(), text);
    if (!m_batchQueued) {
        m_batchQueued = true;
        CallAfter(&CChatWindow::ShowBatch);
    }
}

void CChatWindow::AppendLine(const CChatTranscript::SLine& line)
{
    const wxString name = ToWx(line.name), text = ToWx(line.text);
    long length = 0;
    if (!m_firstLine) {
        m_transcript->AppendText("\n");
        length = 1;
    }
    m_firstLine = false;
    if (line.kind == CChatTranscript::kMessage) {
        m_transcript->SetDefaultStyle(NameStyle());
        m_transcript->AppendText(name + ": ");
        m_transcript->SetDefaultStyle(SpokenStyle());
        length += long(name.length()) + 2;
    } else {
        m_transcript->SetDefaultStyle(NoticeStyle());
    }
    m_transcript->AppendText(text);
    m_shownLengths.push_back(length + long(text.length()));
}

void CChatWindow::Rebuild()
{
    m_transcript->Clear();
    m_shownLengths.clear();
    m_firstLine = true;
    for (int i = 0; i < m_lines.GetCount(); ++i)
        AppendLine(m_lines.GetLine(i));
}

void CChatWindow::ShowBatch()
{
    m_batchQueued = false;
    if (!m_lines.HasBatch())
        return;
    if (!m_transcript) {
        m_lines.MarkShown();
        return;
    }
    // Frozen, the toolkit lays the text out once for the whole batch.
    m_transcript->Freeze();
    ShowLines();
    m_transcript->Thaw();
    ScrollToEnd();
    const bool sound = m_lines.BatchHasMessage();
    m_lines.MarkShown();
    if (sound)
        PlayChatSound();
}

void CChatWindow::ShowLines()
{
    // The dropped lines leave the top; the line that is first now loses the
    // line break before it.
    long removed = 0;
    const int dropped = m_lines.GetDroppedShown();
    for (int i = 0; i < dropped && !m_shownLengths.empty(); ++i) {
        removed += m_shownLengths.front();
        m_shownLengths.pop_front();
    }
    bool rebuild = dropped > 0 && m_shownLengths.empty();
    if (!rebuild && !m_shownLengths.empty() && dropped > 0) {
        removed += 1;
        m_shownLengths.front() -= 1;
    }
    if (!rebuild && removed > 0)
        m_transcript->Remove(0, removed);
    long expected = 0;
    for (long length : m_shownLengths)
        expected += length;
    // Should the window's count of characters differ from ours, it is
    // rebuilt from the transcript rather than cut at the wrong place.
    if (rebuild || m_transcript->GetLastPosition() != expected) {
        Rebuild();
    } else {
        for (int i = m_lines.GetFirstWaiting(); i < m_lines.GetCount(); ++i)
            AppendLine(m_lines.GetLine(i));
    }
}

void CChatWindow::PlayChatSound()
{
    ++m_sounds;
    if (CChessApp* app = GetChessApp()) {
        app->LoadMedia();
        if (CMediaSet* media = app->GetMediaSet())
            media->PlayEffect(CMediaSet::kChat);
    }
}

void CChatWindow::Clear()
{
    m_lines.Clear();
    m_shownLengths.clear();
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
