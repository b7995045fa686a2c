#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>

#include "client/core/LineAccumulator.h"
#include "foundation/Config.h"
#include "foundation/MemFile.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

class CByteDevice;
class CConsole;
class CEnginePumpTimer;

// A chess engine program and its line dialogue: loads an engine package
// (info.cfg, photo.bmp), starts the program, writes lines to it and reads
// its lines without ever waiting for it. Everything the engine writes is
// gathered into whole lines first (engines write partial lines), its error
// output is drained into the console, and input sent before an engine that
// needs a nudge is through its start is held back until it is.
class CEngineProcess {
public:
    // How long a nudged engine is given to get through its start.
    static const int kNudgeLimitMs = 5000;
    static const int kNudgeIntervalMs = 5;
    // How long one tick reads what the engine wrote, at most: what it
    // holds beyond that is read by the next tick, which comes at once.
    static const int kTickReadMs = 5;
    // Bytes of engine output held read and not yet taken as lines, at most:
    // the rest stays in the pipe.
    static const int kPumpBytes = 1 << 16;

    CEngineProcess();
    ~CEngineProcess();
    CEngineProcess(const CEngineProcess&) = delete;
    CEngineProcess& operator=(const CEngineProcess&) = delete;

    // Reads info.cfg and the photo from the drive's current folder; false
    // (nothing else changed) when info.cfg cannot be read.
    bool Load(Zorlin::CDrive& packageDrive);
    // Starts the package's program in the package folder; false (no console,
    // nothing sent) when it cannot be started.
    bool Start();
    // Starts the dialogue over a device that is already running (the device
    // becomes ours).
    void Attach(CByteDevice* device);
    // Writes the text as it stands (callers end it with "\n").
    void Send(const char* text);
    // The next whole line the engine wrote; false when none is waiting.
    bool ReadLine(Zorlin::CString& line);
    // Asks the engine to quit and lets go of it; it is killed when it does
    // not end within a grace period.
    void Stop();
    // Stops without reading what the program still has to say.
    void Abandon();
    // Lets go of the running program (if any) and starts the package's
    // program afresh; false when it cannot be started.
    bool Restart();
    // Stops a package's program that spins while it waits ("rest = yes")
    // until something is sent to it again.
    void Rest();
    bool IsResting() const { return m_resting; }
    bool RestsWhileWaiting() const;
    // When something was last sent (the clock of Now).
    double GetLastSent() const { return m_lastSent; }
    // A new tick: its time to read begins.
    void StartTick();
    // The tick's time to read is over.
    bool IsReadTimeUp() const;
    // For tests: the time a tick reads (kTickReadMs).
    static void SetTickReadTime(double ms);
    // Output is waiting to be read: whole lines, or more in the pipe than
    // the last read took.
    bool IsOutputBehind() const { return m_lines.HasLine() || m_pipeBehind; }

    // Called once whenever the engine writes (or ends) after its output was
    // read, so the reader is woken instead of polling; kept across restarts.
    void SetOutputNotice(std::function<void()> notice);
    // The engine's next output will be told through the notice.
    bool IsOutputWatched() const;
    // A whole line was read from the engine and waits to be taken.
    bool HasLineWaiting() const { return m_lines.HasLine(); }

    // Moves what the engine wrote into the line store; nudges when due.
    void Pump();
    // Waits at most ms for the engine to write something.
    void WaitForOutput(int ms);

    // Started and not stopped (lines may still be waiting after its end).
    bool IsRunning() const { return m_device != nullptr; }
    // The engine has ended and every line it wrote has been read.
    bool HasEnded() const;
    bool IsNudging() const { return m_nudging; }
    double GetStartTime() const { return m_startTime; }
    // For a device whose program was started before it was attached.
    void SetStartTime(double seconds) { m_startTime = seconds; }
    double GetSecondsSinceStart() const;

    Zorlin::CConfig& GetSettings() { return m_settings; }
    const Zorlin::CString& GetPackageFolder() const { return m_packageFolder; }
    const Zorlin::CString& GetExe() const { return m_exe; }
    const Zorlin::CString& GetLastError() const { return m_lastError; }
    // The last few lines the engine wrote (error output too), as a message
    // box shows them; empty when it wrote nothing.
    Zorlin::CString GetLastWords() const;
    Zorlin::CMemFile& GetPhoto() { return m_photo; }
    CConsole* GetConsole() { return m_console.get(); }

    // Wall-clock seconds, the clock of the start time.
    static double Now();

private:
    void Log(const char* text);
    void DrainErrors();
    void Nudge();
    void EndNudging();
    void ReadAllWaiting();
    void Remember(const Zorlin::CString& line);

    Zorlin::CString m_packageFolder;
    Zorlin::CString m_exe;
    Zorlin::CString m_command;
    Zorlin::CConfig m_settings;
    CByteDevice* m_device;
    std::unique_ptr<CConsole> m_console;
    double m_startTime;
    Zorlin::CMemFile m_photo;
    CLineAccumulator m_lines;
    CLineAccumulator m_errors;
    bool m_outputEnded;
    double m_readUntil; // the end of this tick's time to read (the clock of Now)
    bool m_pipeBehind;  // the last pump stopped at its bound, not at an empty pipe
    bool m_nudging;
    bool m_resting;
    double m_lastSent;
    double m_lastNudge;
    Zorlin::CString m_held; // input held back while nudging
    Zorlin::CString m_lastError;
    std::deque<Zorlin::CString> m_lastWords;
    std::unique_ptr<CEnginePumpTimer> m_timer;
    std::function<void()> m_outputNotice;
};
