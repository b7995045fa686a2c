#include "server/ServerConnection.h"

#include <algorithm>

#include "foundation/Buffer.h"
#include "server/GridmoorServer.h"

namespace {
// A queue emptied after a burst gives back its memory above this.
const size_t kKeptCapacity = 16384;
} // namespace

void COutputQueue::AppendPacket(uint32_t type, uint32_t id, const void* body, size_t size, uint32_t sender)
{
    const size_t before = m_bytes.size();
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
    Count(sender, m_bytes.size() - before);
}

void COutputQueue::Count(uint32_t sender, size_t bytes)
{
    if (m_runs.size() > m_firstRun && m_runs.back().sender == sender)
        m_runs.back().bytes += bytes;
    else
        m_runs.push_back(SRun{ sender, bytes });
    if (!sender)
        return;
    m_forwarded += bytes;
    for (SRun& total : m_bySender)
        if (total.sender == sender) {
            total.bytes += bytes;
            return;
        }
    m_bySender.push_back(SRun{ sender, bytes });
}

size_t COutputQueue::GetQueuedFrom(uint32_t sender) const
{
    for (const SRun& total : m_bySender)
        if (total.sender == sender)
            return total.bytes;
    return 0;
}

void COutputQueue::Consume(size_t n)
{
    for (size_t left = n; left > 0 && m_firstRun < m_runs.size();) {
        SRun& run = m_runs[m_firstRun];
        const size_t taken = std::min(left, run.bytes);
        run.bytes -= taken;
        left -= taken;
        if (run.sender) {
            m_forwarded -= taken;
            for (size_t i = 0; i < m_bySender.size(); ++i)
                if (m_bySender[i].sender == run.sender && (m_bySender[i].bytes -= taken) == 0) {
                    m_bySender.erase(m_bySender.begin() + long(i));
                    break;
                }
        }
        if (run.bytes == 0)
            ++m_firstRun;
    }
    if (m_firstRun > 64 && m_firstRun * 2 > m_runs.size()) {
        m_runs.erase(m_runs.begin(), m_runs.begin() + long(m_firstRun));
        m_firstRun = 0;
    }
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
    m_runs.clear();
    m_firstRun = 0;
    if (m_bytes.capacity() > kKeptCapacity) {
        std::string().swap(m_bytes);
        std::vector<SRun>().swap(m_runs);
    }
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
