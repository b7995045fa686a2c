// The online packet header and the text fields of packet bodies, on the
// bytes the server sees.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "foundation/PacketHeader.h"
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"

using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

std::string Bytes(const CBuffer& buffer)
{
    return buffer.GetSize() > 0 ? std::string(reinterpret_cast<const char*>(buffer.GetData()), size_t(buffer.GetSize()))
                                : std::string();
}

// A readable file over a copy of the bytes.
struct SReader {
    explicit SReader(const std::string& bytes)
    {
        buffer.Resize(int(bytes.size()));
        if (!bytes.empty())
            buffer.WriteAt(bytes.data(), int(bytes.size()), 0);
        file.reset(new CBufferFile(&buffer, CFile::kLineLf));
        file->Open("packet", CFile::kModeRead);
    }
    CBuffer buffer;
    std::unique_ptr<CBufferFile> file;
};

std::string Written(const std::function<void(CFile&)>& write)
{
    CBufferFile file;
    file.SetLineStyle(CFile::kLineLf);
    file.Open("packet", CFile::kModeWrite | CFile::kModeRead);
    write(file);
    return file.GetBuffer() ? Bytes(*file.GetBuffer()) : std::string();
}

} // namespace

TEST(PacketHeader, WritesShortAndLongForms)
{
    EXPECT_EQ(Written([](CFile& f) { EXPECT_TRUE(CPacketHeader(pktKeepAlive).Write(f)); }),
              std::string("\x04\x14\x00\x00", 4));
    EXPECT_EQ(Written([](CFile& f) { EXPECT_TRUE(CPacketHeader(pktSendChat, 0x01020304).Write(f)); }),
              std::string("\x08\x12\x01\x00\x04\x03\x02\x01", 8));
}

TEST(PacketHeader, RoundTripsEveryTypeWithAndWithoutId)
{
    for (uint32_t type : {uint32_t(pktNull), uint32_t(pktLogin), uint32_t(pktKeepAlive), uint32_t(pktId),
                          uint32_t(pktForward), uint32_t(pktSearchRejected), 255u}) {
        for (bool withId : {false, true}) {
            CPacketHeader sent = withId ? CPacketHeader(type, 0xDEADBEEF) : CPacketHeader(type);
            SReader reader(Written([&](CFile& f) { sent.Write(f); }) + "body");
            CPacketHeader read;
            ASSERT_TRUE(read.Read(*reader.file));
            EXPECT_EQ(read.m_type, type);
            EXPECT_EQ(read.m_id, withId ? 0xDEADBEEFu : 0u);
            EXPECT_EQ(read.HasId(), withId);
            EXPECT_EQ(reader.file->GetPosition(), withId ? 8u : 4u);
        }
    }
}

TEST(PacketHeader, LongerHeaderIsSkippedToItsLength)
{
    SReader reader(std::string("\x0C\x8C\x01\x00\x2A\x00\x00\x00XXXXrest", 16));
    CPacketHeader header;
    ASSERT_TRUE(header.Read(*reader.file));
    EXPECT_EQ(header.m_type, uint32_t(pktForward));
    EXPECT_EQ(header.m_id, 42u);
    CString rest;
    WireText::ReadRest(*reader.file, rest);
    EXPECT_EQ(std::string(rest.GetText()), "rest");
}

TEST(PacketHeader, MalformedHeadersAreRefusedAndLeaveTheHeaderAlone)
{
    const std::string bad[] = {
        std::string(),                               // nothing
        std::string("\x04\x14\x00", 3),              // short
        std::string("\x04\x8C\x01\x00\x01\x00\x00\x00", 8), // id flag with length 4
        std::string("\x08\x8C\x01\x00\x01\x00", 6),  // id cut short
        std::string("\x02\x14\x00\x00", 4),          // a length below the fields
        std::string("\xFF\x14\x00\x00rest", 8),      // announces more than there is
    };
    for (const std::string& bytes : bad) {
        SReader reader(bytes);
        CPacketHeader header(pktChat, 7);
        EXPECT_FALSE(header.Read(*reader.file)) << bytes.size();
        EXPECT_EQ(header.m_type, uint32_t(pktChat));
        EXPECT_EQ(header.m_id, 7u);
    }
    SReader readOnly("");
    EXPECT_FALSE(CPacketHeader(pktPing).Write(*readOnly.file));
}

TEST(PacketHeader, NamesFollowTheTables)
{
    EXPECT_STREQ(CPacketHeader::GetPacketTypeName(pktNull), "pktNull");
    EXPECT_STREQ(CPacketHeader::GetPacketTypeName(pktKeepAlive), "pktKeepAlive");
    EXPECT_STREQ(CPacketHeader::GetPacketTypeName(pktCommandFromServer), "pktCommandFromServer");
    EXPECT_STREQ(CPacketHeader::GetPacketTypeName(pktSearchRejected), "pktSearchRejected");
    EXPECT_STREQ(CPacketHeader(pktChat).GetTypeName(), "pktChat");
    for (uint32_t unknown : {21u, 127u, 145u, 255u, 100000u})
        EXPECT_STREQ(CPacketHeader::GetPacketTypeName(unknown), "unknown packet");
}

TEST(WireText, LinesRoundTripAndStayOneLineEach)
{
    const std::string bytes = Written([](CFile& f) {
        EXPECT_TRUE(WireText::WriteLine(f, "Ann"));
        EXPECT_TRUE(WireText::WriteLine(f, ""));
        EXPECT_TRUE(WireText::WriteLine(f, "two\nlines\r"));
        EXPECT_TRUE(WireText::WriteLine(f, CString(std::string(60, 'n').c_str()), WireText::kMaxName));
    });
    EXPECT_EQ(bytes, "Ann\n\ntwo lines \n" + std::string(40, 'n') + "\n");
    SReader reader(bytes);
    CString line;
    const char* expected[] = {"Ann", "", "two lines ", nullptr};
    for (const char* text : expected) {
        ASSERT_TRUE(WireText::ReadLine(*reader.file, line));
        EXPECT_EQ(std::string(line.GetText()), text ? text : std::string(40, 'n'));
    }
    EXPECT_FALSE(WireText::ReadLine(*reader.file, line));
}

TEST(WireText, OverlongLineIsCutAndTheNextFieldStaysInPlace)
{
    SReader reader(std::string(100000, 'x') + "\nnext\n" + std::string(50, 'r'));
    CString line;
    ASSERT_TRUE(WireText::ReadLine(*reader.file, line, WireText::kMaxName));
    EXPECT_EQ(line.GetLength(), WireText::kMaxName);
    ASSERT_TRUE(WireText::ReadLine(*reader.file, line, WireText::kMaxName));
    EXPECT_EQ(std::string(line.GetText()), "next");
    CString rest;
    WireText::ReadRest(*reader.file, rest, 20);
    EXPECT_EQ(std::string(rest.GetText()), std::string(20, 'r'));
}

TEST(WireText, RestOfAnEmptyBodyIsEmpty)
{
    SReader reader(std::string("\x04\x85\x00\x00", 4));
    CPacketHeader header;
    ASSERT_TRUE(header.Read(*reader.file));
    EXPECT_EQ(header.m_type, uint32_t(pktAdminMessage));
    CString rest("stale");
    WireText::ReadRest(*reader.file, rest);
    EXPECT_TRUE(rest.IsEmpty());
}
