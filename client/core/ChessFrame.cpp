#include "client/core/ChessFrame.h"
#include "client/core/ChessView.h"

#include <algorithm>

#include <wx/iconbndl.h>
#include <wx/laywin.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/splitter.h>
#include <wx/statusbr.h>

#include "client/core/ChessApp.h"
#include "client/core/ExitSaver.h"
#include "client/core/Game.h"
#include "client/core/ModalLoops.h"
#include "client/dialogs/GameOverDialog.h"
#include "client/dialogs/HtmlMessageBox.h"
#include "client/dialogs/Icons.h"
#include "client/dialogs/MenuBar.h"
#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

wxIMPLEMENT_DYNAMIC_CLASS(CChessFrame, wxFrame);

wxBEGIN_EVENT_TABLE(CChessFrame, wxFrame)
    EVT_CHAR_HOOK(CChessFrame::OnCharHook)
    EVT_MENU(ID_MENU_ABOUT, CChessFrame::OnAbout)
    EVT_MENU(ID_MENU_STATUS_BAR, CChessFrame::OnShowStatusBar)
    EVT_MENU(ID_MENU_FLIP_VIEW, CChessFrame::OnFlipView)
    EVT_MENU(ID_MENU_FULLSCREEN, CChessFrame::OnFullScreen)
    EVT_MENU(ID_MENU_COORDINATES, CChessFrame::OnShowCoordinates)
    EVT_MENU(ID_MENU_LEGAL_MOVES, CChessFrame::OnShowLegalMoves)
    EVT_MENU(ID_MENU_CHAT, CChessFrame::OnShowChat)
    EVT_MENU(ID_MENU_MOVE_TEXT, CChessFrame::OnShowMoveText)
    EVT_MENU(ID_MENU_SKINNED_CURSOR, CChessFrame::OnSkinnedCursor)
    EVT_MENU(ID_MENU_LAST_MOVE, CChessFrame::OnShowLastMove)
    EVT_MENU(ID_MENU_REFRESH_BROWSER, CChessFrame::OnRefreshBrowser)
    EVT_MENU(ID_MENU_EXPORT_PGN, CChessFrame::OnExportPgn)
    EVT_MENU(ID_MENU_OPEN_PGN, CChessFrame::OnOpenPgn)
    EVT_MENU(ID_MENU_COPY_PGN, CChessFrame::OnCopyPgn)
    EVT_MENU(ID_MENU_PASTE_PGN, CChessFrame::OnPastePgn)
    EVT_MENU(ID_MENU_DISPLAY_PGN, CChessFrame::OnDisplayPgn)
    EVT_MENU(ID_MENU_EXPORT_FEN, CChessFrame::OnExportFen)
    EVT_MENU(ID_MENU_BROWSER, CChessFrame::OnViewBrowser)
    EVT_MENU(ID_MENU_BOARD, CChessFrame::OnViewBoard)
    EVT_MENU(ID_MENU_CLOCK, CChessFrame::OnShowClock)
    EVT_MENU(ID_MENU_PANEL, CChessFrame::OnShowPanel)
    EVT_MENU(ID_MENU_ANNOTATION, CChessFrame::OnShowAnnotation)
    EVT_MENU(ID_MENU_MOVE_DIALOG, CChessFrame::OnMoveDialog)
    EVT_MENU(ID_MENU_PREFERENCES, CChessFrame::OnPreferences)
    EVT_MENU(ID_MENU_GRIDMOOR_PREFERENCES, CChessFrame::OnGridmoorPreferences)
    EVT_MENU(ID_MENU_PROFILE, CChessFrame::OnProfile)
    EVT_MENU(ID_MENU_OPPONENTS, CChessFrame::OnOpponents)
    EVT_MENU(ID_MENU_CLEAR_ANNOTATION, CChessFrame::OnClearAnnotation)
    EVT_MENU(ID_MENU_PEN_COLOUR, CChessFrame::OnChangePenColour)
    EVT_MENU(ID_MENU_OPPONENT_PEN_COLOUR, CChessFrame::OnChangeOpponentPenColour)
    EVT_MENU(ID_MENU_CLEAR_STATISTICS, CChessFrame::OnClearStatistics)
    EVT_MENU(ID_MENU_CLEAR_CHAT, CChessFrame::OnClearChat)
    EVT_MENU(ID_MENU_TAKE_BACK, CChessFrame::OnTakeBack)
    EVT_MENU(ID_MENU_OFFER_DRAW, CChessFrame::OnOfferDraw)
    EVT_MENU(ID_MENU_RESIGN, CChessFrame::OnResign)
    EVT_MENU(ID_MENU_RESET_GAME, CChessFrame::OnResetGame)
    EVT_MENU(ID_MENU_PLAY_ONLINE, CChessFrame::OnPlayOnline)
    EVT_MENU(ID_MENU_NEW_COMPUTER_GAME, CChessFrame::OnNewComputerGame)
    EVT_MENU(ID_MENU_NEW_EMAIL_GAME, CChessFrame::OnNewEmailGame)
    EVT_MENU(ID_MENU_HOST_NETWORK_GAME, CChessFrame::OnHostNetworkGame)
    EVT_MENU(ID_MENU_JOIN_NETWORK_GAME, CChessFrame::OnJoinNetworkGame)
    EVT_MENU(ID_MENU_END_GAME, CChessFrame::OnEndGame)
    EVT_MENU(ID_MENU_OPEN_GAME, CChessFrame::OnOpenGame)
    EVT_MENU(ID_MENU_SAVE_GAME, CChessFrame::OnSaveGame)
    EVT_MENU(ID_MENU_SAVE_GAME_AS, CChessFrame::OnSaveGameAs)
    EVT_MENU(ID_MENU_OPEN_TRANSPORT_FILE, CChessFrame::OnOpenTransportFile)
    EVT_MENU(ID_MENU_SAVE_SNAPSHOT, CChessFrame::OnSaveSnapshot)
    EVT_MENU(ID_MENU_EXIT, CChessFrame::OnExit)
    EVT_MENU(ID_MENU_HELP_CONTENTS, CChessFrame::OnHelpContents)
    EVT_MENU(ID_MENU_ONLINE_SUPPORT, CChessFrame::OnOnlineSupport)
    EVT_MENU(ID_MENU_TROUBLESHOOTING, CChessFrame::OnTroubleshooting)
    EVT_MENU(ID_MENU_WEB_SITE, CChessFrame::OnWebSite)
    EVT_UPDATE_UI(wxID_ANY, CChessFrame::OnUpdateUI)
    EVT_LIST_ITEM_FOCUSED(10000, CChessFrame::OnListItemFocused)
    EVT_ERASE_BACKGROUND(CChessFrame::OnEraseBackground)
    EVT_SIZE(CChessFrame::OnSize)
    EVT_CLOSE(CChessFrame::OnClose)
    EVT_MENU_OPEN(CChessFrame::OnMenuOpen)
    EVT_IDLE(CChessFrame::OnIdle)
wxEND_EVENT_TABLE()

namespace {

const struct {
    const char* name;
    int id;
} kCommandNames[] = {
    {"GAME", ID_MENU_GAME},
    {"GAME_ONLINE", ID_MENU_PLAY_ONLINE},
    {"GAME_NEW_GAME_VERSUS_COMPUTER", ID_MENU_NEW_COMPUTER_GAME},
    {"GAME_NEW_EMAIL_GAME", ID_MENU_NEW_EMAIL_GAME},
    {"GAME_NETWORK_START", ID_MENU_HOST_NETWORK_GAME},
    {"GAME_NETWORK_JOIN", ID_MENU_JOIN_NETWORK_GAME},
    {"GAME_PGN_IMPORT_PGN", ID_MENU_OPEN_PGN},
    {"MENU", ID_MENU_MENU},
    {"OPTIONS_CLEAR_STATISTICS", ID_MENU_CLEAR_STATISTICS},
    {"OPTIONS_PREFERENCES", ID_MENU_PREFERENCES},
    {"OPTIONS_GRIDMOOR", ID_MENU_GRIDMOOR_PREFERENCES},
    {"OPTIONS_PROFILE", ID_MENU_PROFILE},
    {"OPTIONS_OPPONENTS", ID_MENU_OPPONENTS},
    {"OPTIONS_CLEAR_ANNOTATION", ID_MENU_CLEAR_ANNOTATION},
    {"OPTIONS_CHANGE_COLOUR", ID_MENU_PEN_COLOUR},
    {"VIEW_FLIP_VIEW", ID_MENU_FLIP_VIEW},
    {"VIEW_DISPLAY_COORDINATES", ID_MENU_COORDINATES},
    {"VIEW_SKINNED_CURSOR", ID_MENU_SKINNED_CURSOR},
    {"VIEW_MOVE_TEXT", ID_MENU_MOVE_TEXT},
    {"VIEW_CHAT", ID_MENU_CHAT},
    {"VIEW_SHOW_CLOCK", ID_MENU_CLOCK},
    {"VIEW_FULLSCREEN", ID_MENU_FULLSCREEN},
    {"VIEW_BROWSER", ID_MENU_BROWSER},
    {"VIEW_REFRESH_BROWSER", ID_MENU_REFRESH_BROWSER},
    {"VIEW_BOARD", ID_MENU_BOARD},
    {"HELP_ABOUT", ID_MENU_ABOUT},
    {"HELP_CONTENTS", ID_MENU_HELP_CONTENTS},
};

CConfig* UserSettings()
{
    CChessApp* app = GetChessApp();
    return app ? app->m_userConfig.get() : nullptr;
}

bool UserFlag(const char* key)
{
    CConfig* settings = UserSettings();
    return settings && CConfig::IsTrue(settings->GetValueOr(key, ""));
}

void SetUserValue(const char* key, const char* value)
{
    if (CConfig* settings = UserSettings())
        settings->GetValue(key) = value;
}

} // namespace

CChessFrame::CChessFrame()
    : m_boardCanvas(nullptr), m_chatPane(nullptr), m_gamePanel(nullptr), m_splitter(nullptr),
      m_browserPanel(nullptr), m_moveDialog(nullptr), m_fullScreen(false), m_flipped(false),
      m_showCoordinates(false), m_chatShown(false), m_moveListShown(false), m_skinnedCursor(false),
      m_legalMoves(false), m_lastMove(false), m_annotationShown(true), m_browserView(false), m_boardAsked(false),
      m_panelEnabled(true), m_yielding(false), m_closePending(false), m_closeForced(false),
      m_firstIdleSeen(false)
{
}

CChessFrame::CChessFrame(const wxString& title, const wxPoint& position, const wxSize& size)
    : CChessFrame()
{
    Create(nullptr, wxID_ANY, title, position, size, wxDEFAULT_FRAME_STYLE | wxCLIP_CHILDREN);
    wxIconBundle icons;
    for (int i = 0; i < 2; ++i) {
        wxIcon icon;
        icon.CopyFromBitmap(GetAppIcon(i));
        icons.AddIcon(icon);
    }
    SetIcons(icons);

    m_showCoordinates = UserFlag(".Preferences.View.ShowCoords");
    m_skinnedCursor = UserFlag(".Preferences.View.ShowSkinnedCursor");
    m_legalMoves = UserFlag(".Preferences.View.ShowLegalMoves");
    m_lastMove = UserFlag(".Preferences.View.ShowLastMove");

    SetMenuBar(CreateMenuBar());
    CreateStatusFields();
    CreateViewWindows();
    ShowBrowser(true, true);
    FillCommandMap();
    ApplyViewOptions();
    InstallDropTarget();
}

CChessFrame::~CChessFrame()
{
    SaveViewOptions();
    CChessApp* app = GetChessApp();
    if (app && app->m_frame == this) {
        app->m_frame = nullptr;
        // The application's console is our child and goes with us.
        app->m_console = nullptr;
    }
}

void CChessFrame::CreateStatusFields()
{
    wxStatusBar* bar = GetStatusBar();
    if (!bar)
        bar = CreateStatusBar(3, wxSTB_SIZEGRIP | wxCLIP_CHILDREN);
    // 100 and 60 pixels, widened to the longest texts in the theme's font:
    // a GTK font does not fit " Black to move" into 100, and a game lost
    // on time says so there.
    const int padding = 16;
    const int widths[3] = {-1, std::max(100, bar->GetTextExtent(" Black wins on time").x + padding),
                           std::max(60, bar->GetTextExtent("exd8=Q#").x + padding)};
    bar->SetStatusWidths(3, widths);
}

void CChessFrame::FillCommandMap()
{
    for (const auto& entry : kCommandNames) {
        m_keyText = entry.name;
        m_commands[m_keyText] = entry.id;
    }
}

void CChessFrame::ApplyViewOptions()
{
    CanvasTakeOptions();
    CanvasSyncScene();
    SceneSetShowCoordinates(m_showCoordinates);
    SetCheck(ID_MENU_SKINNED_CURSOR, m_skinnedCursor);
    SetCheck(ID_MENU_LEGAL_MOVES, m_legalMoves);
    SetCheck(ID_MENU_COORDINATES, m_showCoordinates);
    SetCheck(ID_MENU_LAST_MOVE, m_lastMove);
    SetCheck(ID_MENU_PANEL, true);
    SetCheck(ID_MENU_ANNOTATION, true);
    bool status = UserFlag(".preferences.view.status");
    SetCheck(ID_MENU_STATUS_BAR, status);
    if (GetStatusBar())
        GetStatusBar()->Show(status);
    SendSizeEvent();
}

void CChessFrame::SaveViewOptions()
{
    SetUserValue(".Preferences.View.ShowCoords", m_showCoordinates ? "yes" : "no");
    SetUserValue(".Preferences.View.ShowSkinnedCursor", m_skinnedCursor ? "yes" : "no");
    SetUserValue(".Preferences.View.ShowLegalMoves", m_legalMoves ? "yes" : "no");
    SetUserValue(".Preferences.View.ShowLastMove", m_lastMove ? "yes" : "no");
}

void CChessFrame::SetCheck(int id, bool checked)
{
    wxMenuBar* bar = GetMenuBar();
    if (bar && bar->FindItem(id))
        bar->Check(id, checked);
}

bool CChessFrame::ExecuteCommand(const CString& name)
{
    const int* id = m_commands.Find(name.GetText());
    if (!id)
        return false;
    wxCommandEvent event(wxEVT_MENU, *id);
    event.SetEventObject(this);
    GetEventHandler()->ProcessEvent(event);
    return true;
}

bool CChessFrame::IsClosing() const
{
    return m_closePending || IsDestroyPending() || IsBeingDeleted();
}

bool CChessFrame::IsInsideOtherWork() const
{
    CChessApp* app = GetChessApp();
    return CHeldWindow<wxFrame>::IsInsideOtherWork() || (app && !app->IsStartupDone());
}

void CChessFrame::YieldOnce()
{
    // A view switch may itself run inside a yield; never nest them. A
    // closing frame has nothing left to draw.
    if (m_yielding || IsClosing() || !wxTheApp)
        return;
    m_yielding = true;
    wxTheApp->Yield(true);
    m_yielding = false;
}

void CChessFrame::ShowBrowser(bool browser, bool yield)
{
    m_browserView = browser;
    m_boardAsked = m_boardAsked || !browser;
    if (yield)
        YieldOnce();
    if (!m_browserPanel || m_browserPanel->IsShown() == browser)
        return;
    if (browser) {
        SizeBrowserToClient();
        SetCheck(ID_MENU_BOARD, false);
        SetCheck(ID_MENU_BROWSER, true);
        if (m_gamePanel)
            m_gamePanel->Hide();
        if (m_splitter)
            m_splitter->Hide();
        if (m_boardCanvas)
            m_boardCanvas->Hide();
        m_browserPanel->Show();
        if (IsShown())
            m_browserPanel->SetFocus();
    } else {
        // The voices load as the board comes into sight; ShowOnBoard has
        // them load once its board is drawn.
        CChessApp* app = GetChessApp();
        if (app && IsShown())
            app->GetVoice(0);
        SetCheck(ID_MENU_BOARD, true);
        SetCheck(ID_MENU_BROWSER, false);
        m_browserPanel->Hide();
        if (m_gamePanel)
            m_gamePanel->Show(m_panelEnabled);
        if (m_boardCanvas)
            m_boardCanvas->Show();
        if (m_splitter && m_splitter->IsSplit()) {
            int sash = m_splitter->GetSashPosition();
            wxWindow* chat = m_splitter->GetWindow2();
            m_splitter->Unsplit(chat);
            if (chat) {
                m_splitter->SplitHorizontally(m_boardCanvas, chat, sash);
                chat->Show();
            }
        }
        if (m_splitter)
            m_splitter->Show();
        LayoutBoardView();
        // Keys go to the view in sight: a hidden window's keys reach no one.
        if (m_boardCanvas && IsShown())
            m_boardCanvas->SetFocus();
    }
    ShowStatusBarAgain();
    if (yield)
        YieldOnce();
}

void CChessFrame::ShowStatusBarAgain()
{
    wxStatusBar* bar = GetStatusBar();
    if (m_fullScreen || !bar || !bar->IsShown())
        return;
    bar->Hide();
    bar->Show();
}

void CChessFrame::SizeBrowserToClient()
{
    if (!m_browserPanel)
        return;
    wxSize client = GetClientSize();
    m_browserPanel->SetSize(0, 0, client.x, client.y);
}

void CChessFrame::LayoutBoardView()
{
    if (!m_splitter)
        return;
    wxLayoutAlgorithm layout;
    layout.LayoutFrame(this, m_splitter);
}

void CChessFrame::ApplyPanelRule()
{
    if (!m_gamePanel)
        return;
    if (GetClientSize().x < kPanelMinClientWidth)
        m_gamePanel->Hide();
    else if (m_panelEnabled)
        m_gamePanel->Show();
}

void CChessFrame::OnSize(wxSizeEvent&)
{
    if (m_browserView) {
        SizeBrowserToClient();
        return;
    }
    if (m_splitter) {
        ApplyPanelRule();
        LayoutBoardView();
    }
    SizeBrowserToClient();
}

void CChessFrame::OnEraseBackground(wxEraseEvent&)
{
}

void CChessFrame::OnListItemFocused(wxListEvent&)
{
}

bool CChessFrame::CanClose()
{
    if (!m_boardCanvas || !GetGame())
        return true;
    // An online game is asked even when over: it may still hold the connection.
    const bool online =
        Zorlin::KeysEqualNoCase(GetGame()->GetSettings().GetValueOr("type", ""), Zorlin::CString("GridmoorGame"));
    if (!GameInPlay() && !online)
        return true;
    return QueryCloseGame();
}

void CChessFrame::OnClose(wxCloseEvent& event)
{
    // A close asked for while events are let through under some call (Game,
    // Exit typed during a view switch's yield, or while a file handed over
    // or named at the start is read) would ask its questions and take the
    // windows away under that call: it comes once the frame is free
    // (OnFree), and long work under way (the reading) stops, so the call
    // returns soon.
    if (IsInsideOtherWork()) {
        if (event.CanVeto())
            event.Veto();
        m_closePending = true;
        m_closeForced = m_closeForced || !event.CanVeto();
        StopModalWork();
        LookWhenFree();
        return;
    }
    m_closePending = false;
    m_closeForced = false;
    // A full-screen or minimised window's size is no place to start from.
    if (!m_fullScreen && !IsIconized() && !IsMaximized()) {
        wxRect rect = GetRect();
        CString text;
        const struct {
            const char* key;
            int value;
        } geometry[] = {{".preferences.window.x", rect.x},
                        {".preferences.window.y", rect.y},
                        {".preferences.window.width", rect.width},
                        {".preferences.window.height", rect.height}};
        for (const auto& item : geometry) {
            text = "";
            text.AppendFormat("%d", item.value);
            SetUserValue(item.key, text.GetText());
        }
    }
    // A close that cannot be refused (the session ends) asks nothing.
    if (event.CanVeto()) {
        m_askingToClose = true;
        const bool may = CanClose();
        m_askingToClose = false;
        if (!may) {
            event.Veto();
            return;
        }
    }
    // A finished game whose Game Over window is still open is kept as its
    // ticks say, before the settings are written.
    CGameOverDialog::FinishAll();
    // Message windows without a parent would keep the program running.
    CHtmlMessageBox::CloseParentless();
    Hide();
    CanvasStopTimers();
    if (CChessApp* app = GetChessApp()) {
        app->CloseOnlineSession();
        app->CloseSplashes();
    }
    Destroy();
}

wxRect CChessFrame::GetBoardScreenRect() const
{
    if (m_boardCanvas && m_boardCanvas->IsShownOnScreen())
        return m_boardCanvas->GetScreenRect();
    return GetScreenRect();
}

void CChessFrame::OnExit(wxCommandEvent&)
{
    Close(false);
}

void CChessFrame::OnFree()
{
    if (!m_closePending) {
        CHeldWindow<wxFrame>::OnFree();
        return;
    }
    const bool forced = m_closeForced;
    m_closePending = false;
    m_closeForced = false;
    Close(forced);
}

void CChessFrame::OnIdle(wxIdleEvent& event)
{
    event.Skip();
    // The toolkit updates menu items only as a menu opens: the title is
    // kept in step with the game here.
    UpdateActionsMenu(false);
    if (m_firstIdleSeen || !IsShown())
        return;
    // On the board view the window is drawn once the board is.
    CChessView* view = GetChessView();
    if (!m_browserView && view && !view->IsFirstFrameDone())
        return;
    // The first time the shown frame has nothing to do, it has been drawn.
    NoteFirstFrame();
}

void CChessFrame::NoteFirstFrame()
{
    if (m_firstIdleSeen)
        return;
    m_firstIdleSeen = true;
    // What was drawn goes to the display now, not with the next event.
    Update();
    if (CChessApp* app = GetChessApp())
        app->OnFirstFrameShown();
}
