#pragma once

// A window that is not deleted while one of its calls is still running.
// The toolkit deletes a destroyed window at its next idle time, and every
// yield and modal loop has idle times: a window destroyed from inside one
// would be freed under the call that let the events through. Here each
// event of the window holds it while it is handled, a call from outside
// that may let events through holds it with a CHold, and Destroy waits
// until nothing holds it and no yield or modal loop is running.

#include <wx/app.h>
#include <wx/timer.h>

#include "client/core/ModalLoops.h"

template <class Base> class CHeldWindow : public Base {
public:
    using Base::Base;

    class CHold {
    public:
        explicit CHold(CHeldWindow* window) : m_window(window)
        {
            if (m_window)
                ++m_window->m_holds;
        }
        ~CHold()
        {
            if (m_window)
                m_window->Release();
        }
        CHold(const CHold&) = delete;
        CHold& operator=(const CHold&) = delete;

    private:
        CHeldWindow* m_window;
    };

    bool ProcessEvent(wxEvent& event) override
    {
        CHold hold(this);
        return Base::ProcessEvent(event);
    }

    bool Destroy() override
    {
        if (m_holds > 0 || IsInsideOtherWork()) {
            m_destroyPending = true;
            this->Hide();
            LookWhenFree();
            return true;
        }
        m_destroyPending = false;
        return Base::Destroy();
    }

    // Destroy was asked for: it waits for what holds the window, or the
    // toolkit deletes the window at its next idle time.
    bool IsDestroyPending() const
    {
        return m_destroyPending || (wxTheApp && wxTheApp->IsScheduledForDestruction(const_cast<CHeldWindow*>(this)));
    }
    // The calls holding the window; an event handler counts its own.
    int GetHolds() const { return m_holds; }
    // Events are handled inside other work that is still running, which
    // may use the window once they are: a yield or a modal loop.
    virtual bool IsInsideOtherWork() const { return IsInNestedLoop(); }

protected:
    // OnFree comes once nothing holds the window and no other work runs.
    // It is looked for every few milliseconds: the last hold may go inside
    // a yield, with no event of the window to come after it.
    void LookWhenFree()
    {
        if (!m_againBound) {
            m_againBound = true;
            m_again.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { LookAgain(); });
        }
        if (!m_again.IsRunning())
            m_again.StartOnce(kLookAgainMs);
    }
    // What was put off until the window is free.
    virtual void OnFree()
    {
        if (m_destroyPending)
            Destroy();
    }

private:
    static const int kLookAgainMs = 20;

    void Release()
    {
        if (--m_holds == 0 && m_destroyPending && !IsInsideOtherWork())
            Destroy();
    }
    void LookAgain()
    {
        if (m_holds > 0 || IsInsideOtherWork())
            m_again.StartOnce(kLookAgainMs);
        else
            OnFree();
    }

    int m_holds = 0;
    bool m_destroyPending = false;
    wxTimer m_again;
    bool m_againBound = false;
};
