#pragma once

#include <wx/event.h>
#include <wx/stopwatch.h>

#include "chess/ChessBoard.h"
#include "foundation/AssocArray.h"
#include "foundation/Config.h"
#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

class CChessView;
class CClockView;
class CFrameView;
class CPlayer;

enum TimeControlType : int32_t {
    TIME_NONE = 0,
    TIME_CONVENTIONAL = 1,
    TIME_BLITZ = 2,
};

enum GameResult : int32_t {
    RESULT_NONE = 0,
    RESULT_WHITE_WINS = 1,
    RESULT_BLACK_WINS = 2,
    RESULT_DRAW = 3,
};

// GetPlayer's side meaning "the side to move".
const int SIDE_TO_MOVE = 2;

// "*", "1-0", "0-1", "1/2-1/2"; empty for anything else.
const char* ResultText(int result);
// The PGN "TimeControl" tag: "-" without a clock, the seconds for the
// whole game ("300"), or moves per period and its seconds ("40/7200").
Zorlin::CString TimeControlTag(TimeControlType type, int moves, double seconds);
// The result a PGN "Result" tag names; RESULT_NONE for "*" and anything else.
int ResultFromText(const Zorlin::CString& text);
// The side panel's pictures of the players, on the user drive: "/white.bmp"
// or "/black.bmp".
const char* PlayerPictureName(bool white);
// Replaces a side's picture on the user drive with source's bytes from its
// position, all at once; false when it could not be written.
bool WritePlayerPicture(Zorlin::CDrive& userDrive, bool white, Zorlin::CFile& source);

// One game session: the board, the two players, the game's settings, the
// PGN tags, the time control with the clocks shown to the user, and the
// result. Before any real game, the current game is a plain CGame of type
// "Dummy".
class CGame : public wxEvtHandler {
public:
    CGame();
    ~CGame() override;
    CGame(const CGame&) = delete;
    CGame& operator=(const CGame&) = delete;

    virtual void Destroy();
    // Start position and two local players.
    virtual bool Setup();
    virtual void Start();
    // Destroys both players and leaves play.
    virtual void End();
    virtual void SendPosition();
    virtual void Reset();
    virtual void OfferDraw(int side);
    virtual void Resign(int side);
    // A game shown from a file, not played: the frame's Resign and Offer
    // Draw go to it (Resign/OfferDraw) so that it can say why they mean
    // nothing there.
    virtual bool IsOnlyViewed() const { return false; }
    virtual void SendChat(const Zorlin::CString& name, const Zorlin::CString& text);
    virtual void OnPenStroke(bool down, int x, int y);
    virtual void GetStatusPage(Zorlin::CString& out);
    // The mover's time for the move about to be made (ms), charged to its
    // display clock; called before the move is made on the board.
    virtual double UpdateClock();
    // After a move: the clock window counts the side to move down until the
    // next one (nothing without a time control or once the game is over).
    void RunClockForSideToMove();
    // The side to move's time stands still while the game waits on a
    // question that is not its move (an engine that stopped). Nested pairs
    // are fine.
    void PauseMoveClock() { m_stopwatch.Pause(); }
    void ResumeMoveClock() { m_stopwatch.Resume(); }
    virtual void Poll();
    virtual void OnGameOver();
    virtual CPlayer* GetPlayer(int side);
    // True when the game may be closed (after asking to save unsaved moves).
    virtual bool QueryClose();
    // Moves of a game in play that the save question would offer to keep.
    virtual bool HasUnsavedPlay() const;
    // True when the frame may put another game in this one's place.
    virtual bool ConfirmLeave();
    virtual void OnClearAnnotation();
    // A saved game the user opened, offered to the opponent of a running
    // remote game: false when this game cannot take it.
    virtual bool RequestRestore(const Zorlin::CConfig& saved);

    bool FindLocalPlayer(CPlayer*& out);
    bool FindRemotePlayer(CPlayer*& out);

    void SetTimeControl(TimeControlType type, int moves, double seconds);
    void UpdateTags();
    void WritePgn(Zorlin::CFile& file, bool refreshTags);
    void Save(Zorlin::CConfig& config);
    // Replays the saved moves on the board; stops at the first one that
    // cannot be read or is not legal, keeping those before it. Returns the
    // number of moves made.
    int LoadMoves(Zorlin::CConfig& config, bool includeLast);
    void ReadTags(Zorlin::CConfig& config);
    void TakeBackTo(int n);
    void WritePlayerPictures();

    CChessBoard& GetBoard() { return m_board; }
    const CChessBoard& GetBoard() const { return m_board; }
    Zorlin::CConfig& GetSettings() { return m_settings; }
    Zorlin::CAssocArray<Zorlin::CString>& GetTags() { return m_tags; }
    bool IsInPlay() const { return m_inPlay; }
    void SetInPlay(bool inPlay) { m_inPlay = inPlay; }
    int GetResult() const { return m_result; }
    void SetResult(int result) { m_result = GameResult(result); }
    // How a game ended where the result alone does not say ("on time");
    // empty while in play.
    const Zorlin::CString& GetEndNote() const { return m_endNote; }
    void SetEndNote(const Zorlin::CString& note) { m_endNote = note; }
    int GetSavedPly() const { return m_savedPly; }
    void SetSavedPly(int ply) { m_savedPly = ply; }
    const Zorlin::CString& GetSavedPath() const { return m_savedPath; }
    void SetSavedPath(const Zorlin::CString& path) { m_savedPath = path; }
    TimeControlType GetTimeControlType() const { return m_timeControl; }
    int GetMovesPerPeriod() const { return m_movesPerPeriod; }
    double GetPeriodSeconds() const { return m_seconds; }
    double GetDisplayClock(int colour) const { return m_displayClocks[colour == BLACK ? 1 : 0]; }
    // Milliseconds until the side to move's flag falls (0 once it has);
    // negative while no clock runs for it.
    double GetMillisecondsToFlag() const;
    CPlayer* GetFirstPlayer() const { return m_players[0]; }
    CPlayer* GetSecondPlayer() const { return m_players[1]; }

    // The neighbours, any of which may be missing (no frame yet, tests).
    static CFrameView* GetFrame();
    static CChessView* GetChessView();
    static CClockView* GetClockView();

protected:
    // Destroys the players through Destroy, each once.
    void DestroyPlayers();
    void SetPlayers(CPlayer* first, CPlayer* second);
    // Display clocks from the board's clocks, shown with the side to move.
    void ShowBoardClocks();

    TimeControlType m_timeControl;
    int m_movesPerPeriod;
    double m_seconds;
    int m_savedPly;
    bool m_inPlay;
    CPlayer* m_players[2];
    Zorlin::CConfig m_settings;
    Zorlin::CAssocArray<Zorlin::CString> m_tags;
    CChessBoard m_board;
    Zorlin::CString m_savedPath;
    double m_displayClocks[2];
    wxStopWatch m_stopwatch;
    GameResult m_result;
    Zorlin::CString m_endNote;
};
