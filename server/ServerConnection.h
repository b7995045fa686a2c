#pragma once

// One player's connection as the server holds it: the socket, the packet
// framer over its input, the bytes waiting to go out, and what the player
// has told the server.

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "foundation/PacketStream.h"
#include "server/SearchTerms.h"

class CGridmoorServer;
class CServerConnection;

// Bytes waiting for the socket, in order, each counted to the player whose
// message it carries (0: the server's own), so that one sender filling a
// reader's queue is told apart from a reader that does not read.
class COutputQueue {
public:
    // One framed packet: the length, the header (with the id when not 0)
    // and the body, written in place; sender is the player it comes from.
    void AppendPacket(uint32_t type, uint32_t id, const void* body, size_t size, uint32_t sender = 0);

    size_t GetSize() const { return m_bytes.size() - m_head; }
    bool IsEmpty() const { return GetSize() == 0; }
    const char* GetFront() const { return m_bytes.data() + m_head; }
    void Consume(size_t n);
    // The bytes still waiting that came from sender.
    size_t GetQueuedFrom(uint32_t sender) const;
    // The bytes still waiting that the server wrote itself.
    size_t GetOwnSize() const { return GetSize() - m_forwarded; }

private:
    // A run of consecutive bytes from one sender.
    struct SRun {
        uint32_t sender;
        size_t bytes;
    };
    void Count(uint32_t sender, size_t bytes);

    std::string m_bytes;
    size_t m_head = 0;
    std::vector<SRun> m_runs; // in queue order, from m_firstRun on
    size_t m_firstRun = 0;
    // Bytes waiting per sender (few: a reader has one link at a time).
    std::vector<SRun> m_bySender;
    size_t m_forwarded = 0;
};

class CConnectionStream : public Zorlin::CPacketStream {
public:
    CConnectionStream(CGridmoorServer& server, CServerConnection& connection);
    bool OnPacket(Zorlin::CBuffer& payload) override;
    bool OnBadLength(bool zeroLength, uint32_t length) override;

private:
    CGridmoorServer& m_server;
    CServerConnection& m_connection;
};

class CServerConnection {
public:
    enum EStage {
        kOpening,  // waiting for the opening text
        kProtocol, // waiting for the protocol packet
        kLogin,    // waiting for the login
        kLoggedIn,
        kClosing,  // told why it ends; only draining its input
    };

    CServerConnection(CGridmoorServer& server, int fd, std::string host, int port, int64_t now);

    int fd;                  // -1 once closed
    std::string host;        // the peer's address without the port
    std::string address;     // host and port, for the log
    bool placed = false;     // holds a player's place, not only a refusal
    int64_t openedAt;
    // Its place in the server's list of connections without a player yet.
    std::list<CServerConnection*>::iterator unsettledAt;
    bool unsettled = false;
    EStage stage = kOpening;
    size_t openingMatched = 0; // bytes of the opening text seen so far
    uint32_t id = 0;           // given at login
    CConnectionStream stream;
    COutputQueue output;
    bool wantsOutput = false; // the socket is watched for room to write
    bool dirty = false;       // queued bytes not yet offered to the socket
    bool dead = false;        // closed at the end of this turn of the loop
    int64_t lastHeard;
    int64_t closeBy = 0; // a closing connection is cut off at this time

    // Not read while a reader holds too many of its bytes; the reader's id
    // and since when. Readers list the senders they hold.
    bool readPaused = false;
    uint32_t pausedFor = 0;
    int64_t pausedAt = 0;
    bool pauseLogged = false; // once a link: the log is not a flood's echo
    std::vector<uint32_t> heldSenders;

    uint32_t peer = 0;         // the linked player's id, 0 when none
    CServerConnection* link = nullptr; // the linked player, null when none
    bool linkCarried = false;  // a forward has passed on the link
    bool notifyArmed = false;
    uint32_t notifyAvoid = 0;

    std::string name; // the player's name once its settings bring one, for the log
    TSettings lastSettings; // the latest settings packet, as sent
    TSettings profile;      // every settings pair sent, the latest value of each
    TSettings info;
};
