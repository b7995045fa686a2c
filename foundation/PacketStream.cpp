#include "foundation/PacketStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "foundation/File.h"
#include "foundation/OutputStream.h"

namespace Zorlin {

namespace {

const int kPayloadStart = 16384;
const int kQueueBlock = 1024;
const int kReplayPiece = 4096;

uint32_t DecodeLength(const unsigned char* bytes, int width)
{
    uint32_t length = 0;
    for (int i = width - 1; i >= 0; --i)
        length = (length << 8) | bytes[i];
    return length;
}

bool WriteLength(COutputStream& out, uint32_t length)
{
    unsigned char bytes[4] = {
        static_cast<unsigned char>(length),
        static_cast<unsigned char>(length >> 8),
        static_cast<unsigned char>(length >> 16),
        static_cast<unsigned char>(length >> 24),
    };
    CBuffer view;
    view.Attach(bytes, 4);
    return out.Write(view) == 4;
}

} // namespace

CPacketStream::SCallGuard::SCallGuard(CPacketStream* s) : stream(s), outer(s->m_calls), gone(false)
{
    s->m_calls = this;
}

CPacketStream::SCallGuard::~SCallGuard()
{
    if (!gone)
        stream->m_calls = outer;
}

CPacketStream::CPacketStream(CPacketInput* input, int lengthWidth)
    : m_width(lengthWidth == 2 ? 2 : 4), m_readingLength(true), m_skipping(false), m_packetLength(-1),
      m_needed(uint32_t(m_width)), m_staged(0), m_input(input), m_ownsInput(true), m_queue(kQueueBlock),
      m_maxLength(m_width == 2 ? kMaxWidth2 : kDefaultMaxWidth4), m_active(true), m_paused(false), m_calls(nullptr)
{
    m_payload.Allocate(kPayloadStart);
    m_payload.Resize(0);
    if (m_input)
        m_input->SetReceiver(&CPacketStream::ReceiveEntry, this);
}

CPacketStream::~CPacketStream()
{
    for (SCallGuard* call = m_calls; call; call = call->outer)
        call->gone = true;
    if (m_input) {
        m_input->SetReceiver(nullptr, nullptr);
        if (m_ownsInput)
            delete m_input;
    }
}

bool CPacketStream::OnPacket(CBuffer&)
{
    return true;
}

bool CPacketStream::OnBadLength(bool, uint32_t)
{
    return true;
}

void CPacketStream::SetInput(CPacketInput* input)
{
    if (input == m_input && input) {
        m_input->SetReceiver(&CPacketStream::ReceiveEntry, this);
        return;
    }
    if (m_input) {
        m_input->SetReceiver(nullptr, nullptr);
        if (m_ownsInput)
            delete m_input;
    }
    m_input = input;
    m_ownsInput = false;
    if (m_input)
        m_input->SetReceiver(&CPacketStream::ReceiveEntry, this);
}

unsigned CPacketStream::ReceiveEntry(void* context, const void* data, unsigned n)
{
    return static_cast<CPacketStream*>(context)->Receive(data, n);
}

void CPacketStream::SetMaxPacketLength(uint32_t length)
{
    m_maxLength = m_width == 2 ? std::min(length, kMaxWidth2) : length;
}

bool CPacketStream::ReportBadLength(bool zeroLength, uint32_t length)
{
    SCallGuard guard(this);
    bool answer = OnBadLength(zeroLength, length);
    if (!guard.gone)
        m_active = answer;
    return answer;
}

unsigned CPacketStream::Receive(const void* data, unsigned n)
{
    if (!m_active || !data || n == 0)
        return 0;
    // Input never overtakes input already waiting in the queue.
    if (m_paused || !m_queue.IsEmpty()) {
        m_queue.Write(data, int(n));
        if (!m_paused) {
            SCallGuard guard(this);
            Replay(guard);
        }
        return n;
    }
    SCallGuard guard(this);
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    unsigned consumed = Parse(bytes, n, guard);
    if (guard.gone)
        return consumed;
    if (m_paused && consumed < n) {
        m_queue.Write(bytes + consumed, int(n - consumed));
        consumed = n;
    }
    return consumed;
}

void CPacketStream::Resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    SCallGuard guard(this);
    Replay(guard);
}

void CPacketStream::Replay(SCallGuard& guard)
{
    unsigned char piece[kReplayPiece];
    while (m_active && !m_paused && !m_queue.IsEmpty()) {
        int count = m_queue.Peek(piece, kReplayPiece);
        unsigned consumed = Parse(piece, unsigned(count), guard);
        if (guard.gone)
            return;
        m_queue.Discard(int(consumed));
        // A handler that answered false stops the replay; the rest waits.
        if (consumed < unsigned(count) && !m_paused)
            return;
    }
}

void CPacketStream::Reset()
{
    ExpectLength();
    m_packetLength = -1;
    m_payload.Resize(0);
    m_queue.Clear();
    m_active = true;
    m_paused = false;
}

void CPacketStream::ExpectLength()
{
    m_readingLength = true;
    m_skipping = false;
    m_packetLength = 0;
    m_needed = uint32_t(m_width);
    m_staged = 0;
}

bool CPacketStream::Deliver(CBuffer& payload, SCallGuard& guard)
{
    bool goOn = OnPacket(payload);
    return !guard.gone && goOn;
}

// A length field is complete. False when the bytes at hand must not be
// parsed further.
bool CPacketStream::StartPayload(uint32_t length, SCallGuard& guard)
{
    m_readingLength = false;
    m_packetLength = length;
    m_needed = length;
    m_staged = 0;
    m_payload.Resize(0);
    if (length == 0) {
        bool goOn = ReportBadLength(true, 0);
        if (guard.gone || !goOn)
            return false;
        ExpectLength();
        return Deliver(m_payload, guard);
    }
    if (length > m_maxLength) {
        bool goOn = ReportBadLength(false, length);
        if (guard.gone || !goOn)
            return false;
        m_skipping = true;
    }
    return true;
}

// Grows the payload buffer with the bytes that arrived, never to more than
// twice what is held or the announced length.
void CPacketStream::Stage(const unsigned char* data, unsigned n)
{
    int want = int(m_staged + n);
    if (want > m_payload.GetCapacity()) {
        int64_t doubled = int64_t(m_payload.GetCapacity()) * 2;
        int64_t target = std::min<int64_t>(m_packetLength, std::max<int64_t>(want, doubled));
        m_payload.Resize(int(target));
    }
    m_payload.Resize(want);
    m_payload.WriteAt(data, int(n), int(m_staged));
    m_staged = uint32_t(want);
}

unsigned CPacketStream::Parse(const unsigned char* data, unsigned n, SCallGuard& guard)
{
    unsigned consumed = 0;
    while (consumed < n && m_active && !m_paused) {
        const unsigned char* at = data + consumed;
        unsigned take = std::min(m_needed, n - consumed);
        if (m_readingLength) {
            std::memcpy(m_lengthBytes + (uint32_t(m_width) - m_needed), at, take);
            m_needed -= take;
            consumed += take;
            if (m_needed > 0)
                break;
            if (!StartPayload(DecodeLength(m_lengthBytes, m_width), guard))
                return consumed;
            continue;
        }
        if (m_skipping) {
            m_needed -= take;
            consumed += take;
            if (m_needed == 0)
                ExpectLength();
            continue;
        }
        if (m_staged == 0 && int64_t(take) == m_packetLength) {
            // Whole in this input: handed over from the caller's bytes.
            CBuffer view;
            view.Attach(const_cast<unsigned char*>(at), int(take));
            consumed += take;
            ExpectLength();
            if (!Deliver(view, guard))
                return consumed;
            continue;
        }
        Stage(at, take);
        m_needed -= take;
        consumed += take;
        if (m_needed > 0)
            break;
        ExpectLength();
        if (!Deliver(m_payload, guard))
            return consumed;
    }
    return consumed;
}

bool CPacketStream::SendPacket(COutputStream& out, const CBuffer& payload)
{
    int size = payload.GetSize() > 0 ? payload.GetSize() : 0;
    out.Begin();
    bool ok = WriteLength(out, uint32_t(size));
    if (size > 0)
        ok = out.Write(payload) == size && ok;
    return out.End() && ok;
}

bool CPacketStream::SendFile(COutputStream& out, CFile& file)
{
    if (!file.Seek(0, CFile::kSeekStart))
        return false;
    if (file.GetSize() > uint64_t(INT32_MAX))
        return false;
    const uint32_t length = uint32_t(file.GetSize());
    out.Begin();
    bool ok = WriteLength(out, length);
    if (length > 0)
        ok = uint32_t(out.CopyFromFile(file, int(length))) == length && ok;
    return out.End() && ok;
}

} // namespace Zorlin
