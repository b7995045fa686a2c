#include "server/GridmoorServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/PacketHeader.h"

namespace {

int64_t NowMs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Ids run below 2^31 so that no client reading them signed is surprised.
const uint32_t kIdEnd = 0x80000000u;

uint32_t DrawFirstId()
{
    uint32_t value = 0;
    if (getrandom(&value, sizeof(value), GRND_NONBLOCK) != ssize_t(sizeof(value))) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        value = uint32_t(now.tv_nsec) ^ uint32_t(now.tv_sec) * 2654435761u ^ uint32_t(getpid());
    }
    // Half the range is left above the start for this run's logins.
    return 1 + value % (kIdEnd / 2);
}

void DescribePeer(const sockaddr_storage& address, std::string& hostText, int& port)
{
    char host[INET6_ADDRSTRLEN] = "?";
    port = 0;
    if (address.ss_family == AF_INET) {
        const sockaddr_in& in = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &in.sin_addr, host, sizeof(host));
        port = ntohs(in.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const sockaddr_in6& in = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &in.sin6_addr, host, sizeof(host));
        port = ntohs(in.sin6_port);
    }
    hostText = host;
}

std::string Seconds(int64_t ms)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g s", double(ms) / 1000.0);
    return text;
}

const char kFullHtml[] = "<p>This Gridmoor server is full. Please try again later.</p>";

// Input left unread would turn a close into a reset that loses the kick.
void DrainInput(int fd)
{
    char drain[16384];
    for (int i = 0; i < 16 && recv(fd, drain, sizeof(drain), MSG_DONTWAIT) > 0; ++i) {
    }
}

// The kick packet written straight to a socket that is closed at once.
void TellAndClose(int fd, const std::string& reason, const char* html)
{
    COutputQueue packet;
    std::string body = reason + "\n" + html;
    packet.AppendPacket(pktKick, 0, body.data(), body.size());
    DrainInput(fd);
    (void)!send(fd, packet.GetFront(), packet.GetSize(), MSG_NOSIGNAL | MSG_DONTWAIT);
    shutdown(fd, SHUT_WR);
    close(fd);
}

// Markers in the epoll data that are not connections.
char g_listenMark;
char g_signalMark;

} // namespace

void ServerLog(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    std::fprintf(stderr, "gridmoor-server: %s\n", line);
    std::fflush(stderr);
}

std::string LogLabel(const CServerConnection& connection)
{
    if (!connection.id)
        return "no id";
    std::string label = std::to_string(connection.id);
    if (!connection.name.empty())
        label += " \"" + connection.name + "\"";
    return label;
}

std::string LogText(const std::string& text)
{
    std::string out;
    for (unsigned char c : text.substr(0, 60))
        out += (c < 32 || c == 127) ? '?' : char(c);
    return out;
}

CGridmoorServer::CGridmoorServer(const SServerOptions& options, std::string motd)
    : m_options(options), m_motd(std::move(motd))
{
    m_idleMs = std::max<int64_t>(30, int64_t(options.keepAliveSeconds * 3000.0));
    m_tickMs = std::clamp<int64_t>(m_idleMs / 12, 10, 1000);
    m_loginMs = std::min(ServerLimits::kLoginMs, m_idleMs);
    m_nextId = DrawFirstId();
}

CGridmoorServer::~CGridmoorServer()
{
    for (auto& entry : m_connections)
        if (entry.second->fd >= 0)
            close(entry.second->fd);
    m_connections.clear();
    if (m_spareFd >= 0)
        close(m_spareFd);
    if (m_listenFd >= 0)
        close(m_listenFd);
    if (m_signalFd >= 0)
        close(m_signalFd);
    if (m_epollFd >= 0)
        close(m_epollFd);
}

bool CGridmoorServer::Open(std::string& error)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string port = std::to_string(m_options.port);
    int status = getaddrinfo(m_options.listen.c_str(), port.c_str(), &hints, &found);
    if (status != 0 || !found) {
        error = "cannot listen on " + m_options.listen + ": " + gai_strerror(status);
        return false;
    }
    m_listenFd = socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int on = 1;
    if (m_listenFd >= 0)
        setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    bool bound = m_listenFd >= 0 && bind(m_listenFd, found->ai_addr, found->ai_addrlen) == 0 &&
                 listen(m_listenFd, 4096) == 0;
    freeaddrinfo(found);
    if (!bound) {
        error = "cannot listen on " + m_options.listen + " port " + port + ": " + std::strerror(errno);
        return false;
    }
    sockaddr_storage local = {};
    socklen_t length = sizeof(local);
    getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&local), &length);
    m_port = local.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6&>(local).sin6_port)
                                         : ntohs(reinterpret_cast<sockaddr_in&>(local).sin_port);

    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
    m_signalFd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    m_epollFd = epoll_create1(EPOLL_CLOEXEC);
    if (m_signalFd < 0 || m_epollFd < 0) {
        error = std::string("cannot set up the event loop: ") + std::strerror(errno);
        return false;
    }
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.ptr = &g_listenMark;
    epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_listenFd, &event);
    event.data.ptr = &g_signalMark;
    epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_signalFd, &event);
    rlimit limit = {};
    long descriptors = 1024;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0)
        descriptors = limit.rlim_cur == RLIM_INFINITY ? (1L << 20) : long(std::min<rlim_t>(limit.rlim_cur, 1L << 30));
    m_maxOpen = std::max(8L, descriptors - ServerLimits::kDescriptorsKept);
    m_maxPlaces = m_maxOpen - std::clamp(m_maxOpen / 8, 4L, 64L);
    m_spareFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ServerLog("listening on %s port %d", m_options.listen.c_str(), m_port);
    ServerLog("room for %ld connections (descriptor limit %ld), %d from one address", m_maxPlaces, descriptors,
              m_options.maxPerAddress);
    return true;
}

int CGridmoorServer::Run()
{
    const int kEvents = 256;
    epoll_event events[kEvents];
    m_now = NowMs();
    m_nextTick = m_now + m_tickMs;
    while (!m_stopping) {
        int wait = int(std::max<int64_t>(0, m_nextTick - m_now));
        int count = epoll_wait(m_epollFd, events, kEvents, wait);
        if (count < 0 && errno != EINTR) {
            ServerLog("error: event loop failed: %s", std::strerror(errno));
            Shutdown();
            return 1;
        }
        m_now = NowMs();
        for (int i = 0; i < count; ++i) {
            void* what = events[i].data.ptr;
            if (what == &g_listenMark) {
                AcceptAll();
                continue;
            }
            if (what == &g_signalMark) {
                signalfd_siginfo info;
                while (read(m_signalFd, &info, sizeof(info)) == ssize_t(sizeof(info)))
                    m_stopping = true;
                continue;
            }
            CServerConnection& connection = *static_cast<CServerConnection*>(what);
            if (connection.dead)
                continue;
            if (events[i].events & EPOLLOUT)
                OnWritable(connection);
            if (!connection.dead && (events[i].events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR))) {
                if (!connection.readPaused)
                    OnReadable(connection);
                else if (events[i].events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR))
                    Drop(connection, "connection closed by the player while held");
            }
            // What this player's packets produced leaves now, not after
            // everyone else's turn: a forward waits for no other player.
            FlushDirty();
            ResumeReleased();
        }
        FlushDirty();
        ResumeReleased();
        if (m_now >= m_nextTick) {
            Tick();
            FlushDirty();
            ResumeReleased();
            m_nextTick = m_now + m_tickMs;
        }
        Reap();
    }
    Shutdown();
    return 0;
}

void CGridmoorServer::Shutdown()
{
    ServerLog("stopping: %zu connections closed", m_connections.size());
    for (auto& entry : m_connections)
        if (entry.second->fd >= 0)
            close(entry.second->fd);
    m_connections.clear();
    m_unsettled.clear();
    m_byId.clear();
    m_dirty.clear();
    m_doomed.clear();
}

void CGridmoorServer::AcceptAll()
{
    for (int i = 0; i < ServerLimits::kAcceptPerTurn; ++i) {
        sockaddr_storage address = {};
        socklen_t length = sizeof(address);
        int fd = accept4(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0 && (errno == EMFILE || errno == ENFILE) && m_spareFd >= 0) {
            // Out of descriptors after all: the spare one takes the
            // newcomer to tell it so.
            close(m_spareFd);
            length = sizeof(address);
            fd = accept4(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd >= 0) {
                std::string host;
                int port = 0;
                DescribePeer(address, host, port);
                ServerLog("error: %s:%d refused: out of descriptors", host.c_str(), port);
                TellAndClose(fd, "server full", kFullHtml);
            }
            m_spareFd = open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (fd >= 0)
                continue;
        }
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: stop accepting until the next tick
                // instead of spinning on the waiting connection.
                ServerLog("error: cannot accept: %s", std::strerror(errno));
                epoll_ctl(m_epollFd, EPOLL_CTL_DEL, m_listenFd, nullptr);
                m_accepting = false;
            }
            return;
        }
        Accept(fd, address);
    }
}

void CGridmoorServer::Accept(int fd, const sockaddr_storage& address)
{
    std::string host;
    int port = 0;
    DescribePeer(address, host, port);
    if (m_open >= m_maxOpen && !MakeRoom(true)) {
        ServerLog("error: %s:%d refused: out of descriptors", host.c_str(), port);
        TellAndClose(fd, "server full", kFullHtml);
        return;
    }
    auto held = m_perHost.find(host);
    if (m_options.maxPerAddress > 0 && held != m_perHost.end() && held->second >= m_options.maxPerAddress) {
        Refuse(fd, host, port, "too many connections from " + host,
               "<p>Too many connections to this Gridmoor server come from your address.</p>");
        return;
    }
    if (m_places >= m_maxPlaces && !MakeRoom(false)) {
        Refuse(fd, host, port, "server full", kFullHtml);
        return;
    }
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    CServerConnection* raw = &Admit(fd, host, port);
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.ptr = raw;
    if (epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &event) != 0) {
        ServerLog("error: cannot watch a connection: %s", std::strerror(errno));
        ForgetLater(*raw);
    }
}

CServerConnection& CGridmoorServer::Admit(int fd, const std::string& host, int port)
{
    auto connection = std::make_unique<CServerConnection>(*this, fd, host, port, m_now);
    connection->stream.SetMaxPacketLength(ServerLimits::kMaxPayload);
    CServerConnection* raw = connection.get();
    m_connections.emplace(raw, std::move(connection));
    ++m_open;
    raw->placed = true;
    ++m_places;
    ++m_perHost[host];
    raw->unsettledAt = m_unsettled.insert(m_unsettled.end(), raw);
    raw->unsettled = true;
    return *raw;
}

void CGridmoorServer::Refuse(int fd, const std::string& host, int port, const std::string& reason, const char* html)
{
    auto connection = std::make_unique<CServerConnection>(*this, fd, host, port, m_now);
    CServerConnection* raw = connection.get();
    m_connections.emplace(raw, std::move(connection));
    ++m_open;
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.ptr = raw;
    if (epoll_ctl(m_epollFd, EPOLL_CTL_ADD, fd, &event) != 0) {
        ServerLog("error: cannot watch a connection: %s", std::strerror(errno));
        ForgetLater(*raw);
        return;
    }
    // Kicked: it reads why, within the grace, from the descriptors kept
    // beyond the players' places.
    Kick(*raw, reason.c_str(), html);
}

void CGridmoorServer::Settled(CServerConnection& connection)
{
    if (!connection.unsettled)
        return;
    m_unsettled.erase(connection.unsettledAt);
    connection.unsettled = false;
}

void CGridmoorServer::GiveBackPlace(CServerConnection& connection)
{
    Settled(connection);
    if (!connection.placed)
        return;
    connection.placed = false;
    --m_places;
    auto held = m_perHost.find(connection.host);
    if (held != m_perHost.end() && --held->second <= 0)
        m_perHost.erase(held);
}

// A player who logs in at once always finds room: the oldest connection
// holding a place without a player gives way, but never one whose login
// has come, so what waits in its socket is read first. It is told the
// server is full, as a refused newcomer is.
bool CGridmoorServer::MakeRoom(bool descriptorToo)
{
    while (!m_unsettled.empty()) {
        CServerConnection& oldest = *m_unsettled.front();
        if (oldest.stage != CServerConnection::kClosing) {
            OnReadable(oldest);
            if (oldest.dead)
                return true; // it left on its own
            if (!oldest.unsettled)
                continue; // it logged in
        }
        ServerLog("%s (%s): server full: room made for a newer connection", oldest.address.c_str(),
                  LogLabel(oldest).c_str());
        Kick(oldest, "server full", kFullHtml);
        GiveBackPlace(oldest);
        if (descriptorToo && !oldest.dead) {
            // Closed now instead of after its grace: the kick offered to
            // the socket, the input drained.
            Flush(oldest);
            if (!oldest.dead) {
                DrainInput(oldest.fd);
                ForgetLater(oldest);
            }
        }
        return true;
    }
    return false;
}

void CGridmoorServer::OnReadable(CServerConnection& connection)
{
    unsigned char block[16384];
    size_t total = 0;
    while (!connection.dead && total < ServerLimits::kReadPerTurn) {
        ssize_t got = recv(connection.fd, block, sizeof(block), 0);
        if (got > 0) {
            total += size_t(got);
            TakeInput(connection, block, size_t(got));
            // Held for a reader: the rest stays in the socket.
            if (connection.readPaused)
                return;
            // A short read emptied the socket; the loop comes back for more.
            if (size_t(got) < sizeof(block))
                return;
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        // The other end closed or the socket failed.
        if (connection.stage == CServerConnection::kClosing)
            ForgetLater(connection);
        else
            Drop(connection, got == 0 ? "connection closed by the player" : std::strerror(errno));
        return;
    }
}

void CGridmoorServer::TakeInput(CServerConnection& connection, const unsigned char* data, size_t n)
{
    if (connection.stage == CServerConnection::kClosing)
        return; // drained and dropped
    if (connection.stage == CServerConnection::kOpening) {
        size_t used = 0;
        if (!OnOpeningText(connection, data, n, used))
            return;
        data += used;
        n -= used;
    }
    if (n > 0)
        connection.stream.Receive(data, unsigned(n));
}

void CGridmoorServer::OnWritable(CServerConnection& connection)
{
    Flush(connection);
}

void CGridmoorServer::Flush(CServerConnection& connection)
{
    connection.dirty = false;
    while (!connection.output.IsEmpty()) {
        ssize_t sent = send(connection.fd, connection.output.GetFront(), connection.output.GetSize(), MSG_NOSIGNAL);
        if (sent > 0) {
            connection.output.Consume(size_t(sent));
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            break;
        if (connection.stage == CServerConnection::kClosing)
            ForgetLater(connection);
        else
            Drop(connection, std::strerror(errno));
        return;
    }
    if (!connection.heldSenders.empty())
        ReleaseSenders(connection, false);
    bool waiting = !connection.output.IsEmpty();
    if (waiting != connection.wantsOutput)
        Watch(connection, waiting);
    if (!waiting && connection.stage == CServerConnection::kClosing)
        shutdown(connection.fd, SHUT_WR);
}

void CGridmoorServer::FlushDirty()
{
    // Flushing may drop a connection, which may queue a notice for another.
    for (size_t i = 0; i < m_dirty.size(); ++i) {
        CServerConnection* connection = m_dirty[i];
        if (!connection->dead && connection->dirty)
            Flush(*connection);
    }
    m_dirty.clear();
}

void CGridmoorServer::Watch(CServerConnection& connection, bool output)
{
    connection.wantsOutput = output;
    epoll_event event = {};
    // A held player's input is left in the socket, but its leaving is seen.
    event.events = connection.readPaused ? uint32_t(EPOLLRDHUP) : uint32_t(EPOLLIN);
    if (output)
        event.events |= EPOLLOUT;
    event.data.ptr = &connection;
    epoll_ctl(m_epollFd, EPOLL_CTL_MOD, connection.fd, &event);
}

void CGridmoorServer::Tick()
{
    if (!m_accepting) {
        epoll_event event = {};
        event.events = EPOLLIN;
        event.data.ptr = &g_listenMark;
        m_accepting = epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_listenFd, &event) == 0;
    }
    ExpireSearches();
    std::vector<CServerConnection*> silent;
    std::vector<CServerConnection*> heldTooLong;
    for (auto& entry : m_connections) {
        CServerConnection& connection = *entry.second;
        if (connection.dead)
            continue;
        if (connection.stage == CServerConnection::kClosing) {
            if (m_now >= connection.closeBy)
                silent.push_back(&connection);
        } else if (connection.readPaused) {
            // Not silent: the server is not reading it.
            if (m_now - connection.pausedAt >= m_idleMs)
                heldTooLong.push_back(&connection);
        } else if (connection.stage != CServerConnection::kLoggedIn && m_now - connection.openedAt >= m_loginMs) {
            silent.push_back(&connection);
        } else if (m_now - connection.lastHeard >= m_idleMs) {
            silent.push_back(&connection);
        }
    }
    const std::string late = "login not finished in " + Seconds(m_loginMs);
    const std::string quiet = "no keep-alive: no whole packet in " + Seconds(m_idleMs);
    for (CServerConnection* connection : silent) {
        if (connection->dead)
            continue;
        if (connection->stage == CServerConnection::kClosing)
            ForgetLater(*connection);
        else if (connection->stage != CServerConnection::kLoggedIn)
            Kick(*connection, late.c_str(), "<p>Your program did not log in to this Gridmoor server in time.</p>");
        else
            Drop(*connection, quiet.c_str());
    }
    for (CServerConnection* connection : heldTooLong)
        if (!connection->dead && connection->readPaused)
            EndHeldLink(*connection);
}

void CGridmoorServer::ForgetLater(CServerConnection& connection)
{
    if (connection.dead)
        return;
    connection.dead = true;
    GiveBackPlace(connection);
    // Its queue goes with it: the senders it held are read again.
    ReleaseSenders(connection, true);
    // The descriptor goes back at once, for the next connection to take; the
    // object lives to the end of the turn, where events may still name it.
    epoll_ctl(m_epollFd, EPOLL_CTL_DEL, connection.fd, nullptr);
    close(connection.fd);
    connection.fd = -1;
    --m_open;
    m_doomed.push_back(&connection);
}

void CGridmoorServer::Reap()
{
    for (CServerConnection* connection : m_doomed)
        m_connections.erase(connection);
    m_doomed.clear();
}
