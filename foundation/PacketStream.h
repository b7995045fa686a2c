#pragma once

#include <cstdint>

#include "foundation/Buffer.h"
#include "foundation/DataQueue.h"

namespace Zorlin {

class CFile;
class COutputStream;

// Where a packet stream's bytes come from: an object (a socket's input
// adapter) that hands each block of arrived bytes to a receive callback.
class CPacketInput {
public:
    // Returns how many of the n bytes the receiver took.
    typedef unsigned (*FReceive)(void* context, const void* data, unsigned n);

    CPacketInput() : m_receive(nullptr), m_context(nullptr) {}
    virtual ~CPacketInput() {}
    CPacketInput(const CPacketInput&) = delete;
    CPacketInput& operator=(const CPacketInput&) = delete;

    void SetReceiver(FReceive receive, void* context)
    {
        m_receive = receive;
        m_context = context;
    }
    bool HasReceiver() const { return m_receive != nullptr; }
    // Passes arrived bytes on; 0 when no receiver is set.
    unsigned Deliver(const void* data, unsigned n) { return m_receive ? m_receive(m_context, data, n) : 0; }

private:
    FReceive m_receive;
    void* m_context;
};

// Turns bytes that arrive in arbitrary pieces into whole packets: each is a
// little-endian length of the stream's width (2 or 4 bytes) followed by that
// many payload bytes. Every complete payload goes to OnPacket.
//
// Lengths come from the peer and are not trusted: a length above the
// maximum goes to OnBadLength and its payload is never stored (answered
// true, it is skipped; false stops the stream for good), and memory grows
// only with bytes that have actually arrived. A handler may delete the
// stream; the stream then touches nothing of itself on the way out.
class CPacketStream {
public:
    static constexpr uint32_t kDefaultMaxWidth4 = 1u << 20;
    static constexpr uint32_t kMaxWidth2 = 65535;

    // The stream owns an input given here (not one given to SetInput).
    CPacketStream(CPacketInput* input, int lengthWidth);
    virtual ~CPacketStream();
    CPacketStream(const CPacketStream&) = delete;
    CPacketStream& operator=(const CPacketStream&) = delete;

    // A complete payload. False stops the processing of the bytes at hand:
    // Receive returns at once with the count consumed so far.
    virtual bool OnPacket(CBuffer& payload);
    // A length of 0 (zeroLength) or above the maximum. The answer becomes
    // the active flag: true goes on (an empty payload is delivered for a
    // zero length, an oversized payload is skipped), false stops for good.
    virtual bool OnBadLength(bool zeroLength, uint32_t length);

    void SetInput(CPacketInput* input);
    // Takes n arrived bytes; returns how many were consumed.
    unsigned Receive(const void* data, unsigned n);
    bool ReportBadLength(bool zeroLength, uint32_t length = 0);

    // Writes a 4-byte little-endian length and the payload between one
    // Begin and one End of out; returns what End returns.
    static bool SendPacket(COutputStream& out, const CBuffer& payload);
    // The same with the whole of file as the payload. False also when the
    // file could not give the bytes its size promised.
    static bool SendFile(COutputStream& out, CFile& file);

    // While paused, input is queued; Resume replays it in order.
    void Pause() { m_paused = true; }
    void Resume();
    // Forgets any partial packet and queued input and reactivates the
    // stream, as for a new connection.
    void Reset();

    bool IsActive() const { return m_active; }
    bool IsPaused() const { return m_paused; }
    int GetLengthWidth() const { return m_width; }
    uint32_t GetMaxPacketLength() const { return m_maxLength; }
    // Bounded by what the width can express.
    void SetMaxPacketLength(uint32_t length);
    uint32_t GetQueuedBytes() const { return m_queue.GetSize(); }

private:
    // One per active Receive or Resume call, so a destructor run by a
    // handler can tell every call in progress that the stream is gone.
    struct SCallGuard {
        explicit SCallGuard(CPacketStream* stream);
        ~SCallGuard();
        CPacketStream* stream;
        SCallGuard* outer;
        bool gone;
    };

    static unsigned ReceiveEntry(void* context, const void* data, unsigned n);
    // Parses until the bytes are used up, the stream stops or pauses, or a
    // handler answers false; returns the bytes consumed.
    unsigned Parse(const unsigned char* data, unsigned n, SCallGuard& guard);
    void ExpectLength();
    bool StartPayload(uint32_t length, SCallGuard& guard);
    bool Deliver(CBuffer& payload, SCallGuard& guard);
    void Stage(const unsigned char* data, unsigned n);
    void Replay(SCallGuard& guard);

    int m_width;
    CBuffer m_payload;
    unsigned char m_lengthBytes[4];
    bool m_readingLength;
    bool m_skipping;
    int64_t m_packetLength;
    uint32_t m_needed;
    uint32_t m_staged;
    CPacketInput* m_input;
    bool m_ownsInput;
    CDataQueue m_queue;
    uint32_t m_maxLength;
    bool m_active;
    bool m_paused;
    SCallGuard* m_calls;
};

} // namespace Zorlin
