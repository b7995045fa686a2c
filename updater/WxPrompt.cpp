#include "updater/WxPrompt.h"

#include <cstdio>
#include <cstdlib>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/progdlg.h>

using Zorlin::CString;

namespace {

const char* const kCaption = "Updater";

wxString ToWx(const CString& text)
{
    wxString converted = wxString::FromUTF8(text.GetText());
    if (converted.empty() && !text.IsEmpty())
        converted = wxString::From8BitData(text.GetText());
    return converted;
}

int ShowBox(const CString& text, long style)
{
    wxMessageDialog box(nullptr, ToWx(text), kCaption, style | wxCENTRE);
    return box.ShowModal();
}

} // namespace

std::unique_ptr<CWxPrompt> CWxPrompt::Start(const char* programName)
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland))
        return nullptr;
    // Only the program name: the toolkit takes no options from our command line.
    static char name[256];
    std::snprintf(name, sizeof name, "%s", programName ? programName : "updater");
    static char* argv[] = {name, nullptr};
    int argc = 1;
    wxApp::SetInstance(new wxApp());
    // A failed start has already cleaned up after itself.
    if (!wxEntryStart(argc, argv))
        return nullptr;
    return std::unique_ptr<CWxPrompt>(new CWxPrompt());
}

CWxPrompt::~CWxPrompt()
{
    m_progress.reset();
    wxEntryCleanup();
}

void CWxPrompt::Tell(const CString& text)
{
    ShowBox(text, wxOK | wxICON_INFORMATION);
}

bool CWxPrompt::AskOkCancel(const CString& text)
{
    return ShowBox(text, wxOK | wxCANCEL | wxICON_QUESTION) == wxID_OK;
}

void CWxPrompt::ShowProgress(int n, int count, const CString& path)
{
    if (count <= 0) {
        m_progress.reset();
        return;
    }
    const wxString message = wxString::Format("Copying file %d of %d:\n", n, count) + ToWx(path);
    if (!m_progress)
        m_progress.reset(new wxProgressDialog(kCaption, message, count, nullptr, wxPD_APP_MODAL | wxPD_AUTO_HIDE));
    m_progress->Update(n, message);
}
