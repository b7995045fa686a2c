#pragma once

// The client's one main window: it holds the board view (the board canvas
// over the chat pane in a splitter, the game panel beside it) and the
// browser view, keeps the view options and their menu checks in step, turns
// keys, menu choices and named commands into calls of its handlers, and
// closes the program in an orderly way.

#include <wx/frame.h>

#include "client/core/FrameView.h"
#include "client/core/HeldWindow.h"
#include "client/core/RemoteCommands.h"
#include "foundation/AssocArray.h"
#include "foundation/String.h"

namespace Zorlin {
class CConfig;
}

class CChessWindow;
class CBoardRenderer;
class CChatWindow;
class CGame;
class CGamePanel;
class CPgnCommands;
class wxListEvent;
class wxSashLayoutWindow;
class wxSplitterWindow;

// A call into the frame, or into a window it owns, that may let events
// through holds it (CHold) while it runs: a close that comes meanwhile is
// carried out after it, and the frame is not deleted under it.
class CChessFrame : public CHeldWindow<wxFrame>, public CFrameView {
public:
    // Client widths below this leave no room for the game panel.
    static const int kPanelMinClientWidth = 260;

    CChessFrame();
    CChessFrame(const wxString& title, const wxPoint& position, const wxSize& size);
    ~CChessFrame() override;

    // The board canvas's current game; null before the first one.
    CGame* GetGame() const;
    // The board canvas; null only while the frame is being made.
    CChessWindow* GetChessWindow() const;
    // Runs a command by name (case ignored) exactly as its menu item would:
    // false for an unknown name.
    bool ExecuteCommand(const Zorlin::CString& name);
    void ShowBrowser(bool browser, bool yield);
    // Shows the frame for the first time on its board view, the board drawn
    // with the window's first paint: the start-up opens a game next.
    void ShowOnBoard();
    // After that game was opened: back on the start page when the opening
    // did not ask for the board (a file refused, say), as it would have
    // left the frame had it come up there.
    void KeepBoardIfAsked();
    void UpdateGamePanel();
    void RefreshGamePanel();
    void SetFlipView(bool flipped);
    // A chat line arrived: the chat pane comes into view.
    void ShowChat();
    void ShowClock();
    bool CanClose();
    void SaveViewOptions();
    // Whether White's player is at this machine (true without a game).
    bool IsWhiteLocal() const;
    // Opens files of the side panel's links and of dropped files.
    void OpenGameFile(const Zorlin::CString& diskPath);
    void OpenPgnFile(const Zorlin::CString& diskPath);
    // Whether the current game agrees to be left (there may be none): one
    // with unsaved moves asks whether to save them first.
    bool MayLeaveGame();

    // Rebuilds the side panel's page, re-reading the live content on request.
    void BrowserRebuild(bool reloadLiveContent);

    // CFrameView: what games and players use of the frame.
    bool SaveGame() override;
    // Keeps a game in play with unsaved moves without asking (the session
    // ends): under its saved name, else the one the save question offers
    // in "active games" (never over another file). False when it could
    // not be written.
    bool KeepUnsavedGame();
    void RefreshFromGame() override;
    void ShowPosition() override;
    wxWindow* GetWindow() override { return this; }
    CChessView* GetChessView() override;
    CClockView* GetClockView() override;
    bool IsClosing() const override;
    // The close asks about the game in play: it may still be refused.
    bool IsAskingToClose() const { return m_askingToClose; }
    // The start-up too: a yield of its own has no loop the toolkit knows,
    // and the toolkit ends the program with its last window only once the
    // main loop runs.
    bool IsInsideOtherWork() const override;

    // The key hook's work: true when the key was used up.
    bool HandleKey(int keyCode, bool alt);

    // The view state, for the windows around the frame.
    bool IsBrowserView() const { return m_browserView; }
    bool IsFullScreenMode() const { return m_fullScreen; }
    bool IsPanelEnabled() const { return m_panelEnabled; }
    bool IsFlipped() const { return m_flipped; }
    bool IsChatShown() const { return m_chatShown; }
    bool IsMoveListShown() const { return m_moveListShown; }
    bool IsAnnotationShown() const { return m_annotationShown; }
    bool GetShowCoordinates() const { return m_showCoordinates; }
    bool GetSkinnedCursor() const { return m_skinnedCursor; }
    bool GetLegalMoves() const { return m_legalMoves; }
    bool GetLastMove() const { return m_lastMove; }
    wxWindow* GetBoardCanvas() const { return m_boardCanvas; }
    // Where the board is on the screen (the frame while the board is not
    // shown), for windows that should stand beside it.
    // Writes the console's first-frame line once the shown window, with
    // its board when that is the view, has been drawn and sent to the display.
    void NoteFirstFrame();
    wxRect GetBoardScreenRect() const;
    wxWindow* GetChatPane() const { return m_chatPane; }
    wxSashLayoutWindow* GetGamePanel() const { return m_gamePanel; }
    // The game panel and chat pane as themselves (FrameWindows.cpp).
    CGamePanel* GetGamePanelWindow() const;
    CChatWindow* GetChatWindow() const;
    wxSplitterWindow* GetSplitter() const { return m_splitter; }
    wxWindow* GetBrowserPanel() const { return m_browserPanel; }

private:
    // The close put off by OnClose.
    void OnFree() override;
    void FillCommandMap();
    void ApplyViewOptions();
    void CreateStatusFields();
    void SetCheck(int id, bool checked);
    void LayoutBoardView();
    void SizeBrowserToClient();
    void ApplyPanelRule();
    void YieldOnce();
    void ShowStatusBarAgain();
    void ToggleFullScreen();

    // The windows of the board view and the side panel, and what the frame
    // asks of them (FrameWindows.cpp).
    void CreateViewWindows();
    bool CanvasIsDragging();
    void CanvasCancelDrag();
    void CanvasStopTimers();
    void CanvasTakeOptions();
    void CanvasSyncScene();
    void CanvasRedraw();
    void CanvasUpdateStatus();
    void SceneSetFlipped(bool flipped);
    void SceneSetShowCoordinates(bool show);
    void SceneSetShowAnnotation(bool show);
    void GamePanelShowMoveList(bool show);
    bool GamePanelToggleClock();
    void GamePanelShowClock();
    void GamePanelLayout();
    void BrowserRescanGames();
    void ChatClear();
    bool GameInPlay();
    bool QueryCloseGame();
    bool GameHasWhiteLocal() const;
    bool GameCanTakeBack();
    // The Actions menu: its item states when asked (as the menu opens), and
    // always its title, greyed while no item would be enabled.
    void UpdateActionsMenu(bool items);

    // Events.
    void OnCharHook(wxKeyEvent& event);
    void OnUpdateUI(wxUpdateUIEvent& event);
    void OnMenuOpen(wxMenuEvent& event);
    void OnEraseBackground(wxEraseEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnListItemFocused(wxListEvent& event);

    // View handlers.
    void OnShowStatusBar(wxCommandEvent& event);
    void OnFlipView(wxCommandEvent& event);
    void OnFullScreen(wxCommandEvent& event);
    void OnShowCoordinates(wxCommandEvent& event);
    void OnShowLegalMoves(wxCommandEvent& event);
    void OnShowChat(wxCommandEvent& event);
    void OnShowMoveText(wxCommandEvent& event);
    void OnSkinnedCursor(wxCommandEvent& event);
    void OnShowLastMove(wxCommandEvent& event);
    void OnRefreshBrowser(wxCommandEvent& event);
    void OnViewBrowser(wxCommandEvent& event);
    void OnViewBoard(wxCommandEvent& event);
    void OnShowClock(wxCommandEvent& event);
    void OnShowPanel(wxCommandEvent& event);
    void OnShowAnnotation(wxCommandEvent& event);
    void OnExit(wxCommandEvent& event);

    // Game, action, option and help commands (FrameCommands.cpp).
    void OnAbout(wxCommandEvent& event);
    void OnMoveDialog(wxCommandEvent& event);
    void OnPreferences(wxCommandEvent& event);
    void OnGridmoorPreferences(wxCommandEvent& event);
    void OnProfile(wxCommandEvent& event);
    void OnOpponents(wxCommandEvent& event);
    void OnClearAnnotation(wxCommandEvent& event);
    void OnChangePenColour(wxCommandEvent& event);
    void OnChangeOpponentPenColour(wxCommandEvent& event);
    void OnClearStatistics(wxCommandEvent& event);
    void OnClearChat(wxCommandEvent& event);
    void OnTakeBack(wxCommandEvent& event);
    void OnOfferDraw(wxCommandEvent& event);
    void OnResign(wxCommandEvent& event);
    // Resign (or Offer Draw) handed to a game that is only viewed, which
    // answers it; false for any other game.
    bool PassToViewedGame(bool resign);
    void OnResetGame(wxCommandEvent& event);
    void OnPlayOnline(wxCommandEvent& event);
    void OnNewComputerGame(wxCommandEvent& event);
    void OnNewEmailGame(wxCommandEvent& event);
    void OnHostNetworkGame(wxCommandEvent& event);
    void OnJoinNetworkGame(wxCommandEvent& event);
    void OnEndGame(wxCommandEvent& event);
    void OnHelpContents(wxCommandEvent& event);
    void OnOnlineSupport(wxCommandEvent& event);
    void OnTroubleshooting(wxCommandEvent& event);
    void OnWebSite(wxCommandEvent& event);
    // A new empty game of two local players made current; false without a
    // board canvas.
    bool ReplaceWithEmptyGame();
    CBoardRenderer* GetScene();
    void RequestBoardRedraw();
    // Asks for the colour of pen (0 own, 1 the opponent's) kept under frame.
    void ChangePenColour(const char* frame, int pen);

    // Game files, dropped files and board snapshots (FrameFiles.cpp).
    void OnOpenGame(wxCommandEvent& event);
    void OnSaveGame(wxCommandEvent& event);
    void OnSaveGameAs(wxCommandEvent& event);
    void OnOpenTransportFile(wxCommandEvent& event);
    void OnSaveSnapshot(wxCommandEvent& event);
    // Save (saveAs false) writes to the game's own file once it has one;
    // true when the file was written.
    bool SaveGame(bool saveAs);
    // The save itself; tells the user under caption when it fails.
    bool WriteSavedGame(CGame& game, const Zorlin::CString& path, const char* caption);
    // A saved game of a kind that is only looked at, made current.
    void OpenViewedGame(Zorlin::CConfig& saved);
    // Ends a restored game that was already over: result and status text.
    void JudgeRestoredEnd();
    // The move list from the first count moves of the current game.
    void FillMoveListFromGame(int count);
    void InstallDropTarget();
    friend class CFrameDropTarget;

    // PGN and FEN commands (FramePgn.cpp).
    void OnExportPgn(wxCommandEvent& event);
    void OnOpenPgn(wxCommandEvent& event);
    void OnCopyPgn(wxCommandEvent& event);
    void OnPastePgn(wxCommandEvent& event);
    void OnDisplayPgn(wxCommandEvent& event);
    void OnExportFen(wxCommandEvent& event);
    // The commands' work, with the frame's own board view and side panel.
    CPgnCommands PgnCommands();

    // A command whose window comes with a later part of the client.
    void NotYetAvailable(const char* what);
    void RunRemote(ERemoteCommand command, const char* what);
    // A remote command whose dialog begins a new game: the current game is
    // asked whether it may be left first.
    void RunRemoteNewGame(ERemoteCommand command, const char* what);

    wxWindow* m_boardCanvas;
    wxWindow* m_chatPane;
    wxSashLayoutWindow* m_gamePanel;
    wxSplitterWindow* m_splitter;
    wxWindow* m_browserPanel;
    wxWindow* m_moveDialog;
    Zorlin::CAssocArray<int> m_commands;
    Zorlin::CString m_keyText;
    bool m_fullScreen;
    bool m_flipped;
    bool m_showCoordinates;
    bool m_chatShown;
    bool m_moveListShown;
    bool m_skinnedCursor;
    bool m_legalMoves;
    bool m_lastMove;
    bool m_annotationShown;
    bool m_browserView;
    // The board view was asked for since ShowOnBoard.
    bool m_boardAsked;
    bool m_panelEnabled;
    bool m_yielding;
    // A close asked for while events were let through under some call,
    // carried out once the frame is free; whether it may be refused.
    bool m_closePending;
    bool m_closeForced;
    bool m_askingToClose = false;
    bool m_firstIdleSeen;

    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CChessFrame);
    wxDECLARE_EVENT_TABLE();
};
