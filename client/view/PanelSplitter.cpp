#include "client/view/PanelSplitter.h"

wxBEGIN_EVENT_TABLE(CPanelSplitter, wxSplitterWindow)
    EVT_SIZE(CPanelSplitter::OnSize)
    EVT_ERASE_BACKGROUND(CPanelSplitter::OnEraseBackground)
wxEND_EVENT_TABLE()

CPanelSplitter::CPanelSplitter(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size,
                               long style, const wxString& name)
    : wxSplitterWindow(parent, id, position, size, style, name), m_lastHeight(size.y)
{
}

void CPanelSplitter::OnSize(wxSizeEvent& event)
{
    int height = GetClientSize().y;
    // Before the first size is known the sash has nothing to keep.
    if (IsSplit() && m_lastHeight >= 0)
        SetSashPosition(SashAfterResize(GetSashPosition(), m_lastHeight, height), true);
    event.Skip();
    m_lastHeight = height;
}

void CPanelSplitter::OnEraseBackground(wxEraseEvent&)
{
}
