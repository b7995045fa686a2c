#pragma once

#include "foundation/String.h"

namespace Zorlin {
class CConfig;
class CDrive;
}

class CConsole;
class CFrameView;

// What games, players and engines need of the application object. The
// application implements it and installs itself at start-up; until then (and
// in tests that install nothing) an inert stand-in answers: drives that open
// nothing, empty settings, no frame, consoles that drop their text.
class CAppServices {
public:
    virtual ~CAppServices() = default;

    // The program folder and the user's folder.
    virtual Zorlin::CDrive& GetProgramDrive() = 0;
    virtual Zorlin::CDrive& GetUserDrive() = 0;
    // cfg/app.cfg and the user's user.cfg.
    virtual Zorlin::CConfig& GetProgramSettings() = 0;
    virtual Zorlin::CConfig& GetUserSettings() = 0;
    // The main frame, or null before it exists and after it closed.
    virtual CFrameView* GetFrameView() = 0;
    // A new console window without a parent, owned by the caller; never null.
    virtual CConsole* CreateConsole(const Zorlin::CString& title) = 0;
    // An HTML message box without a parent, shown without waiting; it frees
    // itself when closed.
    virtual void ShowHtmlMessage(const Zorlin::CString& title, const Zorlin::CString& html) = 0;
};

CAppServices& GetAppServices();
// Installs services (null restores the inert stand-in) and returns the
// previous ones; the caller keeps ownership.
CAppServices* SetAppServices(CAppServices* services);
