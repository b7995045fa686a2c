#pragma once

// A splitter of one pane above another whose lower pane keeps its height
// when the window is resized: the upper pane takes the whole change, but is
// not squeezed below 50 pixels while the window is at least 150 high.

#include <wx/splitter.h>

#include "client/view/SplitterRule.h"

class CPanelSplitter : public wxSplitterWindow {
public:
    CPanelSplitter(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& position = wxDefaultPosition,
                   const wxSize& size = wxDefaultSize, long style = wxSP_3D,
                   const wxString& name = "splitterWindow");

    int GetLastHeight() const { return m_lastHeight; }

    void OnSize(wxSizeEvent& event);
    void OnEraseBackground(wxEraseEvent& event);

private:
    int m_lastHeight;

    wxDECLARE_EVENT_TABLE();
};
