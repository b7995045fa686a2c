#include "server/ServerConnection.h"

#include "foundation/Buffer.h"
#include "server/GridmoorServer.h"

namespace {
// A queue emptied after a burst gives back its memory above this.
const size_t kKeptCapacity = 16384;
} // namespace

int COutputQueue::Write(const Zorlin::CBuffer& data)
{
    if (data.GetSize() <= 0)
        return 0;
    m_bytes.append(reinterpret_cast<const char*>(data.GetData()), size_t(data.GetSize()));
    return data.GetSize();
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

CServerConnection::CServerConnection(CGridmoorServer& server, int fd_, std::string address_, int64_t now)
    : fd(fd_), address(std::move(address_)), stream(server, *this), lastHeard(now)
{
}
