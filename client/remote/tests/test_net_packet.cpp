// The direct network game's frames and payloads: the bytes each message
// makes, reading them back, and a peer that sends garbage or stops early.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "client/remote/NetPacket.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/BufferFile.h"

using RemoteTest::BufferOf;
using RemoteTest::Bytes;
using RemoteTest::CScriptedBytes;
using RemoteTest::Le;
using RemoteTest::NetFrame;
using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

// A file over a copy of the payload, as the dispatcher gives handlers.
struct SPayload {
    explicit SPayload(const std::string& bytes) : buffer(BufferOf(bytes))
    {
        file.reset(new CBufferFile(&buffer));
        file->Open("payload", CFile::kModeRead);
    }
    explicit SPayload(const CBuffer& payload) : SPayload(Bytes(payload)) {}
    CBuffer buffer;
    std::unique_ptr<CBufferFile> file;
};

} // namespace

TEST(NetPacket, FramesAreTheDocumentedBytes)
{
    CBuffer chat = NetPacket::Chat("Ann", "hi");
    EXPECT_EQ(Bytes(NetPacket::Frame(netpktChat, &chat)),
              std::string("\x0B\0\0\0\x05\0\0\0Ann\0hi\0", 15));
    CBuffer version = NetPacket::Uint32(NetPacket::kProtocolVersion);
    EXPECT_EQ(Bytes(NetPacket::Frame(netpktProtocol, &version)),
              std::string("\x08\0\0\0\x02\0\0\0\x02\0\0\0", 12));
    EXPECT_EQ(Bytes(NetPacket::Frame(netpktResign)), std::string("\x04\0\0\0\x11\0\0\0", 8));
    EXPECT_EQ(NetPacket::Identity(1, "").GetSize(), 4);
    EXPECT_EQ(Bytes(NetPacket::Identity(1, "AB12")), Le(1) + "AB12");
    EXPECT_EQ(Bytes(NetPacket::Move("exd8=Q+")), std::string("exd8=Q+\0", 8));
    EXPECT_EQ(NetPacket::PenClear().GetSize(), 4);
    float x = 1.5f, y = -0.25f;
    std::string pen = Bytes(NetPacket::Pen(x, y));
    ASSERT_EQ(pen.size(), 12u);
    EXPECT_EQ(pen.substr(0, 4), Le(1));
    EXPECT_EQ(0, std::memcmp(pen.data() + 4, &x, 4));
    EXPECT_EQ(0, std::memcmp(pen.data() + 8, &y, 4));
}

TEST(NetPacket, SendWritesTheWholeFrameOnceAndReportsARefusal)
{
    CScriptedBytes device;
    CBuffer move = NetPacket::Move("Nf3");
    EXPECT_TRUE(NetPacket::Send(device, netpktMove, &move));
    EXPECT_TRUE(NetPacket::Send(device, netpktOfferDraw));
    EXPECT_EQ(device.m_written, NetFrame(netpktMove, std::string("Nf3\0", 4)) + NetFrame(netpktOfferDraw, ""));
    device.m_refuseWrites = true;
    EXPECT_FALSE(NetPacket::Send(device, netpktResign));
}

TEST(NetPacket, PayloadsRoundTrip)
{
    {
        SPayload p(NetPacket::Chat("Ann", "hello there"));
        CString name, text;
        ASSERT_TRUE(NetPacket::ReadChat(*p.file, name, text));
        EXPECT_STREQ(name.GetText(), "Ann");
        EXPECT_STREQ(text.GetText(), "hello there");
    }
    {
        SPayload p(NetPacket::Move("O-O-O"));
        CString san;
        ASSERT_TRUE(NetPacket::ReadMove(*p.file, san));
        EXPECT_STREQ(san.GetText(), "O-O-O");
    }
    {
        SPayload p(NetPacket::Pen(0.125f, 7.75f));
        float x = 0, y = 0;
        ASSERT_TRUE(NetPacket::ReadPen(*p.file, x, y));
        EXPECT_EQ(x, 0.125f);
        EXPECT_EQ(y, 7.75f);
    }
    for (uint32_t colour : {0u, 1u}) {
        for (const char* id : {"", "7F3A0C11FFFFFFFE"}) {
            SPayload p(NetPacket::Identity(colour, id));
            uint32_t readColour = 9;
            CString readId("stale");
            ASSERT_TRUE(NetPacket::ReadIdentity(*p.file, readColour, readId));
            EXPECT_EQ(readColour, colour);
            EXPECT_STREQ(readId.GetText(), id);
        }
    }
    {
        const std::string saved = "game\r\n{\r\n  type=NetworkGame\r\n}\r\nyou=white\r\n";
        SPayload p(NetPacket::Bytes(saved.data(), uint32_t(saved.size())));
        CString text;
        ASSERT_TRUE(NetPacket::ReadSavedGame(*p.file, text));
        EXPECT_EQ(std::string(text.GetText()), saved);
    }
    {
        SPayload p(NetPacket::Uint32(12));
        uint32_t keep = 0;
        ASSERT_TRUE(NetPacket::ReadUint32(*p.file, keep));
        EXPECT_EQ(keep, 12u);
    }
}

TEST(NetPacket, OutgoingTextsAreCutToTheirBounds)
{
    const std::string longName(100, 'n'), longText(20000, 't');
    SPayload p(NetPacket::Chat(longName.c_str(), longText.c_str()));
    CString name, text;
    ASSERT_TRUE(NetPacket::ReadChat(*p.file, name, text));
    EXPECT_EQ(name.GetLength(), NetPacket::kMaxName);
    EXPECT_EQ(text.GetLength(), NetPacket::kMaxChat);
}

TEST(NetPacket, MalformedPayloadsAreRefusedAndChangeNothing)
{
    CString name("keep"), text("keep"), san("keep"), id("keep");
    uint32_t value = 77, colour = 77;
    float x = 3, y = 4;
    EXPECT_FALSE(NetPacket::ReadChat(*SPayload(std::string("Ann\0hi", 6)).file, name, text)); // no terminator
    EXPECT_FALSE(NetPacket::ReadChat(*SPayload(std::string("Ann", 3)).file, name, text));
    EXPECT_FALSE(NetPacket::ReadChat(*SPayload(std::string(41, 'n') + '\0' + "hi" + '\0').file, name, text));
    EXPECT_FALSE(NetPacket::ReadMove(*SPayload(std::string(33, 'e') + '\0').file, san));
    EXPECT_FALSE(NetPacket::ReadMove(*SPayload("").file, san));
    EXPECT_FALSE(NetPacket::ReadUint32(*SPayload(std::string("\x01\x02\x03", 3)).file, value));
    EXPECT_FALSE(NetPacket::ReadColour(*SPayload(Le(2)).file, colour));
    EXPECT_FALSE(NetPacket::ReadPen(*SPayload(Le(1) + Le(0)).file, x, y));
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(NetPacket::ReadPen(*SPayload(NetPacket::Pen(nan, 1)).file, x, y));
    EXPECT_FALSE(NetPacket::ReadPen(*SPayload(NetPacket::Pen(1, inf)).file, x, y));
    // Ids name files: nothing but letters and digits, 1 to 32 of them.
    for (const std::string& hostile : {std::string("../../user"), std::string("a/b"), std::string("x.cfg"),
                                       std::string(33, 'a'), std::string("ab\0cd", 5), std::string(200, 'A')})
        EXPECT_FALSE(NetPacket::ReadIdentity(*SPayload(Le(0) + hostile).file, colour, id)) << hostile;
    EXPECT_FALSE(NetPacket::ReadIdentity(*SPayload(Le(5) + "AB").file, colour, id));
    EXPECT_FALSE(NetPacket::ReadIdentity(*SPayload(std::string("\0\0", 2)).file, colour, id));
    EXPECT_FALSE(NetPacket::ReadSavedGame(*SPayload(std::string("a=b\0c", 5)).file, text));
    EXPECT_FALSE(NetPacket::ReadSavedGame(*SPayload(std::string(NetPacket::kMaxSavedGame + 1, 'x')).file, text));

    EXPECT_STREQ(name.GetText(), "keep");
    EXPECT_STREQ(text.GetText(), "keep");
    EXPECT_STREQ(san.GetText(), "keep");
    EXPECT_STREQ(id.GetText(), "keep");
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(colour, 77u);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
}

// ------------------------------------------------------------ frames

TEST(NetFrameReader, LargeFrameTakesThreeStepsAndIsDeliveredOnce)
{
    CScriptedBytes device;
    const std::string payload(2996, 'p');
    device.Queue(NetFrame(netpktRequestRestore, payload)); // length 3000, in one burst
    CNetFrameReader reader;
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kWaiting);
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kWaiting);
    ASSERT_EQ(reader.Step(device), CNetFrameReader::kFrame);
    EXPECT_EQ(reader.GetType(), uint32_t(netpktRequestRestore));
    EXPECT_EQ(Bytes(reader.GetPayload()), payload);
    // The length, then at most 1024 bytes a read: 1024, 1024 and the rest.
    const std::vector<int> asked = {4, 1024, 1024, 952};
    EXPECT_EQ(device.m_asked, asked);
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kWaiting);
}

TEST(NetFrameReader, TwoFramesTogetherComeOutInOrder)
{
    CScriptedBytes device;
    device.Queue(NetFrame(netpktMove, std::string("e4\0", 3)) + NetFrame(netpktOfferDraw, ""));
    CNetFrameReader reader;
    ASSERT_EQ(reader.Step(device), CNetFrameReader::kFrame);
    EXPECT_EQ(reader.GetType(), uint32_t(netpktMove));
    EXPECT_EQ(Bytes(reader.GetPayload()), std::string("e4\0", 3));
    ASSERT_EQ(reader.Step(device), CNetFrameReader::kFrame);
    EXPECT_EQ(reader.GetType(), uint32_t(netpktOfferDraw));
    EXPECT_EQ(reader.GetPayload().GetSize(), 0);
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kWaiting);
}

TEST(NetFrameReader, BytesSplitAnywhereMakeTheSameFrames)
{
    CBuffer chat = NetPacket::Chat("Bob", "good luck");
    const std::string stream = Bytes(NetPacket::Frame(netpktChat, &chat)) + NetFrame(netpktResign, "") +
                               NetFrame(netpktSetBoard, Le(6));
    for (size_t step : {1u, 2u, 3u, 5u, 7u}) {
        CScriptedBytes device;
        for (size_t at = 0; at < stream.size(); at += step)
            device.Queue(stream.substr(at, step));
        CNetFrameReader reader;
        std::vector<uint32_t> types;
        std::string firstPayload;
        for (int i = 0; i < 200 && types.size() < 3; ++i) {
            if (reader.Step(device) == CNetFrameReader::kFrame) {
                if (types.empty())
                    firstPayload = Bytes(reader.GetPayload());
                types.push_back(reader.GetType());
            }
        }
        const std::vector<uint32_t> expected = {netpktChat, netpktResign, netpktSetBoard};
        EXPECT_EQ(types, expected) << step;
        EXPECT_EQ(firstPayload, Bytes(chat)) << step;
    }
}

TEST(NetFrameReader, PartOfTheLengthMakesNoFrame)
{
    CScriptedBytes device;
    device.Queue(std::string("\x04\0", 2));
    CNetFrameReader reader;
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kWaiting);
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kWaiting);
    device.Queue(std::string("\0\0", 2) + Le(netpktResign));
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kFrame);
    EXPECT_EQ(reader.GetType(), uint32_t(netpktResign));
}

TEST(NetFrameReader, ImpossibleLengthsStopTheReaderForGood)
{
    for (uint32_t length : {0u, 3u, NetPacket::kMaxFrameLength + 1, 0xFFFFFFFFu}) {
        CScriptedBytes device;
        device.Queue(Le(length) + NetFrame(netpktResign, ""));
        CNetFrameReader reader;
        EXPECT_EQ(reader.Step(device), CNetFrameReader::kBad) << length;
        // Nothing after garbage is trusted, not even a good frame.
        EXPECT_EQ(reader.Step(device), CNetFrameReader::kBad);
        reader.Reset();
        EXPECT_EQ(reader.Step(device), CNetFrameReader::kFrame);
    }
}

TEST(NetFrameReader, AnnouncedLengthIsNotStoredBeforeItArrives)
{
    // A peer announces the largest frame and then sends a few bytes: the
    // reader holds what came, and the end of the stream ends it.
    CScriptedBytes device;
    device.Queue(Le(NetPacket::kMaxFrameLength) + Le(netpktProfile) + "abc");
    device.m_ended = true;
    CNetFrameReader reader;
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kWaiting);
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kEnded);
    EXPECT_EQ(reader.Step(device), CNetFrameReader::kEnded);
}

TEST(NetFrameReader, RandomGarbageNeverCrashesOrLoops)
{
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int round = 0; round < 200; ++round) {
        CScriptedBytes device;
        std::string junk;
        const int size = int(next() % 4000);
        for (int i = 0; i < size; ++i)
            junk.push_back(char(next() >> 16));
        device.Queue(junk);
        device.m_ended = true;
        CNetFrameReader reader(64 * 1024);
        int steps = 0;
        CNetFrameReader::EStep step;
        while ((step = reader.Step(device)) != CNetFrameReader::kEnded && step != CNetFrameReader::kBad) {
            ASSERT_LT(++steps, 10000);
            if (step == CNetFrameReader::kFrame) {
                SPayload p(reader.GetPayload());
                CString a, b;
                uint32_t c;
                float x, y;
                NetPacket::ReadChat(*p.file, a, b);
                p.file->Seek(0, CFile::kSeekStart);
                NetPacket::ReadIdentity(*p.file, c, a);
                p.file->Seek(0, CFile::kSeekStart);
                NetPacket::ReadPen(*p.file, x, y);
            }
        }
    }
}
