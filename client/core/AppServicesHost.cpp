// What games, players and engines need of the application (CAppServices),
// answered from the application object. Installed at start-up, removed at
// exit; stores and drives that do not exist yet answer with empty ones.

#include "client/core/AppServices.h"

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Console.h"
#include "client/view/ConsoleWindow.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

// A parentless console window behind the games' console interface; the
// window goes with it.
class CWindowConsole : public CConsole {
public:
    explicit CWindowConsole(const CString& title) : m_window(new CConsoleWindow(nullptr, title.GetText())) {}
    ~CWindowConsole() override { m_window->Destroy(); }
    void Write(const char* text) override { m_window->Write(text); }
    void EnableBesideModals() override { m_window->EnableBesideModals(); }

private:
    CConsoleWindow* m_window;
};

class CApplicationServices : public CAppServices {
public:
    CApplicationServices() : m_noDrive("/nonexistent/rookwell-none/") {}

    Zorlin::CDrive& GetProgramDrive() override
    {
        CChessApp* app = GetChessApp();
        return app && app->m_programDrive ? *app->m_programDrive : m_noDrive;
    }
    Zorlin::CDrive& GetUserDrive() override
    {
        CChessApp* app = GetChessApp();
        return app && app->m_userDrive ? *app->m_userDrive : m_noDrive;
    }
    CConfig& GetProgramSettings() override { return Store(&CChessApp::m_programConfig, m_noProgram); }
    CConfig& GetUserSettings() override { return Store(&CChessApp::m_userConfig, m_noUser); }
    CFrameView* GetFrameView() override
    {
        CChessApp* app = GetChessApp();
        return app ? app->m_frame : nullptr;
    }
    CConsole* CreateConsole(const CString& title) override { return new CWindowConsole(title); }
    void ShowHtmlMessage(const CString& title, const CString& html) override
    {
        CChessApp* app = GetChessApp();
        if (app)
            app->ShowHtmlMessage(title, html);
    }

private:
    static CConfig& Store(std::unique_ptr<CConfig> CChessApp::*field, CConfig& fallback)
    {
        CChessApp* app = GetChessApp();
        if (app && (app->*field))
            return *(app->*field);
        fallback.Clear();
        return fallback;
    }

    Zorlin::CDiskDrive m_noDrive;
    CConfig m_noProgram;
    CConfig m_noUser;
};

} // namespace

CAppServices& GetApplicationServices()
{
    static CApplicationServices services;
    return services;
}
