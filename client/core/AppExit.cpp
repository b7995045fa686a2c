// The end of the client: the user settings saved, the services freed in an
// order that lets each one close before the library under it shuts down.

#include "client/core/ChessApp.h"

#include <GL/gl.h>

#include <cstdio>
#include <memory>

#include <wx/evtloop.h>
#include <wx/timer.h>

#include "client/core/AppServices.h"
#include "client/core/ChessFrame.h"
#include "client/core/ChildProcess.h"
#include "client/core/ExitSaver.h"
#include "client/core/HandOverQueue.h"
#include "client/core/MediaSet.h"
#include "client/core/ModalLoops.h"
#include "client/core/MusicPlayer.h"
#include "client/core/SafeMode.h"
#include "client/core/SingleInstance.h"
#include "client/core/Sound.h"
#include "client/core/VoicePlayer.h"
#include "client/dialogs/DialogHost.h"
#include "client/view/ConsoleWindow.h"
#include "client/view/ViewHost.h"
#include "foundation/Image.h"

using Zorlin::CString;

namespace {

// Questions that open again as others close are not waited for without end.
const int kEndModalRounds = 200;
const int kEndModalRetryMs = 20;

// Asks for the end again a little later: a loop told to end runs on until
// the event source wakes it, which a queued call alone would not do.
class CTerminateRetry : public wxTimer {
public:
    void Notify() override
    {
        if (CChessApp* app = GetChessApp())
            app->OnTerminate();
    }
};

std::unique_ptr<CTerminateRetry> g_terminateRetry;

} // namespace

bool CChessApp::SaveUserConfig()
{
    if (!m_userConfig || !m_userDrive || !m_userSettingsRead)
        return true;
    return SaveUserSettingsOrTell(*m_userDrive, *m_userConfig, false, nullptr);
}

int CChessApp::OnExit()
{
    g_terminateRetry.reset();
    if (m_singleInstance)
        m_singleInstance->StopServing();
    if (m_handOvers && m_handOvers->GetCount() > 0)
        fprintf(stderr, "%zu hand-overs of other starts were not opened: the client ended first.\n",
                m_handOvers->GetCount());
    m_handOverRetry.reset();
    m_handOvers.reset();
    if (m_userConfig && m_userDrive && m_userSettingsRead)
        SaveUserSettingsOrTell(*m_userDrive, *m_userConfig, true, nullptr);
    if (m_userDrive && m_userSettingsRead)
        RemoveCrashMarker(*m_userDrive);
    // Another start may have this program folder now.
    m_singleInstance.reset();
    if (GetMediaHost() == this)
        SetMediaHost(nullptr);
    if (&GetAppServices() == &GetApplicationServices())
        SetAppServices(nullptr);
    if (&GetViewHost() == &GetApplicationViewHost())
        SetViewHost(nullptr);
    if (&GetDialogHost() == &GetApplicationDialogHost())
        SetDialogHost(nullptr);
    // No engine outlives the client, also one that ignored "quit".
    CChildProcess::KillAll();

    // Streams, samples and voices go first: each releases what it holds in
    // the sound and image libraries, which must still be running then.
    m_musicPlayer.reset();
    m_mediaSet.reset();
    m_mediaSetGone = true;
    m_voice1.reset();
    m_voice2.reset();
    m_voicesLoaded = false;
    CloseSound();
    Zorlin::CImage::Shutdown();

    m_programConfig.reset();
    m_userConfig.reset();
    m_liveContent.reset();
    m_userSettingsRead = false;
    m_programDrive.reset();
    m_userDrive.reset();
    m_userName.reset();
    return 1;
}

void CChessApp::OnFatalException()
{
    // Nothing runs here: the program is broken and this may be a signal
    // handler. The crash marker left in the user folder brings the safe
    // mode question at the next start.
}

void CChessApp::OnTerminate()
{
    // An open question runs a loop of its own, in which closing the frame
    // would not end the program: each is answered as cancelled first, and
    // the close comes once their loops have unwound.
    // A loop that was told to end is still on the stack until it has run
    // once more: the frame (parent of its dialog) must outlive it.
    // Two more waits have no bound of their own: start-up still running (a
    // notice before the main loop: ending the loop then would be ignored),
    // and a yield inside a frame call (the frame deleted in the yield
    // would be used when it returns).
    static int rounds = 0;
    wxEventLoopBase* active = wxEventLoopBase::GetActive();
    bool nested = active && GetMainLoop() && active != GetMainLoop();
    bool starting = !GetMainLoop() || !GetMainLoop()->IsRunning();
    bool yielding = active && active->IsYielding();
    int ended = EndModalLoops();
    if (starting || yielding || (rounds < kEndModalRounds && (ended > 0 || nested))) {
        if (!starting && !yielding)
            ++rounds;
        if (!g_terminateRetry)
            g_terminateRetry.reset(new CTerminateRetry);
        g_terminateRetry->StartOnce(kEndModalRetryMs);
        return;
    }
    CloseSplashes();
    if (m_frame) {
        m_frame->KeepUnsavedGame();
        m_frame->Close(true);
    } else
        ExitMainLoop();
}

void CChessApp::CloseSplashes()
{
    if (CMediaSet* media = m_mediaSetGone ? nullptr : m_mediaSet.get())
        for (int which = 0; which < CMediaSet::kSplashCount; ++which)
            if (wxWindow* window =
                    dynamic_cast<wxWindow*>(media->GetSplash(CMediaSet::ESplash(which)).GetWindow()))
                window->Destroy();
}

void CChessApp::WriteGLInfo()
{
    if (m_glInfoWritten || !m_console)
        return;
    const GLubyte* version = glGetString(GL_VERSION);
    if (!version)
        return;
    m_glInfoWritten = true;
    CString text;
    text.AppendFormat("GL VENDOR= %s\nGL RENDERER= %s\nGL VERSION= %s\n", (const char*)glGetString(GL_VENDOR),
                      (const char*)glGetString(GL_RENDERER), (const char*)version);
    GLint size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &size);
    text.AppendFormat("GL_MAX_TEXTURE_SIZE= %d\n\n", (int)size);
    m_console->Write(text.GetText());
}
