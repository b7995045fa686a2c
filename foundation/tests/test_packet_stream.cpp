#include "foundation/PacketStream.h"

#include "foundation/DataQueue.h"
#include "foundation/MemFile.h"
#include "foundation/OutputStream.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

using namespace Zorlin;

namespace {

std::string Frame(int width, const std::string& payload)
{
    std::string wire;
    uint32_t n = uint32_t(payload.size());
    for (int i = 0; i < width; ++i)
        wire += char((n >> (8 * i)) & 0xFF);
    return wire + payload;
}

CBuffer BufferOf(const std::string& bytes)
{
    CBuffer buffer;
    buffer.Allocate(int(bytes.size()));
    if (!bytes.empty())
        std::memcpy(buffer.GetData(), bytes.data(), bytes.size());
    return buffer;
}

std::string TextOf(const CBuffer& buffer)
{
    return buffer.GetSize() > 0 ? std::string(reinterpret_cast<const char*>(buffer.GetData()), size_t(buffer.GetSize()))
                                : std::string();
}

// Records what arrives; the answers can be scripted.
class CRecorder : public CPacketStream {
public:
    explicit CRecorder(int width, CPacketInput* input = nullptr) : CPacketStream(input, width) {}

    bool OnPacket(CBuffer& payload) override
    {
        packets.push_back(TextOf(payload));
        return onPacket ? onPacket(*this) : true;
    }
    bool OnBadLength(bool zeroLength, uint32_t length) override
    {
        badLengths.emplace_back(zeroLength, length);
        return zeroLength ? true : answerOversize;
    }
    unsigned Feed(const std::string& bytes) { return Receive(bytes.data(), unsigned(bytes.size())); }

    std::vector<std::string> packets;
    std::vector<std::pair<bool, uint32_t>> badLengths;
    std::function<bool(CRecorder&)> onPacket;
    bool answerOversize = false;
};

// Keeps what is written and how the writes were bracketed.
class CRecordingOutput : public COutputStream {
public:
    void Begin() override { ++begins; }
    int Write(const CBuffer& data) override
    {
        bytes += TextOf(data);
        return data.GetSize();
    }
    bool End() override
    {
        ++ends;
        return endAnswer;
    }
    bool IsOpen() const override { return true; }

    std::string bytes;
    int begins = 0;
    int ends = 0;
    bool endAnswer = true;
};

// Sends each outermost batch in one go to a socket, as the client's
// socket output does.
class CSocketOutput : public COutputStream {
public:
    explicit CSocketOutput(int fd) : m_fd(fd) {}
    void Begin() override { ++m_depth; }
    int Write(const CBuffer& data) override
    {
        m_batch += TextOf(data);
        if (m_depth == 0)
            Send();
        return data.GetSize();
    }
    bool End() override
    {
        if (--m_depth == 0)
            return Send();
        return true;
    }
    bool IsOpen() const override { return true; }

private:
    bool Send()
    {
        size_t sent = 0;
        while (sent < m_batch.size()) {
            ssize_t n = ::write(m_fd, m_batch.data() + sent, m_batch.size() - sent);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += size_t(n);
        }
        m_batch.clear();
        return true;
    }

    int m_fd;
    int m_depth = 0;
    std::string m_batch;
};

// Mostly small payloads, some empty, a few up to largest (above 200).
std::vector<std::string> RandomPayloads(std::mt19937& random, int count, uint32_t largest)
{
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<std::string> payloads;
    for (int i = 0; i < count; ++i) {
        int p = percent(random);
        uint32_t size = p < 8 ? 0
                      : p < 70 ? std::uniform_int_distribution<uint32_t>(1, 200)(random)
                      : p < 99 ? std::uniform_int_distribution<uint32_t>(201, std::min(4000u, largest))(random)
                               : std::uniform_int_distribution<uint32_t>(201, largest)(random);
        std::string payload(size, '\0');
        for (char& c : payload)
            c = char(random());
        payloads.push_back(std::move(payload));
    }
    return payloads;
}

// Sends every payload from a thread through one end of a socket pair and
// feeds what the other end reads, in reads of up to maxChunk bytes, to a
// stream; returns what the stream delivered.
std::vector<std::string> OverSocket(int width, const std::vector<std::string>& payloads, int maxChunk,
                                    uint32_t seed)
{
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    std::thread writer([&] {
        CSocketOutput out(fds[0]);
        for (const std::string& payload : payloads) {
            if (width == 4) {
                CPacketStream::SendPacket(out, BufferOf(payload));
            } else {
                out.Begin();
                out.Write(BufferOf(Frame(2, payload)));
                out.End();
            }
        }
        ::close(fds[0]);
    });

    CRecorder stream(width);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> chunk(1, maxChunk);
    std::vector<char> buffer(static_cast<size_t>(maxChunk));
    for (;;) {
        ssize_t n = ::read(fds[1], buffer.data(), size_t(chunk(random)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        EXPECT_EQ(stream.Receive(buffer.data(), unsigned(n)), unsigned(n));
    }
    writer.join();
    ::close(fds[1]);
    return stream.packets;
}

TEST(PacketStreamSocket, TenThousandPacketsSplitAtRandomPoints)
{
    std::mt19937 random(42);
    std::vector<std::string> payloads = RandomPayloads(random, 10000, 100000);
    EXPECT_EQ(OverSocket(4, payloads, 3000, 7), payloads);
}

TEST(PacketStreamSocket, WidthTwo)
{
    std::mt19937 random(43);
    std::vector<std::string> payloads = RandomPayloads(random, 3000, 65535);
    payloads.push_back(std::string(65535, 'z'));
    payloads.push_back(std::string());
    EXPECT_EQ(OverSocket(2, payloads, 5000, 8), payloads);
}

TEST(PacketStreamSocket, OneByteAtATime)
{
    std::mt19937 random(44);
    std::vector<std::string> payloads = RandomPayloads(random, 300, 2000);
    EXPECT_EQ(OverSocket(4, payloads, 1, 9), payloads);
}

TEST(PacketStreamFraming, DocumentedCases)
{
    const std::string abc("\x03\x00\x00\x00" "abc", 7);

    CRecorder whole(4);
    EXPECT_EQ(whole.Feed(abc), 7u);
    EXPECT_EQ(whole.packets, std::vector<std::string>{"abc"});

    CRecorder bytewise(4);
    for (size_t i = 0; i < abc.size(); ++i) {
        EXPECT_EQ(bytewise.Feed(abc.substr(i, 1)), 1u);
        EXPECT_EQ(bytewise.packets.size(), i + 1 == abc.size() ? 1u : 0u);
    }
    EXPECT_EQ(bytewise.packets, std::vector<std::string>{"abc"});

    CRecorder two(4);
    EXPECT_EQ(two.Feed(Frame(4, "first") + Frame(4, "second")), 19u);
    EXPECT_EQ(two.packets, (std::vector<std::string>{"first", "second"}));

    CRecorder narrow(2);
    EXPECT_EQ(narrow.Feed(std::string("\x02\x00" "xy", 4)), 4u);
    EXPECT_EQ(narrow.packets, std::vector<std::string>{"xy"});
}

TEST(PacketStreamBadLength, ZeroLength)
{
    CPacketStream base(nullptr, 4);
    EXPECT_EQ(base.Receive("\0\0\0\0", 4), 4u);
    EXPECT_TRUE(base.IsActive());

    CRecorder goOn(4);
    EXPECT_EQ(goOn.Feed(Frame(4, "") + Frame(4, "after")), 13u);
    EXPECT_EQ(goOn.packets, (std::vector<std::string>{"", "after"}));
    ASSERT_EQ(goOn.badLengths.size(), 1u);
    EXPECT_TRUE(goOn.badLengths[0].first);

    struct CStopOnZero : CRecorder {
        CStopOnZero() : CRecorder(4) {}
        bool OnBadLength(bool, uint32_t) override { return false; }
    } stop;
    EXPECT_EQ(stop.Feed(Frame(4, "") + Frame(4, "ignored")), 4u);
    EXPECT_FALSE(stop.IsActive());
    EXPECT_EQ(stop.Feed(Frame(4, "later")), 0u);
    EXPECT_TRUE(stop.packets.empty());
}

TEST(PacketStreamBadLength, OversizeLengthsAreRefused)
{
    CRecorder stream(4);
    EXPECT_EQ(stream.GetMaxPacketLength(), 1u << 20);
    std::string huge("\xFF\xFF\xFF\xFF", 4);
    EXPECT_EQ(stream.Feed(huge + "payload"), 4u);
    EXPECT_FALSE(stream.IsActive());
    ASSERT_EQ(stream.badLengths.size(), 1u);
    EXPECT_EQ(stream.badLengths[0], std::make_pair(false, 0xFFFFFFFFu));
    EXPECT_EQ(stream.Feed(Frame(4, "x")), 0u);

    // Just above the maximum is refused, the maximum itself is not.
    CRecorder edge(4);
    edge.SetMaxPacketLength(100);
    std::string wire = Frame(4, std::string(100, 'a'));
    EXPECT_EQ(edge.Feed(wire), wire.size());
    EXPECT_EQ(edge.Feed(Frame(4, std::string(101, 'b'))), 4u);
    EXPECT_EQ(edge.packets.size(), 1u);

    CRecorder narrow(2);
    narrow.SetMaxPacketLength(1u << 20);
    EXPECT_EQ(narrow.GetMaxPacketLength(), 65535u);
}

TEST(PacketStreamBadLength, OversizePayloadSkippedWhenTheHandlerGoesOn)
{
    CRecorder stream(4);
    stream.answerOversize = true;
    stream.SetMaxPacketLength(100);
    std::string wire = Frame(4, "one") + Frame(4, std::string(5000, 'x')) + Frame(4, "two");
    for (size_t pos = 0; pos < wire.size(); pos += 700)
        EXPECT_EQ(stream.Feed(wire.substr(pos, 700)), std::min<size_t>(700, wire.size() - pos));
    EXPECT_EQ(stream.packets, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(stream.badLengths, (std::vector<std::pair<bool, uint32_t>>{{false, 5000}}));
    EXPECT_TRUE(stream.IsActive());
}

TEST(PacketStreamHandlers, FalseStopsTheInputAtHand)
{
    CRecorder stream(4);
    stream.onPacket = [](CRecorder& s) { return s.packets.size() != 1; };
    std::string wire = Frame(4, "abc") + Frame(4, "def");
    EXPECT_EQ(stream.Feed(wire), 7u);
    EXPECT_EQ(stream.packets, std::vector<std::string>{"abc"});
    EXPECT_TRUE(stream.IsActive());
    EXPECT_EQ(stream.Feed(wire.substr(7)), 7u);
    EXPECT_EQ(stream.packets, (std::vector<std::string>{"abc", "def"}));

    // The same for a packet that was staged across inputs.
    CRecorder staged(4);
    staged.onPacket = [](CRecorder&) { return false; };
    EXPECT_EQ(staged.Feed(wire.substr(0, 5)), 5u);
    EXPECT_EQ(staged.Feed(wire.substr(5)), 2u);
    EXPECT_EQ(staged.packets, std::vector<std::string>{"abc"});
}

// A handler that deletes its own stream, as a connection closed by a
// packet does; the sanitizer build catches any touch afterwards.
class CSelfDeleting : public CPacketStream {
public:
    CSelfDeleting(int* deliveries, bool answer) : CPacketStream(nullptr, 4), m_deliveries(deliveries), m_answer(answer) {}
    bool OnPacket(CBuffer&) override
    {
        ++*m_deliveries;
        bool answer = m_answer;
        delete this;
        return answer;
    }
    bool OnBadLength(bool, uint32_t) override
    {
        delete this;
        return true;
    }

private:
    int* m_deliveries;
    bool m_answer;
};

TEST(PacketStreamHandlers, HandlerMayDeleteTheStream)
{
    std::string wire = Frame(4, "abc") + Frame(4, "def") + Frame(4, "ghi");
    for (bool answer : {true, false}) {
        int deliveries = 0;
        CPacketStream* direct = new CSelfDeleting(&deliveries, answer);
        EXPECT_EQ(direct->Receive(wire.data(), unsigned(wire.size())), 7u);
        EXPECT_EQ(deliveries, 1);

        deliveries = 0;
        CPacketStream* staged = new CSelfDeleting(&deliveries, answer);
        EXPECT_EQ(staged->Receive(wire.data(), 5), 5u);
        EXPECT_EQ(staged->Receive(wire.data() + 5, unsigned(wire.size() - 5)), 2u);
        EXPECT_EQ(deliveries, 1);
    }
    CPacketStream* zero = new CSelfDeleting(nullptr, true);
    EXPECT_EQ(zero->Receive("\0\0\0\0rest", 8), 4u);

    // Deleted while replaying queued input.
    int deliveries = 0;
    CPacketStream* paused = new CSelfDeleting(&deliveries, true);
    paused->Pause();
    EXPECT_EQ(paused->Receive(wire.data(), unsigned(wire.size())), unsigned(wire.size()));
    paused->Resume();
    EXPECT_EQ(deliveries, 1);
}

TEST(PacketStreamHandlers, PauseQueuesAndResumeReplaysInOrder)
{
    CRecorder stream(4);
    stream.onPacket = [](CRecorder& s) {
        if (s.packets.size() == 1)
            s.Pause();
        return true;
    };
    std::string first = Frame(4, "one") + Frame(4, "two") + Frame(4, "thr");
    EXPECT_EQ(stream.Feed(first.substr(0, 10)), 10u);
    EXPECT_TRUE(stream.IsPaused());
    EXPECT_EQ(stream.GetQueuedBytes(), 3u);
    EXPECT_EQ(stream.Feed(first.substr(10)), first.size() - 10);
    EXPECT_EQ(stream.packets, std::vector<std::string>{"one"});
    EXPECT_EQ(stream.GetQueuedBytes(), first.size() - 7);

    stream.Resume();
    EXPECT_FALSE(stream.IsPaused());
    EXPECT_EQ(stream.GetQueuedBytes(), 0u);
    EXPECT_EQ(stream.packets, (std::vector<std::string>{"one", "two", "thr"}));
    EXPECT_EQ(stream.Feed(Frame(4, "four")), 8u);
    EXPECT_EQ(stream.packets.back(), "four");
}

TEST(PacketStreamInput, SourceCallsTheStream)
{
    CPacketInput* owned = new CPacketInput();
    {
        CRecorder stream(4, owned);
        std::string wire = Frame(4, "via input");
        EXPECT_EQ(owned->Deliver(wire.data(), unsigned(wire.size())), unsigned(wire.size()));
        EXPECT_EQ(stream.packets, std::vector<std::string>{"via input"});

        CPacketInput attached;
        stream.SetInput(&attached); // deletes the owned source
        EXPECT_EQ(attached.Deliver(wire.data(), unsigned(wire.size())), unsigned(wire.size()));
        EXPECT_EQ(stream.packets.size(), 2u);
        stream.SetInput(nullptr);
        EXPECT_FALSE(attached.HasReceiver());
        EXPECT_EQ(attached.Deliver(wire.data(), unsigned(wire.size())), 0u);
    }
    CPacketInput outlives;
    {
        CRecorder stream(4);
        stream.SetInput(&outlives);
        EXPECT_TRUE(outlives.HasReceiver());
    }
    EXPECT_FALSE(outlives.HasReceiver());
}

TEST(PacketStreamSend, PacketAndFile)
{
    CRecordingOutput out;
    EXPECT_TRUE(CPacketStream::SendPacket(out, BufferOf("hello")));
    EXPECT_EQ(out.bytes, std::string("\x05\x00\x00\x00hello", 9));
    EXPECT_EQ(out.begins, 1);
    EXPECT_EQ(out.ends, 1);
    out.endAnswer = false;
    EXPECT_FALSE(CPacketStream::SendPacket(out, BufferOf("x")));

    std::string contents(3000, '\0');
    for (size_t i = 0; i < contents.size(); ++i)
        contents[i] = char(i * 7);
    CMemFile file;
    ASSERT_TRUE(file.Open("payload", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate));
    ASSERT_TRUE(file.Write(contents.data(), unsigned(contents.size())));
    ASSERT_TRUE(file.Seek(1000, CFile::kSeekStart));

    CRecordingOutput sent;
    EXPECT_TRUE(CPacketStream::SendFile(sent, file));
    EXPECT_EQ(sent.begins, 1);
    EXPECT_EQ(sent.ends, 1);
    CRecorder back(4);
    EXPECT_EQ(back.Feed(sent.bytes), 3004u);
    EXPECT_EQ(back.packets, std::vector<std::string>{contents});
}

TEST(DataQueue, FillsFixedBlocks)
{
    CDataQueue queue(1024);
    std::string bytes(2500, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i);
    queue.Write(bytes.data(), 2500);
    EXPECT_EQ(queue.GetSize(), 2500u);
    EXPECT_EQ(queue.GetBlockCount(), 3);
    EXPECT_EQ(queue.GetQueuedBlockCount(), 3);
    std::string back(2500, '\0');
    EXPECT_EQ(queue.Peek(&back[0], 2500), 2500);
    EXPECT_EQ(back, bytes);

    queue.Write(bytes.data(), 0);
    queue.Write(bytes.data(), -5);
    EXPECT_EQ(queue.GetSize(), 2500u);
}

// Random writes and reads against a deque; blocks are recycled, so the
// number made stays bounded by the most bytes ever held.
TEST(DataQueue, AgreesWithADequeAndRecyclesBlocks)
{
    CDataQueue queue(64);
    std::deque<char> model;
    std::mt19937 random(5);
    size_t most = 0;
    for (int step = 0; step < 20000; ++step) {
        int n = std::uniform_int_distribution<int>(0, 300)(random);
        if (random() % 2) {
            std::string bytes(size_t(n), '\0');
            for (char& c : bytes)
                c = char(random());
            queue.Write(bytes.data(), n);
            model.insert(model.end(), bytes.begin(), bytes.end());
        } else {
            std::string bytes(size_t(n), '\0');
            int got = queue.Read(&bytes[0], n);
            ASSERT_EQ(size_t(got), std::min(size_t(n), model.size()));
            ASSERT_TRUE(std::equal(bytes.begin(), bytes.begin() + got, model.begin()));
            model.erase(model.begin(), model.begin() + got);
        }
        ASSERT_EQ(queue.GetSize(), model.size());
        most = std::max(most, model.size());
        ASSERT_LE(queue.GetBlockCount(), int(most / 64) + 2);
    }
    int blocks = queue.GetBlockCount();
    queue.Clear();
    EXPECT_TRUE(queue.IsEmpty());
    std::string refill(size_t(blocks) * 64, 'r');
    queue.Write(refill.data(), int(refill.size()));
    EXPECT_EQ(queue.GetBlockCount(), blocks);
}

} // namespace
