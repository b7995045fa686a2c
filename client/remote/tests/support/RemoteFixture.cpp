#include "client/remote/tests/support/RemoteFixture.h"

#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/utils.h>

#include "client/core/Console.h"

namespace RemoteTest {

namespace {

wxEventLoopBase* g_loop = nullptr;

// Every console's lines go to one shared log of the services.
class CRecordingConsole : public CConsole {
public:
    explicit CRecordingConsole(std::shared_ptr<std::string> log) : m_log(std::move(log)) {}
    void Write(const char* text) override
    {
        if (text)
            *m_log += text;
    }

private:
    // Shared: a console may outlive the services that made it.
    std::shared_ptr<std::string> m_log;
};

} // namespace

void StartToolkit()
{
    static wxInitializer* initializer = nullptr;
    if (initializer)
        return;
    initializer = new wxInitializer();
    if (!initializer->IsOk() || !wxAppConsole::GetInstance())
        return;
    g_loop = wxAppConsole::GetInstance()->GetTraits()->CreateEventLoop();
    static wxEventLoopActivator activator(g_loop);
}

void PumpEvents(int ms)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        wxAppConsole* app = wxAppConsole::GetInstance();
        if (g_loop) {
            g_loop->DispatchTimeout(2);
            while (g_loop->Pending())
                g_loop->Dispatch();
        } else if (app) {
            // A window test runs the application's own loop, not ours.
            app->Yield(true);
            wxMilliSleep(1);
        }
        if (app)
            app->ProcessPendingEvents();
    } while (std::chrono::steady_clock::now() < until);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return done();
        PumpEvents(2);
    }
    return true;
}

std::string Le(uint32_t value)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[size_t(i)] = char(value >> (8 * i) & 0xFF);
    return out;
}

uint32_t ReadLe(const std::string& bytes, size_t at)
{
    return uint32_t(uint8_t(bytes[at])) | uint32_t(uint8_t(bytes[at + 1])) << 8 |
           uint32_t(uint8_t(bytes[at + 2])) << 16 | uint32_t(uint8_t(bytes[at + 3])) << 24;
}

std::string OnlineFrame(int type, uint32_t id, const std::string& body)
{
    std::string payload;
    payload += char(id ? 8 : 4);
    payload += char(type);
    payload += char(id ? 1 : 0);
    payload += char(0);
    if (id)
        payload += Le(id);
    payload += body;
    return Le(uint32_t(payload.size())) + payload;
}

std::string NetFrame(uint32_t type, const std::string& payload)
{
    return Le(uint32_t(payload.size() + 4)) + Le(type) + payload;
}

std::string Bytes(const Zorlin::CBuffer& buffer)
{
    return buffer.GetSize() > 0 ? std::string(reinterpret_cast<const char*>(buffer.GetData()), size_t(buffer.GetSize()))
                                : std::string();
}

Zorlin::CBuffer BufferOf(const std::string& bytes)
{
    Zorlin::CBuffer buffer;
    buffer.Resize(int(bytes.size()));
    if (!bytes.empty())
        buffer.WriteAt(bytes.data(), int(bytes.size()), 0);
    return buffer;
}

CLoopbackServer::CLoopbackServer(int receiveBuffer)
{
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        setsockopt(m_listener, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(m_listener, 4);
    socklen_t size = sizeof(address);
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
    m_port = ntohs(address.sin_port);
    fcntl(m_listener, F_SETFL, O_NONBLOCK);
}

CLoopbackServer::~CLoopbackServer()
{
    CloseConnection();
    CloseListener();
}

bool CLoopbackServer::Accept()
{
    if (m_connection < 0)
        m_connection = accept(m_listener, nullptr, nullptr);
    return m_connection >= 0;
}

void CLoopbackServer::Send(const std::string& bytes)
{
    ASSERT_EQ(write(m_connection, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

void CLoopbackServer::CloseConnection()
{
    if (m_connection >= 0)
        close(m_connection);
    m_connection = -1;
}

void CLoopbackServer::CloseListener()
{
    if (m_listener >= 0)
        close(m_listener);
    m_listener = -1;
}

CTestServices::CTestServices()
    : m_programFolder(MakeTempFolder("program")), m_userFolder(MakeTempFolder("user")),
      m_programDrive(new Zorlin::CDiskDrive(m_programFolder.c_str())),
      m_userDrive(new Zorlin::CDiskDrive(m_userFolder.c_str()))
{
    m_previous = SetAppServices(this);
}

CTestServices::~CTestServices()
{
    SetAppServices(m_previous);
    RemoveTree(m_programFolder);
    RemoveTree(m_userFolder);
}

CConsole* CTestServices::CreateConsole(const Zorlin::CString&)
{
    return new CRecordingConsole(m_consoleLog);
}

} // namespace RemoteTest
