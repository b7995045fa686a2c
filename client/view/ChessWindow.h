#pragma once

// The board canvas: the window in the middle of the main frame. It owns the
// current game and the scene that draws it, runs the game tick that drives
// sound, voices, both players and the game's own hook, redraws from idle
// events, turns the mouse into moves, hints and pen strokes, and applies
// every move of every game through PlayMove. It draws through an OpenGL
// child made the first time the board is shown, or before the frame comes
// up when the start-up opens a game: asking the display for a GL format
// loads the driver, and behind the start page it is not needed.

#include <vector>

#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "chess/Move.h"
#include "client/core/ChessView.h"
#include "client/core/HeldWindow.h"
#include "client/view/BoardGeometry.h"
#include "foundation/String.h"

class CBoardRenderer;
class CChessBoard;
class CChessFrame;
class CGame;
class CPiece;
class wxDialog;

class CChessWindow : public wxWindow, public CChessView {
public:
    static const int kTickTimerId = 9990;
    static const int kEndOfGameTimerId = 9992;
    static constexpr int kTickMilliseconds = 100;
    // The tick's pace while it has nothing to do (no game in play, no sound,
    // no download). Whatever starts such work comes with an event, after
    // which the idle handler puts the full pace back; this slow beat only
    // makes sure.
    static constexpr int kIdleTickMilliseconds = 5000;
    static const int kEndOfGameMilliseconds = 2500;
    // The pace while the user is to move against an engine at rest: only
    // the user's flag is watched, and it is met on time.
    static constexpr int kUserTurnTickMilliseconds = 1000;
    // The pace while an engine thinks and its output wakes the tick: only
    // the slow checks of the players and the flag are left to it.
    static constexpr int kEngineTurnTickMilliseconds = 500;

    CChessWindow(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& position = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize, long style = 0, const wxString& name = "CChessWindow");
    ~CChessWindow() override;

    // --- CChessView
    // Applies a move of the side to move. animate: the piece slides (a
    // player's reported move); false: the user has just dropped it. False,
    // with nothing changed, when there is no game in play or the move is
    // not one of the legal moves; on success the move's text holds its SAN
    // with "+" or "#".
    bool PlayMove(CMove& move, bool animate);
    void PlayMove(const CMove& move, bool animate) override;
    // Ends the game without a move; the caller has set the result and
    // cleared the in-play flag. outcome: 1 the local player won, 0 drawn,
    // -1 lost; extra is 0 from every caller and picks no page of the Game
    // Over window.
    void GameOver(int outcome, int extra) override;
    // Attaches game (null or the current one: keeps it) and resets the view
    // for it. The game it replaces may be on the stack (a player's call
    // that attached a new game): it is ended and destroyed only after the
    // canvas's handlers have returned, or on the next event otherwise.
    void ResetView(CGame* game, bool showBoard, bool quiet) override;
    CGame* GetGame() override { return m_game; }
    void SyncScene() override;
    void UpdateStatus() override;

    // --- The scene and its options
    // Installs scene (owned), deleting the previous one, and gives it the
    // pen colour and the frame's view options.
    void SetScene(CBoardRenderer* scene);
    CBoardRenderer* GetScene() const { return m_scene; }
    // Loads a pack of "/boards/" into a new scene and installs it; false,
    // with the old scene kept, when the pack cannot be read. Before the
    // board was first shown (no context for textures yet) the pack is read
    // and checked now and installed when the board is shown.
    bool ApplyBoardSkin(const Zorlin::CString& pack);
    void GetSceneSize(int& width, int& height) const
    {
        width = m_sceneWidth;
        height = m_sceneHeight;
    }
    void SetShowSkinnedPointer(bool show) { m_showSkinnedPointer = show; }
    void SetShowLegalMoves(bool show) { m_showLegalMoves = show; }
    void SetShowLastMove(bool show) { m_showLastMove = show; }
    bool GetShowSkinnedPointer() const { return m_showSkinnedPointer; }
    bool GetShowLegalMoves() const { return m_showLegalMoves; }
    bool GetShowLastMove() const { return m_showLastMove; }
    void RequestRedraw() { m_redrawRequested = true; }
    bool IsRedrawRequested() const { return m_redrawRequested; }

    // --- Other positions than the game's (the move list)
    void ShowPosition(const CChessBoard& board, const CMove& move);
    void ShowMoveAnimated(const CChessBoard& board, const CMove& move);
    // The move the last-move marks stand for; the frame overwrites it when
    // it rebuilds the view from the game.
    const CMove& GetLastMove() const { return m_lastMove; }
    void SetLastMove(const CMove& move) { m_lastMove = move; }

    // --- State
    // Dims the board and stops polling the players (lost connection).
    void SetInactive(bool inactive);
    void StopTimers();
    // Gives a lifted piece back to its square.
    void CancelDrag();
    bool IsDragging() const { return m_liftedPiece >= 0; }
    bool IsInputArmed() const { return m_inputArmed; }
    bool HasContext() const { return m_context != nullptr; }
    bool IsFirstFrameDone() const override { return m_exposedFrameDone || m_glFailed; }
    void WakeTick() override;
    // A woken tick is due (the pace is left alone until it has run).
    bool IsTickWoken() const { return m_tickWoken; }
    // How the last move ended the game: 0 not, 1 White mates, 2 Black
    // mates, 3 stalemate, 4 a draw by rule.
    int GetEndKind() const { return m_endKind; }
    bool HasPendingGameOver() const { return m_pendingGameOver != nullptr; }
    // The time source of all animation, in seconds; only differences count.
    static double GetSeconds();

    // --- Work of the timers and the idle loop, callable directly (tests).
    void Tick();
    // Whether the tick has work: a game in play, sound, spoken words, a
    // download or a replaced game to release.
    bool HasTickWork() const;
    // The busy pace: slower while only the user's move is awaited, or an
    // engine's output that wakes the tick itself.
    int GetBusyTickMilliseconds() const;
    // A player of the game in play has input left that its last poll had no
    // time to read.
    bool IsReadingBehind() const;
    // Runs the tick at its full pace while it has work, slowly otherwise.
    void PaceTick();
    void EndOfGame();
    void Render();
    // Before the frame is first shown, with this window laid out in it:
    // makes the GL child and its context, loads the skin and draws once off
    // the screen, so that the frame's first paint shows the board at once.
    // False when GL cannot start; the board then comes as when first shown.
    bool PrepareFirstFrame();

    // Event handlers.
    void OnPaint(wxPaintEvent& event);
    void OnEraseBackground(wxEraseEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnMiddleDown(wxMouseEvent& event);
    void OnRightDown(wxMouseEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnGameTick(wxTimerEvent& event);
    void OnEndOfGameTimer(wxTimerEvent& event);

private:
    void Construct();
    // Makes the GL child and its context once the board is on screen (or,
    // early, before the frame is first shown); false while it is hidden or
    // when GL could not be started.
    bool CreateGLCanvas(bool early = false);
    void SetBoardCursor(const wxCursor& cursor);
    void LoadBoardSkin();
    bool PointerHasLeft();
    // The GL child draws in device pixels, of which a HiDPI screen gives
    // several to each client pixel of window sizes and mouse events.
    double GetPixelScale() const;
    // Hands the scene the window in device pixels; false for an empty window.
    bool FitSceneToWindow();
    // An event's point in the device pixels the scene draws in.
    SScenePoint ToDevice(const wxMouseEvent& event) const;
    void SetStatus(const Zorlin::CString& text, int field);
    // Says how the game ended where the player looks: the status bar's
    // first field and the side panel's Result field.
    void AnnounceEnd();
    void UpdateMenuStates(bool enable, bool pgn);
    void ReleaseDoomedGames();
    CPiece* GetLiftedPiece();
    void AnimateMove(CChessBoard& board, const CMove& move, bool animate);
    void MarkLastMove(const CMove& move);
    void ShowPendingGameOver();
    CChessFrame* GetFrame() const;
    // surface: another GL window of the canvas's format to draw in; the
    // canvas's own when none.
    bool MakeCurrent(wxGLCanvas* surface = nullptr);
    void ResetMoveList();
    void AddToMoveList(const Zorlin::CString& san);
    void Say(int side, const char* phrase);
    void UpdateVoices();
    void ConsoleWrite(const Zorlin::CString& text);
    void PlayEffect(int effect);
    bool IsLocalToMove();
    int AskPromotionPiece(int colour);
    // Counts the handlers on the stack, so a game replaced from inside one
    // is kept until they have returned; the frame, which would take this
    // window along, is held as long.
    struct SCallGuard {
        explicit SCallGuard(CChessWindow& window);
        ~SCallGuard();
        CChessWindow& m_window;
        CHeldWindow<wxFrame>::CHold m_frameHold;
    };

    int m_endKind;
    CBoardRenderer* m_scene;
    int m_sceneWidth;
    int m_sceneHeight;
    bool m_showSkinnedPointer;
    bool m_showLegalMoves;
    bool m_showLastMove;
    bool m_pointerInside;
    // The lifted piece by its id on the game's board; -1 when none. An id
    // stays valid while the board changes, a pointer into it need not.
    int m_liftedPiece;
    CGame* m_game;
    bool m_redrawRequested;
    bool m_inputArmed;
    CMove m_lastMove;
    int m_hoverX;
    int m_hoverY;
    wxTimer* m_tickTimer;
    wxTimer* m_endTimer;
    wxDialog* m_pendingGameOver;
    wxGLCanvas* m_glCanvas;
    wxGLContext* m_context;
    // The display refused a GL window or context: the board says so instead.
    bool m_glFailed;
    bool m_firstPaintDone;
    // A frame was drawn for the display's first showing of the GL window.
    bool m_exposedFrameDone;
    bool m_inactive;
    bool m_skinPending;
    // A pack chosen before there was a context: the skin to load at the
    // first one instead of the saved setting.
    Zorlin::CString m_chosenPack;
    // Games replaced while still on the call stack, destroyed on the next
    // tick or idle event.
    std::vector<CGame*> m_doomed;
    int m_callDepth;
    // When the last tick ran (GetSeconds), and whether a woken one is due.
    double m_lastTick = 0.0;
    bool m_tickWoken = false;

    // A window cannot be made without a parent, so the class is known by
    // name but not creatable by it.
    wxDECLARE_ABSTRACT_CLASS(CChessWindow);
    wxDECLARE_NO_COPY_CLASS(CChessWindow);
    wxDECLARE_EVENT_TABLE();
};
