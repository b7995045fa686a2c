// Simulated players against a running gridmoor-server on loopback: logins,
// matches, forwarded moves with their latency, and the server's memory per
// connection. Prints one "name: value" line per figure.
//
//   gridmoor_server_bench PORT SERVER_PID [GAMES] [HELD] [MOVES] [THINK_MS]

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include "foundation/PacketHeader.h"

namespace {

int64_t NowUs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

std::string Frame(uint32_t type, uint32_t id, const std::string& body)
{
    std::string header;
    if (id) {
        header = {char(8), char(type), char(1), char(0), char(id), char(id >> 8), char(id >> 16), char(id >> 24)};
    } else {
        header = {char(4), char(type), char(0), char(0)};
    }
    uint32_t length = uint32_t(header.size() + body.size());
    std::string out = {char(length), char(length >> 8), char(length >> 16), char(length >> 24)};
    return out + header + body;
}

struct SClient {
    int fd = -1;
    std::string in;
    uint32_t id = 0;
    bool loggedIn = false;
    bool synced = false;
    bool matched = false;
    bool first = false;
    uint32_t peer = 0;
    int sent = 0; // moves sent
    int64_t sentAt = 0;
};

struct SBench {
    int port = 0;
    int epoll = -1;
    std::vector<SClient*> clients;
    std::vector<SClient*> byId; // index by server id, for peers
    std::vector<int64_t> latencies;
    int moves = 40;
    int64_t thinkUs = 0;
    int64_t arrivedAt = 0;
    std::vector<std::pair<int64_t, SClient*>> planned;
    size_t plannedHead = 0;
    int loggedIn = 0, synced = 0, matched = 0;
    long forwarded = 0;
    bool failed = false;

    void Send(SClient& c, const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = send(c.fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue; // loopback drains quickly; the bench keeps it simple
            std::fprintf(stderr, "bench: send failed: %s\n", std::strerror(errno));
            failed = true;
            return;
        }
    }

    SClient* Connect()
    {
        SClient* c = new SClient;
        c->fd = socket(AF_INET, SOCK_STREAM, 0);
        if (c->fd < 0) {
            std::fprintf(stderr, "bench: socket: %s\n", std::strerror(errno));
            failed = true;
            delete c;
            return nullptr;
        }
        int on = 1;
        setsockopt(c->fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(c->fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            std::fprintf(stderr, "bench: connect: %s\n", std::strerror(errno));
            failed = true;
            close(c->fd);
            delete c;
            return nullptr;
        }
        fcntl(c->fd, F_SETFL, fcntl(c->fd, F_GETFL) | O_NONBLOCK);
        epoll_event event = {};
        event.events = EPOLLIN;
        event.data.ptr = c;
        epoll_ctl(epoll, EPOLL_CTL_ADD, c->fd, &event);
        clients.push_back(c);
        Send(*c, std::string("multiserver session begin") + Frame(pktProtocol, 0, "2\n") +
                     Frame(pktLogin, 0, "plumo\nplumo\nRookwell Lite Lite v1.24\n"));
        return c;
    }

    void OnPacket(SClient& c, uint8_t type, uint32_t id, const char* body, size_t size)
    {
        switch (type) {
        case pktId:
            c.id = id;
            if (byId.size() <= id)
                byId.resize(id + 1024, nullptr);
            byId[id] = &c;
            break;
        case pktLoggedInOK:
            c.loggedIn = true;
            ++loggedIn;
            break;
        case pktConnectFailed:
            if (!c.synced) {
                c.synced = true;
                ++synced;
            }
            break;
        case pktSearchMatch:
            c.matched = true;
            c.peer = id;
            c.first = size >= 9 && std::memcmp(body, "first=yes", 9) == 0;
            ++matched;
            break;
        case pktForward: {
            // Readable when the wait returned: one move in flight per game,
            // so nothing of this game came in later.
            int64_t now = arrivedAt;
            SClient* from = id < byId.size() ? byId[id] : nullptr;
            if (from && from->sentAt)
                latencies.push_back(now - from->sentAt);
            ++forwarded;
            // The first player opens; each move is answered, after a think, until both made theirs.
            if (c.sent < moves)
                Later(c, now + thinkUs);
            break;
        }
        default:
            break;
        }
    }

    void Later(SClient& c, int64_t due)
    {
        // One think time for all, so the queue stays in time order.
        due = std::max(due, planned.empty() ? due : planned.back().first);
        planned.emplace_back(due, &c);
    }

    void SendDue()
    {
        int64_t now = NowUs();
        while (plannedHead < planned.size() && planned[plannedHead].first <= now)
            SendMove(*planned[plannedHead++].second);
        if (plannedHead == planned.size()) {
            planned.clear();
            plannedHead = 0;
        }
    }

    void SendMove(SClient& c)
    {
        static const std::string body = std::string("\x06\0\0\0", 4) + "Nf3\n1500\n";
        c.sentAt = NowUs();
        ++c.sent;
        Send(c, Frame(pktRequestForward, c.peer, body));
    }

    void Read(SClient& c)
    {
        char block[65536];
        for (;;) {
            ssize_t n = recv(c.fd, block, sizeof(block), 0);
            if (n > 0) {
                c.in.append(block, size_t(n));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                break;
            std::fprintf(stderr, "bench: the server closed a connection (id %u)\n", c.id);
            failed = true;
            epoll_ctl(epoll, EPOLL_CTL_DEL, c.fd, nullptr);
            return;
        }
        size_t at = 0;
        while (c.in.size() - at >= 4) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(c.in.data() + at);
            uint32_t length = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
            if (c.in.size() - at - 4 < length)
                break;
            const unsigned char* payload = p + 4;
            uint8_t headerLength = payload[0];
            uint8_t type = payload[1];
            uint32_t id = (payload[2] & 1) ? (payload[4] | payload[5] << 8 | payload[6] << 16 | uint32_t(payload[7]) << 24) : 0;
            OnPacket(c, type, id, reinterpret_cast<const char*>(payload + headerLength), length - headerLength);
            at += 4 + length;
        }
        c.in.erase(0, at);
    }

    // Runs the loop until done() or a minute passes without it.
    bool Pump(const std::function<bool()>& done)
    {
        epoll_event events[512];
        int64_t deadline = NowUs() + 60000000;
        while (!done()) {
            if (failed || NowUs() > deadline)
                return false;
            int wait = 100;
            if (plannedHead < planned.size())
                wait = int(std::clamp<int64_t>((planned[plannedHead].first - NowUs() + 999) / 1000, 0, 100));
            int n = epoll_wait(epoll, events, 512, wait);
            arrivedAt = NowUs();
            for (int i = 0; i < n; ++i)
                Read(*static_cast<SClient*>(events[i].data.ptr));
            SendDue();
        }
        return !failed;
    }

    // Every client asks for something the server answers, so all it was sent is processed.
    bool Sync(size_t from)
    {
        int want = synced + int(clients.size() - from);
        for (size_t i = from; i < clients.size(); ++i)
            Send(*clients[i], Frame(pktRequestForward, 0xFFFFFFF0u, std::string("\0\0\0\0", 4)));
        return Pump([&] { return synced >= want; });
    }

    bool LogIn(int count, int64_t& elapsedUs)
    {
        int64_t start = NowUs();
        const int kBatch = 500;
        for (int done = 0; done < count;) {
            int batch = std::min(kBatch, count - done);
            int want = loggedIn + batch;
            for (int i = 0; i < batch; ++i)
                if (!Connect())
                    return false;
            if (!Pump([&] { return loggedIn >= want; }))
                return false;
            done += batch;
        }
        elapsedUs += NowUs() - start;
        // A profile, as the client sends after logging in.
        for (size_t i = clients.size() - size_t(count); i < clients.size(); ++i) {
            SClient& c = *clients[i];
            Send(c, Frame(pktSet, 0, "begin\nname\nBench " + std::to_string(c.id) + "\ncountry\nNowhere\n") +
                        Frame(pktInfo, 0, "begin\nname\nBench\nemail\nbench(at)example.org\ncountry\nNowhere\nRW ID\nbench" +
                                              std::to_string(c.id) + "\n"));
        }
        return true;
    }
};

long RssKb(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// User and system time of a process so far, in microseconds.
int64_t CpuUs(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < text.size()) {
        size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos)
            break;
        at = space + 1;
    }
    // Fields 14 and 15 of the line; the list starts at field 3.
    if (fields.size() < 13)
        return 0;
    long ticks = sysconf(_SC_CLK_TCK);
    return (std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str())) * 1000000 / ticks;
}

std::string LoadAverage()
{
    std::ifstream load("/proc/loadavg");
    std::string one;
    load >> one;
    return one;
}

double Percentile(std::vector<int64_t>& values, double p)
{
    if (values.empty())
        return 0;
    size_t index = std::min(values.size() - 1, size_t(p * double(values.size())));
    std::nth_element(values.begin(), values.begin() + long(index), values.end());
    return double(values[index]) / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: gridmoor_server_bench PORT SERVER_PID [GAMES] [HELD] [MOVES] [THINK_MS]\n");
        return 2;
    }
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    SBench bench;
    bench.port = std::atoi(argv[1]);
    const int pid = std::atoi(argv[2]);
    const int games = argc > 3 ? std::atoi(argv[3]) : 1000;
    const int held = argc > 4 ? std::atoi(argv[4]) : 5000;
    bench.moves = argc > 5 ? std::atoi(argv[5]) : 40;
    const int thinkMs = argc > 6 ? std::atoi(argv[6]) : 100;
    bench.epoll = epoll_create1(0);

    const long baseKb = RssKb(pid);
    int64_t loginUs = 0;
    // 1,000 connections logged in with their profiles.
    const int firstStep = std::min(1000, held);
    if (!bench.LogIn(firstStep, loginUs) || !bench.Sync(0))
        return 1;
    const long rss1000 = RssKb(pid);

    // The games: players search, are matched in pairs and play.
    const int players = 2 * games;
    if (int(bench.clients.size()) < players && !bench.LogIn(players - int(bench.clients.size()), loginUs))
        return 1;
    const std::string settings = "begin\nrw.untimed\nyes\nrw.timed\nyes\nrw.time.min\nno\nrw.time.max\nno\n"
                                 "rw.time.low\n60\nrw.time.high\n5940\nrw.skill\nbeginner\nrw.side\nwhite black\n";
    int64_t searchStart = NowUs();
    for (int i = 0; i < players; ++i) {
        SClient& c = *bench.clients[size_t(i)];
        bench.Send(c, Frame(pktSet, 0, settings + "id\n" + std::to_string(c.id) + "\n") +
                          Frame(pktSearch, 0, "id=search1\nttl=60\nbegin\n"));
    }
    if (!bench.Pump([&] { return bench.matched >= players; }))
        return 1;
    int64_t matchUs = NowUs() - searchStart;
    // Flat out first (every move answered at once), then at a player's
    // pace: the latency figures are those of the paced games.
    auto play = [&](int64_t think, int64_t& elapsedUs) {
        bench.thinkUs = think;
        bench.forwarded = 0;
        bench.latencies.clear();
        int64_t start = NowUs();
        int opener = 0;
        for (int i = 0; i < players; ++i) {
            SClient& c = *bench.clients[size_t(i)];
            c.sent = 0;
            c.sentAt = 0;
            if (c.first)
                bench.Later(c, start + think * opener++ / games);
        }
        bool ok = bench.Pump([&] { return bench.forwarded >= long(players) * bench.moves; });
        elapsedUs = NowUs() - start;
        return ok;
    };
    int64_t flatUs = 0, pacedUs = 0;
    if (!play(0, flatUs))
        return 1;
    const size_t flatForwards = bench.latencies.size();
    const double flatMedian = Percentile(bench.latencies, 0.5);
    const int64_t cpuBefore = CpuUs(pid);
    if (!play(thinkMs * 1000, pacedUs))
        return 1;
    const int64_t serverCpuUs = CpuUs(pid) - cpuBefore;
    int64_t playUs = pacedUs;

    // Up to the held count, all still there.
    if (int(bench.clients.size()) < held && !bench.LogIn(held - int(bench.clients.size()), loginUs))
        return 1;
    if (!bench.Sync(size_t(firstStep)))
        return 1;
    const long rssHeld = RssKb(pid);

    const size_t forwards = bench.latencies.size();
    std::printf("connections held: %zu\n", bench.clients.size());
    std::printf("logins per second: %.0f\n", double(bench.clients.size()) / (double(loginUs) / 1e6));
    std::printf("matches per second: %.0f (%d games)\n", double(games) / (double(matchUs) / 1e6), games);
    std::printf("forwards flat out: %zu in %.2f s (%.0f per second, median latency %.3f ms)\n", flatForwards,
                double(flatUs) / 1e6, double(flatForwards) / (double(flatUs) / 1e6), flatMedian);
    std::printf("forwards paced: %zu in %.2f s (%.0f per second), each move answered after %d ms\n", forwards,
                double(playUs) / 1e6, double(forwards) / (double(playUs) / 1e6), thinkMs);
    std::printf("server CPU per forward us: %.1f\n", double(serverCpuUs) / double(std::max<size_t>(forwards, 1)));
    std::printf("machine load average: %s on %ld cores\n", LoadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    std::printf("forward latency median ms: %.3f\n", Percentile(bench.latencies, 0.5));
    std::printf("forward latency p99 ms: %.3f\n", Percentile(bench.latencies, 0.99));
    std::printf("server memory per connection at %d KB: %.1f\n", firstStep,
                double(rss1000 - baseKb) / double(firstStep));
    std::printf("server memory per connection at %zu KB: %.1f\n", bench.clients.size(),
                double(rssHeld - baseKb) / double(bench.clients.size()));
    std::printf("server resident memory KB: %ld before, %ld at %d, %ld at %zu\n", baseKb, rss1000, firstStep, rssHeld,
                bench.clients.size());
    for (SClient* c : bench.clients) {
        close(c->fd);
        delete c;
    }
    return 0;
}
