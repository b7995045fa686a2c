// The board canvas's heartbeat and drawing: the game tick, the idle loop
// that redraws while anything moves, and the paint handler.

#include "client/view/ChessWindow.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <wx/dcclient.h>
#include <wx/utils.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/DownloadThread.h"
#include "client/core/Game.h"
#include "client/core/Player.h"
#include "client/core/Sound.h"
#include "client/core/WorkerNotice.h"
#include "client/core/VoicePlayer.h"
#include "client/view/BoardRenderer.h"

CChessWindow::SCallGuard::SCallGuard(CChessWindow& window) : m_window(window), m_frameHold(window.GetFrame())
{
    ++m_window.m_callDepth;
}

// The games go first, the frame's hold after them.
CChessWindow::SCallGuard::~SCallGuard()
{
    if (--m_window.m_callDepth == 0 && !m_window.m_doomed.empty())
        m_window.ReleaseDoomedGames();
}

double CChessWindow::GetSeconds()
{
    // A monotonic counter of nanoseconds: no coarse timers to work around.
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void CChessWindow::UpdateVoices()
{
    CChessApp* app = GetChessApp();
    if (!app || !app->m_voicesLoaded)
        return;
    for (int side : {0, 1})
        if (CVoicePlayer* voice = app->GetVoice(side))
            voice->Update();
}

void CChessWindow::OnGameTick(wxTimerEvent&)
{
    m_tickWoken = false;
    m_lastTick = GetSeconds();
    Tick();
    PaceTick();
}

void CChessWindow::WakeTick()
{
    // At the full pace the next tick is near anyway.
    if (m_tickWoken || !m_tickTimer || !m_tickTimer->IsRunning() || m_tickTimer->GetInterval() <= kTickMilliseconds ||
        !IsEnabled() || m_glFailed)
        return;
    // At most one tick per full-pace interval: an engine that floods wakes
    // the tick no more often than the full pace polls.
    double since = (GetSeconds() - m_lastTick) * 1000.0;
    int delay = since >= kTickMilliseconds ? 1 : std::max(1, kTickMilliseconds - int(since));
    m_tickWoken = true;
    m_tickTimer->Start(delay, wxTIMER_CONTINUOUS);
}

namespace {

bool IsVoiceSpeaking()
{
    CChessApp* app = GetChessApp();
    if (app && app->m_voicesLoaded)
        for (int side : {0, 1})
            if (CVoicePlayer* voice = app->GetVoice(side))
                if (voice->IsSpeaking())
                    return true;
    return false;
}

} // namespace

bool CChessWindow::HasTickWork() const
{
    if (IsSoundActive() || !m_doomed.empty())
        return true;
    // A disabled board's tick only updates the sound.
    if (!IsEnabled() || m_glFailed)
        return false;
    if (GetLiveWorkerCount() > 0 || (m_game && m_game->IsInPlay()))
        return true;
    return IsVoiceSpeaking();
}

int CChessWindow::GetBusyTickMilliseconds() const
{
    if (IsSoundActive() || !m_doomed.empty() || GetLiveWorkerCount() > 0 || !m_game || !m_game->IsInPlay() ||
        !m_scene || m_scene->NeedsRedraw() || m_redrawRequested)
        return kTickMilliseconds;
    if (IsVoiceSpeaking())
        return kTickMilliseconds;
    // Each player allows the pace it needs: the user and an engine at rest
    // wait on events, an engine whose output wakes the tick on its slow
    // checks, any other on the full pace.
    int pace = kUserTurnTickMilliseconds;
    for (int side : {WHITE, BLACK}) {
        CPlayer* player = m_game->GetPlayer(side);
        if (!player)
            return kTickMilliseconds;
        if (player->IsLocal() || player->IsAtRest())
            continue;
        if (!player->WakesOnOutput())
            return kTickMilliseconds;
        pace = std::min(pace, kEngineTurnTickMilliseconds);
    }
    double flag = m_game->GetMillisecondsToFlag();
    if (flag >= 0.0 && flag < pace)
        return std::max(kTickMilliseconds, int(std::ceil(flag)) + 1);
    return pace;
}

bool CChessWindow::IsReadingBehind() const
{
    // Only a game in play is polled, and only with a scene.
    if (!m_game || !m_game->IsInPlay() || !m_scene || !IsEnabled() || m_glFailed)
        return false;
    for (int side : {WHITE, BLACK})
        if (CPlayer* player = m_game->GetPlayer(side))
            if (player->IsReadingBehind())
                return true;
    return false;
}

void CChessWindow::PaceTick()
{
    // Stopped timers (the frame is closing) stay stopped.
    if (!m_tickTimer || !m_tickTimer->IsRunning() || m_tickWoken)
        return;
    int wanted = HasTickWork() ? GetBusyTickMilliseconds() : kIdleTickMilliseconds;
    if (m_tickTimer->GetInterval() != wanted)
        m_tickTimer->Start(wanted, wxTIMER_CONTINUOUS);
}

void CChessWindow::Tick()
{
    UpdateSound();
    if (!IsEnabled() || m_glFailed)
        return;
    SCallGuard guard(*this);
    if (TakeDownloadFinished())
        if (CChessFrame* frame = GetFrame())
            frame->BrowserRebuild(true);
    UpdateVoices();

    // Behind the browser view nothing is drawn, so the scene never goes
    // quiet: the players are polled all the same, or the game would stall
    // with the clock running.
    bool drawn = IsShownOnScreen();
    if (m_game && m_game->IsInPlay() && m_scene && (!drawn || !m_scene->NeedsRedraw())) {
        CGame* game = m_game;
        for (int side : {WHITE, BLACK}) {
            CPlayer* player = game->GetPlayer(side);
            if (player && player->GetColour() == side)
                player->Poll();
            if (game != m_game || !game->IsInPlay())
                return;
        }
        CPlayer* mover = game->GetPlayer(SIDE_TO_MOVE);
        if (mover && mover->HasMove()) {
            CMove move;
            if (mover->GetMove(move))
                PlayMove(move, true);
        }
    }
    if (m_game && m_game->IsInPlay())
        m_game->Poll();
}

bool CChessWindow::PointerHasLeft()
{
    if (!IsShownOnScreen() || !IsEnabled() || !m_pointerInside)
        return false;
    wxPoint screen = wxGetMousePosition();
    wxPoint client = ScreenToClient(screen);
    wxSize size = GetClientSize();
    // The GL child covers the board: over it is over the board.
    wxWindow* under = wxFindWindowAtPoint(screen);
    bool overBoard = under && (under == this || under == m_glCanvas);
    if (overBoard && client.x >= 0 && client.y >= 0 && client.x < size.x && client.y < size.y)
        return false;
    m_pointerInside = false;
    if (m_scene)
        m_scene->HidePointer();
    return true;
}

void CChessWindow::OnIdle(wxIdleEvent& event)
{
    if (!m_doomed.empty())
        ReleaseDoomedGames();
    // Output an engine wrote beyond what the last tick had time to read is
    // read on whenever the window has nothing else to do: the engine is
    // never held back by the tick's pace, and input and drawing go first.
    if (IsReadingBehind()) {
        Tick();
        event.RequestMore();
    }
    // Whatever an event started (a game, a sound, a download) brings the
    // tick back to its pace.
    PaceTick();
    if (!m_glCanvas && IsShownOnScreen())
        CreateGLCanvas();
    // A board that cannot draw asks for no more idle time, and never
    // sleeps here: the GUI thread may be reading a file between yields.
    // The tick timer and every event bring the next idle pass.
    if (!IsShownOnScreen() || !IsEnabled() || !m_context || !m_game || !m_scene)
        return;
    bool left = PointerHasLeft();
    if (m_scene->NeedsRedraw() || m_redrawRequested) {
        Render();
        m_redrawRequested = false;
        event.RequestMore();
        return;
    }
    if (left)
        Render();
}

double CChessWindow::GetPixelScale() const
{
    // The GL child's own factor: that is the surface drawn on.
    const wxWindow* surface = m_glCanvas ? static_cast<const wxWindow*>(m_glCanvas) : this;
    const double scale = surface->GetContentScaleFactor();
    return scale > 1.0 ? scale : 1.0;
}

bool CChessWindow::FitSceneToWindow()
{
    const wxSize size = GetClientSize();
    if (!m_scene || size.x <= 0 || size.y <= 0)
        return false;
    const double scale = GetPixelScale();
    m_scene->SetPixelScale(scale);
    m_scene->SetViewportSize(int(std::lround(size.x * scale)), int(std::lround(size.y * scale)));
    return true;
}

SScenePoint CChessWindow::ToDevice(const wxMouseEvent& event) const
{
    const double scale = GetPixelScale();
    return {event.GetX() * scale, event.GetY() * scale};
}

void CChessWindow::Render()
{
    wxSize size = GetClientSize();
    if (size.x * size.y == 0 || !m_scene || !IsShownOnScreen() || !MakeCurrent())
        return;
    m_scene->SetTime(GetSeconds());
    FitSceneToWindow();
    m_scene->Draw(m_showSkinnedPointer);
    glFlush();
    m_glCanvas->SwapBuffers();
    if (!m_firstPaintDone) {
        m_firstPaintDone = true;
        if (CChessApp* app = GetChessApp())
            app->WriteGLInfo();
    }
}

void CChessWindow::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    // Until the GL child exists (made by the idle loop) there is nothing to draw.
    if (!m_glFailed) {
        if (m_scene && m_context)
            Render();
        return;
    }
    const wxString text = "Graphics problem. Please click Help / Troubleshooting.";
    wxSize client = GetClientSize();
    wxCoord width = 0, height = 0;
    dc.SetFont(*wxNORMAL_FONT);
    dc.GetTextExtent(text, &width, &height);
    dc.DrawText(text, (client.x - width) / 2, (client.y - height) / 2);
}

void CChessWindow::OnEraseBackground(wxEraseEvent&)
{
}
