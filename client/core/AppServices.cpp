#include "client/core/AppServices.h"

#include "client/core/Console.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"

namespace {

class CSilentConsole : public CConsole {
public:
    void Write(const char*) override {}
};

// Answers for a process with no application object: nothing is read or
// written anywhere.
class CInertServices : public CAppServices {
public:
    CInertServices() : m_drive("/nonexistent/rookwell-inert/") {}

    Zorlin::CDrive& GetProgramDrive() override { return m_drive; }
    Zorlin::CDrive& GetUserDrive() override { return m_drive; }
    Zorlin::CConfig& GetProgramSettings() override { return m_program; }
    Zorlin::CConfig& GetUserSettings() override { return m_user; }
    CFrameView* GetFrameView() override { return nullptr; }
    CConsole* CreateConsole(const Zorlin::CString&) override { return new CSilentConsole(); }
    void ShowHtmlMessage(const Zorlin::CString&, const Zorlin::CString&) override {}

private:
    Zorlin::CDiskDrive m_drive;
    Zorlin::CConfig m_program;
    Zorlin::CConfig m_user;
};

CAppServices* g_services = nullptr;

CAppServices& Inert()
{
    static CInertServices services;
    return services;
}

} // namespace

CAppServices& GetAppServices()
{
    return g_services ? *g_services : Inert();
}

CAppServices* SetAppServices(CAppServices* services)
{
    CAppServices* previous = g_services;
    g_services = services;
    return previous;
}
