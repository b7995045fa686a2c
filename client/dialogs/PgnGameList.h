#pragma once

// The PGN viewer's list of games, drawn from the file's index row by row as
// rows come into view: a file of half a million games is shown at once
// instead of being copied into the list first. A click sends wxEVT_LISTBOX
// with the row, as a list box does.

#include <wx/vlbox.h>

class CPgnIndex;

class CPgnGameList : public wxVListBox {
public:
    CPgnGameList(wxWindow* parent, wxWindowID id);

    // Shows the index's games; null shows none. The index outlives the list
    // or is unset first.
    void SetIndex(const CPgnIndex* index);

    unsigned GetCount() const { return unsigned(GetItemCount()); }
    // The row's text, empty past the end.
    wxString GetString(unsigned n) const;

private:
    void OnDrawItem(wxDC& dc, const wxRect& rect, size_t n) const override;
    wxCoord OnMeasureItem(size_t n) const override;

    const CPgnIndex* m_index = nullptr;
    wxCoord m_rowHeight = 0;
};
