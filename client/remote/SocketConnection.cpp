#include "client/remote/SocketConnection.h"

#include <cerrno>
#include <functional>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <string>
#include <netinet/in.h>
#include <netinet/tcp.h>

#include <wx/event.h>
#include <wx/socket.h>

#include "foundation/OutputStream.h"
#include "foundation/PacketStream.h"
#include "foundation/NameText.h"

using Zorlin::CBuffer;
using Zorlin::COutputStream;
using Zorlin::CPacketInput;
using Zorlin::CPacketStream;

namespace {

const int kReadChunk = 1024;
const int kChunksPerEvent = 64;
// What one input event may spend on the packets it reads, so a flood leaves
// the timers and the windows their turn between events.
const auto kReadTime = std::chrono::milliseconds(20);
// Our own packets are small; a batch that grows past this is a fault.
const int kMaxBatch = 16 << 20;
const int kNotifyAll = wxSOCKET_INPUT_FLAG | wxSOCKET_OUTPUT_FLAG | wxSOCKET_CONNECTION_FLAG | wxSOCKET_LOST_FLAG;

// One batch for the whole process: one connection exists at a time.
struct SSocketBatch {
    int depth = 0;
    bool failed = false;
    CBuffer staging;
};

SSocketBatch& Batch()
{
    static SSocketBatch batch;
    return batch;
}

class CNullLogStream : public COutputStream {
public:
    int Write(const CBuffer& data) override { return data.GetSize() > 0 ? data.GetSize() : 0; }
    bool IsOpen() const override { return true; }
};

// All of size bytes or false. The toolkit's blocking write would wait for
// a peer that stops reading as long as it likes, so the bytes go straight
// to the socket, waiting for room at most timeoutSeconds in all.
bool WriteAll(wxSocketBase& socket, const void* data, int size, int timeoutSeconds, int& written)
{
    written = 0;
    if (size <= 0)
        return true;
    const wxSOCKET_T fd = socket.GetSocket();
    if (!socket.IsConnected() || fd == wxSOCKET_T(-1))
        return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    const char* at = static_cast<const char*>(data);
    int left = size;
    while (left > 0) {
        const ssize_t n = ::send(fd, at, size_t(left), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            at += n;
            left -= int(n);
            written += int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        const auto now = std::chrono::steady_clock::now();
        if (now >= until)
            return false;
        pollfd wait = {int(fd), POLLOUT, 0};
        const int ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count()) + 1;
        if (::poll(&wait, 1, ms) < 0 && errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

// ------------------------------------------------------------ adapters

class CSocketInput : public CPacketInput {
public:
    explicit CSocketInput(wxSocketClient* socket) : m_socket(socket) {}
    wxSocketClient* m_socket;
};

class CSocketOutput : public COutputStream {
public:
    explicit CSocketOutput(wxSocketClient* socket) : m_socket(socket) {}

    void Begin() override
    {
        SSocketBatch& batch = Batch();
        if (batch.depth++ == 0) {
            batch.staging.Resize(0);
            batch.failed = false;
        }
    }

    int Write(const CBuffer& data) override
    {
        const int n = data.GetSize() > 0 ? data.GetSize() : 0;
        SSocketBatch& batch = Batch();
        if (batch.depth == 0)
            return Send(data.GetData(), n) ? n : 0;
        const int at = batch.staging.GetSize() > 0 ? batch.staging.GetSize() : 0;
        if (at + n > kMaxBatch) {
            batch.failed = true;
            return 0;
        }
        batch.staging.Resize(at + n);
        if (n > 0)
            batch.staging.WriteAt(data.GetData(), n, at);
        return n;
    }

    bool End() override
    {
        SSocketBatch& batch = Batch();
        if (batch.depth == 0)
            return false;
        if (--batch.depth > 0)
            return !batch.failed;
        const int size = batch.staging.GetSize() > 0 ? batch.staging.GetSize() : 0;
        const bool sent = !batch.failed && Send(batch.staging.GetData(), size);
        batch.staging.Resize(0, size > 65536);
        batch.failed = false;
        return sent;
    }

    bool IsOpen() const override { return m_socket && m_socket->IsConnected(); }

    wxSocketClient* m_socket;

private:
    bool Send(const void* data, int size)
    {
        int written = 0;
        if (m_socket && WriteAll(*m_socket, data, size, m_timeout, written))
            return true;
        // Part of a packet is on the wire: the peer can read nothing after it.
        if (written > 0 && m_onBroken)
            m_onBroken();
        return false;
    }

public:
    int m_timeout = CSocketConnection::kWriteTimeoutSeconds;
    std::function<void()> m_onBroken;
};

class CSocketEventHandler : public wxEvtHandler {
public:
    explicit CSocketEventHandler(CSocketConnection* connection) : m_connection(connection)
    {
        Bind(wxEVT_SOCKET, &CSocketEventHandler::OnSocketEvent, this);
    }

    void OnSocketEvent(wxSocketEvent& event)
    {
        switch (event.GetSocketEvent()) {
        case wxSOCKET_INPUT:
            m_connection->OnInput();
            break;
        case wxSOCKET_CONNECTION:
            m_connected = true;
            m_connection->OnConnectionMade();
            break;
        case wxSOCKET_LOST:
            m_connected = false;
            m_connection->OnLost();
            break;
        default:
            break;
        }
    }

    CSocketConnection* m_connection;
    bool m_connected = false;
};

class CConnectionPacketStream : public CPacketStream {
public:
    explicit CConnectionPacketStream(CSocketConnection* connection)
        : CPacketStream(nullptr, 4), m_connection(connection)
    {
        SetMaxPacketLength(CSocketConnection::kMaxPacketLength);
    }

    bool OnPacket(CBuffer& payload) override { return m_connection->DeliverPacket(payload); }
    // Nothing can be made of the bytes after a length we refuse.
    bool OnBadLength(bool zeroLength, uint32_t) override { return zeroLength; }

    CSocketConnection* m_connection;
};

// ------------------------------------------------------------ connection

CSocketConnection::CSocketConnection()
    : m_socket(nullptr), m_input(nullptr), m_output(nullptr), m_handler(nullptr), m_stream(nullptr),
      m_log(new CNullLogStream()), m_writeTimeout(kWriteTimeoutSeconds), m_alive(nullptr), m_reading(false)
{
    CreateSocket();
}

CSocketConnection::~CSocketConnection()
{
    if (m_alive)
        *m_alive = false;
    if (m_socket) {
        m_socket->Notify(false);
        m_socket->Destroy();
    }
    delete m_stream;
    delete m_handler;
    delete m_output;
    delete m_input;
    delete m_log;
}

void CSocketConnection::CreateSocket()
{
    if (m_socket) {
        m_socket->Notify(false);
        m_socket->Destroy();
    }
    m_socket = new wxSocketClient(wxSOCKET_NONE);
    m_socket->SetTimeout(m_writeTimeout);
    delete m_input;
    m_input = new CSocketInput(m_socket);
    delete m_output;
    m_output = new CSocketOutput(m_socket);
    m_output->m_timeout = m_writeTimeout;
    // Closed from the event loop: the sender is still on the stack.
    m_output->m_onBroken = [this] {
        Log("Send failed");
        m_handler->CallAfter([this] {
            if (m_socket->IsConnected())
                Close();
        });
    };
    delete m_handler;
    m_handler = new CSocketEventHandler(this);
    delete m_stream;
    m_stream = new CConnectionPacketStream(this);
    m_stream->SetInput(m_input);
    m_socket->SetEventHandler(*m_handler, wxID_ANY);
    EnableNotify();
}

void CSocketConnection::EnableNotify()
{
    m_socket->SetNotify(kNotifyAll);
    m_socket->Notify(true);
}

void CSocketConnection::SetWriteTimeout(int seconds)
{
    m_writeTimeout = seconds < 1 ? 1 : seconds;
    if (m_socket)
        m_socket->SetTimeout(m_writeTimeout);
    if (m_output)
        m_output->m_timeout = m_writeTimeout;
    // Closed from the event loop: the sender is still on the stack.
    m_output->m_onBroken = [this] {
        Log("Send failed");
        m_handler->CallAfter([this] {
            if (m_socket->IsConnected())
                Close();
        });
    };
}

void CSocketConnection::SetLogStream(COutputStream* log)
{
    delete m_log;
    m_log = log ? log : new CNullLogStream();
}

void CSocketConnection::Log(const char* text)
{
    m_log->WriteNewLine(1);
    m_log->WriteString(text);
}

bool CSocketConnection::Connect(const char* host, int port)
{
    if (m_socket->IsConnected() || m_socket->IsOk())
        m_socket->Close();
    // Nothing of an earlier connection may join the packets of this one.
    m_stream->Reset();
    EnableNotify();
    OnConnecting();
    wxIPV4address address;
    Log((Zorlin::CString("Try to connect to ") + Zorlin::EscapeForLog(Zorlin::CString(host ? host : ""))).GetText());
    if (!host || !*host || !address.Hostname(wxString::FromUTF8(host)) || port <= 0 || port > 65535 ||
        !address.Service(wxUint16(port))) {
        ConnectFailed("Unknown host");
        return true;
    }
    if (m_socket->Connect(address, false)) {
        OnConnectionMade();
        return true;
    }
    if (m_socket->LastError() != wxSOCKET_WOULDBLOCK)
        ConnectFailed("Connection failed");
    return true;
}

void CSocketConnection::ConnectFailed(const char* why)
{
    Log(why);
    m_socket->Close();
    OnDisconnected();
}

void CSocketConnection::OnConnectionMade()
{
    wxIPV4address peer;
    std::string name;
    // The address as it stands: a reverse lookup could hold the window.
    if (m_socket->GetPeer(peer))
        name = peer.IPAddress().utf8_str().data();
    Log(("Connected to " + name).c_str());
    int off = 0;
    m_socket->SetOption(IPPROTO_TCP, TCP_NODELAY, &off, sizeof(off));
    m_handler->m_connected = true;
    OnConnected();
}

void CSocketConnection::OnLost()
{
    Log("Socket Lost!");
    m_handler->m_connected = false;
    // The socket is no use any more; Connect makes a new connection on it.
    m_socket->Close();
    OnDisconnected();
}

void CSocketConnection::Close()
{
    m_socket->Close();
    m_handler->m_connected = false;
    Log("Socket Closed!");
    OnDisconnected();
}

bool CSocketConnection::IsConnected() const
{
    return m_socket && m_socket->IsConnected();
}

void CSocketConnection::OnInput()
{
    // A handler may open a modal window, whose event loop must not hand us
    // the next bytes while this packet is still being handled.
    if (m_reading)
        return;
    m_reading = true;
    bool alive = true;
    bool* outer = m_alive;
    m_alive = &alive;
    wxSocketClient* socket = m_socket;
    socket->SetNotify(kNotifyAll & ~wxSOCKET_INPUT_FLAG);

    // Everything waiting is read now, a chunk at a time: the toolkit does
    // not announce bytes that were already there at the last read. A peer
    // that floods us is served in turns so the window stays responsive.
    bool more = true;
    const auto until = std::chrono::steady_clock::now() + kReadTime;
    for (int chunk = 0; chunk < kChunksPerEvent && more && alive && m_stream->IsActive(); ++chunk) {
        if (chunk > 0 && std::chrono::steady_clock::now() >= until)
            break;
        char buffer[kReadChunk];
        socket->SetFlags(wxSOCKET_NOWAIT);
        socket->Read(buffer, sizeof(buffer));
        const unsigned count = socket->Error() ? 0 : socket->LastCount();
        more = count == sizeof(buffer);
        if (count > 0)
            m_input->Deliver(buffer, count);
    }
    if (!alive)
        return; // a handler ended the connection object
    m_alive = outer;
    m_reading = false;
    if (!socket->IsConnected())
        return;
    socket->SetNotify(kNotifyAll);
    if (!m_stream->IsActive()) {
        Log("Bad packet from the server");
        Close();
        return;
    }
    // Bytes that came while notices were off are announced by nobody.
    if (more || socket->IsData())
        m_handler->CallAfter([this] { OnInput(); });
}

bool CSocketConnection::DeliverPacket(CBuffer& payload)
{
    return OnPacket(payload);
}

bool CSocketConnection::SendPacket(const CBuffer& payload)
{
    return CPacketStream::SendPacket(*m_output, payload);
}

CPacketStream& CSocketConnection::GetPacketStream()
{
    return *m_stream;
}

COutputStream& CSocketConnection::GetOutput()
{
    return *m_output;
}
