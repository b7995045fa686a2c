#pragma once

#include <functional>
#include <memory>

#include <wx/event.h>
#include <wx/timer.h>

#include "client/core/ByteDevice.h"
#include "client/core/DescriptorWatch.h"
#include "foundation/Array.h"
#include "foundation/String.h"

// The one way the client starts a helper program that it talks to: started
// in an explicit working folder (ours never changes), its three standard
// streams on pipes read without blocking, in a process group of its own
// inside our session so it can be stopped, continued and killed with its
// children. Neither it nor its children outlive us, however we end: the
// group's keeper kills the group when the kernel tells it we ended. The
// object outlives the program when it was released, and deletes itself when
// the program has ended, so the end notice never meets a freed object.
class CChildProcess : public wxEvtHandler, public CByteDevice {
public:
    // Grace between releasing a running program and killing it.
    static const int kGraceMs = 1500;
    // How often the end is looked for where the kernel cannot tell it.
    static const int kEndPollMs = 50;

    // Starts argv[0] (a path to an executable file) with the arguments after
    // it; null with error set when it cannot be started. On the GUI thread
    // only: the kernel kills the program when the thread that started it ends.
    static CChildProcess* Spawn(const Zorlin::CArray<Zorlin::CString>& argv, const Zorlin::CString& folder,
                                Zorlin::CString& error);
    // Programs started and not yet ended, released ones included.
    static int GetLiveCount();
    // Kills every program still running (the application's exit).
    static void KillAll();

    int Read(char* buffer, int size) override;
    int ReadError(char* buffer, int size) override;
    bool Write(const char* data, int size) override;
    void CloseInput() override;
    void WaitReadable(int ms) override;
    void SetResting(bool resting) override;
    bool WatchOutput(std::function<void()> onOutput) override;
    bool IsWatchingOutput() const override { return m_watch.IsArmed(); }
    bool HasEnded() const override { return m_ended; }
    void Release() override;

    long GetProcessId() const { return m_processId; }
    // Its exit status; -1 when a signal ended it.
    int GetExitCode() const { return m_exitCode; }

private:
    CChildProcess();
    ~CChildProcess() override;

    void OnKillTimer(wxTimerEvent& event);
    void WatchEnd();
    // Reaps the program when it has ended; may delete this.
    void CheckEnded();
    void Flush();
    static int ReadFrom(int fd, char* buffer, int size);
    void ArmWatch();

    class CEndPollTimer;

    long m_processId = 0;
    pid_t m_keeperId = -1; // holds the group stopped, so that it ends with us
    int m_outFd = -1;
    int m_errFd = -1;
    int m_inFd = -1;
    int m_endFd = -1; // the kernel's handle that becomes readable at the end
    bool m_ended = false;
    bool m_released = false;
    bool m_resting = false;
    int m_exitCode = 0;
    Zorlin::CString m_pending; // input the pipe did not take yet
    wxTimer m_killTimer;
    std::function<void()> m_onOutput;
    CDescriptorWatch m_watch;
    CDescriptorWatch m_endWatch;
    std::unique_ptr<CEndPollTimer> m_endPoll; // where the end cannot be watched
};
