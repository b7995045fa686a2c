// Simulated players on loopback against gridmoor-server and, in the same
// invocation, against the reference forwarder (bench/reference_forwarder.cpp):
// several rounds alternating between the two, each round fresh players who
// log in, are matched and play paced games. Prints each run, then ours, the
// reference and the ratios (min/median/max over the rounds) for the median
// and 99th percentile forward latency and the server CPU per forward, and
// the server's memory per connection.
//
//   gridmoor_server_bench OURS_PORT OURS_PID REF_PORT REF_PID [GAMES] [HELD] [MOVES] [THINK_MS] [ROUNDS]
//
// Every connection goes to 127.0.0.1, from 127.x.y.z source addresses.

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
#include <functional>
#include <iterator>
#include <memory>
#include <queue>
#include <random>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/PacketHeader.h"

namespace {

// Wall-clock nanoseconds: the clock of the kernel's receive stamps.
int64_t NowNs()
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
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

// Connections from one source address; the ephemeral ports of one address
// to one server run out near 28,000, and closed ones linger a minute.
const int kPerSource = 10000;

struct SPlayer {
    int fd = -1;
    std::string in;
    uint32_t id = 0;
    uint32_t peer = 0;
    bool loggedIn = false;
    bool synced = false;
    bool matched = false;
    bool first = false;
    int sent = 0;
    int64_t sentNs = 0;
};

struct SDue {
    int64_t at;
    SPlayer* player;
    bool operator>(const SDue& other) const { return at > other.at; }
};

// Players of one run against one server, with their own event loop.
class CFleet {
public:
    CFleet(int port, int sourceBlock) : m_port(port), m_block(sourceBlock), m_epoll(epoll_create1(0)) {}
    ~CFleet()
    {
        for (auto& p : m_players)
            if (p->fd >= 0)
                close(p->fd);
        close(m_epoll);
    }

    std::string error;
    std::vector<std::unique_ptr<SPlayer>> m_players;
    std::vector<int64_t> latencies; // ns
    int64_t forwarded = 0;

    bool LogIn(int count)
    {
        const int kBatch = 500;
        for (int done = 0; done < count && error.empty();) {
            int batch = std::min(kBatch, count - done);
            int want = m_loggedIn + batch;
            for (int i = 0; i < batch; ++i)
                if (!Connect())
                    return false;
            if (!Pump([&] { return m_loggedIn >= want; }, "logging in"))
                return false;
            done += batch;
        }
        return error.empty();
    }

    // A profile, as the client sends after logging in.
    void SendProfiles(size_t from)
    {
        for (size_t i = from; i < m_players.size(); ++i) {
            SPlayer& c = *m_players[i];
            Send(c, Frame(pktSet, 0, "begin\nname\nBench " + std::to_string(c.id) + "\ncountry\nNowhere\n") +
                        Frame(pktInfo, 0, "begin\nname\nBench\nemail\nbench(at)example.org\ncountry\nNowhere\n"));
        }
    }

    // Every player asks for something answered, so all it sent is processed.
    bool Sync(size_t from)
    {
        int want = m_synced + int(m_players.size() - from);
        for (size_t i = from; i < m_players.size(); ++i)
            Send(*m_players[i], Frame(pktRequestForward, 0x7FFFFFF0u, std::string("\0\0\0\0", 4)));
        return Pump([&] { return m_synced >= want; }, "waiting for answers");
    }

    bool Match()
    {
        const std::string settings = "begin\nrw.untimed\nyes\nrw.timed\nyes\nrw.time.min\nno\nrw.time.max\nno\n"
                                     "rw.time.low\n60\nrw.time.high\n5940\nrw.skill\nbeginner\nrw.side\nwhite black\n";
        for (auto& p : m_players)
            Send(*p, Frame(pktSet, 0, settings + "id\n" + std::to_string(p->id) + "\n") +
                         Frame(pktSearch, 0, "id=search1\nttl=120\nbegin\n"));
        const int want = int(m_players.size());
        return Pump([&] { return m_matched >= want; }, "searching");
    }

    // Each player makes moves moves; each is answered a think time (spread
    // by 10 % either way) after it arrived.
    bool Play(int moves, int64_t thinkNs, unsigned seed)
    {
        m_moves = moves;
        m_thinkNs = thinkNs;
        m_random.seed(seed);
        const int64_t start = NowNs();
        const int games = int(m_players.size() / 2);
        int opener = 0;
        for (auto& p : m_players)
            if (p->first)
                m_due.push({start + thinkNs * opener++ / std::max(games, 1), p.get()});
        const int64_t want = int64_t(m_players.size()) * moves;
        return Pump([&] { return forwarded >= want; }, "playing", 60 + int64_t(moves) * 2 * thinkNs / 1000000000 * 3);
    }

private:
    void Fail(const std::string& why)
    {
        if (error.empty())
            error = why;
    }

    void Send(SPlayer& c, const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = send(c.fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += size_t(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue; // loopback drains quickly
            Fail(std::string("send failed: ") + std::strerror(errno));
            return;
        }
    }

    bool Connect()
    {
        auto c = std::make_unique<SPlayer>();
        c->fd = socket(AF_INET, SOCK_STREAM, 0);
        if (c->fd < 0) {
            Fail(std::string("socket: ") + std::strerror(errno));
            return false;
        }
        int on = 1;
        setsockopt(c->fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
        setsockopt(c->fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof(on));
        setsockopt(c->fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof(on));
        sockaddr_in source = {};
        source.sin_family = AF_INET;
        const uint32_t index = uint32_t(m_players.size() / kPerSource);
        source.sin_addr.s_addr = htonl(0x7F000000u | uint32_t(m_block & 0xFF) << 16 | (1 + index));
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(m_port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(c->fd, reinterpret_cast<sockaddr*>(&source), sizeof(source)) != 0 ||
            connect(c->fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            Fail(std::string("connect: ") + std::strerror(errno));
            close(c->fd);
            return false;
        }
        fcntl(c->fd, F_SETFL, fcntl(c->fd, F_GETFL) | O_NONBLOCK);
        epoll_event event = {};
        event.events = EPOLLIN;
        event.data.ptr = c.get();
        epoll_ctl(m_epoll, EPOLL_CTL_ADD, c->fd, &event);
        Send(*c, std::string("multiserver session begin") + Frame(pktProtocol, 0, "2\n") +
                     Frame(pktLogin, 0, "plumo\nplumo\nRookwell Lite Lite v1.24\n"));
        m_players.push_back(std::move(c));
        return true;
    }

    void OnPacket(SPlayer& c, uint8_t type, uint32_t id, const char* body, size_t size, int64_t arrived)
    {
        switch (type) {
        case pktId:
            c.id = id;
            m_byId[id] = &c;
            break;
        case pktLoggedInOK:
            c.loggedIn = true;
            ++m_loggedIn;
            break;
        case pktConnectFailed:
            if (!c.synced) {
                c.synced = true;
                ++m_synced;
            }
            break;
        case pktSearchMatch:
            if (!c.matched)
                ++m_matched;
            c.matched = true;
            c.peer = id;
            c.first = size >= 9 && std::memcmp(body, "first=yes", 9) == 0;
            break;
        case pktForward: {
            auto from = m_byId.find(id);
            if (from != m_byId.end() && from->second->sentNs)
                latencies.push_back(arrived - from->second->sentNs);
            ++forwarded;
            // The answer is planned from when this move arrived.
            if (c.sent < m_moves) {
                std::uniform_real_distribution<double> spread(0.9, 1.1);
                m_due.push({arrived + int64_t(double(m_thinkNs) * spread(m_random)), &c});
            }
            break;
        }
        case pktKick:
            Fail("the server kicked a player: " + std::string(body, std::min<size_t>(size, 80)));
            break;
        default:
            break;
        }
    }

    void SendDue()
    {
        static const std::string body = std::string("\x06\0\0\0", 4) + "Nf3\n1500\n";
        const int64_t now = NowNs();
        while (!m_due.empty() && m_due.top().at <= now) {
            SPlayer& c = *m_due.top().player;
            m_due.pop();
            c.sentNs = NowNs();
            ++c.sent;
            Send(c, Frame(pktRequestForward, c.peer, body));
        }
    }

    void Read(SPlayer& c)
    {
        char block[65536];
        char control[CMSG_SPACE(sizeof(timespec))];
        for (;;) {
            iovec vector = {block, sizeof(block)};
            msghdr message = {};
            message.msg_iov = &vector;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof(control);
            ssize_t n = recvmsg(c.fd, &message, 0);
            if (n > 0) {
                // The kernel's receive stamp of this socket's data, else now.
                int64_t arrived = 0;
                for (cmsghdr* cm = CMSG_FIRSTHDR(&message); cm; cm = CMSG_NXTHDR(&message, cm))
                    if (cm->cmsg_level == SOL_SOCKET && cm->cmsg_type == SCM_TIMESTAMPNS) {
                        timespec stamp;
                        std::memcpy(&stamp, CMSG_DATA(cm), sizeof(stamp));
                        arrived = int64_t(stamp.tv_sec) * 1000000000 + stamp.tv_nsec;
                    }
                c.in.append(block, size_t(n));
                Parse(c, arrived ? arrived : NowNs());
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            Fail("the server closed a connection (id " + std::to_string(c.id) + ")");
            epoll_ctl(m_epoll, EPOLL_CTL_DEL, c.fd, nullptr);
            return;
        }
    }

    void Parse(SPlayer& c, int64_t arrived)
    {
        size_t at = 0;
        while (c.in.size() - at >= 4) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(c.in.data() + at);
            uint32_t length = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
            if (c.in.size() - at - 4 < length)
                break;
            const unsigned char* payload = p + 4;
            uint8_t headerLength = payload[0];
            uint32_t id = (payload[2] & 1) ? (payload[4] | payload[5] << 8 | payload[6] << 16 | uint32_t(payload[7]) << 24) : 0;
            OnPacket(c, payload[1], id, reinterpret_cast<const char*>(payload + headerLength), length - headerLength,
                     arrived);
            at += 4 + length;
        }
        c.in.erase(0, at);
    }

    // Runs the loop until done(), a failure, or limitS seconds.
    bool Pump(const std::function<bool()>& done, const char* what, int64_t limitS = 60)
    {
        epoll_event events[512];
        const int64_t deadline = NowNs() + limitS * 1000000000;
        while (!done()) {
            if (!error.empty())
                return false;
            int64_t now = NowNs();
            if (now > deadline) {
                Fail(std::string("no progress ") + what + " in " + std::to_string(limitS) + " s");
                return false;
            }
            // Microsecond waits: a move leaves when it is due, not on the next millisecond.
            int64_t wait = 100000000;
            if (!m_due.empty())
                wait = std::clamp<int64_t>(m_due.top().at - now, 0, wait);
            timespec timeout = {time_t(wait / 1000000000), long(wait % 1000000000)};
            int n = epoll_pwait2(m_epoll, events, 512, &timeout, nullptr);
            for (int i = 0; i < n; ++i)
                Read(*static_cast<SPlayer*>(events[i].data.ptr));
            SendDue();
        }
        return error.empty();
    }

    int m_port;
    int m_block;
    int m_epoll;
    std::unordered_map<uint32_t, SPlayer*> m_byId;
    std::priority_queue<SDue, std::vector<SDue>, std::greater<SDue>> m_due;
    std::mt19937 m_random;
    int m_moves = 0;
    int64_t m_thinkNs = 0;
    int m_loggedIn = 0, m_synced = 0, m_matched = 0;
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

// Time a process has run on a CPU, in nanoseconds.
int64_t CpuNs(int pid)
{
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    long long ns = -1;
    if (schedstat >> ns && ns >= 0)
        return ns;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    for (size_t at = close + 2; at < text.size();) {
        size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos)
            break;
        at = space + 1;
    }
    if (fields.size() < 13)
        return 0;
    return (std::atoll(fields[11].c_str()) + std::atoll(fields[12].c_str())) * 1000000000 / sysconf(_SC_CLK_TCK);
}

double Percentile(std::vector<int64_t> values, double p)
{
    if (values.empty())
        return 0;
    size_t index = std::min(values.size() - 1, size_t(p * double(values.size())));
    std::nth_element(values.begin(), values.begin() + long(index), values.end());
    return double(values[index]) / 1e6;
}

struct SRun {
    bool ok = false;
    double p50 = 0, p99 = 0, cpuUs = 0; // ms, ms, us per forward
    std::vector<int64_t> latencies;      // ns, every forward of the run
};

struct STarget {
    const char* name;
    int port;
    int pid;
    std::vector<SRun> runs;
};

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintFigure(const char* name, const char* unit, const STarget& ours, const STarget& reference,
                 double SRun::*field)
{
    std::vector<double> a, b, ratios;
    for (size_t i = 0; i < ours.runs.size() && i < reference.runs.size(); ++i) {
        if (!ours.runs[i].ok || !reference.runs[i].ok)
            continue;
        a.push_back(ours.runs[i].*field);
        b.push_back(reference.runs[i].*field);
        if (reference.runs[i].*field > 0)
            ratios.push_back(ours.runs[i].*field / reference.runs[i].*field);
    }
    if (ratios.empty()) {
        std::printf("%s: no round where both runs succeeded\n", name);
        return;
    }
    std::printf("%s %s: ours %.3f, reference %.3f (medians); ratio min %.2f median %.2f max %.2f\n", name, unit,
                Median(a), Median(b), *std::min_element(ratios.begin(), ratios.end()), Median(ratios),
                *std::max_element(ratios.begin(), ratios.end()));
}

// The percentile over every forward of the rounds where both runs succeeded:
// a spike that hits one round is a small share of the pool, so it moves the
// figure far less than it moves that round's own percentile.
void PrintPooled(const char* name, double p, const STarget& ours, const STarget& reference)
{
    std::vector<int64_t> a, b;
    int pairs = 0;
    for (size_t i = 0; i < ours.runs.size() && i < reference.runs.size(); ++i) {
        if (!ours.runs[i].ok || !reference.runs[i].ok)
            continue;
        ++pairs;
        a.insert(a.end(), ours.runs[i].latencies.begin(), ours.runs[i].latencies.end());
        b.insert(b.end(), reference.runs[i].latencies.begin(), reference.runs[i].latencies.end());
    }
    if (a.empty() || b.empty())
        return;
    const double pa = Percentile(std::move(a), p), pb = Percentile(std::move(b), p);
    std::printf("%s ms pooled over %d rounds: ours %.3f, reference %.3f; ratio %.2f\n", name, pairs, pa, pb,
                pb > 0 ? pa / pb : 0.0);
}

// The server's memory with 1,000 and then held connections logged in.
void MeasureMemory(const STarget& ours, int held, int& block)
{
    const long baseKb = RssKb(ours.pid);
    CFleet fleet(ours.port, block++);
    const int firstStep = std::min(1000, held);
    if (!fleet.LogIn(firstStep) || (fleet.SendProfiles(0), !fleet.Sync(0))) {
        std::printf("memory: the run failed: %s\n", fleet.error.c_str());
        return;
    }
    const long rssFirst = RssKb(ours.pid);
    if (!fleet.LogIn(held - firstStep) || (fleet.SendProfiles(size_t(firstStep)), !fleet.Sync(size_t(firstStep)))) {
        std::printf("memory: the run failed at %zu connections: %s\n", fleet.m_players.size(), fleet.error.c_str());
        return;
    }
    const long rssHeld = RssKb(ours.pid);
    std::printf("connections held: %d\n", held);
    std::printf("server memory per connection at %d KB: %.1f (resident memory of the process; the kernel's socket "
                "memory is left out)\n",
                firstStep, double(rssFirst - baseKb) / double(firstStep));
    std::printf("server memory per connection at %d KB: %.1f (resident memory of the process; the kernel's socket "
                "memory is left out)\n",
                held, double(rssHeld - baseKb) / double(held));
    std::printf("server resident memory KB: %ld before, %ld at %d, %ld at %d\n", baseKb, rssFirst, firstStep, rssHeld,
                held);
}

SRun PlayOnce(STarget& target, int games, int moves, int64_t thinkNs, int round, int& block)
{
    SRun run;
    CFleet fleet(target.port, block++);
    const int64_t loginStart = NowNs();
    bool ok = fleet.LogIn(2 * games);
    const int64_t matchStart = NowNs();
    ok = ok && fleet.Match();
    const int64_t playStart = NowNs();
    const int64_t cpuBefore = CpuNs(target.pid);
    ok = ok && fleet.Play(moves, thinkNs, unsigned(round * 7919 + games));
    const int64_t cpu = CpuNs(target.pid) - cpuBefore;
    const int64_t playNs = NowNs() - playStart;
    if (!ok) {
        std::printf("round %d, %s: the run failed: %s\n", round + 1, target.name, fleet.error.c_str());
        std::fflush(stdout);
        return run;
    }
    run.ok = true;
    run.p50 = Percentile(fleet.latencies, 0.5);
    run.p99 = Percentile(fleet.latencies, 0.99);
    run.cpuUs = double(cpu) / 1000.0 / double(std::max<int64_t>(fleet.forwarded, 1));
    run.latencies = std::move(fleet.latencies);
    std::printf("round %d, %-9s: %zu forwards in %.2f s, p50 %.3f ms, p99 %.3f ms, CPU %.2f us per forward "
                "(logins %.2f s, matches %.2f s)\n",
                round + 1, target.name, run.latencies.size(), double(playNs) / 1e9, run.p50, run.p99, run.cpuUs,
                double(matchStart - loginStart) / 1e9, double(playStart - matchStart) / 1e9);
    std::fflush(stdout);
    return run;
}

std::string LoadAverage()
{
    std::ifstream load("/proc/loadavg");
    std::string one, five;
    load >> one >> five;
    return one + " " + five;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: gridmoor_server_bench OURS_PORT OURS_PID REF_PORT REF_PID [GAMES] [HELD] [MOVES] "
                             "[THINK_MS] [ROUNDS]\n");
        return 2;
    }
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    STarget ours = {"ours", std::atoi(argv[1]), std::atoi(argv[2]), {}};
    STarget reference = {"reference", std::atoi(argv[3]), std::atoi(argv[4]), {}};
    const int games = argc > 5 ? std::atoi(argv[5]) : 1000;
    const int held = argc > 6 ? std::atoi(argv[6]) : 10000;
    const int moves = argc > 7 ? std::atoi(argv[7]) : 20;
    const int thinkMs = argc > 8 ? std::atoi(argv[8]) : 100;
    const int rounds = argc > 9 ? std::atoi(argv[9]) : 9;
    int block = 1; // source addresses 127.<block>.0.x, a fresh block per run

    std::printf("machine load average: %s on %ld cores\n", LoadAverage().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    if (held > 0)
        MeasureMemory(ours, held, block);
    std::printf("%d games, %d moves per player, each answered %d ms (+-10 %%) after it arrived, %d rounds\n", games,
                moves, thinkMs, rounds);
    for (int round = 0; round < rounds; ++round) {
        STarget* order[2] = {&ours, &reference};
        if (round % 2)
            std::swap(order[0], order[1]);
        for (STarget* target : order)
            target->runs.push_back(PlayOnce(*target, games, moves, int64_t(thinkMs) * 1000000, round, block));
    }
    PrintFigure("forward latency p50", "ms", ours, reference, &SRun::p50);
    PrintFigure("forward latency p99", "ms", ours, reference, &SRun::p99);
    PrintPooled("forward latency p99", 0.99, ours, reference);
    PrintFigure("server CPU per forward", "us", ours, reference, &SRun::cpuUs);
    std::printf("machine load average: %s\n", LoadAverage().c_str());
    int failed = 0;
    for (const STarget* target : {&ours, &reference})
        for (const SRun& run : target->runs)
            failed += run.ok ? 0 : 1;
    if (failed)
        std::printf("%d runs failed\n", failed);
    return failed ? 1 : 0;
}
