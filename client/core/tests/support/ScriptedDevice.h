#pragma once

// A byte device whose program is the test: what the "engine" writes is
// queued as chunks (split wherever the test likes), what we write is kept.
// The state outlives the device, which frees itself when released.

#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

#include "client/core/ByteDevice.h"

namespace EngineTest {

struct SDeviceState {
    std::deque<std::string> output;  // chunks the engine writes, in order
    std::string written;             // everything sent to the engine
    bool outputEnded = false;        // after the queue drains, the end
    bool exited = false;
    bool resting = false;            // stopped by SetResting
    int rests = 0;
    bool inputClosed = false;
    bool released = false;
    int reads = 0;
    bool watchable = false;          // the device can watch its output
    bool watching = false;           // armed; a test clears it as the engine writes
    // Called at every read before the queue is looked at (a clock for the
    // engine: it may queue more output).
    std::function<void(SDeviceState&)> onRead;

    void Say(const std::string& line) { output.push_back(line + "\n"); }
    // The lines sent, in order.
    int CountSent(const std::string& line) const
    {
        int n = 0;
        std::string whole = "\n" + written;
        for (size_t at = whole.find("\n" + line + "\n"); at != std::string::npos;
             at = whole.find("\n" + line + "\n", at + 1))
            ++n;
        return n;
    }
    bool Sent(const std::string& line) const { return CountSent(line) > 0; }
};

class CScriptedDevice : public CByteDevice {
public:
    explicit CScriptedDevice(std::shared_ptr<SDeviceState> state) : m_state(std::move(state)) {}

    int Read(char* buffer, int size) override
    {
        ++m_state->reads;
        m_state->watching = m_state->watchable;
        if (m_state->onRead)
            m_state->onRead(*m_state);
        if (m_state->output.empty())
            return m_state->outputEnded ? -1 : 0;
        std::string& chunk = m_state->output.front();
        int n = int(chunk.size()) < size ? int(chunk.size()) : size;
        std::memcpy(buffer, chunk.data(), size_t(n));
        chunk.erase(0, size_t(n));
        if (chunk.empty())
            m_state->output.pop_front();
        return n;
    }
    int ReadError(char*, int) override { return 0; }
    bool Write(const char* data, int size) override
    {
        if (m_state->inputClosed)
            return false;
        m_state->written.append(data, size_t(size));
        return true;
    }
    void CloseInput() override { m_state->inputClosed = true; }
    bool WatchOutput(std::function<void()>) override { return m_state->watching = m_state->watchable; }
    bool IsWatchingOutput() const override { return m_state->watching; }
    void WaitReadable(int) override { usleep(1000); }
    bool HasEnded() const override { return m_state->exited; }
    void SetResting(bool resting) override
    {
        m_state->resting = resting;
        if (resting)
            ++m_state->rests;
    }
    void Release() override
    {
        m_state->released = true;
        delete this;
    }

private:
    std::shared_ptr<SDeviceState> m_state;
};

} // namespace EngineTest
