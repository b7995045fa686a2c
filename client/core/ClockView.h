#pragma once

// The services of the game panel's clock window that the games use.
class CClockView {
public:
    virtual ~CClockView() = default;
    // Sets the shown times (each clamped at 0), restarts the window's own
    // stopwatch and redraws.
    virtual void SetTime(double whiteMs, double blackMs, int sideToMove) = 0;
    // Restarts that stopwatch and the repeating display timer.
    virtual void Start() = 0;
    // Stops the display timer and redraws.
    virtual void Stop() = 0;
    // Re-reads the spoken time reminders; -1.0 marks none as passed.
    virtual void LoadReminders(double remainingMs) = 0;
    virtual void SetShown(bool shown) = 0;
};
