#include "client/core/ChessApp.h"

#include <chrono>
#include <ctime>
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
#include "foundation/Win32File.h"
#include "platform/SystemPlaces.h"

using Zorlin::CString;

wxFrame* g_startupSplash = nullptr;

namespace {

CChessApp::SOnlineSessionKind g_sessionKind = {nullptr, nullptr, nullptr};

const int kAttributes32[] = {WX_GL_DOUBLEBUFFER, WX_GL_RGBA, WX_GL_MIN_RED, 8, WX_GL_MIN_GREEN, 8,
                             WX_GL_MIN_BLUE, 8, WX_GL_MIN_ALPHA, 0, WX_GL_STENCIL_SIZE, 0, 0};
const int kAttributes16[] = {WX_GL_DOUBLEBUFFER, WX_GL_RGBA, WX_GL_STENCIL_SIZE, 0, 0};

// The desktop's settings hold one name.
const uint64_t kMaxDesktopSettingsSize = 65536;

// The toolkit's application name of the desktop's settings.
const char* const kSettingsName = "Rookwell Lite";

// Whether the desktop's settings file is there; its bytes, when it is not too large.
bool ReadDesktopSettings(const CString& path, CString& bytes)
{
    if (path.IsEmpty())
        return false;
    Zorlin::CWin32File file(path, Zorlin::CFile::kModeRead);
    if (!file.IsOpen())
        return false;
    if (file.GetSize() <= kMaxDesktopSettingsSize)
        bytes = CString(file);
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
    const CString config = UserConfigFolder();
    const CString path = config.IsEmpty() ? CString() : config + "/" + kSettingsName + ".conf";
    const CString home = HomeFolder();
    const CString old = home.IsEmpty() ? CString() : home + "/." + kSettingsName;
    CString bytes;
    const bool moving = !ReadDesktopSettings(path, bytes) && ReadDesktopSettings(old, bytes);
    wxMemoryInputStream in(bytes.GetText(), size_t(bytes.GetLength()));
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
    wxMemoryOutputStream out;
    if (path.IsEmpty() || !Zorlin::MakePrivateFolders(config) || !settings.Save(out))
        return name;
    std::vector<char> text(out.GetSize());
    out.CopyTo(text.data(), text.size());
    if (Zorlin::WriteFileAtomically(path, text.data(), text.size()) && moving)
        unlink(old.GetText());
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
