// The smallest forwarder the benchmark players can use: one epoll loop,
// the same framing as gridmoor-server, logins answered with an id, searches
// paired in arrival order, and every game message passed to the partner.
// It checks nothing else; it is the yardstick the server is measured by.
//
//   gridmoor_reference_forwarder
// Listens on 127.0.0.1, a free port, shown as "listening on 127.0.0.1 port N".

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

namespace {

const char kOpening[] = "multiserver session begin";
const size_t kOpeningLength = sizeof(kOpening) - 1;
// Packet types, as on the wire.
const uint8_t kLogin = 5, kSearch = 10, kSearchMatch = 11, kRequestForward = 17;
const uint8_t kId = 129, kLoggedInOK = 130, kSearching = 132, kConnectFailed = 137, kForward = 140;

struct SLink {
    int fd = -1;
    uint32_t id = 0;
    size_t opening = 0;
    std::string in;
    std::string out; // what the socket did not take yet
    SLink* peer = nullptr;
    bool dead = false;
};

int g_epoll = -1;
std::unordered_map<uint32_t, SLink*> g_byId;
SLink* g_waiting = nullptr;
uint32_t g_nextId = 1;

void Append(std::string& out, uint8_t type, uint32_t id, const char* body, size_t size)
{
    const uint32_t length = uint32_t((id ? 8 : 4) + size);
    char head[12] = {char(length), char(length >> 8), char(length >> 16), char(length >> 24),
                     char(id ? 8 : 4), char(type), char(id ? 1 : 0), 0,
                     char(id), char(id >> 8), char(id >> 16), char(id >> 24)};
    out.append(head, id ? 12 : 8);
    out.append(body, size);
}

void Flush(SLink& link)
{
    while (!link.out.empty()) {
        ssize_t n = send(link.fd, link.out.data(), link.out.size(), MSG_NOSIGNAL);
        if (n > 0) {
            link.out.erase(0, size_t(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        link.dead = true;
        return;
    }
    epoll_event event = {};
    event.events = link.out.empty() ? EPOLLIN : (EPOLLIN | EPOLLOUT);
    event.data.ptr = &link;
    epoll_ctl(g_epoll, EPOLL_CTL_MOD, link.fd, &event);
}

void Send(SLink& to, uint8_t type, uint32_t id, const char* body = "", size_t size = 0)
{
    const bool idle = to.out.empty();
    Append(to.out, type, id, body, size);
    if (idle)
        Flush(to);
}

void OnPacket(SLink& link, const unsigned char* payload, uint32_t length)
{
    if (length < 4 || payload[0] < 4 || payload[0] > length)
        return;
    const uint8_t type = payload[1];
    const bool hasId = (payload[2] & 1) && payload[0] >= 8;
    const uint32_t id = hasId ? (payload[4] | payload[5] << 8 | payload[6] << 16 | uint32_t(payload[7]) << 24) : 0;
    const char* body = reinterpret_cast<const char*>(payload + payload[0]);
    const size_t size = length - payload[0];
    if (type == kLogin && !link.id) {
        link.id = g_nextId++;
        g_byId[link.id] = &link;
        Send(link, kId, link.id);
        Send(link, kLoggedInOK, 0);
    } else if (type == kSearch && link.id) {
        Send(link, kSearching, 0);
        if (!g_waiting || g_waiting == &link) {
            g_waiting = &link;
            return;
        }
        SLink& first = *g_waiting;
        g_waiting = nullptr;
        first.peer = &link;
        link.peer = &first;
        std::string toFirst = "first=yes\nid=" + std::to_string(link.id) + "\nbegin\n";
        std::string toSecond = "first=no\nid=" + std::to_string(first.id) + "\nbegin\n";
        Send(first, kSearchMatch, link.id, toFirst.data(), toFirst.size());
        Send(link, kSearchMatch, first.id, toSecond.data(), toSecond.size());
    } else if (type == kRequestForward) {
        if (link.peer && !link.peer->dead && (!hasId || id == link.peer->id))
            Send(*link.peer, kForward, link.id, body, size);
        else
            Send(link, kConnectFailed, id);
    }
}

void Close(SLink* link)
{
    epoll_ctl(g_epoll, EPOLL_CTL_DEL, link->fd, nullptr);
    close(link->fd);
    if (link->peer && link->peer->peer == link)
        link->peer->peer = nullptr;
    if (g_waiting == link)
        g_waiting = nullptr;
    g_byId.erase(link->id);
    delete link;
}

void OnReadable(SLink& link)
{
    char block[16384];
    for (;;) {
        ssize_t n = recv(link.fd, block, sizeof(block), 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            break;
        if (n <= 0) {
            link.dead = true;
            return;
        }
        size_t used = 0;
        while (link.opening < kOpeningLength && used < size_t(n))
            ++link.opening, ++used;
        link.in.append(block + used, size_t(n) - used);
        if (size_t(n) < sizeof(block))
            break;
    }
    size_t at = 0;
    while (link.in.size() - at >= 4 && !link.dead) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(link.in.data() + at);
        const uint32_t length = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
        if (length > 65536) {
            link.dead = true;
            return;
        }
        if (link.in.size() - at - 4 < length)
            break;
        OnPacket(link, p + 4, length);
        at += 4 + length;
    }
    link.in.erase(0, at);
}

} // namespace

int main()
{
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    signal(SIGPIPE, SIG_IGN);
    int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(address);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listener, 4096) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        std::fprintf(stderr, "reference forwarder: cannot listen: %s\n", std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "reference forwarder: listening on 127.0.0.1 port %d\n", ntohs(address.sin_port));
    std::fflush(stderr);
    g_epoll = epoll_create1(0);
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.ptr = nullptr;
    epoll_ctl(g_epoll, EPOLL_CTL_ADD, listener, &event);
    epoll_event events[256];
    for (;;) {
        int count = epoll_wait(g_epoll, events, 256, -1);
        for (int i = 0; i < count; ++i) {
            SLink* link = static_cast<SLink*>(events[i].data.ptr);
            if (!link) {
                int fd;
                while ((fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK)) >= 0) {
                    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
                    SLink* fresh = new SLink;
                    fresh->fd = fd;
                    epoll_event watch = {};
                    watch.events = EPOLLIN;
                    watch.data.ptr = fresh;
                    epoll_ctl(g_epoll, EPOLL_CTL_ADD, fd, &watch);
                }
                continue;
            }
            if (events[i].events & EPOLLOUT)
                Flush(*link);
            if (!link->dead && (events[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR)))
                OnReadable(*link);
            if (link->dead)
                Close(link);
        }
    }
}
