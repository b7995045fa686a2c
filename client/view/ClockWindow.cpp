#include "client/view/ClockWindow.h"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>

#include <algorithm>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/MediaSet.h"
#include "client/core/Player.h"
#include "client/core/WxText.h"
#include "client/view/GamePanel.h"
#include "client/view/HtmlText.h"
#include "client/view/SplashFrame.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/Image.h"
#include "foundation/URL.h"

using namespace Zorlin;

namespace {

const int kBlinkSteps = 20;
const wxColour kWhiteText(240, 240, 240);
const wxColour kBlackText(0, 0, 0);
// Behind the times when the picture is missing, so both stay readable.
const wxColour kNoBackground(120, 120, 120);
// Neither the light nor the dark of the times, so it reads as a mark.
const wxColour kRunningMark(230, 150, 30);
const int kRunningMarkWidth = 3;
const int kNameTop = 1;

CGame* CurrentGame()
{
    CFrameView* frame = GetAppServices().GetFrameView();
    CChessView* view = frame ? frame->GetChessView() : nullptr;
    return view ? view->GetGame() : nullptr;
}

} // namespace

wxIMPLEMENT_DYNAMIC_CLASS(CClockWindow, wxSashLayoutWindow);

wxBEGIN_EVENT_TABLE(CClockWindow, wxSashLayoutWindow)
    EVT_TIMER(CClockWindow::kTimerId, CClockWindow::OnClockTimer)
    EVT_ERASE_BACKGROUND(CClockWindow::OnEraseBackground)
    EVT_PAINT(CClockWindow::OnPaint)
wxEND_EVENT_TABLE()

CClockWindow::CClockWindow()
{
    Construct();
}

CClockWindow::CClockWindow(wxWindow* parent, wxWindowID id)
{
    Construct();
    Create(parent, id);
}

void CClockWindow::Construct()
{
    m_timer = nullptr;
    m_running = false;
    m_runningSide = 0;
    m_mode = 0;
    m_faceWidth = kFaceWidth;
    m_faceHeight = kFaceHeight;
    m_drawnSide = 0;
    m_drawnRunning = false;
    m_blink[0] = m_blink[1] = 0;
    m_texts[0] = m_texts[1] = FormatClockTime(0.0);
}

bool CClockWindow::Create(wxWindow* parent, wxWindowID id)
{
    if (!wxSashLayoutWindow::Create(parent, id, wxDefaultPosition, wxSize(kFaceWidth, kFaceHeight),
                                    wxCLIP_CHILDREN | wxSW_NOBORDER, "layoutWindow"))
        return false;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    CDrive& drive = GetAppServices().GetProgramDrive();
    CString language = GetLanguage(GetAppServices().GetUserSettings());
    CHtmlText page;
    ::LoadTemplate(drive, (GetHtmlFolder(language) + "clock.htm").GetText(), page);
    m_template = page;
    m_timer = new wxTimer(this, kTimerId);
    m_stopwatch.Start();
    LoadBackground();
    return true;
}

CClockWindow::~CClockWindow()
{
    if (m_timer)
        m_timer->Stop();
    delete m_timer;
}

void CClockWindow::LoadBackground()
{
    CDrive& drive = GetAppServices().GetProgramDrive();
    CAutoPointer<CFile> file = drive.OpenFile(CURL("/assets/images/clock/clockback.png"), CFile::kModeRead);
    if (!file.Get() || !file->IsOpen())
        return;
    CImage picture;
    try {
        picture.Load(*file.Get());
    } catch (...) {
        return;
    }
    if (!picture.HasPixels())
        return;
    wxImage image = ToWxImage(picture);
    if (!image.IsOk())
        return;
    m_background = wxBitmap(image);
    m_faceWidth = image.GetWidth();
    m_faceHeight = image.GetHeight();
}

bool CClockWindow::IsRunning() const
{
    return m_running;
}

void CClockWindow::ScheduleStep()
{
    if (!m_timer)
        return;
    int wait = 0;
    if (m_running && m_blink[m_runningSide] > 0)
        wait = kTimerMilliseconds;
    else if (m_running && m_mode == 1) {
        // Counted from the last step, which the stopwatch times.
        wait = NextClockChange(m_sides[m_runningSide].m_shown, m_reminders[m_runningSide]);
        if (wait > 0)
            wait = std::max(1, wait - int(m_stopwatch.Time()));
    }
    // Showing zero, or no time left: nothing changes until the next move.
    if (wait > 0)
        m_timer->StartOnce(wait);
    else
        m_timer->Stop();
}

void CClockWindow::SetTime(double whiteMs, double blackMs, int runningSide)
{
    double times[2] = {whiteMs > 0.0 ? whiteMs : 0.0, blackMs > 0.0 ? blackMs : 0.0};
    for (int side = 0; side < 2; ++side)
        m_sides[side].m_shown = m_sides[side].m_initial = times[side];
    m_runningSide = Side(runningSide);
    // The games set the times after every move to be counted down from.
    m_mode = 1;
    m_stopwatch.Start();
    Redisplay();
    ScheduleStep();
}

void CClockWindow::Start()
{
    m_stopwatch.Start();
    m_running = m_timer != nullptr;
    ScheduleStep();
    // The running side's box is framed from now on.
    if (m_running && !m_drawnRunning) {
        m_drawnRunning = true;
        Refresh(true);
    }
}

void CClockWindow::Stop()
{
    m_running = false;
    if (m_timer)
        m_timer->Stop();
    Redisplay();
}

void CClockWindow::LoadReminders(double remainingMs)
{
    CString setting = GetAppServices().GetProgramSettings().GetValueOr(".clock reminders", "");
    for (int side = 0; side < 2; ++side) {
        double remaining = remainingMs;
        if (remainingMs != -1.0 && side != m_runningSide)
            remaining = m_sides[side].m_shown;
        m_reminders[side].Load(setting, remaining);
    }
    ScheduleStep();
}

void CClockWindow::SetShown(bool shown)
{
    // Through the frame when it holds this clock, so its Clock item is
    // checked to match.
    CChessFrame* frame = dynamic_cast<CChessFrame*>(wxGetTopLevelParent(this));
    if (shown && frame && frame->GetClockView() == this) {
        frame->ShowClock();
        return;
    }
    Show(shown);
    if (CGamePanel* panel = dynamic_cast<CGamePanel*>(GetParent()))
        panel->DoLayout();
}

void CClockWindow::OnClockTimer(wxTimerEvent&)
{
    double elapsed = double(m_stopwatch.Time());
    m_stopwatch.Start();
    Step(elapsed);
    ScheduleStep();
}

void CClockWindow::Step(double elapsedMs)
{
    SSide& running = m_sides[m_runningSide];
    m_reminders[m_runningSide].Begin(running.m_shown);
    running.m_lastStep = elapsedMs;
    if (m_mode == 1)
        running.m_shown -= elapsedMs;
    else
        running.m_shown = 0.0;
    if (running.m_shown < 0.0)
        running.m_shown = 0.0;
    Redisplay();
}

void CClockWindow::OnReminder()
{
    m_blink[m_runningSide] = kBlinkSteps;
    CGame* game = CurrentGame();
    if (!game || !game->IsInPlay() || game->GetSettings().GetValueOr("type", "") == "GridmoorGame")
        return;
    CPlayer* player = game->GetPlayer(m_runningSide == 1 ? BLACK : WHITE);
    if (!player || !player->IsLocal())
        return;
    if (CChessApp* app = GetChessApp()) {
        app->LoadMedia();
        if (CMediaSet* media = app->GetMediaSet())
            media->PlayEffect(CMediaSet::kTikTok);
    }
}

void CClockWindow::Redisplay()
{
    CString texts[2] = {FormatClockTime(m_sides[0].m_shown), FormatClockTime(m_sides[1].m_shown)};
    if (m_reminders[m_runningSide].Check(m_sides[m_runningSide].m_shown))
        OnReminder();
    CGame* game = CurrentGame();
    if (!game || !game->IsInPlay())
        m_blink[0] = m_blink[1] = 0;
    // Only the running time blinks. A side that has moved stops blinking, so
    // its box never goes blank in step with the other's and leaves the strip
    // without any time.
    m_blink[1 - m_runningSide] = 0;
    if (IsRunning())
        for (int side = 0; side < 2; ++side)
            ApplyBlink(texts[side], m_blink[side]);
    bool running = IsRunning();
    if (texts[0] == m_texts[0] && texts[1] == m_texts[1] && m_drawnSide == m_runningSide &&
        m_drawnRunning == running)
        return;
    m_texts[0] = texts[0];
    m_texts[1] = texts[1];
    m_drawnSide = m_runningSide;
    m_drawnRunning = running;
    Refresh(true);
}

void CClockWindow::OnEraseBackground(wxEraseEvent&)
{
}

wxBitmap CClockWindow::RenderFace() const
{
    wxBitmap face(m_faceWidth, m_faceHeight, 24);
    wxMemoryDC memory(face);
    if (m_background.IsOk()) {
        memory.DrawBitmap(m_background, 0, 0, false);
    } else {
        memory.SetBackground(wxBrush(kNoBackground));
        memory.Clear();
    }
    // Each box names its side, so the dark one is not read as "running".
    memory.SetFont(wxFont(8, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
    wxSize whiteName = memory.GetTextExtent("White"), blackName = memory.GetTextExtent("Black");
    int nameHeight = std::max(whiteName.y, blackName.y);
    memory.SetTextForeground(kWhiteText);
    memory.DrawText("White", m_faceWidth / 4 - whiteName.x / 2, kNameTop);
    memory.SetTextForeground(kBlackText);
    memory.DrawText("Black", 3 * m_faceWidth / 4 - blackName.x / 2, kNameTop);

    memory.SetFont(wxFont(16, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
    wxString white = ToWx(m_texts[0]), black = ToWx(m_texts[1]);
    wxSize whiteSize = memory.GetTextExtent(white);
    wxSize blackSize = memory.GetTextExtent(black);
    int below = kNameTop + nameHeight;
    int y = std::max(below, below + (m_faceHeight - below - std::max(whiteSize.y, blackSize.y)) / 2);
    memory.SetTextForeground(kWhiteText);
    memory.DrawText(white, m_faceWidth / 4 - whiteSize.x / 2, y);
    memory.SetTextForeground(kBlackText);
    memory.DrawText(black, 3 * m_faceWidth / 4 - blackSize.x / 2, y);

    // The side whose time runs has its box framed.
    if (m_drawnRunning) {
        memory.SetPen(wxPen(kRunningMark, kRunningMarkWidth));
        memory.SetBrush(*wxTRANSPARENT_BRUSH);
        int half = m_faceWidth / 2;
        int inset = kRunningMarkWidth / 2;
        memory.DrawRectangle(m_drawnSide == 1 ? half + inset : inset, inset, half - kRunningMarkWidth + 1,
                             m_faceHeight - kRunningMarkWidth + 1);
    }
    memory.SelectObject(wxNullBitmap);
    return face;
}

void CClockWindow::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    dc.DrawBitmap(RenderFace(), 0, 0, false);
}
