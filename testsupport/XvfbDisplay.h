#pragma once
// A private X server for tests that need real windows or GL.
//
// Starts `Xvfb -displayfd` so the server picks a free display number itself
// (tests run in parallel), points DISPLAY at it, and stops it on destruction.
// When DISPLAY is already set and ROOKWELL_USE_DISPLAY=1, that display is used.

#include <string>
#include <sys/types.h>

namespace RookwellTest {

class CXvfbDisplay {
public:
    CXvfbDisplay(int width = 1280, int height = 1024);
    ~CXvfbDisplay();
    CXvfbDisplay(const CXvfbDisplay&) = delete;
    CXvfbDisplay& operator=(const CXvfbDisplay&) = delete;

    bool IsReady() const { return m_ready; }
    const std::string& GetName() const { return m_name; }  // ":N"
    const std::string& GetError() const { return m_error; }

private:
    bool Start(int width, int height);

    pid_t m_pid = -1;
    bool m_ready = false;
    std::string m_name;
    std::string m_error;
    std::string m_oldDisplay;
    bool m_hadDisplay = false;
};

// One display for the whole test program: call first thing in a test; the
// server lives until the program ends.
CXvfbDisplay& SharedDisplay();

}  // namespace RookwellTest
