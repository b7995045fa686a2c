#pragma once

#include <memory>

#include <wx/bitmap.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "client/view/GlobeRenderer.h"

// The spinning globe of the online dialogs: turns while its holder waits
// (Start/Stop), and opens the online service's web page when clicked.
class CGlobe : public wxWindow {
public:
    static constexpr int kTimerId = 1;

    CGlobe(wxWindow* parent, wxWindowID id, const wxPoint& position = wxDefaultPosition,
           const wxSize& size = wxSize(100, 100), long style = 0);
    ~CGlobe() override;

    void SetFrameRate(int framesPerSecond) { m_frameRate = framesPerSecond > 0 ? framesPerSecond : 15; }
    void Start();
    void Stop();
    bool IsRunning() const { return m_timer.IsRunning(); }
    const CGlobeRenderer& GetRenderer() const { return *m_renderer; }

    // One timer tick at the given time, in seconds.
    void Tick(double nowSeconds);

    // The page a click opens: the program setting ".gridmoor.web".
    static Zorlin::CString GetWebAddress();

private:
    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnEnter(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void Redraw();

    std::unique_ptr<CGlobeRenderer> m_renderer;
    wxBitmap m_bitmap;
    wxTimer m_timer;
    int m_frameRate;
    bool m_pressed;
    bool m_hovered;

    wxDECLARE_EVENT_TABLE();
};
