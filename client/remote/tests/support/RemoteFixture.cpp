#include "client/remote/tests/support/RemoteFixture.h"

#include <chrono>

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include "client/core/Console.h"

namespace RemoteTest {

namespace {

wxEventLoopBase* g_loop = nullptr;

class CDroppingConsole : public CConsole {
public:
    void Write(const char*) override {}
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
        if (g_loop) {
            g_loop->DispatchTimeout(2);
            while (g_loop->Pending())
                g_loop->Dispatch();
        }
        if (wxAppConsole* app = wxAppConsole::GetInstance())
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
    return new CDroppingConsole();
}

} // namespace RemoteTest
