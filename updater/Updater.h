#pragma once

#include <functional>
#include <vector>

#include "foundation/String.h"

class CUpdaterPrompt;
class CUpdateLog;
class CUpdatePlan;

// One run of the updater: install the package named by the first argument
// into the program folder and start the client named by the second again,
// also after a cancel or a failure. The exit code says whether anything went
// wrong, as a program's status does: 0 after a complete update, a cancel,
// or a run without arguments (which only explains itself, and is how the
// client checks that a new updater runs here); 1 when the update was
// refused or left incomplete.
class CUpdater {
public:
    // Waits for the client that started us to go away.
    using WaitFunction = std::function<void()>;
    // Starts the client by its file name in the program folder.
    using StartFunction = std::function<bool(const Zorlin::CString& folder, const Zorlin::CString& name)>;

    // The package's copy of this program; the running one cannot be
    // replaced under its own feet, so the client swaps it in from
    // kNewUpdaterName at its next start.
    static const char* const kUpdaterName;
    static const char* const kNewUpdaterName;
    static const char* const kLogName;
    // The client started when the command line names none.
    static const char* const kClientName;

    CUpdater(CUpdaterPrompt& prompt, const Zorlin::CString& programFolder, WaitFunction wait, StartFunction start);

    int Run(const std::vector<Zorlin::CString>& arguments);

private:
    // Steps after the user said OK; the exit code.
    int Install(const Zorlin::CString& packagePath, CUpdateLog& log);
    // Tells and logs a failure that left the program folder untouched.
    int Refuse(CUpdateLog& log, const Zorlin::CString& logLine, const char* message);
    // Marks the program folder as being updated from the package, after
    // clearing what an earlier, killed run left; false when it cannot.
    bool MarkFolder(const CUpdatePlan& plan, const Zorlin::CString& packagePath, CUpdateLog& log);
    void LaunchClient(const Zorlin::CString& name, CUpdateLog& log);

    CUpdaterPrompt& m_prompt;
    Zorlin::CString m_folder;
    WaitFunction m_wait;
    StartFunction m_start;
};
