#pragma once

// Ends every modal loop that is running (dialogs of ours and of the
// toolkit, the desktop's own message boxes among them) as if each had been
// cancelled; the number ended. The end of the program calls it before it
// closes the frame, so no open question can keep the program alive.
int EndModalLoops();

// True while something modal holds the user: a modal loop of the kinds
// EndModalLoops ends, a yield inside some work, or the mouse captured (a
// piece being dragged). What would replace what they work on waits.
bool IsInModalState();

// True while events are being handled under a call that is still running:
// a yield, or the loop of a modal window (any loop but the program's main
// loop). An object deleted then may be one that call goes on to use.
bool IsInNestedLoop();

// Asks every CModalWork running to stop; the number asked.
int StopModalWork();

// Work on the GUI thread that keeps input away and yields to the toolkit
// until it is done (a large file being read) is a modal loop too: while one
// lives, EndModalLoops asks it to stop (counted once as ended), and the work
// stops when it next looks. Made and destroyed on the GUI thread, on the
// stack of the work it stands for.
class CModalWork {
public:
    CModalWork();
    ~CModalWork();
    CModalWork(const CModalWork&) = delete;
    CModalWork& operator=(const CModalWork&) = delete;

    void Stop() { m_stopped = true; }
    bool IsStopped() const { return m_stopped; }

private:
    bool m_stopped = false;
};
