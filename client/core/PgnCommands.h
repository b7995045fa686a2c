#pragma once

// The PGN and FEN commands of the main frame: export, copy, paste, display
// and open PGN, and export FEN. They work on the frame's current game
// through the frame's services, so they run the same against the real
// frame and a test's.

#include <functional>

#include "foundation/String.h"

class CFrameView;
class CGame;
class CPGNGame;

class CPgnCommands {
public:
    struct SHooks {
        // The board view comes to the front (default: the VIEW_BOARD command).
        std::function<void()> showBoard;
        // A PGN file was written (default: the side panel is rebuilt).
        std::function<void()> gamesChanged;
    };

    explicit CPgnCommands(CFrameView& frame, SHooks hooks = SHooks());

    void ExportPgn();
    void CopyPgn();
    void PastePgn();
    void DisplayPgn();
    // Asks for a PGN file once the current game may close.
    void OpenPgn();
    void ExportFen();
    // Shows the file's games; false when nothing changed.
    bool OpenPgnFile(const Zorlin::CString& diskPath);

    // The game as PGN text, tags refreshed or not.
    static Zorlin::CString GamePgnText(CGame& game, bool refreshTags, const char* fileName);
    // The user's "played games" folder on the disk.
    static Zorlin::CString PlayedGamesFolder();

private:
    CGame* Game();
    // The new game's viewer has read its text: the first game goes on the
    // board and the game becomes current. A first game that cannot be shown
    // is told; the game still becomes current when the file has others to
    // choose. False (and the game deleted) when it stayed away.
    bool Adopt(CPGNGame* game, const char* failText, const char* failCaption);
    void ShowBoard();
    int Tell(const char* text, const char* caption, long style);

    CFrameView& m_frame;
    SHooks m_hooks;
};
