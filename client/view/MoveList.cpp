#include "client/view/MoveList.h"

#include <wx/settings.h>

#include "chess/ChessBoard.h"
#include "client/core/WxText.h"
#include "client/view/MoveListRows.h"

using Zorlin::CString;

namespace {

const int kPanelWidth = 160;
const int kMoveColumnWidth = 55;

SRowColour RgbOf(const wxColour& colour)
{
    return {colour.Red(), colour.Green(), colour.Blue()};
}

} // namespace

CMoveList::CMoveList(wxWindow* parent, wxWindowID id)
    : wxListCtrl(parent, id, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_NO_HEADER | wxNO_FULL_REPAINT_ON_RESIZE),
      m_rowCount(1)
{
    int edge = wxSystemSettings::GetMetric(wxSYS_EDGE_X, this);
    int scrollBar = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, this);
    if (edge < 0)
        edge = 2;
    if (scrollBar < 0)
        scrollBar = 16;
    int first = (kPanelWidth / 2 - edge) * 2 - scrollBar - 2 * kMoveColumnWidth;
    InsertColumn(0, "#", wxLIST_FORMAT_LEFT, first > 10 ? first : 10);
    InsertColumn(1, "White", wxLIST_FORMAT_LEFT, kMoveColumnWidth);
    InsertColumn(2, "Black", wxLIST_FORMAT_LEFT, kMoveColumnWidth);
    Reset();
}

void CMoveList::ColourRow(int row)
{
    SRowColour menu = RgbOf(wxSystemSettings::GetColour(wxSYS_COLOUR_MENU));
    SRowColour window = RgbOf(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    SRowColour colour = MoveListRowColour(row, menu, window);
    SetItemBackgroundColour(row, wxColour(colour.r, colour.g, colour.b));
}

void CMoveList::AddMove(const CString& san)
{
    int n = m_rowCount;
    SMoveListRow row = MakeMoveListRow(n, san);
    long index = InsertItem(n, ToWx(row.m_label));
    SetItem(index, 1, ToWx(row.m_white));
    SetItem(index, 2, ToWx(row.m_black));
    ColourRow(int(index));
    EnsureVisible(index);
    ++m_rowCount;
}

void CMoveList::Reset()
{
    DeleteAllItems();
    m_rowCount = 1;
    InsertItem(0, "");
    ColourRow(0);
}

void CMoveList::Fill(const CChessBoard& board)
{
    Freeze();
    Reset();
    const Zorlin::CArray<SHistoryEntry>& history = board.GetHistory();
    for (int i = 0; i < history.GetCount(); ++i)
        AddMove(CString(history.GetAt(i)->m_shortText));
    Thaw();
}

CString CMoveList::GetCellText(int row, int column) const
{
    if (row < 0 || row >= GetItemCount() || column < 0 || column > 2)
        return CString();
    return FromWx(GetItemText(row, column));
}
