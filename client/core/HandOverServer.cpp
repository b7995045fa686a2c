#include "client/core/HandOverServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

#include "client/core/HandOverFrame.h"
#include "client/core/HandOverMessage.h"
#include "client/core/SocketBytes.h"
#include "foundation/NameText.h"

using Zorlin::CString;

namespace {

// The answer is a few bytes to a peer that has sent, not read: the socket
// takes it at once, and a peer that would hold it up gets no longer.
const int kAnswerLimitMs = 500;
// After a failed accept (no descriptors left, say) the socket rests a while
// rather than waking the loop at once again.
const int kListenRetryMs = 1000;

const char kNotOurs[] = "what it was sent is not a hand-over of Rookwell";
const char kTooLong[] = "what it was sent is longer than a hand-over may be";
const char kTooSlow[] = "what it was sent did not arrive in time";
const char kOtherAccount[] = "it was sent from another account";

CString Words(const char* format, unsigned long long number)
{
    CString text;
    text.AppendFormat(format, number);
    return text;
}

} // namespace

class CHandOverServer::CPeer {
public:
    CPeer(CHandOverServer& server, int fd, Clock::time_point deadline)
        : m_server(server), m_socket(fd, kAnswerLimitMs), m_frame(uint32_t(kMaxHandOverBytes)), m_deadline(deadline)
    {
    }

    void Start()
    {
        unsigned uid = 0;
        if (!m_socket.GetPeerUid(uid) || uid != unsigned(getuid())) {
            CString line;
            line.AppendFormat("A hand-over from another account (uid %u) was refused", uid);
            m_server.TellRefusal("other account", line);
            Finish(false, kOtherAccount);
            return;
        }
        if (!m_socket.WatchOutput([this] { OnReadable(); }))
            Finish(false, kTooSlow);
    }

    bool IsDone() const { return m_done; }
    Clock::time_point GetDeadline() const { return m_deadline; }

    void Expire()
    {
        // What came while the client itself was busy counts as in time.
        OnReadable();
        if (m_done)
            return;
        m_server.TellRefusal("too slow", "A hand-over that did not arrive in time was refused");
        Finish(false, kTooSlow);
    }

private:
    void OnReadable()
    {
        if (m_done)
            return;
        switch (m_frame.ReadFrom(m_socket)) {
        case CHandOverFrame::kWaiting:
            return;
        case CHandOverFrame::kEnded:
            m_server.TellRefusal("broke off", Words("A hand-over broke off after %llu bytes",
                                                    static_cast<unsigned long long>(m_socket.GetBytesRead())));
            Finish(false, kNotOurs);
            return;
        case CHandOverFrame::kBad:
            m_server.TellRefusal("bad length",
                                 Words("A hand-over announcing %llu bytes was refused",
                                       static_cast<unsigned long long>(m_frame.GetBadLength())));
            Finish(false, m_frame.GetBadLength() == 0 ? kNotOurs : kTooLong);
            return;
        case CHandOverFrame::kWhole:
            break;
        }
        const std::vector<char>& message = m_frame.GetPayload();
        std::vector<CString> files;
        if (!ReadHandOver(message.data(), message.size(), files)) {
            m_server.TellRefusal("not ours", Words("A hand-over of %llu bytes was refused: it is not one of ours",
                                                   static_cast<unsigned long long>(message.size())));
            Finish(false, kNotOurs);
            return;
        }
        if (!m_server.IsTaking()) {
            Drop();
            return;
        }
        Finish(true, "");
        m_server.Keep(files);
    }

    void Finish(bool accepted, const char* why)
    {
        if (m_socket.IsOpen()) {
            const std::vector<char> answer = CHandOverFrame::Bytes(WriteAnswer(accepted, why));
            m_socket.Write(answer.data(), int(answer.size()));
        }
        Drop();
    }

    // Without an answer: the peer sees the end and may try again.
    void Drop()
    {
        m_socket.Close();
        m_done = true;
        m_server.ScheduleSweep();
    }

    CHandOverServer& m_server;
    CSocketBytes m_socket;
    CHandOverFrame m_frame;
    Clock::time_point m_deadline;
    bool m_done = false;
};

CHandOverServer::CHandOverServer(int listener, const FilesHandler& onFiles, int peerTimeLimitMs,
                                 const TakingCheck& taking)
    : m_listener(listener), m_onFiles(onFiles), m_peerTimeLimitMs(peerTimeLimitMs), m_taking(taking), m_timer(this)
{
    Bind(wxEVT_TIMER, &CHandOverServer::OnTimer, this);
    ArmListener();
    if (!m_listenWatch.IsArmed())
        fprintf(stderr, "Files opened from other starts cannot be received: the socket cannot be watched.\n");
}

CHandOverServer::~CHandOverServer()
{
    if (m_gone)
        *m_gone = true;
    m_timer.Stop();
    m_listenWatch.Stop();
    m_peers.clear();
    if (m_listener >= 0)
        close(m_listener);
}

void CHandOverServer::ArmListener()
{
    if (int(m_peers.size()) < kMaxPeers && !m_listenWatch.IsArmed() && m_listenRetry == Clock::time_point())
        m_listenWatch.Arm(m_listener, [this] { OnListenerReady(); });
}

void CHandOverServer::OnListenerReady()
{
    while (int(m_peers.size()) < kMaxPeers) {
        const int fd = accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && errno == EINTR)
            continue;
        if (fd < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                TellRefusal("accept", CString("Hand-overs cannot be accepted now: ") + strerror(errno));
                m_listenRetry = Clock::now() + std::chrono::milliseconds(kListenRetryMs);
            }
            break;
        }
        m_peers.emplace_back(new CPeer(*this, fd, Clock::now() + std::chrono::milliseconds(m_peerTimeLimitMs)));
        m_peers.back()->Start();
    }
    ArmListener();
    StartTimer();
}

void CHandOverServer::ScheduleSweep()
{
    if (m_sweepQueued)
        return;
    m_sweepQueued = true;
    CallAfter(&CHandOverServer::Sweep);
}

void CHandOverServer::Sweep()
{
    m_sweepQueued = false;
    m_peers.remove_if([](const std::unique_ptr<CPeer>& peer) { return peer->IsDone(); });
    ArmListener();
    StartTimer();
}

void CHandOverServer::StartTimer()
{
    Clock::time_point next = m_listenRetry;
    const Clock::time_point told = m_refusals.GetNextDue();
    if (told != Clock::time_point() && (next == Clock::time_point() || told < next))
        next = told;
    for (const std::unique_ptr<CPeer>& peer : m_peers)
        if (!peer->IsDone() && (next == Clock::time_point() || peer->GetDeadline() < next))
            next = peer->GetDeadline();
    if (next == Clock::time_point()) {
        m_timer.Stop();
        return;
    }
    const long long wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
    m_timer.StartOnce(int(std::max<long long>(1, std::min<long long>(wait + 1, m_peerTimeLimitMs))));
}

void CHandOverServer::OnTimer(wxTimerEvent&)
{
    const Clock::time_point now = Clock::now();
    for (const std::unique_ptr<CPeer>& peer : m_peers)
        if (!peer->IsDone() && peer->GetDeadline() <= now)
            peer->Expire();
    if (m_listenRetry != Clock::time_point() && m_listenRetry <= now) {
        m_listenRetry = Clock::time_point();
        ArmListener();
    }
    m_refusals.Flush();
    StartTimer();
}

void CHandOverServer::TellRefusal(const char* kind, const CString& text)
{
    m_refusals.Add(kind, text);
}

void CHandOverServer::Keep(const std::vector<CString>& files)
{
    m_accepted.push_back(files);
    ScheduleDelivery();
}

bool CHandOverServer::IsTaking()
{
    const bool taking = !m_taking || m_taking();
    if (!taking && !m_toldNotTaking)
        fprintf(stderr, "Hand-overs are put back while the window closes: their starts try again.\n");
    m_toldNotTaking = !taking;
    return taking;
}

void CHandOverServer::ScheduleDelivery()
{
    if (m_deliveryQueued || m_delivering || m_accepted.empty())
        return;
    m_deliveryQueued = true;
    CallAfter(&CHandOverServer::DeliverNext);
}

void CHandOverServer::DeliverNext()
{
    m_deliveryQueued = false;
    if (m_delivering || m_accepted.empty())
        return;
    const std::vector<CString> files = std::move(m_accepted.front());
    m_accepted.pop_front();
    fprintf(stderr, "Another start handed over %zu file%s%s\n", files.size(), files.size() == 1 ? "" : "s",
            files.empty() ? "." : ":");
    for (const CString& file : files)
        fprintf(stderr, "  %s\n", Zorlin::EscapeForLog(file).GetText());
    // One at a time: a handler that asks a question runs the event loop,
    // and the next message waits until it returns.
    m_delivering = true;
    bool gone = false;
    m_gone = &gone;
    const FilesHandler onFiles = m_onFiles;
    onFiles(files);
    if (gone)
        return;
    m_gone = nullptr;
    m_delivering = false;
    ScheduleDelivery();
}
