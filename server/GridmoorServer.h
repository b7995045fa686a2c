#pragma once

// The online server: one epoll loop over non-blocking sockets. Players log
// in, search, are matched and linked in pairs, and their game messages
// and chat are passed between the two. Everything a player sends is
// bounded: packet length, line length, pairs kept, bytes queued for it.

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/Buffer.h"
#include "foundation/PacketHeader.h"
#include "server/SearchPool.h"
#include "server/ServerConnection.h"
#include "server/ServerOptions.h"

class CPacketHeader;

namespace ServerLimits {
// The largest packet of any kind: a game message carrying a profile.
const uint32_t kMaxPayload = 65536;
// The largest chat packet a client sends: the header with the opponent's
// id, then the name and the line as the client cuts them.
const uint32_t kMaxChatPayload = 8 + (WireText::kMaxName + 1) + (WireText::kMaxChat + 1);
// A player whose unsent bytes of the server's own pass this has stopped
// reading and is dropped.
const size_t kMaxQueued = 1u << 20;
// A sender whose messages waiting for one reader pass this is not read
// until the reader has taken them down to the half; one held for as long
// as a silent player is kept loses its link to that reader.
const size_t kMaxQueuedFromSender = 256u << 10;
const size_t kResumeFromSender = kMaxQueuedFromSender / 2;
// A connection told why it ends gets this long to read it.
const int64_t kClosingGraceMs = 2000;
const size_t kReadPerTurn = 65536;
const int kAcceptPerTurn = 256;
// A connection has this long to greet the server and log in.
const int64_t kLoginMs = 5000;
// Descriptors left for the server's own files (standard streams, the
// listening socket, the event loop, the spare).
const long kDescriptorsKept = 16;
} // namespace ServerLimits

class CGridmoorServer {
public:
    CGridmoorServer(const SServerOptions& options, std::string motd);
    ~CGridmoorServer();
    CGridmoorServer(const CGridmoorServer&) = delete;
    CGridmoorServer& operator=(const CGridmoorServer&) = delete;

    // Binds, listens and logs the address; false with a message in error.
    bool Open(std::string& error);
    // Serves until SIGTERM or SIGINT; the exit status.
    int Run();

    // A new player on socket fd, and the bytes read from it: the loop's
    // way in, also taken by the fuzz target without sockets (fd -1).
    CServerConnection& Admit(int fd, const std::string& host, int port);
    void TakeInput(CServerConnection& connection, const unsigned char* data, size_t n);

    // From a connection's packet framer.
    bool OnPacket(CServerConnection& connection, Zorlin::CBuffer& payload);
    bool OnBadLength(CServerConnection& connection, bool zeroLength, uint32_t length);

private:
    // Sockets and the loop (GridmoorServer.cpp).
    void AcceptAll();
    void Accept(int fd, const struct sockaddr_storage& address);
    // Takes the connection only to tell it why it cannot stay.
    void Refuse(int fd, const std::string& host, int port, const std::string& reason, const char* html);
    // Out of the list of connections that may be dropped to make room.
    void Settled(CServerConnection& connection);
    // Its place, if it holds one, goes back to the newcomers.
    void GiveBackPlace(CServerConnection& connection);
    // Sends away the oldest connection without a player whose login has not
    // come, closing it now when its descriptor is wanted too; false when
    // there is none.
    bool MakeRoom(bool descriptorToo);
    void OnReadable(CServerConnection& connection);
    void OnWritable(CServerConnection& connection);
    void Flush(CServerConnection& connection);
    void FlushDirty();
    void Tick();
    void Reap();
    void Watch(CServerConnection& connection, bool output);
    void ForgetLater(CServerConnection& connection);
    void Shutdown();

    // Packets (GridmoorServerPackets.cpp).
    // from: the player whose message this carries, none for the server's own.
    void Send(CServerConnection& to, uint32_t type, uint32_t id, const void* body = nullptr, size_t size = 0,
              CServerConnection* from = nullptr);
    // Stops reading sender while reader holds too many of its bytes.
    void Hold(CServerConnection& sender, CServerConnection& reader);
    // Lets go the senders that reader has taken enough of (all when gone).
    void ReleaseSenders(CServerConnection& reader, bool all);
    void ResumeReleased();
    // Ends the link of a sender held for too long by a reader that does not read.
    void EndHeldLink(CServerConnection& sender);
    void SendLines(CServerConnection& to, uint32_t type, uint32_t id, const std::vector<std::string>& lines);
    // Tells the player why, lets it read that, then closes.
    void Kick(CServerConnection& connection, const char* reason, const char* html);
    // The connection is gone or going: out of the pool and the link.
    void Drop(CServerConnection& connection, const char* why);
    // Out of the pool, the notification list and the link; the peer is told.
    void Detach(CServerConnection& connection);
    void Unlink(CServerConnection& connection, uint32_t notice);
    void Link(CServerConnection& first, CServerConnection& second);
    CServerConnection* Find(uint32_t id) const;
    uint32_t NextId();

    bool OnOpeningText(CServerConnection& connection, const unsigned char* data, size_t n, size_t& used);
    bool OnProtocol(CServerConnection& connection, const CPacketHeader& header, Zorlin::CFile& body);
    void OnLogin(CServerConnection& connection, Zorlin::CFile& body);
    void OnSettings(CServerConnection& connection, Zorlin::CFile& body);
    void NoteName(CServerConnection& connection);
    void OnInfo(CServerConnection& connection, Zorlin::CFile& body);
    void OnSearch(CServerConnection& connection, Zorlin::CFile& body);
    void OnMatch(CServerConnection& waiting, const SPooledSearch& waited, CServerConnection& newcomer,
                 const SPooledSearch& search);
    void OnRequestNotify(CServerConnection& connection, Zorlin::CFile& body);
    void NotifySearchStarted(const CServerConnection& searcher);
    void OnForward(CServerConnection& connection, const CPacketHeader& header, uint32_t notice,
                   const Zorlin::CBuffer& payload, unsigned bodyStart);
    void OnCloseConnection(CServerConnection& connection, const CPacketHeader& header);
    void ExpireSearches();

    SServerOptions m_options;
    std::string m_motd;
    int m_listenFd = -1;
    int m_epollFd = -1;
    int m_signalFd = -1;
    // Closed to accept one connection when descriptors run out, so it can
    // be told why and closed instead of waiting in the backlog.
    int m_spareFd = -1;
    int m_port = 0;
    bool m_accepting = true;
    bool m_stopping = false;
    int64_t m_now = 0;
    int64_t m_nextTick = 0;
    int64_t m_tickMs = 1000;
    int64_t m_idleMs = 135000;
    uint32_t m_nextId = 1; // drawn at start-up: ids are not reused across runs
    int64_t m_loginMs = ServerLimits::kLoginMs;

    // Descriptors: connections open, the most that may be, and the places
    // for players among them; the rest is kept to refuse politely.
    long m_open = 0;
    long m_maxOpen = 0;
    long m_places = 0;
    long m_maxPlaces = 0;
    std::unordered_map<std::string, int> m_perHost; // places held per address
    // Connections holding a place but no player yet (logging in or told to
    // go), oldest first: the first dropped when a newcomer finds no place.
    std::list<CServerConnection*> m_unsettled;

    std::unordered_map<CServerConnection*, std::unique_ptr<CServerConnection>> m_connections;
    std::unordered_map<uint32_t, CServerConnection*> m_byId;
    std::vector<CServerConnection*> m_dirty;
    std::vector<CServerConnection*> m_doomed;
    std::vector<uint32_t> m_released; // held senders to read again
    CSearchPool m_pool;
    std::vector<uint32_t> m_notifyArmed;
};

// One line on standard error; remote text in it is made printable and cut short.
void ServerLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string LogText(const std::string& text);
// A player's id and, once known, name for the log; "no id" before login.
std::string LogLabel(const CServerConnection& connection);
