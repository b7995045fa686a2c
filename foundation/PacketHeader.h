#pragma once

// The header at the front of every online-service packet, the packet type
// numbers and the text fields of packet bodies. Only bytes and files here:
// the session builds packets with it and the tests read them back.

#include <cstdint>

#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

// The protocol's own names.
enum EPacketType {
    pktNull = 0,
    pktPing = 1,
    pktPong = 2,
    pktCommandFromClient = 3,
    pktProtocol = 4,
    pktLogin = 5,
    pktEndSession = 6,
    pktGet = 7,
    pktSet = 8,
    pktInfo = 9,
    pktSearch = 10,
    pktSearchMatch = 11,
    pktSearchFail = 12,
    pktConnectRequest = 13,
    pktConnectAccepted = 14,
    pktConnectRejected = 15,
    pktCloseConnection = 16,
    pktRequestForward = 17,
    pktSendChat = 18,
    pktRequestNotify = 19,
    pktKeepAlive = 20,

    pktCommandFromServer = 128,
    pktId = 129,
    pktLoggedInOK = 130,
    pktKick = 131,
    pktSearching = 132,
    pktAdminMessage = 133,
    pktAlert = 134,
    pktConnectInvite = 135,
    pktConnectionEstablished = 136,
    pktConnectFailed = 137,
    pktConnectionClosed = 138,
    pktConnectionBroken = 139,
    pktForward = 140,
    pktChat = 141,
    pktGetResults = 142,
    pktNotify = 143,
    pktSearchRejected = 144,
};

class CPacketHeader {
public:
    enum : uint32_t { kFlagHasId = 1 };
    static const uint32_t kShortLength = 4;
    static const uint32_t kLongLength = 8;

    // {4, 0, 0, 0}: an absent id reads as 0.
    CPacketHeader();
    // A header for sending: with an id, length 8 and the id flag.
    explicit CPacketHeader(uint32_t type);
    CPacketHeader(uint32_t type, uint32_t id);

    // Length, type and flags, and the id when the flag is set. False unless
    // out is open and writable and took every byte.
    bool Write(Zorlin::CFile& out) const;
    // False unless in is open, readable and holds the whole header; a
    // header longer than it needs is skipped to its length.
    bool Read(Zorlin::CFile& in);

    bool HasId() const { return (m_flags & kFlagHasId) != 0; }
    const char* GetTypeName() const { return GetPacketTypeName(m_type); }
    static const char* GetPacketTypeName(uint32_t type);

    uint32_t m_length;
    uint32_t m_type;
    uint32_t m_flags;
    uint32_t m_id;
};

// Bounds for the text fields of packets, ours and the server's.
namespace WireText {
const int kMaxName = 40;
const int kMaxChat = 8192;
// An administrator's or kick message (HTML) and any other body read whole.
const int kMaxRest = 16384;
// Any other line: an account, a location, a key of a search.
const int kMaxLine = 1024;

// One field: its text, at most maxLength characters, with any CR or LF in
// it made a blank so it stays one line, then one LF.
bool WriteLine(Zorlin::CFile& out, const Zorlin::CString& text, int maxLength = kMaxLine);
// Up to the next line end (LF, CR LF or CR). A longer line keeps its first
// maxLength characters and the rest of it is skipped, so the fields after
// it stay in place. False at the end of the body.
bool ReadLine(Zorlin::CFile& in, Zorlin::CString& out, int maxLength = kMaxLine);
// The rest of the body as text, at most maxLength characters of it.
void ReadRest(Zorlin::CFile& in, Zorlin::CString& out, int maxLength = kMaxRest);
} // namespace WireText
