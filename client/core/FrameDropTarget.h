#pragma once

// The main frame's file drop target: one saved game, PGN or transport file
// at a time goes where the matching command would take it.

#include <wx/dnd.h>

class CChessFrame;

class CFrameDropTarget : public wxFileDropTarget {
public:
    explicit CFrameDropTarget(CChessFrame& frame) : m_frame(frame) {}

    // False (refused) for anything but exactly one ".pgn", ".rwg" or ".rwf"
    // file; true once such a file was taken, also when the user then chose
    // to keep the current game.
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& names) override;

private:
    CChessFrame& m_frame;
};
