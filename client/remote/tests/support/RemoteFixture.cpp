#include "client/remote/tests/support/RemoteFixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include "client/core/Console.h"

namespace fs = std::filesystem;

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

std::string MakeTempFolder(const char* tag)
{
    std::string pattern = (fs::temp_directory_path() / (std::string("rookwell-") + tag + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    char* made = mkdtemp(buffer.data());
    return made ? std::string(made) : std::string();
}

void RemoveTree(const std::string& path)
{
    std::error_code ignored;
    if (!path.empty())
        fs::remove_all(path, ignored);
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return fs::exists(path, ignored);
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
