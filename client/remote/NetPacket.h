#pragma once

// The bytes of the direct network game: each message is one frame, a
// little-endian length (4 + payload size), a little-endian type and the
// payload. Building and reading payloads, writing frames to a byte device
// and cutting frames out of what a device delivers; no socket here.

#include <cstdint>
#include <vector>

#include "foundation/Buffer.h"
#include "foundation/String.h"

class CByteDevice;

namespace Zorlin {
class CFile;
}

enum ENetPacketType {
    netpktProtocol = 2,
    netpktChat = 5,
    netpktRequestNewGame = 7,
    netpktNewGameDeclined = 8,
    netpktNewGameAccepted = 9,
    netpktIdentity = 11,
    netpktMove = 12,
    netpktPenDown = 13,
    netpktPenMove = 15,
    netpktPenClear = 16,
    netpktResign = 17,
    netpktOfferDraw = 18,
    netpktGameDrawn = 19,
    netpktDrawAccepted = 22,
    netpktDrawDeclined = 23,
    netpktRequestTakeback = 24,
    netpktSetBoard = 25,
    netpktTakebackAccepted = 26,
    netpktTakebackDeclined = 27,
    netpktProfile = 28,
    netpktRequestRestore = 29,
    netpktRestoreDeclined = 30,
    netpktRestoreGame = 31,
};

namespace NetPacket {

const uint32_t kProtocolVersion = 2;

// What a receiver takes from the peer; anything longer is refused.
const int kMaxName = 40;
const int kMaxChat = 8192;
const int kMaxMove = 32;
const uint32_t kMaxSavedGame = 256 * 1024;
const uint32_t kMaxProfile = 4 * 1024 * 1024;
// The largest frame length a receiver accepts: the biggest payload (a
// profile archive) with its type.
const uint32_t kMaxFrameLength = kMaxProfile + 4;
// A receiver reads a frame's payload at most this much at a time.
const int kReadStep = 1024;

// ---- payloads. Texts are cut to the bounds above before they are sent.
Zorlin::CBuffer Uint32(uint32_t value);
Zorlin::CBuffer Chat(const Zorlin::CString& name, const Zorlin::CString& text);
Zorlin::CBuffer Move(const Zorlin::CString& san);
// Types 13 and 15: the pen-down flag (always 1), x and y in board units.
Zorlin::CBuffer Pen(float x, float y);
// netpktPenClear: four bytes nobody reads.
Zorlin::CBuffer PenClear();
Zorlin::CBuffer Identity(uint32_t colour, const Zorlin::CString& profileId);
// Configuration text (a saved game) or an archive (a profile), as given.
Zorlin::CBuffer Bytes(const void* data, uint32_t size);

// The whole frame: length, type and payload (null for none).
Zorlin::CBuffer Frame(uint32_t type, const Zorlin::CBuffer* payload = nullptr);
// Writes the whole frame to the device at once; false when the device
// refused it.
bool Send(CByteDevice& device, uint32_t type, const Zorlin::CBuffer* payload = nullptr);

// ---- reading payloads, each from a file over the payload (position 0).
// False for a payload that is short, too long or has out-of-range values;
// the outputs are then untouched.
bool ReadUint32(Zorlin::CFile& payload, uint32_t& value);
// A colour: 0 White, 1 Black.
bool ReadColour(Zorlin::CFile& payload, uint32_t& colour);
bool ReadChat(Zorlin::CFile& payload, Zorlin::CString& name, Zorlin::CString& text);
bool ReadMove(Zorlin::CFile& payload, Zorlin::CString& san);
// x and y must be finite numbers.
bool ReadPen(Zorlin::CFile& payload, float& x, float& y);
// The id names the opponent's files: it is empty or what IsProfileId takes.
bool ReadIdentity(Zorlin::CFile& payload, uint32_t& colour, Zorlin::CString& profileId);
// The saved game of types 29 and 31: bounded, no zero bytes.
bool ReadSavedGame(Zorlin::CFile& payload, Zorlin::CString& text);

} // namespace NetPacket

// Cuts frames out of the bytes a device delivers. It keeps what it has read
// of a frame, so bytes may arrive split anywhere; it stores only bytes that
// have arrived, never what a length merely announces.
class CNetFrameReader {
public:
    enum EStep {
        kWaiting, // no whole frame yet
        kFrame,   // a whole frame: GetType and GetPayload
        kEnded,   // the device's input has ended
        kBad,     // a length below 4 or above the maximum: the connection is no good
    };

    explicit CNetFrameReader(uint32_t maxLength = NetPacket::kMaxFrameLength);

    // One read of at most kReadStep bytes (or of the length bytes still
    // missing). After kFrame the next step starts the next frame; after
    // kBad or kEnded every step answers the same.
    EStep Step(CByteDevice& device);

    uint32_t GetType() const { return m_type; }
    // The frame's bytes after the type.
    const Zorlin::CBuffer& GetPayload() const { return m_payload; }
    // Forgets a partial frame and a failure, as for a new connection.
    void Reset();

private:
    EStep Fail(EStep step);

    uint32_t m_maxLength;
    unsigned char m_lengthBytes[4];
    int m_lengthCount; // length bytes read
    uint32_t m_length;
    std::vector<unsigned char> m_frame; // what arrived after the length
    uint32_t m_type;
    Zorlin::CBuffer m_payload;
    EStep m_failed; // kWaiting while the reader is good
};
