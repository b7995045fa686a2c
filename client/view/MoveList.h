#pragma once

// The narrow list of the game's moves under the game page: row 0 is empty,
// row p holds ply p, White's moves in the first move column and Black's in
// the second.

#include <wx/listctrl.h>

#include "foundation/String.h"

class CChessBoard;

class CMoveList : public wxListCtrl {
public:
    static constexpr int kId = 10000;

    CMoveList(wxWindow* parent, wxWindowID id = kId);

    // Appends the next half-move's row and scrolls it into view.
    void AddMove(const Zorlin::CString& san);
    // Only the empty row 0 is left.
    void Reset();
    // Reset, then one row per move of the board's history.
    void Fill(const CChessBoard& board);

    // The index at which the next row goes: 1 after Reset.
    int GetRowCount() const { return m_rowCount; }
    // The row's texts ("#", "White", "Black" columns); empty off the list.
    Zorlin::CString GetCellText(int row, int column) const;

private:
    void ColourRow(int row);

    int m_rowCount;
};
