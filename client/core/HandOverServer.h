#pragma once

// The running client's end of the hand-over: it accepts the connections of
// the listening socket, reads each one's message on the GUI thread as the
// event loop reports bytes (never waiting for them), answers it, and hands
// the files of every accepted message to the handler, one message at a
// time, in the order they came. Whatever a peer sends, it keeps no more
// than a message's bound: a peer of another account, a longer message, one
// that is not ours, or one that does not arrive within the time limit is
// refused, told so and dropped. Refusals of one kind reach the log as one
// line a second at most, with their count.

#include <chrono>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include <wx/event.h>
#include <wx/timer.h>

#include "client/core/DescriptorWatch.h"
#include "client/core/LogCounter.h"
#include "foundation/String.h"

class CHandOverServer : public wxEvtHandler {
public:
    typedef std::function<void(const std::vector<Zorlin::CString>&)> FilesHandler;
    // Whether the client takes files now. A message that comes while it
    // does not (its window is closing) gets no answer: the connection
    // closes, and the other start tries again until this client is gone
    // and it opens the files itself, or until the close was refused.
    typedef std::function<bool()> TakingCheck;

    // How long a peer may take for its message from its acceptance.
    static constexpr int kPeerTimeLimitMs = 10000;
    // Connections read at once; more wait to be accepted.
    static constexpr int kMaxPeers = 64;

    // Serves the listening socket listener, which it owns from now on.
    CHandOverServer(int listener, const FilesHandler& onFiles, int peerTimeLimitMs = kPeerTimeLimitMs,
                    const TakingCheck& taking = TakingCheck());
    ~CHandOverServer() override;
    CHandOverServer(const CHandOverServer&) = delete;
    CHandOverServer& operator=(const CHandOverServer&) = delete;

private:
    class CPeer;
    typedef std::chrono::steady_clock Clock;

    void OnListenerReady();
    void ArmListener();
    // Peers that are done are deleted from the event loop, never from
    // their own handlers.
    void ScheduleSweep();
    void Sweep();
    void StartTimer();
    void OnTimer(wxTimerEvent& event);
    void Keep(const std::vector<Zorlin::CString>& files);
    // A refusal for the log: one line per kind at most each interval, with
    // the count of those not written on their own.
    void TellRefusal(const char* kind, const Zorlin::CString& text);
    // False while the client takes no files; told once each time it stops.
    bool IsTaking();
    void ScheduleDelivery();
    void DeliverNext();

    int m_listener;
    FilesHandler m_onFiles;
    int m_peerTimeLimitMs;
    TakingCheck m_taking;
    bool m_toldNotTaking = false;
    CDescriptorWatch m_listenWatch;
    std::list<std::unique_ptr<CPeer>> m_peers;
    std::deque<std::vector<Zorlin::CString>> m_accepted;
    CLogCounter m_refusals;
    wxTimer m_timer;
    // When the listener is watched again after a failed accept; none while
    // it is watched.
    Clock::time_point m_listenRetry;
    bool m_sweepQueued = false;
    bool m_deliveryQueued = false;
    bool m_delivering = false;
    // Set while a handler runs, so the server's end meanwhile is seen there.
    bool* m_gone = nullptr;
};
