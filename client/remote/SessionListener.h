#pragma once

// The current client of the online session: the opponent search while a
// match is sought, the online game while one is played. The session hands
// it its state changes and every packet it does not handle itself.

#include <cstdint>

namespace Zorlin {
class CFile;
}

class CPacketHeader;

class CSessionListener {
public:
    enum EState { kIdle = 0, kConnecting = 1, kConnected = 2, kLoggedIn = 3, kDisconnected = 4 };

    virtual ~CSessionListener() = default;
    virtual void OnSessionState(int state) = 0;
    // body stands just after the header; the answer goes back to the packet
    // stream (false stops the handling of the bytes at hand).
    virtual bool OnPacket(const CPacketHeader& header, Zorlin::CFile& body) = 0;
};

// Ignores states and takes every packet.
class CDefaultSessionListener : public CSessionListener {
public:
    void OnSessionState(int) override {}
    bool OnPacket(const CPacketHeader&, Zorlin::CFile&) override { return true; }
};
