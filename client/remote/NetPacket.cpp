#include "client/remote/NetPacket.h"

#include <cmath>
#include <cstring>
#include <string>

#include "client/core/ByteDevice.h"
#include "client/core/ProfileArchive.h"
#include "foundation/File.h"

using Zorlin::CBuffer;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

void PutUint32(unsigned char* out, uint32_t value)
{
    out[0] = (unsigned char)(value & 0xFF);
    out[1] = (unsigned char)(value >> 8 & 0xFF);
    out[2] = (unsigned char)(value >> 16 & 0xFF);
    out[3] = (unsigned char)(value >> 24 & 0xFF);
}

uint32_t GetUint32(const unsigned char* in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

CBuffer Owned(const void* data, uint32_t size)
{
    CBuffer buffer;
    buffer.Resize(int(size));
    if (size > 0)
        buffer.WriteAt(data, int(size), 0);
    return buffer;
}

// A text cut to its bound, without the zero bytes that would end it early.
std::string Bounded(const CString& text, int maxLength)
{
    std::string out(text.GetText());
    if (int(out.size()) > maxLength)
        out.resize(size_t(maxLength));
    return out;
}

uint32_t Remaining(CFile& in)
{
    const uint32_t size = in.GetSize32();
    const unsigned position = in.GetPosition32();
    return size == 0xFFFFFFFFu || position >= size ? 0 : size - position;
}

bool TakeUint32(CFile& in, uint32_t& value)
{
    unsigned char bytes[4];
    if (Remaining(in) < 4 || !in.Read(bytes, 4) || in.GetLastReadCount() != 4)
        return false;
    value = GetUint32(bytes);
    return true;
}

// A zero-terminated text of at most maxLength characters.
bool TakeText(CFile& in, CString& out, int maxLength)
{
    out = "";
    char c;
    while (in.Read(&c, 1)) {
        if (c == 0)
            return true;
        if (out.GetLength() >= maxLength)
            return false;
        out.Append(c);
    }
    return false; // no terminator
}

} // namespace

namespace NetPacket {

CBuffer Uint32(uint32_t value)
{
    unsigned char bytes[4];
    PutUint32(bytes, value);
    return Owned(bytes, 4);
}

CBuffer Chat(const CString& name, const CString& text)
{
    std::string bytes = Bounded(name, kMaxName);
    bytes.push_back(0);
    bytes += Bounded(text, kMaxChat);
    bytes.push_back(0);
    return Owned(bytes.data(), uint32_t(bytes.size()));
}

CBuffer Move(const CString& san)
{
    std::string bytes = Bounded(san, kMaxMove);
    bytes.push_back(0);
    return Owned(bytes.data(), uint32_t(bytes.size()));
}

CBuffer Pen(float x, float y)
{
    unsigned char bytes[12];
    PutUint32(bytes, 1);
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    PutUint32(bytes + 4, bits);
    std::memcpy(&bits, &y, 4);
    PutUint32(bytes + 8, bits);
    return Owned(bytes, 12);
}

CBuffer PenClear()
{
    return Uint32(0);
}

CBuffer Identity(uint32_t colour, const CString& profileId)
{
    std::string bytes(4, '\0');
    PutUint32(reinterpret_cast<unsigned char*>(&bytes[0]), colour);
    bytes += profileId.GetText();
    return Owned(bytes.data(), uint32_t(bytes.size()));
}

CBuffer Bytes(const void* data, uint32_t size)
{
    return Owned(data, size);
}

CBuffer Frame(uint32_t type, const CBuffer* payload)
{
    const uint32_t size = payload && payload->GetSize() > 0 ? uint32_t(payload->GetSize()) : 0;
    unsigned char head[8];
    PutUint32(head, size + 4);
    PutUint32(head + 4, type);
    CBuffer frame;
    frame.Resize(int(size + 8));
    frame.WriteAt(head, 8, 0);
    if (size > 0)
        frame.WriteAt(payload->GetData(), int(size), 8);
    return frame;
}

bool Send(CByteDevice& device, uint32_t type, const CBuffer* payload)
{
    const CBuffer frame = Frame(type, payload);
    return device.Write(reinterpret_cast<const char*>(frame.GetData()), frame.GetSize());
}

bool ReadUint32(CFile& payload, uint32_t& value)
{
    return TakeUint32(payload, value);
}

bool ReadColour(CFile& payload, uint32_t& colour)
{
    uint32_t value;
    if (!TakeUint32(payload, value) || value > 1)
        return false;
    colour = value;
    return true;
}

bool ReadChat(CFile& payload, CString& name, CString& text)
{
    CString readName, readText;
    if (!TakeText(payload, readName, kMaxName) || !TakeText(payload, readText, kMaxChat))
        return false;
    name = readName;
    text = readText;
    return true;
}

bool ReadMove(CFile& payload, CString& san)
{
    CString read;
    if (!TakeText(payload, read, kMaxMove))
        return false;
    san = read;
    return true;
}

bool ReadPen(CFile& payload, float& x, float& y)
{
    uint32_t flag, xBits, yBits;
    if (!TakeUint32(payload, flag) || !TakeUint32(payload, xBits) || !TakeUint32(payload, yBits))
        return false;
    float readX, readY;
    std::memcpy(&readX, &xBits, 4);
    std::memcpy(&readY, &yBits, 4);
    if (!std::isfinite(readX) || !std::isfinite(readY))
        return false;
    x = readX;
    y = readY;
    return true;
}

bool ReadIdentity(CFile& payload, uint32_t& colour, CString& profileId)
{
    uint32_t readColour;
    if (!ReadColour(payload, readColour))
        return false;
    // The longest id worth reading; IsProfileId decides the rest.
    const uint32_t count = Remaining(payload);
    if (count > 64)
        return false;
    std::string bytes(count, '\0');
    if (count > 0 && (!payload.Read(&bytes[0], count) || payload.GetLastReadCount() != count))
        return false;
    const CString id(bytes.c_str());
    if (id.GetLength() != int(count) || (!id.IsEmpty() && !IsProfileId(id)))
        return false;
    colour = readColour;
    profileId = id;
    return true;
}

bool ReadSavedGame(CFile& payload, CString& text)
{
    const uint32_t count = Remaining(payload);
    if (count > kMaxSavedGame)
        return false;
    std::string bytes(count, '\0');
    if (count > 0 && (!payload.Read(&bytes[0], count) || payload.GetLastReadCount() != count))
        return false;
    if (bytes.find('\0') != std::string::npos)
        return false;
    text = bytes.c_str();
    return true;
}

} // namespace NetPacket

// ------------------------------------------------------------ frames

CNetFrameReader::CNetFrameReader(uint32_t maxLength) : m_maxLength(maxLength)
{
    Reset();
}

void CNetFrameReader::Reset()
{
    m_lengthCount = 0;
    m_length = 0;
    m_frame.clear();
    m_type = 0;
    m_failed = kWaiting;
}

CNetFrameReader::EStep CNetFrameReader::Fail(EStep step)
{
    m_failed = step;
    m_frame.clear();
    m_frame.shrink_to_fit();
    return step;
}

CNetFrameReader::EStep CNetFrameReader::Step(CByteDevice& device)
{
    if (m_failed != kWaiting)
        return m_failed;
    if (m_lengthCount < 4) {
        const int n = device.Read(reinterpret_cast<char*>(m_lengthBytes) + m_lengthCount, 4 - m_lengthCount);
        if (n < 0)
            return Fail(kEnded);
        m_lengthCount += n;
        if (m_lengthCount < 4)
            return kWaiting;
        m_length = GetUint32(m_lengthBytes);
        // Every frame holds its type; a length we would never accept means
        // the stream is garbage from here on.
        if (m_length < 4 || m_length > m_maxLength)
            return Fail(kBad);
        m_frame.clear();
    }
    const uint32_t missing = m_length - uint32_t(m_frame.size());
    char chunk[NetPacket::kReadStep];
    const int want = missing < uint32_t(sizeof(chunk)) ? int(missing) : int(sizeof(chunk));
    const int n = device.Read(chunk, want);
    if (n < 0)
        return Fail(kEnded);
    m_frame.insert(m_frame.end(), chunk, chunk + n);
    if (m_frame.size() < m_length)
        return kWaiting;

    m_type = GetUint32(m_frame.data());
    m_payload = CBuffer();
    m_payload.Resize(int(m_length - 4));
    if (m_length > 4)
        m_payload.WriteAt(m_frame.data() + 4, int(m_length - 4), 0);
    m_frame.clear();
    m_lengthCount = 0;
    m_length = 0;
    return kFrame;
}
