#pragma once

// One TCP connection as a byte device: reads never wait, writes wait at
// most a bounded time for the peer to take the bytes and close the
// connection when it does not. Also the listening and connecting steps of
// the direct network game, each one that never blocks the caller.

#include <cstdint>

#include "client/core/ByteDevice.h"
#include "foundation/String.h"

class CSocketBytes : public CByteDevice {
public:
    // How long a write may wait for a peer that does not read.
    static const int kWriteLimitMs = 5000;

    // Takes ownership of a connected socket.
    explicit CSocketBytes(int fd, int writeLimitMs = kWriteLimitMs);
    ~CSocketBytes() override;

    int Read(char* buffer, int size) override;
    int ReadError(char*, int) override { return IsOpen() ? 0 : -1; }
    bool Write(const char* data, int size) override;
    void CloseInput() override { Close(); }
    void WaitReadable(int ms) override;
    bool HasEnded() const override { return !IsOpen(); }
    void Release() override { delete this; }

    bool IsOpen() const { return m_fd >= 0; }
    // Every byte Read has handed out.
    uint64_t GetBytesRead() const { return m_bytesRead; }
    // Bytes that have come in and wait to be read.
    uint64_t GetBytesWaiting() const;
    void Close();
    // The peer's address as "a.b.c.d" and its port; empty when unknown.
    Zorlin::CString GetPeerAddress(int& port) const;

private:
    int m_fd;
    int m_writeLimitMs;
    uint64_t m_bytesRead = 0;
};

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
