#include "testsupport/XvfbDisplay.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace RookwellTest {

CXvfbDisplay::CXvfbDisplay(int width, int height)
{
    const char* old = getenv("DISPLAY");
    m_hadDisplay = old != nullptr;
    if (old)
        m_oldDisplay = old;
    const char* reuse = getenv("ROOKWELL_USE_DISPLAY");
    if (old && reuse && strcmp(reuse, "1") == 0) {
        m_name = old;
        m_ready = true;
        return;
    }
    m_ready = Start(width, height);
    if (m_ready)
        setenv("DISPLAY", m_name.c_str(), 1);
}

bool CXvfbDisplay::Start(int width, int height)
{
    int fds[2];
    if (pipe(fds) != 0) {
        m_error = "pipe failed";
        return false;
    }
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::string fdText = std::to_string(fds[1]);
    m_pid = fork();
    if (m_pid < 0) {
        m_error = "fork failed";
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (m_pid == 0) {
        close(fds[0]);
        // The server ends with the test program, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", "+extension", "GLX", (char*)nullptr);
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    for (int waited = 0; waited < 200; ++waited) {
        if (poll(&p, 1, 100) <= 0) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                break;  // died without a display (no Xvfb, no GLX)
            continue;
        }
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        m_error = "Xvfb did not start";
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        return false;
    }
    m_name = ":" + number;
    return true;
}

CXvfbDisplay::~CXvfbDisplay()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        if (m_hadDisplay)
            setenv("DISPLAY", m_oldDisplay.c_str(), 1);
        else
            unsetenv("DISPLAY");
    }
}

CXvfbDisplay& SharedDisplay()
{
    static CXvfbDisplay display;
    return display;
}

}  // namespace RookwellTest
