#pragma once

#include <wx/timer.h>

#include "client/dialogs/HtmlMessageBox.h"
#include "client/view/HtmlText.h"
#include "foundation/List.h"

// A notice of the online service: a page of "game/" filled with the
// caller's values, whose links answer it. Closing it by hand follows the
// close link, and the close timer the time-out link; either way the link
// handler decides whether it goes.
class CHtmlPopup : public CHtmlMessageBox {
public:
    using COwnerList = Zorlin::CList<CHtmlPopup*>;
    static constexpr int kTimerId = 1;

    // page is a name of the language folder's "game/" subfolder without
    // ".htm"; variables may be null.
    CHtmlPopup(wxWindow* parent, const Zorlin::CString& title, const Zorlin::CString& page,
               const CHtmlVariables* variables);
    // Leaves the owner's list whatever destroyed it.
    ~CHtmlPopup() override;

    // Starts the close timer once.
    void SetCloseTimer(int seconds);
    // Follows the close link; without one the popup just closes.
    void Dismiss();
    // Stops the close timer and asks the handler; closes when it is handled.
    void OnLink(const Zorlin::CString& link) override;

    bool IsCloseTimerRunning() const { return m_closeTimer.IsRunning(); }
    wxTimer& GetCloseTimer() { return m_closeTimer; }

    // Set by the creator after construction.
    Zorlin::CString m_closeLink;
    COwnerList* m_ownerList;
    Zorlin::CString m_timeoutLink;

private:
    void OnClose(wxCloseEvent& event);
    void OnTimer(wxTimerEvent& event);
    void LeaveOwnerList();

    wxTimer m_closeTimer;

    wxDECLARE_EVENT_TABLE();
};
