// The application's side of installing a package: the frame, the progress
// window and the hand-over to the updater.

#include <climits>
#include <cstdlib>

#include <wx/app.h>
#include <wx/progdlg.h>
#include <wx/utils.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Launch.h"
#include "client/core/PackageInstaller.h"
#include "client/view/BrowserPanel.h"
#include "client/view/ConsoleWindow.h"

using Zorlin::CString;

namespace {

class CProgressWindow : public CInstallProgress {
public:
    CProgressWindow(int count, wxWindow* parent)
        : m_dialog("Please wait", "Copying files - Please wait", count > 0 ? count : 1, parent,
                   wxPD_CAN_ABORT | wxPD_APP_MODAL | wxPD_ELAPSED_TIME | wxPD_REMAINING_TIME | wxPD_AUTO_HIDE)
    {
    }

    bool Update(int n, const CString& message) override
    {
        return m_dialog.Update(n, wxString::FromUTF8(message.GetText()));
    }
    void Resume() override { m_dialog.Resume(); }
    wxWindow* GetWindow() override { return &m_dialog; }

private:
    wxProgressDialog m_dialog;
};

class CAppInstallHost : public CInstallHost {
public:
    explicit CAppInstallHost(CChessApp& app) : m_app(app) {}

    wxWindow* GetParent() override { return m_app.m_frame; }

    void Refresh() override
    {
        if (m_app.m_frame) {
            m_app.m_frame->Refresh();
            m_app.m_frame->Update();
        }
        if (wxTheApp)
            wxTheApp->Yield(true);
    }

    void BeginCopy() override
    {
        wxBeginBusyCursor();
        if (m_app.m_frame)
            m_app.m_frame->Enable(false);
        if (wxTheApp)
            wxTheApp->Yield(true);
    }

    void EndCopy() override
    {
        wxEndBusyCursor();
        if (m_app.m_frame)
            m_app.m_frame->Enable(true);
    }

    std::unique_ptr<CInstallProgress> OpenProgress(int count) override
    {
        return std::unique_ptr<CInstallProgress>(new CProgressWindow(count, m_app.m_frame));
    }

    void PlayedGamesChanged() override
    {
        if (!m_app.m_frame)
            return;
        if (CBrowserPanel* browser = dynamic_cast<CBrowserPanel*>(m_app.m_frame->GetBrowserPanel())) {
            browser->ListPlayedGames();
            browser->Rebuild(false);
        }
    }

    bool MayCloseForUpdate() override { return !m_app.m_frame || m_app.m_frame->CanClose(); }

    bool StartUpdater(const CString& packagePath, CString& error) override
    {
        // The updater runs from the program folder: a relative path would
        // not name the package there.
        CString absolute = packagePath;
        char resolved[PATH_MAX];
        if (realpath(packagePath.GetText(), resolved))
            absolute = resolved;
        const CString folder = m_app.GetProgramFolder();
        if (m_app.m_console)
            m_app.m_console->Write((UpdaterCommandLine(folder, absolute) + "\n").GetText());
        return ::StartUpdater(folder, absolute, error);
    }

    void CloseForUpdate() override
    {
        CChessFrame* frame = m_app.m_frame;
        if (!frame)
            return;
        // The game was asked already; the frame goes without its close
        // questions, and the program ends through its normal exit.
        frame->Hide();
        m_app.CloseOnlineSession();
        frame->Destroy();
    }

private:
    CChessApp& m_app;
};

} // namespace

bool CChessApp::InstallPackage(Zorlin::CArchiveDrive& package, const char* packagePath)
{
    if (!m_programDrive)
        return false;
    CAppInstallHost host(*this);
    CPackageInstaller installer(host, *m_programDrive, m_userName ? *m_userName : CString());
    return installer.Install(package, packagePath);
}
