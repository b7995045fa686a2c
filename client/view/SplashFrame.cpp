#include "client/view/SplashFrame.h"

#include <cstring>

#include <wx/dcclient.h>
#include <wx/image.h>

#include "client/view/BumpLight.h"
#include "foundation/Image.h"

using Zorlin::CImage;

wxImage ToWxImage(const CImage& picture)
{
    int width = picture.GetWidth(), height = picture.GetHeight();
    if (!picture.HasPixels() || width <= 0 || height <= 0)
        return wxImage();
    CImage rgb(width, height, kRgbFormat);
    rgb.Blit(picture, 0, 0);
    wxImage image(width, height, false);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.GetData() + size_t(y) * width * 3, rgb.GetRow(y), size_t(width) * 3);
    return image;
}

wxBEGIN_EVENT_TABLE(CSplashFrame, wxFrame)
    EVT_PAINT(CSplashFrame::OnPaint)
wxEND_EVENT_TABLE()

CSplashFrame::CSplashFrame(const CImage& picture)
    : wxFrame(nullptr, wxID_ANY, "Splash", wxDefaultPosition, wxDefaultSize,
              wxSIMPLE_BORDER | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR),
      m_width(picture.GetWidth()), m_height(picture.GetHeight())
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    wxImage image = ToWxImage(picture);
    if (image.IsOk())
        m_bitmap = wxBitmap(image);
    SetClientSize(m_width > 0 ? m_width : 1, m_height > 0 ? m_height : 1);
    Centre(wxBOTH);
    Show(true);
    Update();
}

CSplashFrame::~CSplashFrame() = default;

void CSplashFrame::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_bitmap.IsOk())
        dc.DrawBitmap(m_bitmap, 0, 0, false);
}
