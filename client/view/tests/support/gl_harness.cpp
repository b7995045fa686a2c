#include "gl_harness.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

// Mesa and the X library keep allocations for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libGLX_mesa\nleak:swrast_dri\nleak:libgallium\nleak:libLLVM\nleak:libX11\n"
           "leak:libglapi\nleak:libGLdispatch\nleak:libGLX.so\nleak:libdrm\nleak:libexpat\n";
}

namespace {

// The three X calls needed, looked up at run time so the test programs
// need no X library on their link line.
struct SXlib {
    Display* (*open)(const char*) = nullptr;
    int (*close)(Display*) = nullptr;
    int (*defaultScreen)(Display*) = nullptr;
    int (*free)(void*) = nullptr;
};
SXlib g_x;

std::string g_failure;
CGLHarness* g_harness = nullptr; // kept to the end of the process, see Teardown
bool g_tried = false;

// At exit only the server goes: the context stays, so what Mesa holds
// through it is still reachable when the leak checker looks.
void Teardown()
{
    if (g_harness)
        g_harness->StopServer();
}

} // namespace

CGLHarness* CGLHarness::Get()
{
    if (!g_tried) {
        g_tried = true;
        std::unique_ptr<CGLHarness> harness(new CGLHarness);
        if (harness->Start(g_failure)) {
            g_harness = harness.release();
            std::atexit(Teardown);
        }
    }
    if (g_harness)
        g_harness->MakeCurrent();
    return g_harness;
}

const std::string& CGLHarness::GetFailure() { return g_failure; }

bool CGLHarness::Start(std::string& failure)
{
    m_x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!m_x11) {
        failure = "libX11.so.6 not found";
        return false;
    }
    g_x.open = reinterpret_cast<Display* (*)(const char*)>(dlsym(m_x11, "XOpenDisplay"));
    g_x.close = reinterpret_cast<int (*)(Display*)>(dlsym(m_x11, "XCloseDisplay"));
    g_x.defaultScreen = reinterpret_cast<int (*)(Display*)>(dlsym(m_x11, "XDefaultScreen"));
    g_x.free = reinterpret_cast<int (*)(void*)>(dlsym(m_x11, "XFree"));
    if (!g_x.open || !g_x.close || !g_x.defaultScreen || !g_x.free) {
        failure = "libX11 lacks XOpenDisplay";
        return false;
    }
    if (!StartServer(failure))
        return false;
    return OpenContext(failure);
}

bool CGLHarness::StartServer(std::string& failure)
{
    int fds[2];
    if (pipe(fds) != 0) {
        failure = "pipe failed";
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        failure = "fork failed";
        return false;
    }
    if (pid == 0) {
        close(fds[0]);
        // The server ends with this process, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    m_serverPid = pid;
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    for (int waited = 0; waited < 200; ++waited) {
        if (poll(&p, 1, 100) <= 0) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                m_serverPid = -1;
                break;
            }
            continue;
        }
        char c;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        StopServer();
        failure = "Xvfb did not start";
        return false;
    }
    m_displayName = ":" + number;
    return true;
}

bool CGLHarness::OpenContext(std::string& failure)
{
    Display* display = g_x.open(m_displayName.c_str());
    if (!display) {
        failure = "cannot open display " + m_displayName;
        return false;
    }
    m_display = display;
    const int attributes[] = {GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT,
                              GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, g_x.defaultScreen(display), attributes, &count);
    if (!configs || count == 0) {
        failure = "no GLX pbuffer configuration";
        return false;
    }
    const int size[] = {GLX_PBUFFER_WIDTH, kMaxWidth, GLX_PBUFFER_HEIGHT, kMaxHeight, None};
    const GLXFBConfig config = configs[0];
    g_x.free(configs);
    m_pbuffer = glXCreatePbuffer(display, config, size);
    GLXContext context = glXCreateNewContext(display, config, GLX_RGBA_TYPE, nullptr, True);
    m_context = context;
    if (!m_pbuffer || !context || !MakeCurrent()) {
        failure = "cannot make a GLX context current";
        return false;
    }
    return true;
}

bool CGLHarness::MakeCurrent()
{
    if (!m_display || !m_context)
        return false;
    return glXMakeContextCurrent(static_cast<Display*>(m_display), m_pbuffer, m_pbuffer,
                                 static_cast<GLXContext>(m_context));
}

const char* CGLHarness::GetRenderer() const
{
    const GLubyte* name = glGetString(GL_RENDERER);
    return name ? reinterpret_cast<const char*>(name) : "unknown";
}

void CGLHarness::StopServer()
{
    if (m_serverPid <= 0)
        return;
    kill(m_serverPid, SIGTERM);
    int status = 0;
    waitpid(m_serverPid, &status, 0);
    m_serverPid = -1;
}

CGLHarness::~CGLHarness()
{
    Display* display = static_cast<Display*>(m_display);
    if (display) {
        glXMakeContextCurrent(display, None, None, nullptr);
        if (m_context)
            glXDestroyContext(display, static_cast<GLXContext>(m_context));
        if (m_pbuffer)
            glXDestroyPbuffer(display, m_pbuffer);
        g_x.close(display);
    }
    StopServer();
    // The X library stays loaded: Mesa may still hold pointers into it.
}
