#include "foundation/PacketHeader.h"

#include "foundation/File.h"

using Zorlin::CFile;
using Zorlin::CString;

CPacketHeader::CPacketHeader() : m_length(kShortLength), m_type(pktNull), m_flags(0), m_id(0) {}

CPacketHeader::CPacketHeader(uint32_t type) : m_length(kShortLength), m_type(type), m_flags(0), m_id(0) {}

CPacketHeader::CPacketHeader(uint32_t type, uint32_t id)
    : m_length(kLongLength), m_type(type), m_flags(kFlagHasId), m_id(id)
{
}

bool CPacketHeader::Write(CFile& out) const
{
    if (!out.IsOpen() || !out.IsWritable())
        return false;
    unsigned char bytes[8] = {
        (unsigned char)m_length, (unsigned char)m_type, (unsigned char)(m_flags & 0xFF),
        (unsigned char)(m_flags >> 8 & 0xFF), (unsigned char)(m_id & 0xFF), (unsigned char)(m_id >> 8 & 0xFF),
        (unsigned char)(m_id >> 16 & 0xFF), (unsigned char)(m_id >> 24 & 0xFF),
    };
    const unsigned count = HasId() ? 8 : 4;
    return out.Write(bytes, count) && out.GetLastWriteCount() == count;
}

bool CPacketHeader::Read(CFile& in)
{
    if (!in.IsOpen() || !in.IsReadable())
        return false;
    const unsigned start = in.GetPosition32();
    const uint32_t size = in.GetSize32();
    if (size == 0xFFFFFFFFu || start > size || size - start < 4)
        return false;
    unsigned char bytes[4];
    if (!in.Read(bytes, 4) || in.GetLastReadCount() != 4)
        return false;
    CPacketHeader read;
    read.m_length = bytes[0];
    read.m_type = bytes[1];
    read.m_flags = uint32_t(bytes[2]) | uint32_t(bytes[3]) << 8;
    if (read.m_length < kShortLength || (read.HasId() && read.m_length < kLongLength))
        return false;
    // The whole announced header must be there, also the part we skip.
    if (size - start < read.m_length)
        return false;
    if (read.HasId()) {
        unsigned char id[4];
        if (!in.Read(id, 4) || in.GetLastReadCount() != 4)
            return false;
        read.m_id = uint32_t(id[0]) | uint32_t(id[1]) << 8 | uint32_t(id[2]) << 16 | uint32_t(id[3]) << 24;
    }
    if (!in.Seek(int(start + read.m_length), CFile::kSeekStart))
        return false;
    *this = read;
    return true;
}

const char* CPacketHeader::GetPacketTypeName(uint32_t type)
{
    static const char* const client[] = {
        "pktNull", "pktPing", "pktPong", "pktCommandFromClient", "pktProtocol", "pktLogin", "pktEndSession",
        "pktGet", "pktSet", "pktInfo", "pktSearch", "pktSearchMatch", "pktSearchFail", "pktConnectRequest",
        "pktConnectAccepted", "pktConnectRejected", "pktCloseConnection", "pktRequestForward", "pktSendChat",
        "pktRequestNotify", "pktKeepAlive",
    };
    static const char* const server[] = {
        "pktCommandFromServer", "pktId", "pktLoggedInOK", "pktKick", "pktSearching", "pktAdminMessage",
        "pktAlert", "pktConnectInvite", "pktConnectionEstablished", "pktConnectFailed", "pktConnectionClosed",
        "pktConnectionBroken", "pktForward", "pktChat", "pktGetResults", "pktNotify", "pktSearchRejected",
    };
    const uint32_t clientCount = sizeof(client) / sizeof(client[0]);
    const uint32_t serverCount = sizeof(server) / sizeof(server[0]);
    if (type < clientCount)
        return client[type];
    if (type >= pktCommandFromServer && type - pktCommandFromServer < serverCount)
        return server[type - pktCommandFromServer];
    return "unknown packet";
}

// ------------------------------------------------------------ text fields

namespace WireText {

bool WriteLine(CFile& out, const CString& text, int maxLength)
{
    CString line(text.GetText());
    line.Truncate(maxLength);
    line.Replace('\r', ' ');
    line.Replace('\n', ' ');
    const unsigned n = unsigned(line.GetLength());
    if (n > 0 && (!out.Write(line.GetText(), n) || out.GetLastWriteCount() != n))
        return false;
    const char end = '\n';
    return out.Write(&end, 1) && out.GetLastWriteCount() == 1;
}

bool ReadLine(CFile& in, CString& out, int maxLength)
{
    if (in.ReadLine(out, maxLength))
        return true;
    if (out.GetLength() < maxLength)
        return false; // the end of the body
    // Too long: keep the start, drop the rest of the line.
    CString rest;
    while (!in.ReadLine(rest, 4096) && rest.GetLength() == 4096) {
    }
    return true;
}

void ReadRest(CFile& in, CString& out, int maxLength)
{
    out = "";
    const uint32_t size = in.GetSize32();
    const unsigned position = in.GetPosition32();
    if (size == 0xFFFFFFFFu || position >= size)
        return;
    uint32_t count = size - position;
    if (count > uint32_t(maxLength))
        count = uint32_t(maxLength);
    out.SetLength(int(count));
    if (!in.Read(out.GetBuffer(), count))
        count = 0;
    out.Truncate(int(in.GetLastReadCount() < count ? in.GetLastReadCount() : count));
}

} // namespace WireText
