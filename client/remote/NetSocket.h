#pragma once

// The listening and connecting steps of the direct network game, each one
// that never blocks the caller; the connection itself is a CSocketBytes.

#include "client/core/SocketBytes.h"

namespace NetSocket {

// A listening socket on every address at port; -1 when it cannot be made.
int Listen(int port);
// The socket's own port (for a listener made on port 0).
int LocalPort(int fd);
// A waiting connection taken from listener; -1 when none is waiting.
int AcceptWaiting(int listener);
// Refuses every connection waiting at listener (closes them at once).
int RefuseWaiting(int listener);

// A connection being made without waiting.
class CConnectAttempt {
public:
    enum EState { kPending, kConnected, kFailed };
    CConnectAttempt() = default;
    ~CConnectAttempt();
    CConnectAttempt(const CConnectAttempt&) = delete;
    CConnectAttempt& operator=(const CConnectAttempt&) = delete;

    // Starts connecting to host (a name or an IPv4 address) at port; false
    // when the host cannot be found or the attempt cannot start.
    bool Start(const char* host, int port);
    // Looks again, waiting at most waitMs: kConnected hands the socket over
    // through TakeSocket.
    EState Check(int waitMs);
    int TakeSocket();
    void Cancel();

private:
    int m_fd = -1;
};

} // namespace NetSocket
