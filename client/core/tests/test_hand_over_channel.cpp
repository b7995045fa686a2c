// The hand-over between a second start and the running client, over a real
// socket between processes: what a start of ours sends reaches the client
// once per start, in order; what a broken, hostile, stalled or foreign peer
// sends is refused and told so, and the client goes on serving; no file is
// handed to a socket of another account; the runtime folder of another
// account, or one others may write, is not used.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "client/core/HandOverMessage.h"
#include "client/core/HandOverServer.h"
#include "client/core/RuntimeFolder.h"
#include "client/core/SingleInstance.h"
#include "client/core/tests/support/GameFixture.h"
#include "client/core/tests/support/InstancePlaces.h"
#include "foundation/DiskDrive.h"
#include "testsupport/TempFiles.h"

using namespace InstanceTest;
using Zorlin::CString;

namespace {

typedef std::vector<std::string> Files;

// Leads each line a start wrote to its standard error, after what it would show.
const std::string kLogLine = "\n[log] ";

// Only a hung client makes a peer wait this long for its answer.
const int kAnswerLimitMs = 120000;

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

// A pipe a parent closes to tell a child to end.
struct SStopPipe {
    SStopPipe() { ok = pipe(ends) == 0; }
    ~SStopPipe() { Stop(); if (ends[0] >= 0) close(ends[0]); }
    void Stop() { if (ends[1] >= 0) close(ends[1]); ends[1] = -1; }
    // In the child: waits for the parent's word (or the parent's end).
    void Wait() { close(ends[1]); char c; while (read(ends[0], &c, 1) < 0 && errno == EINTR) {} }
    int ends[2] = {-1, -1};
    bool ok = false;
};

// A child's word that it is ready, read by the parent.
struct SReadyPipe {
    SReadyPipe() { ok = pipe(ends) == 0; }
    ~SReadyPipe() { for (int fd : ends) if (fd >= 0) close(fd); }
    void Tell() { const char c = 'r'; ssize_t n = write(ends[1], &c, 1); (void)n; }
    bool Heard()
    {
        pollfd wait = {ends[0], POLLIN, 0};
        char c;
        return poll(&wait, 1, kAnswerLimitMs) == 1 && read(ends[0], &c, 1) == 1;
    }
    int ends[2] = {-1, -1};
    bool ok = false;
};

// The standard error of this process goes to a file while this lives.
class CStderrCapture {
public:
    explicit CStderrCapture(const std::string& path) : m_path(path)
    {
        fflush(stderr);
        m_saved = dup(2);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0) {
            dup2(fd, 2);
            close(fd);
        }
    }
    ~CStderrCapture()
    {
        fflush(stderr);
        if (m_saved >= 0) {
            dup2(m_saved, 2);
            close(m_saved);
        }
        unlink(m_path.c_str());
    }
    std::vector<std::string> Lines() const
    {
        fflush(stderr);
        const std::string text = RookwellTest::ReadWholeFile(m_path);
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
            lines.push_back(text.substr(at, end - at));
        return lines;
    }

private:
    std::string m_path;
    int m_saved = -1;
};

std::vector<std::string> LinesStartingWith(const std::vector<std::string>& lines, const std::string& start)
{
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (StartsWith(line, start))
            found.push_back(line);
    return found;
}

} // namespace

class HandOverChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        EngineTest::StartToolkit();
        ASSERT_TRUE(m_places.IsReady());
    }

    // This process becomes the program folder's client.
    void Serve(const CSingleInstance::TakingCheck& taking = CSingleInstance::TakingCheck())
    {
        m_client.reset(new CSingleInstance(CString(m_places.m_program.c_str())));
        CString problem;
        ASSERT_TRUE(
            m_client->Claim({}, [this](const std::vector<CString>& files) { Received(files); }, problem, taking))
            << problem.GetText();
        m_socket = m_places.Record();
        ASSERT_TRUE(StartsWith(m_socket, "/")) << "the client records its socket: " << m_socket;
    }

    void Received(const std::vector<CString>& files)
    {
        Files names;
        for (const CString& file : files)
            names.push_back(file.GetText());
        m_handed.push_back(names);
    }

    // A start of the program folder in a process of its own.
    std::string Start(const Files& files)
    {
        const std::string program = m_places.m_program;
        CChild start([&] { return SecondStart(program, files); });
        return start.Wait();
    }

    bool WaitForHandOvers(size_t count)
    {
        return EngineTest::PumpUntil([&] { return m_handed.size() >= count; }, kAnswerLimitMs);
    }

    // A peer that writes bytes and reads the answer.
    std::string Peer(const std::string& bytes)
    {
        const std::string socket = m_socket;
        CChild peer([&] {
            const int fd = ConnectTo(socket);
            if (fd < 0)
                return std::string("no connection");
            SendAll(fd, bytes);
            return ReadAnswer(fd, kAnswerLimitMs);
        });
        return peer.Wait();
    }

    // A start as Start does; what it would show, then what it wrote to its
    // standard error, one line each.
    std::vector<std::string> StartTelling(const Files& files)
    {
        const std::string program = m_places.m_program;
        const std::string path = m_places.m_base + "/second-start.err";
        CChild start([&] {
            CStderrCapture capture(path);
            std::string told = SecondStart(program, files);
            for (const std::string& line : capture.Lines())
                told += kLogLine + line;
            return told;
        });
        const std::string text = start.Wait();
        std::vector<std::string> lines;
        for (size_t at = 0, end;; at = end + kLogLine.size()) {
            end = text.find(kLogLine, at);
            lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
            if (end == std::string::npos)
                break;
        }
        return lines;
    }

    CInstancePlaces m_places;
    std::unique_ptr<CSingleInstance> m_client;
    std::string m_socket;
    std::vector<Files> m_handed;
};

TEST_F(HandOverChannel, EachStartsFilesReachTheClientOnceInOrder)
{
    Serve();
    EXPECT_EQ(Start({"/home/ann/club night.pgn"}), "handed");
    EXPECT_EQ(Start({}), "handed") << "a start without files raises the client";
    EXPECT_EQ(Start({"/b.pgn", "/c.rwg"}), "handed");
    // A file manager's Open With on a large selection: the client opens the
    // first, as of its own command line, so the first ones are handed over.
    Files many;
    for (int i = 0; i < 100; ++i)
        many.push_back("/selection/f" + std::to_string(i) + ".pgn");
    EXPECT_EQ(Start(many), "handed");
    EXPECT_EQ(Start({"/" + std::string(kMaxHandOverBytes, 'n')}),
              "Rookwell is already running, but it refused the files of this start: the name of its file is too "
              "long.\n\nOpen them from the running Rookwell.");
    ASSERT_TRUE(WaitForHandOvers(5));
    ASSERT_EQ(m_handed.size(), 5u);
    EXPECT_EQ(m_handed[0], Files({"/home/ann/club night.pgn"}));
    EXPECT_EQ(m_handed[1], Files());
    EXPECT_EQ(m_handed[2], Files({"/b.pgn", "/c.rwg"}));
    ASSERT_EQ(m_handed[3].size(), size_t(kMaxHandedFiles));
    EXPECT_EQ(m_handed[3][0], "/selection/f0.pgn");
    EXPECT_EQ(m_handed[4], Files()) << "a name too long to hand over only raises the client";

    // Ten at once: every one is kept.
    std::vector<std::unique_ptr<CChild>> starts;
    const std::string program = m_places.m_program;
    for (int i = 0; i < 10; ++i) {
        const Files files = {"/at once/" + std::to_string(i) + ".pgn"};
        starts.emplace_back(new CChild([program, files] { return SecondStart(program, files); }));
    }
    for (auto& start : starts)
        EXPECT_EQ(start->Wait(), "handed");
    ASSERT_TRUE(WaitForHandOvers(15));
    std::vector<std::string> atOnce;
    for (size_t i = 5; i < m_handed.size(); ++i) {
        ASSERT_EQ(m_handed[i].size(), 1u);
        atOnce.push_back(m_handed[i][0]);
    }
    std::sort(atOnce.begin(), atOnce.end());
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(atOnce[size_t(i)], "/at once/" + std::to_string(i) + ".pgn");
}

// A client whose window is closing takes no files, lest they be lost with
// it: their start tries again, hands them over once the close was refused,
// and becomes the client itself once the closing one is gone.
TEST_F(HandOverChannel, AClosingClientLeavesTheFilesToTheStartThatSentThem)
{
    bool taking = false;
    int putBack = 0;
    Serve([&] {
        putBack += !taking;
        return taking;
    });
    const std::string program = m_places.m_program;
    CChild refusedClose([program] { return SecondStart(program, {"/while closing.pgn"}); });
    ASSERT_TRUE(EngineTest::PumpUntil([&] { return putBack >= 2; }, kAnswerLimitMs)) << "the start tries again";
    EXPECT_TRUE(m_handed.empty());
    EXPECT_FALSE(refusedClose.HasEnded());
    taking = true;
    EXPECT_EQ(refusedClose.Wait(), "handed");
    ASSERT_TRUE(WaitForHandOvers(1));
    EXPECT_EQ(m_handed[0], Files({"/while closing.pgn"}));

    taking = false;
    putBack = 0;
    const std::string lock = m_places.LockPath();
    CChild closed([program, lock] {
        CloseCopiesOf(lock);
        return SecondStart(program, {"/after.pgn"});
    });
    ASSERT_TRUE(EngineTest::PumpUntil([&] { return putBack >= 1; }, kAnswerLimitMs));
    m_client.reset();
    EXPECT_EQ(closed.Wait(), "claimed") << "the start opens its files itself";
    EXPECT_EQ(m_handed.size(), 1u);
}

TEST_F(HandOverChannel, BrokenAndHostileMessagesAreRefusedAndTheClientGoesOn)
{
    Serve();
    const long memoryBefore = PeakMemoryKiB();
    const std::string socket = m_socket;
    // Half a message, then the end, twice.
    for (int round = 0; round < 2; ++round) {
        CChild half([&] {
            const int fd = ConnectTo(socket);
            const bool sent = fd >= 0 && SendAll(fd, Length(100) + std::string(15, 'x'));
            close(fd);
            return std::string(sent ? "sent" : "not sent");
        });
        EXPECT_EQ(half.Wait(), "sent");
    }
    EXPECT_TRUE(StartsWith(Peer(Length(0xfffffff0u) + std::string(15, 'x')),
                           "refused: what it was sent is longer than a hand-over may be"))
        << "about 4 GB announced, 15 bytes sent: refused at once";
    EXPECT_TRUE(StartsWith(Peer(Length(uint32_t(kMaxHandOverBytes) + 1) + std::string(64, 'x')), "refused: "))
        << "one byte past the bound";
    EXPECT_TRUE(StartsWith(Peer(Length(0)), "refused: what it was sent is not a hand-over of Rookwell"));
    EXPECT_TRUE(StartsWith(Peer(Frame("hello, client")), "refused: what it was sent is not a hand-over"));
    EXPECT_TRUE(StartsWith(Peer(Frame(HandOverBytes({"relative.pgn"}))), "refused: "));

    // 512 MiB announced and sent as fast as the socket takes it: the
    // refusal comes before more than the socket's buffers went out.
    CChild big([&] {
        const int fd = ConnectTo(socket);
        if (fd < 0 || !SendAll(fd, Length(512u << 20)))
            return std::string("no connection");
        fcntl(fd, F_SETFL, O_NONBLOCK);
        const std::string piece(1 << 20, 'x');
        size_t sent = 0;
        while (sent < (512u << 20)) {
            const ssize_t n = send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
            if (n > 0) {
                sent += size_t(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                break;
            pollfd wait = {fd, POLLIN | POLLOUT, 0};
            if (poll(&wait, 1, kAnswerLimitMs) != 1 || (wait.revents & (POLLIN | POLLERR | POLLHUP)))
                break;
        }
        fcntl(fd, F_SETFL, 0);
        return ReadAnswer(fd, kAnswerLimitMs) + " after " + std::to_string(sent >> 20) + " MiB";
    });
    const std::string answer = big.Wait();
    EXPECT_TRUE(StartsWith(answer, "refused: what it was sent is longer")) << answer;
    const size_t at = answer.find(" after ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_LT(atol(answer.c_str() + at + 7), 64) << answer;

    EXPECT_EQ(Start({"/after.pgn"}), "handed");
    ASSERT_TRUE(WaitForHandOvers(1));
    EXPECT_EQ(m_handed, std::vector<Files>({{"/after.pgn"}})) << "nothing of the broken messages arrived";
    EXPECT_LT(PeakMemoryKiB() - memoryBefore, 64 * 1024) << "KiB more at the peak";
}

TEST_F(HandOverChannel, StalledPeersAreDroppedAndARealStartGetsThrough)
{
    Serve();
    // More than the client reads at once, each with two bytes of a length.
    const int stalledCount = CHandOverServer::kMaxPeers + 6;
    const std::string socket = m_socket;
    CChild stalled([&] {
        std::vector<int> fds;
        for (int i = 0; i < stalledCount; ++i) {
            const int fd = ConnectTo(socket);
            if (fd < 0 || !SendAll(fd, Length(100).substr(0, 2)))
                return "connection " + std::to_string(i) + " failed";
            fds.push_back(fd);
        }
        int refused = 0;
        for (int fd : fds)
            refused += StartsWith(ReadAnswer(fd, kAnswerLimitMs), "refused: what it was sent did not arrive in time");
        return std::to_string(refused) + " refused";
    });
    EXPECT_EQ(Start({"/real.pgn"}), "handed");
    EXPECT_EQ(stalled.Wait(), std::to_string(stalledCount) + " refused");
    ASSERT_TRUE(WaitForHandOvers(1));
    EXPECT_EQ(m_handed, std::vector<Files>({{"/real.pgn"}}));
}

// A local program's name with a line break in it, and a start given more
// files than one hand-over carries: each name is one line of the log, and
// every file left out is named.
TEST_F(HandOverChannel, EveryNameIsOneLineOfTheLogAndEveryFileLeftOutIsNamed)
{
    Serve();
    CStderrCapture client(m_places.m_base + "/client.err");
    const std::string forged = "/home/ann/x.pgn\nAnother start handed over 1 file:\n  /forged.pgn";
    EXPECT_EQ(Peer(Frame(HandOverBytes({forged}))), "accepted");
    ASSERT_TRUE(WaitForHandOvers(1));
    EXPECT_EQ(m_handed[0], Files({forged})) << "the name itself is handed on as it came";
    const std::vector<std::string> told = LinesStartingWith(client.Lines(), "Another start handed over");
    EXPECT_EQ(told, std::vector<std::string>({"Another start handed over 1 file:"}));
    EXPECT_TRUE(LinesStartingWith(client.Lines(), "  /forged.pgn").empty());
    EXPECT_EQ(LinesStartingWith(client.Lines(), "  /home/ann/x.pgn"),
              std::vector<std::string>({"  /home/ann/x.pgn\\x0aAnother start handed over 1 file:\\x0a  /forged.pgn"}));

    Files many;
    for (int i = 0; i < 70; ++i)
        many.push_back("/selection/f" + std::to_string(i) + ".pgn");
    many[68] = "/selection/Left out: \r\n/forged.pgn";
    const std::vector<std::string> start = StartTelling(many);
    ASSERT_FALSE(start.empty());
    EXPECT_EQ(start[0], "handed");
    std::vector<std::string> expected = {"Of 70 files, the first 64 are handed over; Rookwell opens the first."};
    for (int i = 64; i < 70; ++i)
        expected.push_back("Left out: " + (i == 68 ? std::string("/selection/Left out: \\x0d\\x0a/forged.pgn")
                                                  : many[size_t(i)]));
    EXPECT_EQ(std::vector<std::string>(start.begin() + 1, start.end()), expected);
    ASSERT_TRUE(WaitForHandOvers(2));
    EXPECT_EQ(m_handed[1].size(), size_t(kMaxHandedFiles));
}

// A local program that opens the socket and breaks off, thousands of times:
// each is counted, and the log gets a line a second at most.
TEST_F(HandOverChannel, ThousandsOfBrokenConnectionsGiveAFewCountedLines)
{
    Serve();
    CStderrCapture client(m_places.m_base + "/client.err");
    const int kConnections = 4000;
    const std::string socket = m_socket;
    const auto began = std::chrono::steady_clock::now();
    CChild breaker([&] {
        for (int i = 0; i < kConnections; ++i) {
            const int fd = ConnectTo(socket);
            if (fd < 0 || !SendAll(fd, Length(100) + "xy"))
                return "connection " + std::to_string(i) + " failed";
            close(fd);
        }
        return std::string("done");
    });
    EXPECT_EQ(breaker.Wait(), "done");
    const std::string kBroke = "A hand-over broke off after ";
    auto counted = [&] {
        unsigned total = 0;
        for (const std::string& line : LinesStartingWith(client.Lines(), kBroke)) {
            const size_t at = line.find(" (");
            total += at == std::string::npos ? 1 : unsigned(atoi(line.c_str() + at + 2));
        }
        return total;
    };
    ASSERT_TRUE(EngineTest::PumpUntil([&] { return counted() >= unsigned(kConnections); }, kAnswerLimitMs))
        << counted() << " counted";
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const std::vector<std::string> lines = LinesStartingWith(client.Lines(), kBroke);
    EXPECT_EQ(counted(), unsigned(kConnections));
    EXPECT_LE(double(lines.size()), seconds + 2) << "one line a second at most, in " << seconds << " s";
    EXPECT_EQ(lines.back().substr(0, lines.back().find(" (")), kBroke + "6 bytes");
    EXPECT_EQ(Start({"/after.pgn"}), "handed") << "the client serves on";
}

TEST_F(HandOverChannel, ASecondStartSaysWhyItsFilesWereNotTaken)
{
    Serve();
    m_places.WriteRecord("-");
    EXPECT_EQ(Start({"/a.pgn"}), "Rookwell is already running, but this start cannot reach it.\n\n"
                                 "Open your files from the running Rookwell, or close it and start Rookwell again.")
        << "a client that could make no socket";
    // Clients of ours that answer: with a refusal, or with what no client of
    // ours sends.
    const std::string folder = m_places.m_base + "/answering";
    mkdir(folder.c_str(), 0700);
    const std::string path = folder + "/hand-over";
    const std::vector<char> refusal = WriteAnswer(false, "it is busy");
    const std::string refused(refusal.data(), refusal.size());
    // As they go over the socket: a refusal, what the toolkit's channel
    // answered, and a length past any answer's.
    for (const std::string& answer : {Frame(refused), Frame(std::string("done", 5)), Length(5000) + "xyz"}) {
        const int listener = ListenAtSocket(CString(path.c_str()));
        ASSERT_GE(listener, 0);
        CChild client([&] {
            pollfd wait = {listener, POLLIN, 0};
            const int fd = poll(&wait, 1, kAnswerLimitMs) == 1 ? accept(listener, nullptr, nullptr) : -1;
            if (fd < 0 || StartsWith(ReadAnswer(fd, kAnswerLimitMs), "no answer"))
                return std::string("no hand-over");
            return std::string(SendAll(fd, answer) ? "answered" : "not answered");
        });
        m_places.WriteRecord(path);
        const std::vector<std::string> told = StartTelling({"/a.pgn"});
        ASSERT_FALSE(told.empty());
        if (answer != Frame(refused)) {
            EXPECT_EQ(told[0], "Rookwell is already running, and the files of this start were sent to it, but its "
                               "answer was not understood: they may not have been opened.\n\n"
                               "Look in the running Rookwell, and open them from there if they are not.");
            EXPECT_EQ(std::vector<std::string>(told.begin() + 1, told.end()),
                      std::vector<std::string>({"The names were sent to " + path +
                                                ", but its answer was not understood."}));
        } else {
            EXPECT_EQ(told[0], "Rookwell is already running, but it refused the files of this start: it is busy.\n\n"
                               "Open them from the running Rookwell.");
        }
        EXPECT_EQ(client.Wait(), "answered");
        close(listener);
        unlink(path.c_str());
    }
    m_places.WriteRecord(m_socket);
    EXPECT_EQ(Start({"/b.pgn"}), "handed");
    ASSERT_TRUE(WaitForHandOvers(1));
    EXPECT_EQ(m_handed, std::vector<Files>({{"/b.pgn"}}));
}

TEST_F(HandOverChannel, AnotherAccountIsNeitherServedNorHandedAnything)
{
    if (!IsRoot())
        GTEST_SKIP() << "another account can be played only by root (a child that becomes nobody)";
    Serve();
    // A peer of another account, where a folder's mode would let it reach
    // the socket.
    const std::string folder = m_socket.substr(0, m_socket.rfind('/'));
    for (const std::string& path : {m_places.m_base, m_places.m_runtime, folder})
        chmod(path.c_str(), 0755);
    chmod(m_socket.c_str(), 0666);
    const std::string socket = m_socket;
    CChild foreign([&] {
        if (!BecomeNobody())
            return std::string("not nobody");
        const int fd = ConnectTo(socket);
        if (fd < 0)
            return std::string("no connection");
        SendAll(fd, Frame(HandOverBytes({"/home/ann/secret plans.pgn"})));
        return ReadAnswer(fd, kAnswerLimitMs);
    });
    EXPECT_EQ(foreign.Wait(), "refused: it was sent from another account");
    chmod(folder.c_str(), 0700);
    chmod(m_socket.c_str(), 0600);

    // A socket of another account named in the lock: the second start hands
    // nothing to it, also when the socket file itself looks like ours.
    const std::string theirs = m_places.m_base + "/theirs";
    mkdir(theirs.c_str(), 0700);
    ASSERT_EQ(chown(theirs.c_str(), kNobody, kNobody), 0);
    const std::string planted = theirs + "/hand-over";
    SReadyPipe ready;
    SStopPipe stop;
    CChild listener([&] {
        if (!BecomeNobody())
            return std::string("not nobody");
        const int fd = ListenAtSocket(CString(planted.c_str()));
        if (fd < 0)
            return std::string("no socket");
        ready.Tell();
        std::vector<pollfd> fds = {{stop.ends[0], POLLIN, 0}, {fd, POLLIN, 0}};
        close(stop.ends[1]);
        int connections = 0;
        size_t bytes = 0;
        while (poll(fds.data(), nfds_t(fds.size()), -1) > 0 && !(fds[0].revents)) {
            if (fds[1].revents & POLLIN) {
                fds.push_back({accept(fd, nullptr, nullptr), POLLIN, 0});
                ++connections;
            }
            for (size_t i = 2; i < fds.size(); ++i) {
                char piece[4096];
                const ssize_t n = fds[i].revents ? read(fds[i].fd, piece, sizeof piece) : 0;
                if (n > 0)
                    bytes += size_t(n);
                if (fds[i].revents && n <= 0)
                    fds[i].events = 0;
            }
        }
        return std::to_string(connections) + " connections, " + std::to_string(bytes) + " bytes";
    });
    ASSERT_TRUE(ready.Heard());
    m_places.WriteRecord(planted);
    EXPECT_TRUE(StartsWith(Start({"/home/ann/secret plans.pgn"}), "Rookwell is already running, but this start cannot reach it."));
    // Now the socket and its folder are ours by their files, but the
    // process behind them is not.
    ASSERT_EQ(chown(theirs.c_str(), getuid(), getgid()), 0);
    ASSERT_EQ(chown(planted.c_str(), getuid(), getgid()), 0);
    EXPECT_TRUE(StartsWith(Start({"/home/ann/secret plans.pgn"}), "Rookwell is already running, but this start cannot reach it."));
    stop.Stop();
    EXPECT_EQ(listener.Wait(), "1 connections, 0 bytes");
    m_places.WriteRecord(m_socket);
    EXPECT_EQ(Start({"/mine.pgn"}), "handed");
    ASSERT_TRUE(WaitForHandOvers(1));
    EXPECT_EQ(m_handed, std::vector<Files>({{"/mine.pgn"}}));
}

TEST_F(HandOverChannel, ALockOfAnotherAccountIsNotHonoured)
{
    if (!IsRoot())
        GTEST_SKIP() << "another account can be played only by root (a child that becomes nobody)";
    const std::string lock = m_places.LockPath();
    ASSERT_TRUE(Zorlin::MakePrivateFolders(CString(lock.substr(0, lock.rfind('/')).c_str())));
    const int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchown(fd, kNobody, kNobody), 0);
    SReadyPipe ready;
    SStopPipe stop;
    CChild holder([&] {
        if (!BecomeNobody() || flock(fd, LOCK_EX) != 0)
            return std::string("no lock");
        ready.Tell();
        stop.Wait();
        return std::string("held");
    });
    close(fd);
    ASSERT_TRUE(ready.Heard());
    Serve();
    EXPECT_EQ(Start({"/a.pgn"}), "handed");
    ASSERT_TRUE(WaitForHandOvers(1));
    stop.Stop();
    EXPECT_EQ(holder.Wait(), "held");
}

TEST_F(HandOverChannel, ARuntimeFolderOthersMayWriteIsNotUsed)
{
    // Planted under the names an older client used there: a listener and a lock.
    chmod(m_places.m_runtime.c_str(), 01777);
    char* real = realpath(m_places.m_program.c_str(), nullptr);
    const std::string old = m_places.m_runtime + "/" + InstanceName(real, unsigned(getuid())).GetText();
    free(real);
    const int planted = ListenAtSocket(CString((old + ".socket").c_str()));
    ASSERT_GE(planted, 0);
    RookwellTest::WriteWholeFile(old + ".lock", "1");
    Serve();
    EXPECT_FALSE(StartsWith(m_socket, m_places.m_runtime + "/")) << m_socket;
    EXPECT_TRUE(StartsWith(m_socket, m_places.m_temporary + "/")) << m_socket;
    EXPECT_EQ(Start({"/a.pgn"}), "handed");
    fcntl(planted, F_SETFL, O_NONBLOCK);
    EXPECT_LT(accept(planted, nullptr, nullptr), 0) << "nobody connected to the planted socket";
    close(planted);
    ASSERT_TRUE(WaitForHandOvers(1));
}

TEST_F(HandOverChannel, ARuntimeFolderOfAnotherAccountIsNotUsed)
{
    if (!IsRoot())
        GTEST_SKIP() << "another account's folder can be made only by root";
    // As after su: the variable names the other account's private folder.
    ASSERT_EQ(chown(m_places.m_runtime.c_str(), kNobody, kNobody), 0);
    Serve();
    EXPECT_FALSE(StartsWith(m_socket, m_places.m_runtime + "/")) << m_socket;
    EXPECT_EQ(Start({"/a.pgn"}), "handed");
    ASSERT_TRUE(WaitForHandOvers(1));
}

TEST_F(HandOverChannel, WhatAnotherAccountMadeInTheTemporaryFolderChangesNothing)
{
    if (!IsRoot())
        GTEST_SKIP() << "another account's files can be made only by root";
    // No runtime folder: the client's own folder goes to the temporary one,
    // where another account made "rookwell-UID" beforehand.
    m_places.SetVariable("XDG_RUNTIME_DIR", "");
    const std::string squatted = m_places.m_temporary + "/rookwell-" + std::to_string(getuid());
    const std::string elsewhere = m_places.m_base + "/elsewhere";
    mkdir(elsewhere.c_str(), 0777);
    for (const std::string kind : {"folder", "link", "file"}) {
        SCOPED_TRACE(kind);
        if (kind == "folder")
            mkdir(squatted.c_str(), 0777);
        else if (kind == "link")
            ASSERT_EQ(symlink(elsewhere.c_str(), squatted.c_str()), 0);
        else
            RookwellTest::WriteWholeFile(squatted, "");
        ASSERT_EQ(lchown(squatted.c_str(), kNobody, kNobody), 0);
        m_handed.clear();
        Serve();
        EXPECT_TRUE(StartsWith(m_socket, m_places.m_temporary + "/rookwell-")) << m_socket;
        EXPECT_FALSE(StartsWith(m_socket, squatted + "/")) << m_socket;
        EXPECT_EQ(Start({"/a.pgn"}), "handed") << "the guard is on: no second client";
        ASSERT_TRUE(WaitForHandOvers(1));
        struct stat info;
        ASSERT_EQ(lstat(squatted.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, kNobody) << "left as it was";
        EXPECT_TRUE(RookwellTest::ListFolder(elsewhere).empty());
        m_client.reset();
        EXPECT_FALSE(RookwellTest::FileExists(m_socket)) << "the client's socket goes at its end";
        if (kind == "folder")
            rmdir(squatted.c_str());
        else
            unlink(squatted.c_str());
    }
}
