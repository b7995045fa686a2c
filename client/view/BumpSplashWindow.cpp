#include "client/view/BumpSplashWindow.h"

#include <wx/dcclient.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/MusicPlayer.h"
#include "client/core/Splash.h"
#include "client/view/BumpLight.h"
#include "client/view/SplashFrame.h"
#include "client/view/ViewHost.h"
#include "foundation/File.h"

using Zorlin::CFile;
using Zorlin::CImage;

wxBEGIN_EVENT_TABLE(CBumpSplashWindow, wxFrame)
    EVT_PAINT(CBumpSplashWindow::OnPaint)
    EVT_TIMER(CBumpSplashWindow::kTimerId, CBumpSplashWindow::OnTimer)
    EVT_LEFT_DOWN(CBumpSplashWindow::OnMouseDown)
    EVT_ACTIVATE(CBumpSplashWindow::OnActivate)
wxEND_EVENT_TABLE()

CBumpSplashWindow::CBumpSplashWindow(CFile& picture, CFile& bumpMap, CFile& light, CMusicPlayer* music)
    : wxFrame(nullptr, wxID_ANY, "Splash Window", wxDefaultPosition, wxDefaultSize,
              wxBORDER_NONE | wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR),
      m_lastPointer(-1, -1), m_music(music), m_renders(0), m_wasActive(false)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_picture.Load(picture, kRgbFormat);
    m_bump.Load(bumpMap, kGreyFormat);
    m_light.Load(light, kGreyFormat);
    int width = m_picture.GetWidth(), height = m_picture.GetHeight();
    if (m_picture.HasPixels())
        m_output.Create(width, height, kRgbFormat);
    SetClientSize(std::max(1, width - 2), std::max(1, height - 2));
    Centre(wxBOTH);
    // Unlit until the pointer is seen: the light starts far outside.
    Render(-1000000, -1000000);
    Show(true);
    m_timer.SetOwner(this, kTimerId);
    m_timer.Start(kPollMs);
}

CBumpSplashWindow::~CBumpSplashWindow()
{
    m_timer.Stop();
    m_music.reset();
    if (IsSettingOn(GetAppServices().GetUserSettings(), "preferences.music.enable"))
        ResumeBackgroundMusic();
}

void CBumpSplashWindow::Render(int pictureX, int pictureY)
{
    if (!m_output.HasPixels())
        return;
    RenderBumpLight(m_picture, m_bump, m_light, pictureX, pictureY, m_output);
    ++m_renders;
    wxImage image = ToWxImage(m_output);
    if (image.IsOk())
        m_bitmap = wxBitmap(image);
    Refresh(false);
}

void CBumpSplashWindow::MoveLight(int clientX, int clientY)
{
    wxPoint point(clientX, clientY);
    if (point == m_lastPointer)
        return;
    m_lastPointer = point;
    // The client area starts at the picture's second column and row.
    Render(clientX + 1, clientY + 1);
}

void CBumpSplashWindow::OnTimer(wxTimerEvent&)
{
    // The pointer is read on a timer, not in a busy idle loop, and a pointer
    // that stays still costs nothing.
    wxPoint client = ScreenToClient(wxGetMousePosition());
    MoveLight(client.x, client.y);
}

void CBumpSplashWindow::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_bitmap.IsOk())
        dc.DrawBitmap(m_bitmap, -1, -1, false);
    // The window closes when it loses the focus, so it must have had it:
    // asked for once it is on the screen, as a request before that is lost.
    if (!m_focusAsked) {
        m_focusAsked = true;
        Raise();
        SetFocus();
    }
}

void CBumpSplashWindow::OnMouseDown(wxMouseEvent&)
{
    m_timer.Stop();
    Destroy();
}

void CBumpSplashWindow::OnActivate(wxActivateEvent& event)
{
    if (event.GetActive()) {
        m_wasActive = true;
    } else if (m_wasActive) {
        m_timer.Stop();
        Destroy();
    }
    event.Skip();
}

void InstallBumpSplashOpener()
{
    CSplash::SetWindowOpener([](CFile& picture, CFile& bumpMap, CFile& light, CMusicPlayer* music) -> wxWindow* {
        CBumpSplashWindow* window = new CBumpSplashWindow(picture, bumpMap, light, music);
        if (!window->IsValid()) {
            window->Destroy();
            return nullptr;
        }
        return window;
    });
}
