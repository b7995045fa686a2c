#pragma once

// A small window beside the board that lists the games of one PGN file and
// loads the chosen one onto the board's current game (the PGN viewer game).
// The file is read once for the list; a game's text is read again when it
// is chosen, so large files cost little memory. Closing asks whether to
// close the file; on Yes the frame ends the game. While the file is read,
// Cancel (or Escape, or the close box) stops the reading and keeps the
// games read so far, and the window says the list holds only those.

#include <wx/dialog.h>

#include "client/dialogs/PgnIndex.h"
#include "foundation/AutoPointer.h"

namespace Zorlin {
class CFile;
}

class CGame;
class CModalWork;

class CPgnViewerDialog : public wxDialog {
public:
    static constexpr unsigned kBlockSize = 16384;
    static constexpr int kBlocks = 2;

    // Takes the open file; shows itself and lists the file's games.
    CPgnViewerDialog(wxWindow* parent, Zorlin::CFile* file);
    ~CPgnViewerDialog() override;

    int Import();
    // While Import reads: stops it after the game being read.
    void CancelReading();
    bool IsReading() const { return m_reading != nullptr; }
    // False when the reading was stopped before the file's end.
    bool IsComplete() const { return m_complete; }
    // The end of the program stopped the reading (not the user).
    bool IsStoppedByTheEnd() const { return m_stoppedByTheEnd; }
    bool LoadGame(int n);
    const CPgnIndex& GetIndex() const { return m_index; }
    // The game the chosen games go to; without one, the board's current
    // game. Its owner clears it before it lets the window go.
    void SetGame(CGame* game) { m_game = game; }
    // The n-th game's text as the file holds it.
    bool ReadGame(int n, Zorlin::CString& text) { return m_file && m_index.ReadGame(*m_file, n, text); }

    // The name after the last '\' or '/', the whole name without one.
    static Zorlin::CString ShortName(const Zorlin::CString& path);
    // What the label says of a list cut short: "<name>: the first N games
    // (reading cancelled)".
    static Zorlin::CString CutShortNote(const Zorlin::CString& name, int count);
    // What the user is told when the list stops short of the file's end
    // after count games.
    static Zorlin::CString IncompleteText(int count);

private:
    void FitBesideBoard();
    void SetLabel(const Zorlin::CString& text);
    void TellIncomplete();
    // A line in the application's console (kept in its log with Debug on).
    static void Log(const Zorlin::CString& text);

    void OnGame(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);

    Zorlin::CAutoPointer<Zorlin::CFile> m_file;
    CPgnIndex m_index;
    CGame* m_game = nullptr;
    Zorlin::CString m_name;
    // The reading under way, on Import's stack; null otherwise.
    CModalWork* m_reading = nullptr;
    bool m_cancelled = false;
    bool m_complete = true;
    bool m_stoppedByTheEnd = false;

    wxDECLARE_EVENT_TABLE();
};
