#include "gl_harness.h"

#include "testsupport/XvfbDisplay.h"

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
// Kept to the end of the process: the context stays, so what Mesa holds
// through it is still reachable when the leak checker looks.
CGLHarness* g_harness = nullptr;
bool g_tried = false;

} // namespace

CGLHarness* CGLHarness::Get()
{
    if (!g_tried) {
        g_tried = true;
        std::unique_ptr<CGLHarness> harness(new CGLHarness);
        if (harness->Start(g_failure)) {
            g_harness = harness.release();
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
    RookwellTest::CXvfbDisplay& display = RookwellTest::SharedDisplay();
    if (!display.IsReady()) {
        failure = display.GetError();
        return false;
    }
    m_displayName = display.GetName();
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
    // The X library stays loaded: Mesa may still hold pointers into it.
}
