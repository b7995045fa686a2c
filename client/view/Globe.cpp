#include "client/view/Globe.h"

#include <chrono>

#include <wx/dcclient.h>

#include "client/core/AppServices.h"
#include "client/view/SplashFrame.h"
#include "client/view/ViewHost.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using namespace Zorlin;

namespace {

const char* const kDefaultWebAddress = "http://www.gridmoor.net/";

void LoadPicture(const char* name, CImage& out)
{
    CAutoPointer<CFile> file = GetAppServices().GetProgramDrive().OpenFile(
        CURL(CString("/assets/images/globe/") + name), CFile::kModeRead);
    if (file->IsOpen())
        out.Load(*file, 19);
}

double NowSeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

wxBEGIN_EVENT_TABLE(CGlobe, wxWindow)
    EVT_PAINT(CGlobe::OnPaint)
    EVT_TIMER(CGlobe::kTimerId, CGlobe::OnTimer)
    EVT_LEFT_DOWN(CGlobe::OnLeftDown)
    EVT_LEFT_UP(CGlobe::OnLeftUp)
    EVT_ENTER_WINDOW(CGlobe::OnEnter)
    EVT_LEAVE_WINDOW(CGlobe::OnLeave)
wxEND_EVENT_TABLE()

CGlobe::CGlobe(wxWindow* parent, wxWindowID id, const wxPoint& position, const wxSize& size, long style)
    : wxWindow(parent, id, position, size, style), m_frameRate(15), m_pressed(false), m_hovered(false)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    wxSize area = size.IsFullySpecified() ? size : wxSize(100, 100);
    SetMinSize(area);
    // The pushed look moves the disc 3 pixels, so it keeps that much room.
    int radius = std::min(area.x, area.y) / 2 - 4;
    m_renderer.reset(new CGlobeRenderer(area.x, area.y, radius));
    CImage texture, background;
    LoadPicture("earthtex.jpg", texture);
    LoadPicture("globeback.png", background);
    m_renderer->SetTexture(texture);
    m_renderer->SetBackground(background);
    SetToolTip("Gridmoor is a global network of chess players");
    SetCursor(wxCursor(wxCURSOR_HAND));
    m_timer.SetOwner(this, kTimerId);
    Redraw();
}

CGlobe::~CGlobe()
{
    m_timer.Stop();
}

CString CGlobe::GetWebAddress()
{
    CString address = GetAppServices().GetProgramSettings().GetValueOr(".gridmoor.web", kDefaultWebAddress);
    return address.IsEmpty() ? CString(kDefaultWebAddress) : address;
}

void CGlobe::Start()
{
    m_renderer->ResetClock();
    m_timer.Start(1000 / m_frameRate);
}

void CGlobe::Stop()
{
    m_timer.Stop();
}

void CGlobe::Tick(double nowSeconds)
{
    m_renderer->Advance(nowSeconds);
    Redraw();
}

void CGlobe::Redraw()
{
    m_renderer->Render(m_pressed, m_hovered);
    wxImage image = ToWxImage(m_renderer->GetOutput());
    if (image.IsOk())
        m_bitmap = wxBitmap(image);
    Refresh(false);
}

void CGlobe::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_bitmap.IsOk())
        dc.DrawBitmap(m_bitmap, 0, 0, false);
}

void CGlobe::OnTimer(wxTimerEvent&)
{
    Tick(NowSeconds());
}

void CGlobe::OnLeftDown(wxMouseEvent&)
{
    m_pressed = true;
    Redraw();
}

void CGlobe::OnLeftUp(wxMouseEvent&)
{
    m_pressed = false;
    Redraw();
    GetViewHost().OpenUrl(GetWebAddress());
}

void CGlobe::OnEnter(wxMouseEvent&)
{
    m_hovered = true;
    Redraw();
}

void CGlobe::OnLeave(wxMouseEvent&)
{
    m_pressed = false;
    m_hovered = false;
    Redraw();
}
