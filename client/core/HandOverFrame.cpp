#include "client/core/HandOverFrame.h"

#include <algorithm>

#include "client/core/ByteDevice.h"
#include "foundation/Buffer.h"
#include "foundation/OutputStream.h"

namespace {

const int kReadPiece = 4096;

class CBytesOutput : public Zorlin::COutputStream {
public:
    explicit CBytesOutput(std::vector<char>& bytes) : m_bytes(bytes) {}
    int Write(const Zorlin::CBuffer& data) override
    {
        const int n = std::max(data.GetSize(), 0);
        const char* at = reinterpret_cast<const char*>(data.GetData());
        m_bytes.insert(m_bytes.end(), at, at + n);
        return n;
    }
    bool IsOpen() const override { return true; }

private:
    std::vector<char>& m_bytes;
};

} // namespace

CHandOverFrame::CHandOverFrame(uint32_t maxLength) : CPacketStream(nullptr, 4)
{
    SetMaxPacketLength(maxLength);
}

CHandOverFrame::EState CHandOverFrame::ReadFrom(CByteDevice& device)
{
    char piece[kReadPiece];
    while (m_state == kWaiting) {
        const int n = device.Read(piece, sizeof piece);
        if (n == 0)
            break;
        if (n < 0) {
            m_state = kEnded;
            break;
        }
        Receive(piece, unsigned(n));
    }
    return m_state;
}

bool CHandOverFrame::OnPacket(Zorlin::CBuffer& payload)
{
    const char* at = reinterpret_cast<const char*>(payload.GetData());
    m_payload.assign(at, at + std::max(payload.GetSize(), 0));
    m_state = kWhole;
    return false;
}

bool CHandOverFrame::OnBadLength(bool, uint32_t length)
{
    m_badLength = length;
    m_state = kBad;
    return false;
}

std::vector<char> CHandOverFrame::Bytes(const std::vector<char>& payload)
{
    std::vector<char> bytes;
    CBytesOutput out(bytes);
    Zorlin::CBuffer view;
    view.Attach(const_cast<char*>(payload.data()), int(payload.size()));
    SendPacket(out, view);
    return bytes;
}
