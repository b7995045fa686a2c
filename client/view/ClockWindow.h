#pragma once

// The chess clock strip at the top of the game panel: White's remaining
// time on the left, Black's on the right. The games set the times after
// every move; in between, the window counts the running side down itself,
// charging the real elapsed time of a stopwatch so that timer jitter does
// not add up. Its timer fires when the face next changes (a second rolls
// over, a reminder mark is passed, every 250 ms while a time blinks), and
// the face is drawn again only when its text has changed.

#include <wx/bitmap.h>
#include <wx/defs.h>
#include <wx/sashwin.h>
#include <wx/laywin.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>

#include "client/core/ClockView.h"
#include "client/view/ClockText.h"
#include "foundation/String.h"

class CClockWindow : public wxSashLayoutWindow, public CClockView {
public:
    static constexpr int kTimerId = 9994;
    static constexpr int kTimerMilliseconds = 250;
    static constexpr int kFaceWidth = 160;
    static constexpr int kFaceHeight = 46;

    // Creation by name; Create must follow.
    CClockWindow();
    CClockWindow(wxWindow* parent, wxWindowID id = wxID_ANY);
    ~CClockWindow() override;
    bool Create(wxWindow* parent, wxWindowID id = wxID_ANY);

    // --- CClockView
    void SetTime(double whiteMs, double blackMs, int runningSide) override;
    void Start() override;
    void Stop() override;
    // Re-reads the reminder marks of both sides. remainingMs is the running
    // side's time; the other side's marks follow its own shown time. -1.0
    // marks none as passed: each side's marks then wait for the time from
    // which that side's clock first runs.
    void LoadReminders(double remainingMs) override;
    // Shows or hides the strip and lays the game panel out again.
    void SetShown(bool shown) override;

    // 1: the running side counts down; 0: it shows zero.
    void SetCountingMode(int mode)
    {
        m_mode = mode;
        ScheduleStep();
    }
    int GetCountingMode() const { return m_mode; }
    bool IsRunning() const;
    int GetRunningSide() const { return m_runningSide; }
    double GetShownTime(int side) const { return m_sides[Side(side)].m_shown; }
    double GetInitialTime(int side) const { return m_sides[Side(side)].m_initial; }
    // The texts as last drawn: empty while a blinking time is off.
    const Zorlin::CString& GetTimeText(int side) const { return m_texts[Side(side)]; }
    int GetBlinkCount(int side) const { return m_blink[Side(side)]; }
    const CClockReminders& GetReminders(int side) const { return m_reminders[Side(side)]; }

    // One display step charging elapsedMs to the running side (the timer
    // passes the stopwatch's time).
    void Step(double elapsedMs);
    void Redisplay();
    // The face as drawn: the background with both times on it.
    wxBitmap RenderFace() const;

    void OnClockTimer(wxTimerEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnEraseBackground(wxEraseEvent& event);

private:
    struct SSide {
        double m_lastStep = 0.0;
        double m_shown = 0.0;
        double m_initial = 0.0;
    };
    static int Side(int side) { return side == 1 ? 1 : 0; }
    void Construct();
    void LoadBackground();
    // A reminder of the running side fired: blink and, for a local player
    // in a game in play that is not online, the tick sound.
    void OnReminder();
    // Sets the timer for the next change of the face while running.
    void ScheduleStep();

    wxTimer* m_timer;
    bool m_running;
    int m_runningSide;
    SSide m_sides[2];
    int m_mode;
    wxStopWatch m_stopwatch;
    int m_faceWidth;
    int m_faceHeight;
    wxBitmap m_background;
    Zorlin::CString m_texts[2];
    int m_drawnSide;
    bool m_drawnRunning;
    int m_blink[2];
    CClockReminders m_reminders[2];
    Zorlin::CString m_template;

    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CClockWindow);
    wxDECLARE_EVENT_TABLE();
};
