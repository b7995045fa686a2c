#pragma once

#include <memory>

#include <wx/bitmap.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include "foundation/Image.h"

class CMusicPlayer;

namespace Zorlin {
class CFile;
}

// A splash picture lit by a spot light that follows the pointer across its
// bump map, so that it seems embossed. It goes when clicked or when it
// loses the focus, and takes a jingle player with it that plays while it
// is open.
class CBumpSplashWindow : public wxFrame {
public:
    static constexpr int kTimerId = 1;
    static constexpr int kPollMs = 30;

    // music may be null; the window owns it.
    CBumpSplashWindow(Zorlin::CFile& picture, Zorlin::CFile& bumpMap, Zorlin::CFile& light, CMusicPlayer* music);
    ~CBumpSplashWindow() override;

    bool IsValid() const { return m_picture.HasPixels(); }
    // A picture still up when the main window closes does not keep the
    // program running: it is closed with the last real window.
    bool ShouldPreventAppExit() const override { return false; }
    // Lights the picture with the spot at a point of the client area and
    // redraws; nothing when the point is the last one lit.
    void MoveLight(int clientX, int clientY);
    int GetRenderCount() const { return m_renders; }
    const Zorlin::CImage& GetOutput() const { return m_output; }

private:
    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnMouseDown(wxMouseEvent& event);
    void OnActivate(wxActivateEvent& event);
    void Render(int pictureX, int pictureY);

    Zorlin::CImage m_picture;
    Zorlin::CImage m_bump;
    Zorlin::CImage m_light;
    Zorlin::CImage m_output;
    wxBitmap m_bitmap;
    wxPoint m_lastPointer;
    wxTimer m_timer;
    std::unique_ptr<CMusicPlayer> m_music;
    int m_renders;
    bool m_wasActive;
    bool m_focusAsked = false;

    wxDECLARE_EVENT_TABLE();
};

// Makes the media set's splashes open in a CBumpSplashWindow.
void InstallBumpSplashOpener();
