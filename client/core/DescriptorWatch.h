#pragma once

// Watches a descriptor through the toolkit's event loop: one call when it
// becomes readable or ends, made wherever events are next handled (the main
// loop, a modal dialog's, a yield at start-up). One call per arming, so a
// reader that leaves bytes unread is not called again until it arms anew.

#include <functional>
#include <memory>

class wxEventLoopSource;

class CDescriptorWatch {
public:
    CDescriptorWatch();
    ~CDescriptorWatch();
    CDescriptorWatch(const CDescriptorWatch&) = delete;
    CDescriptorWatch& operator=(const CDescriptorWatch&) = delete;

    // Arms the watch on fd (a watch armed on fd only takes the new
    // function); false when the loop cannot watch it. The function may
    // arm the watch again, but must leave the watch itself alive: the
    // toolkit may still report on it while the call returns.
    bool Arm(int fd, std::function<void()> onReady);
    void Stop();
    bool IsArmed() const { return m_source != nullptr; }

private:
    class CHandler;
    void OnReady();

    int m_fd = -1;
    std::function<void()> m_onReady;
    std::unique_ptr<CHandler> m_handler;
    std::unique_ptr<wxEventLoopSource> m_source; // set while armed
};
