#include "client/dialogs/PgnGameList.h"

#include <wx/dc.h>
#include <wx/settings.h>

#include "client/core/WxText.h"
#include "client/dialogs/PgnIndex.h"

namespace {
const int kRowPadding = 4;
const int kTextIndent = 3;
} // namespace

CPgnGameList::CPgnGameList(wxWindow* parent, wxWindowID id) : wxVListBox(parent, id)
{
    SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_LISTBOX));
    m_rowHeight = GetCharHeight() + kRowPadding;
}

void CPgnGameList::SetIndex(const CPgnIndex* index)
{
    m_index = index;
    SetItemCount(index ? size_t(index->GetCount()) : 0);
    Refresh();
}

wxString CPgnGameList::GetString(unsigned n) const
{
    if (!m_index || n >= GetCount() || int(n) >= m_index->GetCount())
        return wxString();
    return ToWx(m_index->GetLabel(int(n)));
}

void CPgnGameList::OnDrawItem(wxDC& dc, const wxRect& rect, size_t n) const
{
    dc.SetFont(GetFont());
    dc.SetTextForeground(wxSystemSettings::GetColour(IsSelected(n) ? wxSYS_COLOUR_LISTBOXHIGHLIGHTTEXT
                                                                  : wxSYS_COLOUR_LISTBOXTEXT));
    const wxString text = GetString(unsigned(n));
    dc.DrawText(text, rect.x + kTextIndent, rect.y + (rect.height - dc.GetCharHeight()) / 2);
}

wxCoord CPgnGameList::OnMeasureItem(size_t) const { return m_rowHeight; }
