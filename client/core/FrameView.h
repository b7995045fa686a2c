#pragma once

class CChessView;
class CClockView;
class wxWindow;

// The services of the main frame that games and players use.
class CFrameView {
public:
    virtual ~CFrameView() = default;
    // The frame's save-game command: true when the game was saved.
    virtual bool SaveGame() = 0;
    // Rebuilds the move list and panels from the current game.
    virtual void RefreshFromGame() = 0;
    // Shows the current game's position.
    virtual void ShowPosition() = 0;
    // The parent for dialogs.
    virtual wxWindow* GetWindow() = 0;
    virtual CChessView* GetChessView() = 0;
    virtual CClockView* GetClockView() = 0;
    // The frame is closing (the close may still wait for work under way):
    // work that would show something in it stops instead.
    virtual bool IsClosing() const = 0;
};
