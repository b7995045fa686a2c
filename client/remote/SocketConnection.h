#pragma once

// The client end of one TCP connection to the online server. Bytes that
// arrive are cut into packets by the library's packet framer and handed to
// OnPacket; packets leave through the output adapter, one socket write per
// packet or per open batch. Everything runs on the GUI thread, driven by
// the toolkit's socket events.

#include <cstdint>

#include "foundation/Buffer.h"

namespace Zorlin {
class COutputStream;
class CPacketStream;
}

class wxSocketClient;
class CSocketEventHandler;
class CSocketInput;
class CSocketOutput;
class CConnectionPacketStream;

class CSocketConnection {
public:
    // The server's packets are a header and short texts; a length above
    // this is taken for garbage and ends the connection.
    static const uint32_t kMaxPacketLength = 65536;
    // A send that has not gone out in this time fails.
    static const int kWriteTimeoutSeconds = 10;

    CSocketConnection();
    virtual ~CSocketConnection();
    CSocketConnection(const CSocketConnection&) = delete;
    CSocketConnection& operator=(const CSocketConnection&) = delete;

    virtual void OnConnecting() {}
    virtual void OnConnected() {}
    virtual void OnDisconnected() {}
    // A whole packet; false stops the handling of the bytes at hand.
    virtual bool OnPacket(Zorlin::CBuffer& payload) = 0;

    // Starts connecting without waiting; the outcome arrives as OnConnected
    // or OnDisconnected (also at once, for a host that cannot be resolved
    // or a connection refused straight away).
    bool Connect(const char* host, int port);
    // Closes the socket and calls OnDisconnected.
    void Close();
    bool IsConnected() const;
    void EnableNotify();

    // One packet: its 4-byte length and the payload in one write. False
    // when not every byte went out.
    bool SendPacket(const Zorlin::CBuffer& payload);
    Zorlin::CPacketStream& GetPacketStream();
    // Where packets and raw bytes go; Begin and End around several writes
    // send them in one write.
    Zorlin::COutputStream& GetOutput();
    // Replaces the log (the connection owns it; null restores the one that
    // drops everything).
    void SetLogStream(Zorlin::COutputStream* log);
    void SetWriteTimeout(int seconds);

protected:
    void CreateSocket();
    void Log(const char* text);

private:
    friend class CSocketEventHandler;
    friend class CConnectionPacketStream;

    // Socket events, from the handler.
    void OnInput();
    void OnConnectionMade();
    void OnLost();
    // The handling of a packet, from the packet stream.
    bool DeliverPacket(Zorlin::CBuffer& payload);
    void ConnectFailed(const char* why);

    wxSocketClient* m_socket;
    CSocketInput* m_input;
    CSocketOutput* m_output;
    CSocketEventHandler* m_handler;
    CConnectionPacketStream* m_stream;
    Zorlin::COutputStream* m_log;
    int m_writeTimeout;
    // Points at a flag of the socket event in progress, so the connection's
    // end while a packet is handled is seen there.
    bool* m_alive;
    bool m_reading;
};
