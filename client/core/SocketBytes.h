#pragma once

// One connected socket as a byte device: reads never wait, writes wait at
// most a bounded time for the peer to take the bytes and close the
// connection when it does not. A TCP connection of the direct network game,
// or a local socket of the hand-over between two starts.

#include <cstdint>
#include <functional>

#include "client/core/ByteDevice.h"
#include "client/core/DescriptorWatch.h"
#include "foundation/String.h"

// Makes a socket never block and close when a program is started.
void MakeSocketNonBlocking(int fd);

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
    bool WatchOutput(std::function<void()> onOutput) override;
    bool IsWatchingOutput() const override { return m_watch.IsArmed(); }
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
    // The account of the process at the other end of a local socket, as the
    // system vouches for it; false when unknown.
    bool GetPeerUid(unsigned& uid) const;

private:
    int m_fd;
    int m_writeLimitMs;
    uint64_t m_bytesRead = 0;
    std::function<void()> m_onOutput;
    CDescriptorWatch m_watch;
};
