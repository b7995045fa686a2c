#pragma once

// The hand-overs of other starts (each the files of one command line),
// carried out one at a time in the order they came: none before the
// start-up is done, none while something modal holds the user (a dialog, a
// question, a file being read), and none inside another one's question.
// The toolkit is reached only through the hooks, so the order can be
// checked without a display.

#include <deque>
#include <functional>
#include <vector>

#include "foundation/String.h"

class CHandOverQueue {
public:
    using Files = std::vector<Zorlin::CString>;
    struct SHooks {
        // Whether something modal is open, which a hand-over waits for.
        std::function<bool()> busy;
        // Carries out one hand-over.
        std::function<void(const Files&)> carryOut;
        // Once for each hand-over that has to wait.
        std::function<void(const Files&)> waits;
        // Pump is wanted again from a fresh call: soon, or after a while
        // when something modal is open (later).
        std::function<void(bool later)> again;
    };

    explicit CHandOverQueue(SHooks hooks) : m_hooks(std::move(hooks)) {}

    // Kept until its turn comes.
    void Add(const Files& files);
    // Start-up is done: from now on hand-overs are carried out.
    void Open();
    // Carries out the next hand-over when nothing else is under way and
    // nothing modal is open; otherwise asks to be called again.
    void Pump();

    size_t GetCount() const { return m_waiting.size(); }
    bool IsCarryingOut() const { return m_running; }

private:
    SHooks m_hooks;
    std::deque<Files> m_waiting;
    bool m_open = false;
    bool m_running = false;
    // The first waiting hand-over was told as waiting.
    bool m_toldWaiting = false;
};
