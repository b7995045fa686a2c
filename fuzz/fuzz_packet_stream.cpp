// Feeds arbitrary bytes to a packet stream in arbitrary pieces, with the
// handlers' answers, the maximum length and pausing all chosen by the
// input, and checks every delivery against a plain reading of the whole
// stream at once.
//
// Input: flags, maximum, split seed, then the bytes on the wire.
//   flags bit 0: width 2 (else 4); bit 1: the maximum is the second byte;
//   bit 2: a zero length goes on; bit 3: an oversize length goes on;
//   bit 4: pause around some pieces; bits 5-7: every n-th packet answers false.

#include "foundation/PacketStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Zorlin;

namespace {

struct SEvent {
    char kind; // 'p' packet, 'z' zero length, 'o' oversize
    uint32_t length;
    std::string payload;
    bool operator==(const SEvent& o) const { return kind == o.kind && length == o.length && payload == o.payload; }
};

struct SSettings {
    int width;
    uint32_t maxLength;
    bool zeroGoesOn;
    bool oversizeGoesOn;
    bool pause;
    int falseEvery;
};

std::vector<SEvent> ReadWhole(const SSettings& s, const uint8_t* data, size_t size)
{
    std::vector<SEvent> events;
    size_t pos = 0;
    while (pos + size_t(s.width) <= size) {
        uint32_t length = 0;
        for (int i = s.width - 1; i >= 0; --i)
            length = (length << 8) | data[pos + size_t(i)];
        pos += size_t(s.width);
        if (length == 0) {
            events.push_back({'z', 0, std::string()});
            if (!s.zeroGoesOn)
                break;
            events.push_back({'p', 0, std::string()});
            continue;
        }
        if (length > s.maxLength) {
            events.push_back({'o', length, std::string()});
            if (!s.oversizeGoesOn)
                break;
            pos += length;
            continue;
        }
        if (pos + length > size)
            break;
        events.push_back({'p', length, std::string(reinterpret_cast<const char*>(data + pos), length)});
        pos += length;
    }
    return events;
}

class CCheckedStream : public CPacketStream {
public:
    explicit CCheckedStream(const SSettings& s) : CPacketStream(nullptr, s.width), m_settings(s)
    {
        if (s.maxLength != GetMaxPacketLength())
            SetMaxPacketLength(s.maxLength);
    }

    bool OnPacket(CBuffer& payload) override
    {
        int size = payload.GetSize();
        if (size < 0 || uint32_t(size) > GetMaxPacketLength())
            std::abort();
        std::string bytes = size > 0 ? std::string(reinterpret_cast<const char*>(payload.GetData()), size_t(size))
                                     : std::string();
        events.push_back({'p', uint32_t(size), bytes});
        ++m_packets;
        return m_settings.falseEvery == 0 || m_packets % m_settings.falseEvery != 0;
    }
    bool OnBadLength(bool zeroLength, uint32_t length) override
    {
        events.push_back({zeroLength ? 'z' : 'o', length, std::string()});
        return zeroLength ? m_settings.zeroGoesOn : m_settings.oversizeGoesOn;
    }

    std::vector<SEvent> events;

private:
    SSettings m_settings;
    int m_packets = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    SSettings s;
    s.width = (data[0] & 1) ? 2 : 4;
    s.maxLength = (data[0] & 2) ? data[1] : (s.width == 2 ? CPacketStream::kMaxWidth2 : CPacketStream::kDefaultMaxWidth4);
    s.zeroGoesOn = (data[0] & 4) != 0;
    s.oversizeGoesOn = (data[0] & 8) != 0;
    s.pause = (data[0] & 16) != 0;
    s.falseEvery = data[0] >> 5;
    uint32_t random = data[2] * 2654435761u + 1;
    const uint8_t* wire = data + 3;
    size_t wireSize = size - 3;

    CCheckedStream stream(s);
    size_t pos = 0;
    while (pos < wireSize && stream.IsActive()) {
        random = random * 1103515245u + 12345u;
        size_t piece = (random >> 16) % 97 == 0 ? wireSize - pos : 1 + (random >> 16) % 64;
        if (piece > wireSize - pos)
            piece = wireSize - pos;
        bool paused = s.pause && ((random >> 8) & 3) == 0;
        if (paused)
            stream.Pause();
        unsigned taken = stream.Receive(wire + pos, unsigned(piece));
        if (paused)
            stream.Resume();
        if (taken > piece)
            std::abort();
        // A false answer leaves the rest of a piece; a careful caller offers it again.
        if (taken == 0 && stream.IsActive() && stream.GetQueuedBytes() == 0)
            std::abort();
        pos += taken;
    }
    // Input held back by a false answer during a replay is replayed on demand.
    while (stream.IsActive() && stream.GetQueuedBytes() > 0) {
        stream.Pause();
        stream.Resume();
    }

    if (!(stream.events == ReadWhole(s, wire, wireSize)))
        std::abort();
    return 0;
}
