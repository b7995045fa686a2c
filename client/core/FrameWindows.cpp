// The windows of the main frame's two views and what the frame asks of
// them. Until the board canvas, the game panel and the chat pane exist, plain stand-ins hold their places with the names,
// ids and sizes the frame relies on, and the requests made of them do
// nothing; each stand-in goes when its window arrives.

#include "client/core/ChessFrame.h"

#include <wx/laywin.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/stattext.h>

#include "client/core/ChessApp.h"
#include "client/view/BrowserPanel.h"

namespace {

const wxColour kBoardGreen(46, 74, 54);

} // namespace

void CChessFrame::CreateViewWindows()
{
    m_gamePanel = new wxSashLayoutWindow(this, wxID_ANY, wxDefaultPosition, wxSize(200, 200),
                                         wxCLIP_CHILDREN | wxSW_3D, "layoutWindow");
    m_gamePanel->SetOrientation(wxLAYOUT_VERTICAL);
    m_gamePanel->SetAlignment(wxLAYOUT_RIGHT);
    m_gamePanel->SetDefaultSize(wxSize(200, 1000));
    new wxStaticText(m_gamePanel, wxID_ANY, "Game", wxPoint(8, 8));
    m_gamePanel->Hide();

    m_splitter = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                      wxSP_LIVE_UPDATE | wxSP_3DSASH | wxSP_NOBORDER | wxNO_FULL_REPAINT_ON_RESIZE,
                                      "splitterWindow");
    m_boardCanvas = new wxPanel(m_splitter, wxID_ANY, wxPoint(0, 0), wxSize(100, 100), wxNO_BORDER | wxWANTS_CHARS, "Board");
    m_boardCanvas->SetBackgroundColour(kBoardGreen);
    m_chatPane = new wxPanel(m_splitter, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxCLIP_CHILDREN, "Chat");
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

CGame* CChessFrame::GetGame() const
{
    return nullptr;
}

bool CChessFrame::GameInPlay()
{
    return false;
}

bool CChessFrame::QueryCloseGame()
{
    return true;
}

bool CChessFrame::GameCanTakeBack()
{
    return false;
}

bool CChessFrame::GameHasWhiteLocal() const
{
    return true;
}

bool CChessFrame::IsWhiteLocal() const
{
    return GameHasWhiteLocal();
}

bool CChessFrame::CanvasIsDragging()
{
    return false;
}

void CChessFrame::CanvasCancelDrag()
{
}

void CChessFrame::CanvasStopTimers()
{
}

void CChessFrame::CanvasTakeOptions()
{
}

void CChessFrame::CanvasSyncScene()
{
}

void CChessFrame::CanvasRedraw()
{
    if (m_boardCanvas)
        m_boardCanvas->Refresh(false);
}

void CChessFrame::CanvasUpdateStatus()
{
}

void CChessFrame::SceneSetFlipped(bool)
{
}

void CChessFrame::SceneSetShowCoordinates(bool)
{
}

void CChessFrame::SceneSetShowAnnotation(bool)
{
}

void CChessFrame::GamePanelShowMoveList(bool)
{
}

bool CChessFrame::GamePanelToggleClock()
{
    return false;
}

void CChessFrame::GamePanelShowClock()
{
}

void CChessFrame::GamePanelLayout()
{
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
}

void CChessFrame::UpdateGamePanel()
{
}

void CChessFrame::RefreshGamePanel()
{
}

CChessView* CChessFrame::GetChessView()
{
    return nullptr;
}

CClockView* CChessFrame::GetClockView()
{
    return nullptr;
}

void CChessFrame::RefreshFromGame()
{
}

void CChessFrame::ShowPosition()
{
}
