#include "client/core/Prompt.h"

#include <wx/app.h>
#include <wx/choicdlg.h>
#include <wx/colordlg.h>
#include <wx/display.h>
#include <wx/filedlg.h>
#include <wx/frame.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>
#include <wx/utils.h>

#include "client/core/FileFilter.h"
#include "client/core/MessageFit.h"
#include "client/core/WxText.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

CWxPrompt& ToolkitPrompt()
{
    static CWxPrompt prompt;
    return prompt;
}

CPrompt* g_prompt = nullptr;

// A question without a window of its own goes over the window the user is
// in, or else the main window; never over a passing picture (a tool window
// such as the title splash), which closes as soon as the question takes the
// focus and would take its question with it.
bool CanOwn(wxWindow* window)
{
    return window && window->IsShown() && !window->IsBeingDeleted() &&
           !(wxTheApp && wxTheApp->IsScheduledForDestruction(window)) &&
           !window->HasFlag(wxFRAME_TOOL_WINDOW);
}

wxWindow* Owner(wxWindow* parent)
{
    if (parent)
        return parent;
    wxWindow* active = wxGetActiveWindow();
    active = active ? wxGetTopLevelParent(active) : nullptr;
    if (CanOwn(active))
        return active;
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    return CanOwn(top) ? top : nullptr;
}

// The text as a box on the screen of owner can show it whole, buttons included.
wxString Fitted(const CString& text, wxWindow* owner)
{
    wxRect area(0, 0, 1024, 768);
    if (wxDisplay::GetCount() > 0) {
        const int index = owner ? wxDisplay::GetFromWindow(owner) : wxNOT_FOUND;
        area = wxDisplay(index == wxNOT_FOUND ? 0u : unsigned(index)).GetClientArea();
    }
    const SMessageTextLimits limits = MessageTextLimits(area.width, area.height);
    return ToWx(FitMessageText(text, limits.columns, limits.lines));
}

// A caption is one line of the title bar.
wxString FittedCaption(const CString& caption, wxWindow* owner)
{
    return Fitted(caption, owner).BeforeFirst('\n');
}

} // namespace

bool CPrompt::AskYesNo(const CString& text, const CString& caption, wxWindow* parent)
{
    return ShowMessage(text, caption, wxYES_NO | wxICON_QUESTION, parent) == wxYES;
}

bool CPrompt::AskColour(const CString&, int&, int&, int&, wxWindow*)
{
    return false;
}

CPrompt& GetPrompt()
{
    return g_prompt ? *g_prompt : ToolkitPrompt();
}

CPrompt* SetPrompt(CPrompt* prompt)
{
    CPrompt* previous = g_prompt;
    g_prompt = prompt;
    return previous;
}

// ------------------------------------------------------------ the toolkit's

int CWxPrompt::ShowMessage(const CString& text, const CString& caption, long style, wxWindow* parent)
{
    wxWindow* owner = Owner(parent);
    return wxMessageBox(Fitted(text, owner), FittedCaption(caption, owner), style, owner);
}

int CWxPrompt::AskChoice(const CString& message, const CString& caption, const CArray<CString>& choices,
                         wxWindow* parent, int width, int height)
{
    wxArrayString items;
    for (int i = 0; i < choices.GetCount(); ++i)
        items.Add(ToWx(*choices.GetAt(i)));
    wxWindow* owner = Owner(parent);
    wxSingleChoiceDialog dialog(owner, Fitted(message, owner), FittedCaption(caption, owner), items);
    if (width > 0 && height > 0)
        dialog.SetSize(width, height);
    if (dialog.ShowModal() != wxID_OK)
        return -1;
    return dialog.GetSelection();
}

bool CWxPrompt::AskText(const CString& message, const CString& caption, CString& text, wxWindow* parent)
{
    wxWindow* owner = Owner(parent);
    wxTextEntryDialog dialog(owner, Fitted(message, owner), FittedCaption(caption, owner), ToWx(text));
    if (dialog.ShowModal() != wxID_OK)
        return false;
    text = FromWx(dialog.GetValue());
    return true;
}

bool CWxPrompt::AskFile(const CString& message, const CString& folder, const CString& file,
                        const CString& wildcard, long style, wxWindow* parent, CString& path)
{
    const CString filter = MakeFileFilter(wildcard);
    wxFileDialog dialog(Owner(parent), ToWx(message), ToWx(folder), ToWx(file),
                        filter.IsEmpty() ? wxString(wxFileSelectorDefaultWildcardStr) : ToWx(filter),
                        style ? style : long(wxFD_DEFAULT_STYLE));
    if (dialog.ShowModal() != wxID_OK)
        return false;
    path = FromWx(dialog.GetPath());
    return true;
}

bool CWxPrompt::AskColour(const CString& caption, int& red, int& green, int& blue, wxWindow* parent)
{
    wxColourData data;
    data.SetColour(wxColour((unsigned char)red, (unsigned char)green, (unsigned char)blue));
    wxColourDialog dialog(Owner(parent), &data);
    dialog.SetTitle(ToWx(caption));
    if (dialog.ShowModal() != wxID_OK)
        return false;
    wxColour chosen = dialog.GetColourData().GetColour();
    red = chosen.Red();
    green = chosen.Green();
    blue = chosen.Blue();
    return true;
}

// ------------------------------------------------------------- scripted

CScriptedPrompt::CScriptedPrompt() = default;

CScriptedPrompt::~CScriptedPrompt()
{
    if (m_installed)
        SetPrompt(m_previous);
}

void CScriptedPrompt::Install()
{
    if (m_installed)
        return;
    m_previous = SetPrompt(this);
    m_installed = true;
}

void CScriptedPrompt::QueueButton(int button)
{
    SAnswer answer;
    answer.code = button;
    m_queue.Add(answer);
}

void CScriptedPrompt::QueueChoice(int index)
{
    SAnswer answer;
    answer.code = index;
    answer.accepted = index >= 0;
    m_queue.Add(answer);
}

void CScriptedPrompt::QueueText(const CString& text, bool accepted)
{
    SAnswer answer;
    answer.code = accepted ? wxID_OK : wxID_CANCEL;
    answer.text = text;
    answer.accepted = accepted;
    m_queue.Add(answer);
}

void CScriptedPrompt::QueueColour(int red, int green, int blue, bool accepted)
{
    SAnswer answer;
    answer.code = ((red & 0xFF) << 16) | ((green & 0xFF) << 8) | (blue & 0xFF);
    answer.accepted = accepted;
    m_queue.Add(answer);
}

int CScriptedPrompt::CountText(const char* text) const
{
    int n = 0;
    for (int i = 0; i < m_asked.GetCount(); ++i)
        if (m_asked.GetAt(i)->text == text)
            ++n;
    return n;
}

void CScriptedPrompt::Clear()
{
    m_asked.RemoveAll();
    m_queue.RemoveAll();
    m_next = 0;
    m_unexpected = 0;
}

CScriptedPrompt::SAnswer CScriptedPrompt::Take(const SQuestion& question, const SAnswer& cautious)
{
    m_asked.Add(question);
    if (m_next < m_queue.GetCount())
        return *m_queue.GetAt(m_next++);
    if (m_responder)
        return m_responder(question);
    ++m_unexpected;
    return cautious;
}

int CScriptedPrompt::ShowMessage(const CString& text, const CString& caption, long style, wxWindow*)
{
    SQuestion question;
    question.kind = kMessage;
    question.text = text;
    question.caption = caption;
    question.style = style;
    SAnswer cautious;
    cautious.code = (style & wxCANCEL) ? wxCANCEL : (style & wxYES_NO) ? wxNO : wxOK;
    return Take(question, cautious).code;
}

int CScriptedPrompt::AskChoice(const CString& message, const CString& caption, const CArray<CString>& choices,
                               wxWindow*, int width, int height)
{
    SQuestion question;
    question.kind = kChoice;
    question.text = message;
    question.caption = caption;
    question.choices = choices;
    question.width = width;
    question.height = height;
    SAnswer cautious;
    cautious.code = -1;
    int index = Take(question, cautious).code;
    return index >= 0 && index < choices.GetCount() ? index : -1;
}

bool CScriptedPrompt::AskText(const CString& message, const CString& caption, CString& text, wxWindow*)
{
    SQuestion question;
    question.kind = kText;
    question.text = message;
    question.caption = caption;
    SAnswer answer = Take(question, SAnswer());
    if (answer.accepted)
        text = answer.text;
    return answer.accepted;
}

bool CScriptedPrompt::AskFile(const CString& message, const CString& folder, const CString& file, const CString&,
                              long style, wxWindow*, CString& path)
{
    SQuestion question;
    question.kind = kFile;
    question.text = message;
    question.style = style;
    question.folder = folder;
    question.file = file;
    SAnswer answer = Take(question, SAnswer());
    if (answer.accepted)
        path = answer.text;
    return answer.accepted;
}

bool CScriptedPrompt::AskColour(const CString& caption, int& red, int& green, int& blue, wxWindow*)
{
    SQuestion question;
    question.kind = kColour;
    question.caption = caption;
    question.text.AppendFormat("%d,%d,%d", red, green, blue);
    SAnswer answer = Take(question, SAnswer());
    if (!answer.accepted)
        return false;
    red = (answer.code >> 16) & 0xFF;
    green = (answer.code >> 8) & 0xFF;
    blue = answer.code & 0xFF;
    return true;
}
