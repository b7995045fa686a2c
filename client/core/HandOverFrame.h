#pragma once

// One message of the hand-over between two starts, as the packet stream
// frames it: a little-endian 4-byte length and the payload. Read from a
// byte device in bounded pieces: a length past the bound is refused as soon
// as it has arrived, and nothing of its payload is kept.

#include <cstdint>
#include <vector>

#include "foundation/PacketStream.h"

class CByteDevice;

class CHandOverFrame : public Zorlin::CPacketStream {
public:
    enum EState {
        kWaiting, // no whole frame yet
        kWhole,   // GetPayload holds the frame
        kBad,     // a length of 0 or past the bound
        kEnded,   // the device ended before a whole frame
    };

    explicit CHandOverFrame(uint32_t maxLength);

    // Reads what the device holds now, a piece at a time, until a whole
    // frame, a bad length or the end; bytes after the frame are dropped.
    EState ReadFrom(CByteDevice& device);
    EState GetState() const { return m_state; }
    const std::vector<char>& GetPayload() const { return m_payload; }
    // The announced length of a bad frame.
    uint32_t GetBadLength() const { return m_badLength; }

    // The bytes of the frame of a payload.
    static std::vector<char> Bytes(const std::vector<char>& payload);

    bool OnPacket(Zorlin::CBuffer& payload) override;
    bool OnBadLength(bool zeroLength, uint32_t length) override;

private:
    EState m_state = kWaiting;
    std::vector<char> m_payload;
    uint32_t m_badLength = 0;
};
