#pragma once

// The game that shows PGN: its board holds the chosen game of a PGN file or
// of pasted text, its viewer window lists the file's games, and it is never
// in play.

#include <type_traits>

#include <wx/weakref.h>

#include "client/core/Game.h"

namespace Zorlin {
class CFile;
}

class CPgnViewerDialog;

class CPGNGame : public CGame {
public:
    // Pasted text or a copied file larger than this is refused.
    static constexpr unsigned kMaxCopiedPgn = 64u << 20;

    CPGNGame();
    ~CPGNGame() override;

    // Closes the viewer; the board keeps the game it shows.
    void End() override;
    // Viewed games are not played, so there is nothing to start over.
    void Reset() override;
    void GetStatusPage(Zorlin::CString& out) override;

    // Opens the viewer on a copy of pgn from its position to its end, so the
    // caller may drop its file or buffer at once. False when there was
    // nothing to read or too much to copy.
    bool OpenPgn(Zorlin::CFile& pgn);
    // Opens the viewer on an open file, which it owns from now on (also on
    // failure): large files are indexed, not copied.
    bool OpenPgnOwned(Zorlin::CFile* pgn);

    // The games the viewer lists (0 without a viewer).
    int GetGameCount() const;
    // Puts the n-th game of the viewer's file on this game's board, leaving
    // the frame alone. False when it cannot be read; error then holds the
    // first move that could not be played (the moves before it stay), or
    // is empty for a game with no moves that was cut short.
    bool LoadGame(int n, Zorlin::CString& error);
    CPgnViewerDialog* GetViewer() const { return m_viewer.get(); }

private:
    void CloseViewer();

    wxWeakRef<CPgnViewerDialog> m_viewer;
};
