#pragma once

// Runs the real application object of the client inside a test program: a
// fresh copy of the program folder in a temporary folder (with the real
// linkhop and a fake xdg-open that records what it is asked to open), a
// private X server, scripted prompts, and the toolkit started around it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include "client/core/Prompt.h"

class CChessApp;
class wxWindow;

namespace AppTest {

class CHarness {
public:
    CHarness();
    ~CHarness();

    // Makes the program folder; settings lines are appended to cfg/app.cfg
    // (setuser and the like). False with the reason in GetError.
    bool PrepareFolder(const std::string& appSettings);
    // The folder of a user "tester" who has started before (profile id
    // ABC123, named Tess), with these preferences; the program folder's
    // setuser names that user.
    bool PrepareReturningUser(const std::string& preferences);
    // Starts the toolkit and runs the start-up with these arguments after
    // the program name, from the folder startFolder (the program folder
    // when empty). False when the display or the toolkit could not start.
    bool Start(const std::vector<std::string>& arguments, const std::string& startFolder = "");
    // Closes the frame as its close box does and lets the toolkit delete
    // it; then the application's exit runs and the toolkit ends.
    void Stop();

    // What a new user's first start showed. The harness answers those
    // dialogs from inside their modal loops: the introduction with OK, the
    // profile dialog with the name set here and OK, or, when the name is
    // empty, with its close box.
    struct SFirstRun {
        bool introShown = false;
        bool profileShown = false;
        bool introFirst = false;     // the introduction came before the profile dialog
        bool cancelEnabled = false;  // as the profile dialog showed it
        std::string profileTitle;
    };
    void SetNewUserName(const std::string& name) { m_newUserName = name; }
    const SFirstRun& GetFirstRun() const { return m_firstRun; }

    CChessApp* GetApp() const { return m_app; }
    CScriptedPrompt& GetPrompt() { return m_prompt; }
    const std::string& GetFolder() const { return m_folder; }
    const std::string& GetError() const { return m_error; }
    bool OnInitResult() const { return m_onInitResult; }

    std::string Path(const std::string& relative) const { return m_folder + "/" + relative; }
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    // Every question asked so far, a line each: "[caption] text".
    std::string Asked();
    // Each call of the fake opener, its one argument.
    std::vector<std::string> OpenedAddresses() const;
    // Lets the toolkit run until done() or about ten seconds passed.
    template <class F>
    bool PumpUntil(F done)
    {
        for (int i = 0; i < 1000; ++i) {
            if (done())
                return true;
            Pump();
        }
        return done();
    }
    void Pump();
    // Toolkit assertions seen so far.
    static int GetAssertCount();

private:
    std::string m_base;
    std::string m_folder;
    std::string m_error;
    CScriptedPrompt m_prompt;
    CChessApp* m_app;
    bool m_started;
    bool m_onInitResult;
    std::string m_newUserName = "Tess Tester";
    SFirstRun m_firstRun;
    std::vector<std::string> m_argStorage;
    std::vector<char*> m_argv;
    int m_argc;
};

// Sends the event a press of the dialog's button id makes; false when the
// dialog has no such control.
bool Press(wxWindow& dialog, int id);

// Runs command while a modal window of type T is expected to open; script
// then works that window from inside its loop. A window the script leaves
// open is ended and counted as a failure; a window that never opened fails.
template <class T> bool RunWithModal(const std::function<void()>& command, const std::function<void(T&)>& script)
{
    struct SState {
        bool done = false;
        bool seen = false;
        int tries = 0;
    };
    auto state = std::make_shared<SState>();
    auto lookHolder = std::make_shared<std::function<void()>>();
    *lookHolder = [state, script, lookHolder] {
        if (state->done)
            return;
        for (wxWindow* window : wxTopLevelWindows) {
            T* found = dynamic_cast<T*>(window);
            if (found && found->IsModal()) {
                state->seen = true;
                state->done = true;
                script(*found);
                if (found->IsModal()) {
                    ADD_FAILURE() << "the dialog is still open after the script";
                    found->EndModal(wxID_CANCEL);
                }
                return;
            }
        }
        // About 30 s of looking: the bound only stops a dialog that never comes.
        if (++state->tries < 6000) {
            wxMilliSleep(5);
            wxTheApp->CallAfter([lookHolder] { (*lookHolder)(); });
        }
    };
    wxTheApp->CallAfter([lookHolder] { (*lookHolder)(); });
    command();
    state->done = true;
    // The holder refers to itself; break the ring.
    wxTheApp->CallAfter([lookHolder] { *lookHolder = nullptr; });
    return state->seen;
}

} // namespace AppTest
