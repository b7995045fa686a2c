#pragma once

// A small window beside the board that lists the games of one PGN file and
// loads the chosen one onto the board's current game (the PGN viewer game).
// The file is read once for the list; a game's text is read again when it
// is chosen, so large files cost little memory. Closing asks whether to
// close the file; on Yes the frame ends the game.

#include <wx/dialog.h>

#include "client/dialogs/PgnIndex.h"
#include "foundation/AutoPointer.h"

namespace Zorlin {
class CFile;
}

class CGame;

class CPgnViewerDialog : public wxDialog {
public:
    static constexpr unsigned kBlockSize = 16384;
    static constexpr int kBlocks = 2;

    // Takes the open file; shows itself and lists the file's games.
    CPgnViewerDialog(wxWindow* parent, Zorlin::CFile* file);
    ~CPgnViewerDialog() override;

    int Import();
    bool LoadGame(int n);
    const CPgnIndex& GetIndex() const { return m_index; }
    // The game the chosen games go to; without one, the board's current
    // game. Its owner clears it before it lets the window go.
    void SetGame(CGame* game) { m_game = game; }
    // The n-th game's text as the file holds it.
    bool ReadGame(int n, Zorlin::CString& text) { return m_file && m_index.ReadGame(*m_file, n, text); }

    // The name after the last '\' or '/', the whole name without one.
    static Zorlin::CString ShortName(const Zorlin::CString& path);
    // What the user is told when the list stops short of the file's end
    // after count games.
    static Zorlin::CString IncompleteText(int count);

private:
    void SetLabel(const Zorlin::CString& text);
    void TellIncomplete();

    void OnGame(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);

    Zorlin::CAutoPointer<Zorlin::CFile> m_file;
    CPgnIndex m_index;
    CGame* m_game = nullptr;

    wxDECLARE_EVENT_TABLE();
};
