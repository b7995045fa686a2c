// The view commands of the main frame, its key hook and its menu states.

#include "client/core/ChessFrame.h"

#include <wx/laywin.h>
#include <wx/menu.h>
#include <wx/splitter.h>
#include <wx/statusbr.h>

#include "client/core/ChessApp.h"
#include "client/core/Clipboard.h"
#include "client/core/Game.h"
#include "client/dialogs/MenuBar.h"
#include "foundation/Config.h"

using Zorlin::CConfig;

namespace {

const int kChatSashFromBottomByCommand = 156;
const int kChatSashFromBottomByMessage = 140;

CConfig* UserSettings()
{
    CChessApp* app = GetChessApp();
    return app ? app->m_userConfig.get() : nullptr;
}

bool StatusPreference()
{
    CConfig* settings = UserSettings();
    return settings && CConfig::IsTrue(settings->GetValueOr(".preferences.view.status", ""));
}

} // namespace

void CChessFrame::SetFlipView(bool flipped)
{
    if (flipped == m_flipped)
        return;
    m_flipped = flipped;
    SetCheck(ID_MENU_FLIP_VIEW, m_flipped);
    SceneSetFlipped(m_flipped);
    CanvasSyncScene();
    CanvasRedraw();
}

void CChessFrame::OnFlipView(wxCommandEvent&)
{
    ShowBrowser(false, true);
    m_flipped = !m_flipped;
    SetCheck(ID_MENU_FLIP_VIEW, m_flipped);
    SceneSetFlipped(m_flipped);
    CanvasSyncScene();
    CanvasRedraw();
}

void CChessFrame::ToggleFullScreen()
{
    m_fullScreen = !m_fullScreen;
    long style = wxFULLSCREEN_NOMENUBAR | wxFULLSCREEN_NOBORDER | wxFULLSCREEN_NOCAPTION;
    // A status bar the user switched off stays as it is.
    if (StatusPreference())
        style |= wxFULLSCREEN_NOSTATUSBAR;
    ShowFullScreen(m_fullScreen, style);
}

void CChessFrame::OnFullScreen(wxCommandEvent&)
{
    ShowBrowser(false, true);
    ToggleFullScreen();
    Raise();
}

void CChessFrame::OnShowCoordinates(wxCommandEvent&)
{
    ShowBrowser(false, true);
    m_showCoordinates = !m_showCoordinates;
    SceneSetShowCoordinates(m_showCoordinates);
    CanvasRedraw();
    SetCheck(ID_MENU_COORDINATES, m_showCoordinates);
}

void CChessFrame::OnShowLegalMoves(wxCommandEvent&)
{
    ShowBrowser(false, true);
    m_legalMoves = !m_legalMoves;
    CanvasTakeOptions();
    SetCheck(ID_MENU_LEGAL_MOVES, m_legalMoves);
}

void CChessFrame::OnShowLastMove(wxCommandEvent&)
{
    ShowBrowser(false, true);
    m_lastMove = !m_lastMove;
    CanvasTakeOptions();
    CanvasSyncScene();
    SetCheck(ID_MENU_LAST_MOVE, m_lastMove);
}

void CChessFrame::OnSkinnedCursor(wxCommandEvent&)
{
    ShowBrowser(false, true);
    m_skinnedCursor = !m_skinnedCursor;
    CanvasTakeOptions();
    SetCheck(ID_MENU_SKINNED_CURSOR, m_skinnedCursor);
}

void CChessFrame::OnShowMoveText(wxCommandEvent&)
{
    ShowBrowser(false, true);
    m_moveListShown = !m_moveListShown;
    GamePanelShowMoveList(m_moveListShown);
    SetCheck(ID_MENU_MOVE_TEXT, m_moveListShown);
}

void CChessFrame::OnShowChat(wxCommandEvent&)
{
    ShowBrowser(false, true);
    m_chatShown = !m_chatShown;
    if (m_splitter && m_chatPane) {
        if (m_chatShown) {
            if (!m_splitter->IsSplit())
                m_splitter->SplitHorizontally(m_boardCanvas, m_chatPane,
                                              m_splitter->GetSize().y - kChatSashFromBottomByCommand);
            m_chatPane->Show();
        } else if (m_splitter->IsSplit()) {
            m_splitter->Unsplit(m_chatPane);
            m_chatPane->Hide();
        }
    }
    Refresh();
    SetCheck(ID_MENU_CHAT, m_chatShown);
}

void CChessFrame::ShowChat()
{
    if (m_splitter && m_chatPane && !m_chatPane->IsShown()) {
        if (!m_splitter->IsSplit())
            m_splitter->SplitHorizontally(m_boardCanvas, m_chatPane,
                                          m_splitter->GetSize().y - kChatSashFromBottomByMessage);
        m_chatPane->Show();
        m_chatShown = true;
        Refresh();
    }
    SetCheck(ID_MENU_CHAT, true);
}

void CChessFrame::OnShowClock(wxCommandEvent&)
{
    bool shown = GamePanelToggleClock();
    GamePanelLayout();
    SetCheck(ID_MENU_CLOCK, shown);
}

void CChessFrame::ShowClock()
{
    GamePanelShowClock();
    GamePanelLayout();
    SetCheck(ID_MENU_CLOCK, true);
}

void CChessFrame::OnShowPanel(wxCommandEvent&)
{
    m_panelEnabled = !m_panelEnabled;
    if (m_gamePanel)
        m_gamePanel->Show(m_panelEnabled && GetClientSize().x >= kPanelMinClientWidth);
    LayoutBoardView();
}

void CChessFrame::OnShowAnnotation(wxCommandEvent&)
{
    m_annotationShown = !m_annotationShown;
    SceneSetShowAnnotation(m_annotationShown);
    CanvasRedraw();
}

void CChessFrame::OnRefreshBrowser(wxCommandEvent&)
{
    BrowserRescanGames();
    BrowserRebuild(true);
}

void CChessFrame::OnViewBrowser(wxCommandEvent&)
{
    ShowBrowser(true, true);
}

void CChessFrame::OnViewBoard(wxCommandEvent&)
{
    ShowBrowser(false, true);
}

void CChessFrame::OnShowStatusBar(wxCommandEvent&)
{
    bool shown = !StatusPreference();
    if (CConfig* settings = UserSettings())
        settings->GetValue(".preferences.view.status") = shown ? "yes" : "no";
    SetCheck(ID_MENU_STATUS_BAR, shown);
    if (shown) {
        // The bar made at construction is shown again: a frame has only one.
        CreateStatusFields();
        GetStatusBar()->Show();
        CanvasUpdateStatus();
    } else if (GetStatusBar()) {
        GetStatusBar()->Hide();
    }
    SendSizeEvent();
    Refresh();
}

bool CChessFrame::HandleKey(int keyCode, bool alt)
{
    switch (keyCode) {
    case WXK_ESCAPE:
        if (CanvasIsDragging()) {
            CanvasCancelDrag();
        } else if (m_fullScreen) {
            m_fullScreen = false;
            ShowFullScreen(false);
        }
        return true;
    case WXK_TAB:
        ShowBrowser(false, true);
        m_panelEnabled = !m_panelEnabled;
        if (m_panelEnabled && GetClientSize().x >= kPanelMinClientWidth) {
            if (m_gamePanel)
                m_gamePanel->Show();
            SetCheck(ID_MENU_PANEL, true);
        } else {
            if (m_gamePanel)
                m_gamePanel->Hide();
            SetCheck(ID_MENU_PANEL, false);
        }
        LayoutBoardView();
        return true;
    case WXK_F11:
        ShowBrowser(false, true);
        ToggleFullScreen();
        return true;
    case WXK_F1:
        if (CChessApp* app = GetChessApp())
            app->ShowHelp("contents", nullptr);
        return true;
    case WXK_F2:
        ShowBrowser(!m_browserView, true);
        return true;
    case WXK_BACK:
        if (!alt)
            return false;
        {
            wxCommandEvent event(wxEVT_MENU, ID_MENU_TAKE_BACK);
            OnTakeBack(event);
        }
        return true;
    default:
        return false;
    }
}

void CChessFrame::OnCharHook(wxKeyEvent& event)
{
    // F1 is used up too: passed on, the menu's F1 accelerator would open
    // the help page a second time.
    if (!HandleKey(event.GetKeyCode(), event.AltDown()))
        event.Skip();
}

void CChessFrame::OnUpdateUI(wxUpdateUIEvent&)
{
    UpdateActionsMenu(true);
}

void CChessFrame::UpdateActionsMenu(bool items)
{
    wxMenuBar* bar = GetMenuBar();
    if (!bar || bar->GetMenuCount() < 3)
        return;
    const size_t kActions = 2;
    wxMenu* actions = bar->GetMenu(kActions);
    // A game only viewed answers these itself.
    CGame* game = GetGame();
    bool inPlay = GameInPlay() || (game && game->IsOnlyViewed());
    bool takeBack = GameCanTakeBack();
    if (items) {
        if (actions->FindItem(ID_MENU_OFFER_DRAW))
            actions->Enable(ID_MENU_OFFER_DRAW, inPlay);
        if (actions->FindItem(ID_MENU_RESIGN))
            actions->Enable(ID_MENU_RESIGN, inPlay);
        if (actions->FindItem(ID_MENU_TAKE_BACK))
            actions->Enable(ID_MENU_TAKE_BACK, takeBack);
    }
    // The toolkit's menu with every item disabled ignores Escape and keeps
    // the keyboard until a click: such a menu is never opened.
    bool reset = actions->FindItem(ID_MENU_RESET_GAME) && actions->IsEnabled(ID_MENU_RESET_GAME);
    bool any = reset || (inPlay && (actions->FindItem(ID_MENU_OFFER_DRAW) || actions->FindItem(ID_MENU_RESIGN))) ||
               (takeBack && actions->FindItem(ID_MENU_TAKE_BACK));
    if (bar->IsEnabledTop(kActions) != any)
        bar->EnableTop(kActions, any);
}

void CChessFrame::OnMenuOpen(wxMenuEvent& event)
{
    event.Skip();
    wxMenuBar* bar = GetMenuBar();
    if (!bar || !bar->FindItem(ID_MENU_PASTE_PGN))
        return;
    bar->Enable(ID_MENU_PASTE_PGN, ClipboardHasText());
}
