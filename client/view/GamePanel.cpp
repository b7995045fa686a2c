#include "client/view/GamePanel.h"

#include <wx/listctrl.h>

#include "chess/ChessBoard.h"
#include "client/core/AppServices.h"
#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/view/BoardRenderer.h"
#include "client/view/ChessWindow.h"
#include "client/view/ClockWindow.h"
#include "client/view/GamePage.h"
#include "client/view/HtmlText.h"
#include "client/view/MoveList.h"
#include "client/view/PanelSplitter.h"
#include "client/view/WebPanel.h"

using namespace Zorlin;

namespace {

const int kInitialHeight = 1000;

CChessWindow* Canvas()
{
    CFrameView* frame = GetAppServices().GetFrameView();
    return frame ? dynamic_cast<CChessWindow*>(frame->GetChessView()) : nullptr;
}

} // namespace

wxBEGIN_EVENT_TABLE(CGamePanel, wxSashLayoutWindow)
    EVT_ERASE_BACKGROUND(CGamePanel::OnEraseBackground)
    EVT_SIZE(CGamePanel::OnSize)
    EVT_LIST_ITEM_SELECTED(CGamePanel::kMoveListId, CGamePanel::OnMoveSelected)
wxEND_EVENT_TABLE()

CGamePanel::CGamePanel(wxWindow* parent, wxWindowID id)
    : wxSashLayoutWindow(parent, id, wxDefaultPosition, wxSize(kWidth, kInitialHeight), wxCLIP_CHILDREN | wxSW_3D,
                         "layoutWindow"),
      m_showMoveList(false), m_selectedPly(-1), m_clock(nullptr), m_page(nullptr), m_moveList(nullptr),
      m_splitter(nullptr)
{
    SetOrientation(wxLAYOUT_VERTICAL);
    SetAlignment(wxLAYOUT_RIGHT);
    SetDefaultSize(wxSize(kWidth, kInitialHeight));

    m_clock = new CClockWindow(this, wxID_ANY);
    m_splitter = new CPanelSplitter(this, wxID_ANY, wxDefaultPosition, wxSize(kWidth, kInitialHeight),
                                    wxSP_LIVE_UPDATE | wxSP_3DSASH | wxSP_NOBORDER | wxNO_FULL_REPAINT_ON_RESIZE,
                                    "splitterWindow");
    m_splitter->SetMinimumPaneSize(kMinimumPaneSize);
    m_moveList = new CMoveList(m_splitter, kMoveListId);
    m_page = new CWebPanel(m_splitter, wxID_ANY);

    ReadTemplate("inplay.htm", m_template);
    ReadTemplate("notinplay.htm", m_notInPlayTemplate);

    m_clock->Hide();
    m_moveList->Hide();
    m_page->Show();
    m_page->SetSize(kWidth, kInitialHeight);
    m_splitter->Initialize(m_page);
    m_splitter->Show();
}

CGamePanel::~CGamePanel() = default;

bool CGamePanel::ReadTemplate(const char* name, CString& out)
{
    CString language = GetLanguage(GetAppServices().GetUserSettings());
    CHtmlText text;
    bool ok = ::LoadTemplate(GetAppServices().GetProgramDrive(), (GetHtmlFolder(language) + name).GetText(), text);
    out = text;
    return ok;
}

bool CGamePanel::LoadTemplate(const char* name)
{
    if (!name)
        name = "";
    return ReadTemplate(name, m_template);
}

void CGamePanel::UpdatePage(CGame* game, CChessBoard* board, CPlayer* white, CPlayer* black)
{
    // The fields go into the page's own variables so that the page is
    // expanded once: text from outside is never scanned for fields again.
    FillGamePageVariables(game, board, white, black, GetAppServices().GetProgramSettings(),
                          m_page->GetVariables());
    m_page->ShowHtml(CHtmlText(m_template));
}

void CGamePanel::ShowMoveList(bool show)
{
    m_showMoveList = show;
    if (show) {
        m_page->Show();
        m_moveList->Show();
        if (!m_splitter->IsSplit())
            m_splitter->SplitHorizontally(m_page, m_moveList);
    } else {
        if (m_splitter->IsSplit())
            m_splitter->Unsplit(m_moveList);
        m_moveList->Hide();
    }
}

void CGamePanel::ShowClock(bool show)
{
    m_clock->Show(show);
    DoLayout();
}

bool CGamePanel::IsClockShown() const
{
    return m_clock->IsShown();
}

void CGamePanel::DoLayout()
{
    wxSize size = GetClientSize();
    int clockHeight = m_clock->IsShown() ? kClockHeight : 0;
    m_clock->SetSize(0, 0, size.x, clockHeight);
    m_splitter->SetSize(0, clockHeight, size.x, size.y - clockHeight);
}

void CGamePanel::OnSize(wxSizeEvent&)
{
    DoLayout();
    ShowMoveList(m_showMoveList);
    m_splitter->Show();
}

void CGamePanel::OnEraseBackground(wxEraseEvent&)
{
}

void CGamePanel::ResetMoveList()
{
    m_moveList->Reset();
    m_selectedPly = -1;
}

void CGamePanel::FillMoveList(const CChessBoard& board)
{
    m_moveList->Fill(board);
    m_selectedPly = -1;
}

void CGamePanel::AddMove(const CString& san)
{
    m_moveList->AddMove(san);
}

void CGamePanel::OnMoveSelected(wxListEvent& event)
{
    SelectPly(int(event.GetIndex()));
}

void CGamePanel::SelectPly(int row)
{
    CChessWindow* canvas = Canvas();
    CGame* game = canvas ? canvas->GetGame() : nullptr;
    if (!game)
        return;
    const CChessBoard& board = game->GetBoard();
    // Row 0 is the start position; rows past the history (the list may be
    // ahead of the game while it is refilled) show nothing.
    if (row < 0 || row > board.GetHistory().GetCount())
        return;
    if (CBoardRenderer* scene = canvas->GetScene())
        scene->ClearSquareImages();
    CChessBoard scratch;
    CMove lastMove;
    if (row >= 1 && m_selectedPly == row - 1) {
        board.ReplayInto(scratch, lastMove, row - 1);
        CMove move = board.GetHistory().GetAt(row - 1)->m_move;
        canvas->ShowMoveAnimated(scratch, move);
    } else {
        board.ReplayInto(scratch, lastMove, row);
        canvas->ShowPosition(scratch, lastMove);
    }
    m_selectedPly = row;
}
