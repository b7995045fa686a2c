#pragma once

#include <wx/bitmap.h>
#include <wx/frame.h>

namespace Zorlin {
class CImage;
}

// The plain start-up splash: a picture in a small frame on top, centred on
// the screen and painted as soon as it is made.
class CSplashFrame : public wxFrame {
public:
    explicit CSplashFrame(const Zorlin::CImage& picture);
    ~CSplashFrame() override;

    int GetPictureWidth() const { return m_width; }
    int GetPictureHeight() const { return m_height; }

private:
    void OnPaint(wxPaintEvent& event);

    wxBitmap m_bitmap;
    int m_width;
    int m_height;

    wxDECLARE_EVENT_TABLE();
};

// A toolkit image of a picture in any of the library's formats.
wxImage ToWxImage(const Zorlin::CImage& picture);
