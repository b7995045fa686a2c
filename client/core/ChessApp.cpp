#include "client/core/ChessApp.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <wx/fileconf.h>
#include <wx/mstream.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include "client/core/AppTexts.h"
#include "client/core/ChessFrame.h"
#include "client/core/HandOverQueue.h"
#include "client/core/MediaSet.h"
#include "client/core/MusicPlayer.h"
#include "client/core/Prompt.h"
#include "client/core/SingleInstance.h"
#include "client/core/StartUp.h"
#include "client/core/UserFolder.h"
#include "client/core/VoicePlayer.h"
#include "client/core/WxText.h"
#include "client/dialogs/HtmlMessageBox.h"
#include "foundation/AtomicFile.h"
#include "foundation/DiskDrive.h"
#include "platform/AccountPlaces.h"
#include "platform/SystemPlaces.h"

using Zorlin::CString;

wxFrame* g_startupSplash = nullptr;

namespace {

CChessApp::SOnlineSessionKind g_sessionKind = {nullptr, nullptr, nullptr};

const int kAttributes32[] = {WX_GL_DOUBLEBUFFER, WX_GL_RGBA, WX_GL_MIN_RED, 8, WX_GL_MIN_GREEN, 8,
                             WX_GL_MIN_BLUE, 8, WX_GL_MIN_ALPHA, 0, WX_GL_STENCIL_SIZE, 0, 0};
const int kAttributes16[] = {WX_GL_DOUBLEBUFFER, WX_GL_RGBA, WX_GL_STENCIL_SIZE, 0, 0};

// The desktop's settings hold a name and a few values; past this size a
// file is read in part, and kept as it is.
const size_t kMaxDesktopSettingsSize = size_t(4) << 20;

// The toolkit's application name of the desktop's settings.
const char* const kSettingsName = "Rookwell Lite";

struct SDesktopSettingsFile {
    bool there = false;
    // Read to its end: within the bound.
    bool whole = false;
    CString bytes;
};

SDesktopSettingsFile ReadDesktopSettings(const CString& path)
{
    SDesktopSettingsFile read;
    const int fd = path.IsEmpty() ? -1 : open(path.GetText(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            close(fd);
        return read;
    }
    read.there = true;
    std::vector<char> text(kMaxDesktopSettingsSize + 1);
    size_t size = 0;
    for (ssize_t n; size < text.size() && (n = ::read(fd, text.data() + size, text.size() - size)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        size += size_t(n);
    }
    close(fd);
    read.whole = size <= kMaxDesktopSettingsSize;
    // A part ends with its last whole line.
    if (!read.whole)
        while (size > 0 && text[size - 1] != '\n')
            --size;
    read.bytes.Append(text.data(), int(size));
    return read;
}

// Whether every value of from, in every group, is in to as it was.
bool HoldsAllValues(wxFileConfig& from, wxFileConfig& to, const wxString& group = "/")
{
    from.SetPath(group);
    std::vector<wxString> entries, groups;
    wxString name;
    long index = 0;
    for (bool more = from.GetFirstEntry(name, index); more; more = from.GetNextEntry(name, index))
        entries.push_back(name);
    for (bool more = from.GetFirstGroup(name, index); more; more = from.GetNextGroup(name, index))
        groups.push_back(name);
    const wxString prefix = group == "/" ? group : group + "/";
    for (const wxString& entry : entries) {
        wxString was, now;
        from.SetPath(group);
        if (!from.Read(prefix + entry, &was) || !to.Read(prefix + entry, &now) || was != now)
            return false;
    }
    for (const wxString& inner : groups)
        if (!HoldsAllValues(from, to, prefix + inner))
            return false;
    return true;
}

} // namespace

CChessApp& wxGetApp()
{
    return *static_cast<CChessApp*>(wxApp::GetInstance());
}

CChessApp* GetChessApp()
{
    return dynamic_cast<CChessApp*>(wxApp::GetInstance());
}

const int* GetGLAttributes(int depth)
{
    return depth == 16 ? kAttributes16 : kAttributes32;
}

CChessApp::CChessApp()
    : m_mediaSetGone(false), m_console(nullptr), m_frame(nullptr), m_onlineSession(nullptr),
      m_onlineSessionGone(false), m_16BitColour(false), m_smallTextures(false), m_noFiltering(false),
      m_opponentList(nullptr), m_voicesLoaded(false),
      m_glInfoWritten(false), m_userSettingsRead(false), m_handedOver(false), m_startupDone(false)
{
    // The pixel-format tests need the display, which the toolkit opens only
    // after construction: start-up runs them.
}

CChessApp::~CChessApp()
{
    if (m_opponentList && g_sessionKind.deleteList)
        g_sessionKind.deleteList(m_opponentList);
    m_opponentList = nullptr;
    if (GetMediaHost() == this)
        SetMediaHost(nullptr);
}

CMusicPlayer* CChessApp::GetMusicPlayer()
{
    if (!m_musicPlayer)
        m_musicPlayer.reset(new CMusicPlayer);
    return m_musicPlayer.get();
}

CMediaSet* CChessApp::GetMediaSet()
{
    if (m_mediaSetGone)
        return nullptr;
    if (!m_mediaSet)
        m_mediaSet.reset(new CMediaSet);
    return m_mediaSet.get();
}

void CChessApp::LoadMedia()
{
    CMediaSet* media = GetMediaSet();
    if (media && m_programDrive && !media->IsLoaded())
        media->Load(*m_programDrive);
}

void CChessApp::LoadMusic()
{
    if (m_programDrive)
        LoadMusicFolder(*m_programDrive, *GetMusicPlayer());
}

void CChessApp::LoadVoices()
{
    if (!m_programDrive || !m_userConfig || !m_voice1 || !m_voice2)
        return;
    LoadVoicePacks(*m_programDrive, *m_userConfig, *m_voice1, *m_voice2);
    m_voicesLoaded = true;
}

CVoicePlayer* CChessApp::GetVoice(int side)
{
    if (!m_voicesLoaded)
        LoadVoices();
    bool whiteIsLocal = m_frame ? m_frame->IsWhiteLocal() : true;
    return SelectVoicePlayer(side, whiteIsLocal, m_voice1.get(), m_voice2.get());
}

void CChessApp::SetOnlineSessionKind(const SOnlineSessionKind& kind)
{
    g_sessionKind = kind;
}

CGridmoorSession* CChessApp::GetOnlineSession()
{
    if (m_onlineSessionGone)
        return nullptr;
    if (!m_onlineSession && g_sessionKind.make)
        m_onlineSession = g_sessionKind.make();
    return m_onlineSession;
}

void CChessApp::CloseOnlineSession()
{
    if (m_onlineSessionGone)
        return;
    if (m_onlineSession && g_sessionKind.destroy)
        g_sessionKind.destroy(m_onlineSession);
    m_onlineSession = nullptr;
    m_onlineSessionGone = true;
}

void CChessApp::ShowHtmlMessage(const CString& title, const CString& html)
{
    // The same words from the same sender stand once on the screen.
    if (CHtmlMessageBox* open = CHtmlMessageBox::FindOpen(title, html)) {
        open->Raise();
        return;
    }
    CHtmlMessageBox* box = new CHtmlMessageBox(nullptr, title, false);
    box->SetHtml(html);
    // Off the frame where it fits: its status bar says whose move it is.
    wxRect avoid = m_frame ? m_frame->GetBoardScreenRect() : wxRect();
    box->ShowOffFrame(m_frame ? m_frame->GetScreenRect() : wxRect(), avoid);
}

CString CChessApp::GetProgramFolder() const
{
    if (!m_programDrive)
        return CString();
    return m_programDrive->GetRoot();
}

CString ReadRegistryUser()
{
    // Read and written here as bytes: the toolkit would take the home from
    // the password database whenever $HOME is not text of the locale.
    const SAccountPlaces places = AccountPlaces();
    const CString config = places.configFolder;
    const CString path = config.IsEmpty() ? CString() : config + "/" + kSettingsName + ".conf";
    const CString old = places.home.IsEmpty() ? CString() : places.home + "/." + kSettingsName;
    SDesktopSettingsFile read = ReadDesktopSettings(path);
    const bool moving = !read.there && (read = ReadDesktopSettings(old)).there;
    wxMemoryInputStream in(read.bytes.GetText(), size_t(read.bytes.GetLength()));
    wxFileConfig settings(in);
    wxString user;
    CString name;
    if (settings.Read("user", &user) && !user.empty()) {
        name = FromWx(user);
        if (!moving)
            return name;
    } else {
        name = DefaultUserName(FromWx(wxGetUserId()), time(nullptr));
        settings.Write("user", ToWx(name));
    }
    // Written over, a file read in part would lose what was not read.
    if (read.there && !read.whole) {
        fprintf(stderr, "%s is larger than %zu bytes: it is read in part and kept as it is.\n",
                (moving ? old : path).GetText(), kMaxDesktopSettingsSize);
        return name;
    }
    wxMemoryOutputStream out;
    if (path.IsEmpty() || !Zorlin::MakePrivateFolders(config) || !settings.Save(out))
        return name;
    std::vector<char> text(out.GetSize());
    out.CopyTo(text.data(), text.size());
    if (!Zorlin::WriteFileAtomically(path, text.data(), text.size()) || !moving)
        return name;
    // The old file goes once the new one holds all it held.
    const SDesktopSettingsFile written = ReadDesktopSettings(path);
    wxMemoryInputStream again(written.bytes.GetText(), size_t(written.bytes.GetLength()));
    wxFileConfig moved(again);
    if (written.whole && HoldsAllValues(settings, moved)) {
        unlink(old.GetText());
    } else {
        // The old one stays the one read.
        unlink(path.GetText());
        fprintf(stderr, "%s is kept: %s did not hold all its values.\n", old.GetText(), path.GetText());
    }
    return name;
}

bool PrepareUserFolder(const CString& userName)
{
    CChessApp* app = GetChessApp();
    if (!app || !app->m_programDrive)
        return false;
    CString problem;
    if (PrepareUserFolderOn(*app->m_programDrive, userName, problem))
        return true;
    // Named where the user's files were to be kept, as the console names it.
    if (!app->m_unmadeDataFolder.IsEmpty())
        problem = CString("The folder \"") + app->m_unmadeDataFolder + "/users\" could not be made.";
    CString text("Rookwell could not prepare the folder of the user \"");
    text += userName;
    text += "\".\n\n";
    text += problem;
    text += "\n\nFor technical support email ";
    text += kSupportAddress;
    GetPrompt().ShowMessage(text, "Problem", wxOK | wxICON_WARNING, nullptr);
    return false;
}

void MakeUserId(const char* seed, CString& out)
{
    using namespace std::chrono;
    unsigned ticks = (unsigned)duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    out = MakeUserIdFrom(seed, ticks, (unsigned long)time(nullptr));
}
