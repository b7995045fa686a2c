#include "client/view/ConsoleWindow.h"

#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "client/view/ViewHost.h"
#include "client/core/WxText.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"

using Zorlin::CString;

wxIMPLEMENT_DYNAMIC_CLASS(CConsoleWindow, wxFrame);

wxBEGIN_EVENT_TABLE(CConsoleWindow, wxFrame)
    EVT_SIZE(CConsoleWindow::OnSize)
    EVT_CLOSE(CConsoleWindow::OnClose)
wxEND_EVENT_TABLE()

namespace {

CString DiskPathOf(Zorlin::CDrive& drive, const CString& path)
{
    if (Zorlin::CDiskDrive* disk = dynamic_cast<Zorlin::CDiskDrive*>(&drive))
        return disk->GetDiskPath(Zorlin::CURL(path));
    return CString();
}

} // namespace

CConsoleWindow::CConsoleWindow()
    : m_text(nullptr), m_lineLength(0), m_flushQueued(false), m_debug(false), m_ownGroup(false)
{
}

CConsoleWindow::CConsoleWindow(wxWindow* parent, const char* title)
    : wxFrame(parent, wxID_ANY, ToWx(title), wxDefaultPosition, wxSize(300, 200)),
      m_text(nullptr), m_title(title), m_lineLength(0), m_flushQueued(false), m_debug(false), m_ownGroup(false)
{
    CViewHost& host = GetViewHost();
    m_debug = IsSettingOn(host.GetProgramConfig(), ".Debug");
    m_logPath = DiskPathOf(host.GetProgramDrive(), CString("/logs/") + LogFileName(title));
    m_transcript.Reserve(1024);

    m_text = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                            wxTE_MULTILINE | wxTE_READONLY);
    wxBoxSizer* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_text, 1, wxEXPAND);
    SetSizer(sizer);
    if (m_debug)
        Show(true);

    AppendToLog("", true);
    char stamp[128];
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(stamp, sizeof stamp, "%c", &local);
    Write(stamp);
    Write("\n-------------------------------------------\n");
}

CConsoleWindow::~CConsoleWindow()
{
    if (!m_debug)
        AppendToLog(m_transcript.GetText(), true);
}

CConsoleWindow& CConsoleWindow::Write(const char* text)
{
    if (!text || !*text)
        return *this;
    m_transcript.Append(text);
    if (m_transcript.GetLength() > kTranscriptLimit) {
        // The oldest half goes; the log written at the end keeps the rest.
        CString rest("[earlier text dropped]\n");
        int from = m_transcript.GetLength() - kTranscriptLimit / 2;
        rest.Append(m_transcript.GetText() + from, m_transcript.GetLength() - from);
        m_transcript = rest;
    }
    if (m_text) {
        m_pending.Append(text);
        if (m_pending.GetLength() > kShownTail * 2) {
            CString tail;
            tail.Append(m_pending.GetText() + m_pending.GetLength() - kShownTail, kShownTail);
            m_pending = tail;
        }
        if (!m_flushQueued) {
            m_flushQueued = true;
            CallAfter(&CConsoleWindow::Flush);
        }
    }
    if (m_debug)
        AppendToLog(text, false);
    return *this;
}

void CConsoleWindow::EnableBesideModals()
{
    Enable(true);
    if (m_ownGroup || !GetHandle())
        return;
    // Found in the running program, where the toolkit put them.
    using NewFn = void* (*)();
    using AddFn = void (*)(void*, void*);
    using UnrefFn = void (*)(void*);
    static NewFn newGroup = NewFn(dlsym(RTLD_DEFAULT, "gtk_window_group_new"));
    static AddFn addWindow = AddFn(dlsym(RTLD_DEFAULT, "gtk_window_group_add_window"));
    static UnrefFn unref = UnrefFn(dlsym(RTLD_DEFAULT, "g_object_unref"));
    if (!newGroup || !addWindow || !unref)
        return;
    void* group = newGroup();
    if (!group)
        return;
    addWindow(group, GetHandle());
    // The window holds the group from now on.
    unref(group);
    m_ownGroup = true;
}

void CConsoleWindow::Flush()
{
    m_flushQueued = false;
    if (!m_text || m_pending.IsEmpty())
        return;
    // Long lines are cut for the window: laying out one costs the toolkit
    // far more than its length in time.
    CString add;
    for (const char* p = m_pending.GetText(); *p; ++p) {
        if (*p == '\n') {
            m_lineLength = 0;
        } else if (++m_lineLength > kShownLine) {
            if (m_lineLength == kShownLine + 1)
                add.Append(" ...");
            continue;
        }
        add.Append(*p);
    }
    m_pending = "";
    m_shown.Append(add);
    if (m_shown.GetLength() <= kShownTail) {
        m_text->AppendText(ToWx(add));
        return;
    }
    // Only the tail stays, from a line's start.
    int from = m_shown.GetLength() - kShownTail;
    int newline = m_shown.Find('\n', from);
    if (newline < m_shown.GetLength())
        from = newline + 1;
    CString tail;
    tail.Append(m_shown.GetText() + from, m_shown.GetLength() - from);
    m_shown = tail;
    m_text->ChangeValue(ToWx(m_shown));
    m_text->SetInsertionPointEnd();
}

wxString CConsoleWindow::GetShownText() const
{
    return m_text ? m_text->GetValue() : wxString();
}

void CConsoleWindow::AppendToLog(const char* text, bool truncate)
{
    if (m_logPath.IsEmpty())
        return;
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND);
    int fd = open(m_logPath.GetText(), flags, 0666);
    if (fd < 0)
        return;
    size_t length = strlen(text);
    while (length > 0) {
        ssize_t n = ::write(fd, text, length);
        if (n <= 0)
            break;
        text += n;
        length -= size_t(n);
    }
    close(fd);
}

CString CConsoleWindow::LogFileName(const char* title)
{
    CString name;
    for (const char* p = title ? title : ""; *p; ++p) {
        unsigned char c = (unsigned char)*p;
        bool bad = c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '"' ||
                   c == '*' || c == '?' || c == '<' || c == '>' || c == '|';
        name.Append(bad ? '_' : char(c));
    }
    if (name.IsEmpty() || name == "." || name == "..")
        name = "console";
    name.Append(".log");
    return name;
}

void CConsoleWindow::OnSize(wxSizeEvent& event)
{
    if (m_text)
        m_text->SetSize(GetClientSize());
    event.Skip(false);
}

void CConsoleWindow::OnClose(wxCloseEvent& event)
{
    // The close box does nothing: the owner decides when the console goes.
    // A close that cannot be refused (the session ends) still destroys it.
    if (event.CanVeto())
        event.Veto();
    else
        Destroy();
}
