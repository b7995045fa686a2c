// The windows of the main frame's two views and what the frame asks of
// them: the board canvas over the chat pane in a panel splitter, the game
// panel beside them, and the browser panel.

#include "client/core/ChessFrame.h"

#include <wx/laywin.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/stattext.h>

#include "client/core/ChessApp.h"
#include "client/core/Game.h"
#include "client/core/FrameCommandRules.h"
#include "client/core/Player.h"
#include "client/view/BoardRenderer.h"
#include "client/view/BrowserPanel.h"
#include "client/view/ChessWindow.h"
#include "client/view/ChatWindow.h"
#include "client/view/ClockWindow.h"
#include "client/view/GamePanel.h"
#include "client/view/PanelSplitter.h"

void CChessFrame::CreateViewWindows()
{
    m_gamePanel = new CGamePanel(this, wxID_ANY);
    m_gamePanel->Hide();

    m_splitter = new CPanelSplitter(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                    wxSP_LIVE_UPDATE | wxSP_3DSASH | wxSP_NOBORDER | wxNO_FULL_REPAINT_ON_RESIZE,
                                    "splitterWindow");
    m_boardCanvas = new CChessWindow(m_splitter, wxID_ANY, wxPoint(0, 0), wxSize(100, 100), wxNO_BORDER, "Board");
    m_chatPane = new CChatWindow(m_splitter, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxCLIP_CHILDREN, "Chat");
    m_splitter->Initialize(m_boardCanvas);
    m_splitter->SetMinimumPaneSize(100);
    m_boardCanvas->Hide();
    m_chatPane->Hide();

    CBrowserPanel* browser = new CBrowserPanel(this, wxID_ANY);
    browser->SetSize(200, 200);
    // Hidden until the frame's first ShowBrowser, which sets the view's checks.
    browser->Hide();
    m_browserPanel = browser;
}

void CChessFrame::ShowOnBoard()
{
    ShowBrowser(false, false);
    m_boardAsked = false;
    CChessWindow* canvas = GetChessWindow();
    const bool prepared = canvas && canvas->PrepareFirstFrame();
    Show(true);
    if (canvas) {
        // As the switch to the board would have: keys go to the view in sight.
        canvas->SetFocus();
        // Drawn now and sent, the board reaches the display right behind the
        // window's map, before the start-up goes on to open the game.
        if (prepared) {
            canvas->Render();
            Update();
        }
    }
    // The voices, which the switch to the board loads, come after its board.
    if (CChessApp* app = GetChessApp())
        app->GetVoice(0);
}

void CChessFrame::KeepBoardIfAsked()
{
    if (!m_boardAsked && !m_browserView)
        ShowBrowser(true, false);
}

CChessWindow* CChessFrame::GetChessWindow() const
{
    return dynamic_cast<CChessWindow*>(m_boardCanvas);
}

CGame* CChessFrame::GetGame() const
{
    CChessWindow* canvas = GetChessWindow();
    return canvas ? canvas->GetGame() : nullptr;
}

bool CChessFrame::GameInPlay()
{
    CGame* game = GetGame();
    return game && game->IsInPlay();
}

bool CChessFrame::QueryCloseGame()
{
    CGame* game = GetGame();
    return !game || game->QueryClose();
}

// A move to take back, and the user's turn to ask for it.
// The same decision the command makes, so the menu never offers a take-back
// the command would refuse (a finished game can still be taken back).
bool CChessFrame::GameCanTakeBack()
{
    CGame* game = GetGame();
    CPlayer* local = nullptr;
    if (!game || !game->FindLocalPlayer(local))
        return false;
    CPlayer* mover = game->GetPlayer(SIDE_TO_MOVE);
    return TakeBackTarget(game->GetBoard().GetPly(), mover && mover->IsLocal()) >= 0;
}

bool CChessFrame::GameHasWhiteLocal() const
{
    CGame* game = GetGame();
    if (!game)
        return true;
    CPlayer* white = game->GetPlayer(WHITE);
    return !white || white->GetColour() != WHITE || white->IsLocal();
}

bool CChessFrame::IsWhiteLocal() const
{
    return GameHasWhiteLocal();
}

bool CChessFrame::CanvasIsDragging()
{
    CChessWindow* canvas = GetChessWindow();
    return canvas && canvas->IsDragging();
}

void CChessFrame::CanvasCancelDrag()
{
    if (CChessWindow* canvas = GetChessWindow())
        canvas->CancelDrag();
}

void CChessFrame::CanvasStopTimers()
{
    if (CChessWindow* canvas = GetChessWindow())
        canvas->StopTimers();
}

void CChessFrame::CanvasTakeOptions()
{
    if (CChessWindow* canvas = GetChessWindow()) {
        canvas->SetShowSkinnedPointer(m_skinnedCursor);
        canvas->SetShowLegalMoves(m_legalMoves);
        canvas->SetShowLastMove(m_lastMove);
    }
}

void CChessFrame::CanvasSyncScene()
{
    if (CChessWindow* canvas = GetChessWindow())
        canvas->SyncScene();
}

void CChessFrame::CanvasRedraw()
{
    if (CChessWindow* canvas = GetChessWindow())
        canvas->RequestRedraw();
    else if (m_boardCanvas)
        m_boardCanvas->Refresh(false);
}

void CChessFrame::CanvasUpdateStatus()
{
    if (CChessWindow* canvas = GetChessWindow())
        canvas->UpdateStatus();
}

void CChessFrame::SceneSetFlipped(bool flipped)
{
    if (CChessWindow* canvas = GetChessWindow())
        if (CBoardRenderer* scene = canvas->GetScene())
            scene->SetFlipped(flipped);
}

void CChessFrame::SceneSetShowCoordinates(bool show)
{
    if (CChessWindow* canvas = GetChessWindow())
        if (CBoardRenderer* scene = canvas->GetScene())
            scene->SetShowCoordinates(show);
}

void CChessFrame::SceneSetShowAnnotation(bool show)
{
    if (CChessWindow* canvas = GetChessWindow())
        if (CBoardRenderer* scene = canvas->GetScene())
            scene->SetShowAnnotation(show);
}

CGamePanel* CChessFrame::GetGamePanelWindow() const
{
    return dynamic_cast<CGamePanel*>(m_gamePanel);
}

CChatWindow* CChessFrame::GetChatWindow() const
{
    return dynamic_cast<CChatWindow*>(m_chatPane);
}

void CChessFrame::GamePanelShowMoveList(bool show)
{
    if (CGamePanel* panel = GetGamePanelWindow())
        panel->ShowMoveList(show);
}

bool CChessFrame::GamePanelToggleClock()
{
    CGamePanel* panel = GetGamePanelWindow();
    if (!panel)
        return false;
    panel->ShowClock(!panel->IsClockShown());
    return panel->IsClockShown();
}

void CChessFrame::GamePanelShowClock()
{
    if (CGamePanel* panel = GetGamePanelWindow())
        panel->ShowClock(true);
}

void CChessFrame::GamePanelLayout()
{
    if (CGamePanel* panel = GetGamePanelWindow())
        panel->DoLayout();
    LayoutBoardView();
}

void CChessFrame::BrowserRebuild(bool reloadLiveContent)
{
    if (CBrowserPanel* browser = dynamic_cast<CBrowserPanel*>(m_browserPanel))
        browser->Rebuild(reloadLiveContent);
}

void CChessFrame::BrowserRescanGames()
{
    if (CBrowserPanel* browser = dynamic_cast<CBrowserPanel*>(m_browserPanel)) {
        browser->ListActiveGames();
        browser->ListPlayedGames();
    }
}

void CChessFrame::ChatClear()
{
    if (CChatWindow* chat = GetChatWindow())
        chat->Clear();
}

void CChessFrame::UpdateGamePanel()
{
    CGamePanel* panel = GetGamePanelWindow();
    CGame* game = GetGame();
    if (!panel || !game)
        return;
    Zorlin::CString page;
    game->GetStatusPage(page);
    panel->LoadTemplate(page.GetText());
    RefreshGamePanel();
}

void CChessFrame::RefreshGamePanel()
{
    CGamePanel* panel = GetGamePanelWindow();
    CGame* game = GetGame();
    if (!panel || !game)
        return;
    panel->UpdatePage(game, &game->GetBoard(), game->GetPlayer(WHITE), game->GetPlayer(BLACK));
}

CChessView* CChessFrame::GetChessView()
{
    return GetChessWindow();
}

CClockView* CChessFrame::GetClockView()
{
    CGamePanel* panel = GetGamePanelWindow();
    return panel ? panel->GetClockWindow() : nullptr;
}
