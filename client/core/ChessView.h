#pragma once

class CGame;
class CMove;

// The services of the board canvas that games and players use. The canvas
// owns the current game.
class CChessView {
public:
    virtual ~CChessView() = default;
    // The one routine that applies a move of the side to move.
    virtual void PlayMove(const CMove& move, bool asOpponent) = 0;
    // Ends the game without a move (1 after the engine resigned, 0 after an
    // agreed draw, -1 for the user's resignation). The caller has cleared
    // the game's in-play flag and set its result.
    virtual void GameOver(int flag, int reserved) = 0;
    // Makes game current, deleting the one it replaces.
    virtual void ResetView(CGame* game, bool loaded, bool reserved) = 0;
    virtual CGame* GetGame() = 0;
    // Rebuilds the scene from the current game's board.
    virtual void SyncScene() = 0;
    virtual void UpdateStatus() = 0;
    // Whether the board has put its first frame on screen, or never will
    // (no OpenGL).
    virtual bool IsFirstFrameDone() const { return true; }
    // A player's program has written: the game tick comes soon, but not
    // sooner than its usual pace allows.
    virtual void WakeTick() {}
};
