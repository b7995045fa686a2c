#pragma once

#include <functional>

// A two-way byte channel to a program: what the engine dialogue reads and
// writes, so the dialogue can be driven by a real child process or by a
// scripted device in tests. Nothing here waits unless asked to.
class CByteDevice {
public:
    virtual ~CByteDevice() = default;

    // Bytes the program wrote to its output: the count (> 0), 0 when none are
    // waiting, -1 once the output has ended and everything was read.
    virtual int Read(char* buffer, int size) = 0;
    // The same for its error output.
    virtual int ReadError(char* buffer, int size) = 0;
    // Queues the bytes for the program's input and writes what the pipe
    // takes now; false when the input is closed.
    virtual bool Write(const char* data, int size) = 0;
    // Ends the program's input (it sees the end of its file).
    virtual void CloseInput() = 0;
    // Waits at most ms milliseconds for output to read.
    virtual void WaitReadable(int ms) = 0;
    // Stops the program (and its children) where it is, or lets it go on:
    // a program that spins while it waits is stopped between its moves.
    // A device that is no program ignores it.
    virtual void SetResting(bool) {}
    // Calls onOutput once when the program's output becomes readable or
    // ends, so its reader need not poll to notice it; the next read watches
    // again. False when the device cannot watch (its reader keeps polling).
    virtual bool WatchOutput(std::function<void()>) { return false; }
    // The watch is set and has not fired since the last read.
    virtual bool IsWatchingOutput() const { return false; }
    // The program has exited (its remaining output may still be read).
    virtual bool HasEnded() const = 0;
    // The owner is done with the device: the program gets a grace period to
    // end, is then killed, and the device frees itself. Not used afterwards.
    virtual void Release() = 0;
};
