#include "client/core/Launch.h"

#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/process.h>
#include <wx/utils.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Prompt.h"
#include "client/core/StartUp.h"
#include "foundation/Spawn.h"
#include "launcher/LinkPolicy.h"
#include "platform/SystemPlaces.h"

using Zorlin::CString;

namespace {

CString ProgramFolder()
{
    CChessApp* app = GetChessApp();
    if (app && app->m_programDrive)
        return app->GetProgramFolder();
    const CString executable = RunningProgramPath();
    return executable.Mid(0, executable.ReverseFind('/'));
}

wxWindow* MessageParent()
{
    CChessApp* app = GetChessApp();
    return app ? (wxWindow*)app->m_frame : nullptr;
}

} // namespace

bool MakeLauncherCommand(const char* url, const CString& programFolder, CString& program, CString& argument,
                         const CString& ownFolder)
{
    std::string target;
    if (LinkPolicy::Classify(url, programFolder.GetText(), ownFolder.GetText(), target) == LinkPolicy::kRefused)
        return false;
    program = programFolder;
    if (!program.IsEmpty() && program[program.GetLength() - 1] != '/')
        program.Append('/');
    program.Append("linkhop");
    argument = target.c_str();
    return true;
}

namespace {

// Hears how the launcher ended; the toolkit tells it on the GUI thread.
class CLauncherProcess : public wxProcess {
public:
    explicit CLauncherProcess(std::function<void()> notOpened) : m_notOpened(std::move(notOpened)) {}
    void OnTerminate(int, int status) override
    {
        if (status == LinkPolicy::kNotOpened && m_notOpened)
            m_notOpened();
        delete this;
    }

private:
    std::function<void()> m_notOpened;
};

} // namespace

void OpenUrl(const char* url)
{
    OpenUrl(url, nullptr);
}

void OpenUrl(const char* url, std::function<void()> notOpened)
{
    CString program, argument;
    CChessApp* app = GetChessApp();
    const CString own = app && app->m_programDrive ? app->m_programDrive->GetOwnFolder() : CString();
    if (!MakeLauncherCommand(url, ProgramFolder(), program, argument, own)) {
        CString text("Rookwell opens only web pages, mail addresses and its own documents.\n\n"
                     "This address was not opened:\n");
        text += url ? url : "";
        GetPrompt().ShowMessage(text, "Open", wxOK | wxICON_INFORMATION, MessageParent());
        return;
    }
    // wxExecute takes the arguments as given: no shell sees the address.
    const char* argv[] = {program.GetText(), argument.GetText(), nullptr};
    if (!notOpened) {
        wxExecute(argv, wxEXEC_ASYNC);
        return;
    }
    if (access(program.GetText(), X_OK) != 0) {
        notOpened();
        return;
    }
    CLauncherProcess* process = new CLauncherProcess(notOpened);
    if (wxExecute(argv, wxEXEC_ASYNC, process) <= 0) {
        delete process;
        notOpened();
    }
}

namespace {

CString UpdaterProgram(const CString& programFolder)
{
    CString program = programFolder;
    if (!program.IsEmpty() && program[program.GetLength() - 1] != '/')
        program.Append('/');
    program.Append("updater");
    return program;
}

} // namespace

CString UpdaterCommandLine(const CString& programFolder, const CString& packagePath)
{
    return UpdaterProgram(programFolder) + " \"" + packagePath + "\" \"tavrin\"";
}

bool StartUpdater(const CString& programFolder, const CString& packagePath, CString& error)
{
    // The updater outlives us: a session of its own, nothing waits for it.
    // A file that cannot run is told here, while the client is still open.
    Zorlin::SSpawnOptions options;
    options.folder = programFolder;
    options.newSession = true;
    return Zorlin::SpawnProgram({UpdaterProgram(programFolder), packagePath, "tavrin"}, options, error) > 0;
}

CString HelpPagePath(const CString& language, const char* topic)
{
    CChessApp* app = GetChessApp();
    CString path("/html/");
    path += language;
    path += "/Doc/";
    path += topic ? topic : "";
    path += ".htm";
    if (!app || !app->m_programDrive)
        return CString();
    return app->m_programDrive->GetDiskPath(Zorlin::CURL(path));
}

void CChessApp::ShowHelp(const char* topic, const char* anchor)
{
    CString language = m_userConfig ? m_userConfig->GetValueOr(".Preferences.Language", "") : CString();
    if (language.IsEmpty())
        language = "english";
    CString path = HelpPagePath(language, topic);
    struct stat info;
    if (path.IsEmpty() || stat(path.GetText(), &info) != 0) {
        CString text("The help page \"");
        text += topic ? topic : "";
        text += "\" could not be found.\n\nYou may have to re-install Rookwell.";
        GetPrompt().ShowMessage(text, "Help", wxOK | wxICON_INFORMATION, m_frame);
        return;
    }
    OpenUrl(MakeFileAddress(path, anchor).GetText(), [this, path] {
        CString text("Rookwell could not start a web browser to show its help.\n\n"
                     "Please open this file in your web browser:\n");
        text += path;
        GetPrompt().ShowMessage(text, "Help", wxOK | wxICON_INFORMATION, m_frame);
    });
}
