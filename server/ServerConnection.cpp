#include "server/ServerConnection.h"

#include "foundation/Buffer.h"
#include "server/GridmoorServer.h"

namespace {
// A queue emptied after a burst gives back its memory above this.
const size_t kKeptCapacity = 16384;
} // namespace

void COutputQueue::AppendPacket(uint32_t type, uint32_t id, const void* body, size_t size)
{
    const size_t headerSize = id ? 8 : 4;
    const uint32_t length = uint32_t(headerSize + size);
    const size_t at = m_bytes.size();
    m_bytes.resize(at + 4 + headerSize);
    char* out = &m_bytes[at];
    for (int i = 0; i < 4; ++i)
        out[i] = char(length >> (8 * i) & 0xFF);
    out[4] = char(headerSize);
    out[5] = char(type & 0xFF);
    out[6] = char(id ? 1 : 0); // flags: bit 0, an id follows
    out[7] = 0;
    for (int i = 0; id && i < 4; ++i)
        out[8 + i] = char(id >> (8 * i) & 0xFF);
    if (size > 0)
        m_bytes.append(static_cast<const char*>(body), size);
}

void COutputQueue::Consume(size_t n)
{
    m_head += n;
    if (m_head < m_bytes.size()) {
        // Keep the unsent tail at the front once most of the block is sent.
        if (m_head > 65536 && m_head * 2 > m_bytes.size()) {
            m_bytes.erase(0, m_head);
            m_head = 0;
        }
        return;
    }
    m_bytes.clear();
    m_head = 0;
    if (m_bytes.capacity() > kKeptCapacity)
        std::string().swap(m_bytes);
}

CConnectionStream::CConnectionStream(CGridmoorServer& server, CServerConnection& connection)
    : CPacketStream(nullptr, 4), m_server(server), m_connection(connection)
{
}

bool CConnectionStream::OnPacket(Zorlin::CBuffer& payload)
{
    return m_server.OnPacket(m_connection, payload);
}

bool CConnectionStream::OnBadLength(bool zeroLength, uint32_t length)
{
    return m_server.OnBadLength(m_connection, zeroLength, length);
}

CServerConnection::CServerConnection(CGridmoorServer& server, int fd_, std::string host_, int port, int64_t now)
    : fd(fd_), host(std::move(host_)), address(host + ":" + std::to_string(port)), openedAt(now),
      stream(server, *this), lastHeard(now)
{
}
