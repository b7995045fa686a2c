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
    // the frame alone, as ShowPgnText does. The file's last game, when it
    // has neither moves nor a result, was cut short by the file's end: it
    // answers false with an empty message, and the board shows it empty.
    bool LoadGame(int n, Zorlin::CString& message, bool keepCutShort = false);
    CPgnViewerDialog* GetViewer() const { return m_viewer.get(); }

    // Puts one game's PGN text on game's board, with its tags and result.
    // True when the board shows it whole. Otherwise message says which game
    // (number, from 1) and why, and the board, tags and result stay as they
    // were; only with keepCutShort, a game broken after at least one legal
    // move is shown up to there (true, with the message).
    static bool ShowPgnText(CGame& game, const Zorlin::CString& text, int number, bool keepCutShort,
                            Zorlin::CString& message);
    // The frame and the board canvas show the board's game as it now stands.
    static void ShowOnBoard(CGame& game);

private:
    void CloseViewer();

    wxWeakRef<CPgnViewerDialog> m_viewer;
};
