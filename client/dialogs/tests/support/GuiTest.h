#pragma once
// Toolkit start-up for the dialog tests: a private X server, one wxApp for
// the whole program, toolkit assertions and GTK warnings turned into test
// failures, and small helpers to press buttons and to script modal runs.
// Header only, so each test program that includes it gets one copy; it also
// brings the leak checker's rules for the desktop libraries.

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/vlbox.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/listbox.h>
#include <wx/window.h>

#include "client/view/tests/support/GuiLeaks.h"
#include "testsupport/XvfbDisplay.h"

namespace GuiTest {

inline void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                         const wxString& msg)
{
    ADD_FAILURE() << "toolkit assertion at " << file.utf8_str() << ":" << line << " in " << func.utf8_str() << ": "
                  << cond.utf8_str() << " " << msg.utf8_str();
}

// GTK reports what it cannot draw (a widget given a size below its minimum
// and the like) on stderr, through a writer no program can hook twice. The
// capture takes stderr for a while, hands the text back and replays it.
class CStderrCapture {
public:
    CStderrCapture()
    {
        fflush(stderr);
        char path[] = "/tmp/rookwell-stderr-XXXXXX";
        m_file = mkstemp(path);
        if (m_file < 0)
            return;
        // Kept until Finish: a program that dies meanwhile (a sanitizer's
        // report) leaves its last words there.
        m_path = path;
        m_saved = dup(2);
        dup2(m_file, 2);
    }
    ~CStderrCapture() { Finish(); }
    std::string Finish()
    {
        if (m_file < 0)
            return m_text;
        fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        lseek(m_file, 0, SEEK_SET);
        char block[4096];
        ssize_t n;
        while ((n = read(m_file, block, sizeof block)) > 0)
            m_text.append(block, size_t(n));
        close(m_file);
        m_file = -1;
        unlink(m_path.c_str());
        fputs(m_text.c_str(), stderr);
        return m_text;
    }

private:
    int m_file = -1;
    int m_saved = -1;
    std::string m_path;
    std::string m_text;
};

// The lines of GTK's warnings and critical messages in a captured text.
inline std::string GtkComplaints(const std::string& text)
{
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (line.find("-CRITICAL") != std::string::npos || line.find("-WARNING") != std::string::npos)
            out += line + "\n";
        start = end + 1;
    }
    return out;
}

// Starts the display and the toolkit once; false when no display can be had.
inline bool Start()
{
    static int state = 0; // 0 not tried, 1 ready, -1 failed
    if (state != 0)
        return state > 0;
    state = -1;
    if (!RookwellTest::SharedDisplay().IsReady())
        return false;
    static int argc = 1;
    static char name[] = "rookwell-test";
    static char* argv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(argc, argv))
        return false;
    wxTheApp->CallOnInit();
    setlocale(LC_NUMERIC, "C");
    wxSetAssertHandler(&FailOnAssert);
    wxInitAllImageHandlers();
    state = 1;
    return true;
}

// Lets pending events (layout, paint, CallAfter) run.
inline void Pump()
{
    for (int i = 0; i < 5; ++i)
        wxTheApp->Yield(true);
}

// Runs the script from inside the dialog's modal loop and returns the result.
// A script that leaves the dialog open fails the test instead of hanging it.
const int kLeftOpen = -999;
inline int RunModal(wxDialog& dialog, std::function<void()> script)
{
    wxTheApp->CallAfter([&dialog, script] {
        script();
        if (dialog.IsModal()) {
            ADD_FAILURE() << "the dialog is still open after the script";
            dialog.EndModal(kLeftOpen);
        }
    });
    return dialog.ShowModal();
}

// A command event of an id sent to the window itself (a button it lacks,
// such as the wxID_CANCEL that Escape presses).
inline void Command(wxWindow* window, int id)
{
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(window);
    window->GetEventHandler()->ProcessEvent(event);
}

// Sends the event a press of the button makes.
inline void Click(wxWindow* parent, int id)
{
    wxWindow* button = parent->FindWindow(id);
    ASSERT_NE(button, nullptr) << "no control " << id;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

// Sets a check box and sends the event a click makes.
inline void Toggle(wxWindow* parent, int id, bool value)
{
    wxCheckBox* box = dynamic_cast<wxCheckBox*>(parent->FindWindow(id));
    ASSERT_NE(box, nullptr) << "no check box " << id;
    box->SetValue(value);
    wxCommandEvent event(wxEVT_CHECKBOX, id);
    event.SetEventObject(box);
    event.SetInt(value ? 1 : 0);
    box->GetEventHandler()->ProcessEvent(event);
}

// Selects a list entry and sends the event a click makes.
inline void Choose(wxWindow* parent, int id, int index)
{
    wxWindow* list = parent->FindWindow(id);
    if (wxListBox* box = dynamic_cast<wxListBox*>(list))
        box->SetSelection(index);
    else if (wxVListBox* drawn = dynamic_cast<wxVListBox*>(list))
        drawn->SetSelection(index);
    else
        FAIL() << "no list " << id;
    wxCommandEvent event(wxEVT_LISTBOX, id);
    event.SetEventObject(list);
    event.SetInt(index);
    list->GetEventHandler()->ProcessEvent(event);
}

// The close box of a window.
inline void CloseBox(wxWindow* window)
{
    wxCloseEvent event(wxEVT_CLOSE_WINDOW, window->GetId());
    event.SetEventObject(window);
    event.SetCanVeto(true);
    window->GetEventHandler()->ProcessEvent(event);
}

template <class T> T* Find(wxWindow* parent, int id)
{
    return dynamic_cast<T*>(parent->FindWindow(id));
}

} // namespace GuiTest

#define GUI_TEST_START()                                   \
    do {                                                   \
        if (!GuiTest::Start())                             \
            GTEST_SKIP() << "no X display for GUI tests";  \
    } while (0)
