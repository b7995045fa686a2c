#pragma once

#include <string>

// An OpenGL context for tests and the benchmark: a private Xvfb server
// started on a free display, an off-screen pbuffer and a context current on
// it. Made once per process and torn down at exit; null when no server or
// no GLX could be had, so callers skip.
class CGLHarness {
public:
    static constexpr int kMaxWidth = 1600;
    static constexpr int kMaxHeight = 1200;

    static CGLHarness* Get();
    // Why Get returned null.
    static const std::string& GetFailure();

    // Makes the context current again (after another library changed it).
    bool MakeCurrent();
    const char* GetRenderer() const;

    ~CGLHarness();

private:
    CGLHarness() = default;
    bool Start(std::string& failure);
    bool StartServer(std::string& failure);
    bool OpenContext(std::string& failure);

    std::string m_displayName;
    void* m_x11 = nullptr;
    void* m_display = nullptr;
    void* m_context = nullptr;
    unsigned long m_pbuffer = 0;
};

// A scene test's GL context or a skip: use as the first line of a test.
#define REQUIRE_GL()                                                                   \
    do {                                                                               \
        if (!CGLHarness::Get())                                                        \
            GTEST_SKIP() << "no OpenGL context: " << CGLHarness::GetFailure();         \
    } while (0)
