#include "updater/Updater.h"

#include <climits>
#include <cstdlib>

#include "foundation/ArchiveDrive.h"
#include "foundation/DiskDrive.h"
#include "foundation/NameText.h"
#include "foundation/PackageFiles.h"
#include "foundation/UpdateMark.h"
#include "foundation/Win32File.h"
#include "updater/UpdateCopier.h"
#include "updater/UpdateLog.h"
#include "updater/UpdatePlan.h"
#include "updater/UpdaterPrompt.h"

using Zorlin::CArchiveDrive;
using Zorlin::CDiskDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;
using Zorlin::CWin32File;

const char* const CUpdater::kUpdaterName = "updater";
const char* const CUpdater::kNewUpdaterName = "updater.update";
const char* const CUpdater::kLogName = "updater.log";
const char* const CUpdater::kClientName = "tavrin";

namespace {

const char* const kManualRun =
    "Updater is used by Rookwell to perform updates,\nand does not need to be run manually.";
const char* const kReady = "Ready to begin update.\n\nIf Rookwell is open please close it now.\n\n"
                           "Click OK to install update to Rookwell.";
const char* const kCancelled = "Update has not been installed.\n\nClick OK to return to Rookwell.";
const char* const kNoFile = "Could not open update file.\nUpdate has not been installed.";
const char* const kNoPackage = "Could not open update package.\nUpdate has not been installed.";
const char* const kNoContents = "Could not find package contents.\n\nUpdate has not been installed.";
const char* const kNoFolder = "Could not open the Rookwell folder.\n\nUpdate has not been installed.";
const char* const kNotWritable = "Could not write to the Rookwell folder.\n\nUpdate has not been installed.";
const char* const kSucceeded = "Update was successful! :-)\n\nClick OK to launch Rookwell.";
const char* const kIncomplete = "Update was not completed: these files could not be written:\n\n";
const char* const kLaunchFailed = "Unable to launch Rookwell.";

const int kFailuresShown = 10;

// Names come from the package: escaped, none can forge a line of the log.
CString Quoted(const CString& name)
{
    return CString("'") + Zorlin::EscapeForLog(name) + "'";
}

// The files to be written, one a line, indented by their depth.
CString PlanTree(const CUpdatePlan& plan)
{
    CString tree;
    for (const CUpdatePlan::SItem& item : plan.GetItems()) {
        int depth = 0;
        int start = 0;
        const int end = item.path.GetLength() - (item.folder ? 1 : 0);
        for (int i = 0; i < end; ++i) {
            if (item.path[i] == '/') {
                ++depth;
                start = i + 1;
            }
        }
        for (int i = 0; i < depth; ++i)
            tree += ' ';
        tree += Zorlin::EscapeForLog(item.path.Mid(start, end - 1));
        tree += '\n';
    }
    return tree;
}

// The package as a start of the client, in the program folder, finds it.
CString FullPath(const CString& path)
{
    char resolved[PATH_MAX];
    return realpath(path.GetText(), resolved) ? CString(resolved) : path;
}

CString IncompleteMessage(const std::vector<CString>& failed)
{
    CString text(kIncomplete);
    for (size_t i = 0; i < failed.size() && i < size_t(kFailuresShown); ++i)
        text += failed[i] + "\n";
    if (failed.size() > size_t(kFailuresShown)) {
        text.Append(int(failed.size() - kFailuresShown));
        text += " more\n";
    }
    text += "\nClick OK to launch Rookwell.";
    return text;
}

} // namespace

CUpdater::CUpdater(CUpdaterPrompt& prompt, const CString& programFolder, WaitFunction wait, StartFunction start)
    : m_prompt(prompt), m_folder(programFolder), m_wait(std::move(wait)), m_start(std::move(start))
{
}

int CUpdater::Run(const std::vector<CString>& arguments)
{
    if (arguments.empty()) {
        m_prompt.Tell(kManualRun);
        return 0;
    }
    const CString& packagePath = arguments[0];
    // The client comes back in every case: without its name, the usual one.
    CString clientName = arguments.size() > 1 ? arguments[1] : CString();
    if (clientName.IsEmpty())
        clientName = kClientName;
    if (m_wait)
        m_wait();
    CUpdateLog log;
    int code = 0;
    if (!m_prompt.AskOkCancel(kReady)) {
        m_prompt.Tell(kCancelled);
    } else {
        log.Open(m_folder + "/" + kLogName);
        log.Write("--------------------------------------\r\n");
        log.Write(CString("Update package: \"") + Zorlin::EscapeForLog(packagePath) + "\"\r\n");
        code = Install(packagePath, log);
    }
    LaunchClient(clientName, log);
    return code;
}

int CUpdater::Refuse(CUpdateLog& log, const CString& logLine, const char* message)
{
    log.Write(CString("FAILED - ") + logLine + "\r\n");
    m_prompt.Tell(message);
    return 1;
}

int CUpdater::Install(const CString& packagePath, CUpdateLog& log)
{
    CWin32File* host = new CWin32File(packagePath, CFile::kModeRead);
    if (!host->IsOpen()) {
        delete host;
        return Refuse(log, "Could not open update file.", kNoFile);
    }
    CArchiveDrive package;
    if (!package.Open(host, nullptr, true))
        return Refuse(log, "Could not open update package.", kNoPackage);
    if (!package.ChangeDirectory(CURL("contents")) || !package.ChangeDirectory(CURL("update")))
        return Refuse(log, "Could not read package contents in dir \"contents/update\".", kNoContents);

    // Everything is checked before the first byte is written.
    CUpdatePlan plan;
    if (!plan.Build(package))
        return Refuse(log, "The package holds an unusable name: " + Quoted(plan.GetProblem()) + ".", kNoPackage);
    if (!plan.Verify(package))
        return Refuse(log, "Could not read " + Quoted(plan.GetProblem()) + " from the package.", kNoPackage);
    CDiskDrive program(m_folder.GetText());
    if (!program.IsValid())
        return Refuse(log, "Could not open the program folder " + Quoted(m_folder) + ".", kNoFolder);
    CString roomProblem;
    if (!Zorlin::CheckPackageRoom(plan.GetItems(), program.GetDiskPath(CURL("/")), roomProblem))
        return Refuse(log, roomProblem, (roomProblem + "\n\nUpdate has not been installed.").GetText());

    if (!MarkFolder(plan, packagePath, log))
        return Refuse(log, CString("Could not write ") + Quoted(Zorlin::kUpdateMarkName) + ".", kNotWritable);

    CUpdateCopier copier(package, program);
    copier.SetProgress([this](int n, int count, const CString& path) { m_prompt.ShowProgress(n, count, path); });
    std::vector<CString> failed;
    const CString newUpdater = plan.FindTopFile(kUpdaterName);
    if (!newUpdater.IsEmpty()) {
        log.Write(CString("Updating ") + Quoted(kUpdaterName) + "!\r\n");
        if (!copier.CopyFile(newUpdater, kNewUpdaterName, plan.FindTopFileSize(kUpdaterName))) {
            log.Write(CString("FAILED - Could not write ") + Quoted(kNewUpdaterName) + "\r\n");
            failed.push_back(kNewUpdaterName);
        }
    }

    log.Write("Writing files...\r\n");
    log.WriteLines(PlanTree(plan));
    log.Write("\r\n");
    const size_t failedBefore = failed.size();
    copier.CopyAll(plan, newUpdater, failed);
    m_prompt.ShowProgress(0, 0, CString());
    if (failed.empty()) {
        if (!Zorlin::ClearUpdateMark(m_folder))
            log.Write(CString("FAILED - Could not remove ") + Quoted(Zorlin::kUpdateMarkName) + "\r\n");
        log.Write("DONE - Update completed successfully.\r\n");
        m_prompt.Tell(kSucceeded);
        return 0;
    }
    for (size_t i = failedBefore; i < failed.size(); ++i)
        log.Write(CString("FAILED - Could not write ") + Quoted(failed[i]) + "\r\n");
    CString count;
    count.Append(int(failed.size()));
    log.Write("FAILED - Update was not completed: " + count + " file(s) could not be written.\r\n");
    m_prompt.Tell(IncompleteMessage(failed));
    return 1;
}

bool CUpdater::MarkFolder(const CUpdatePlan& plan, const CString& packagePath, CUpdateLog& log)
{
    // The folder is marked before its first file changes, and the mark goes
    // only when every file is in place: a start that finds it knows the
    // update did not finish, and which package to run again.
    Zorlin::SUpdateMark mark;
    mark.package = FullPath(packagePath);
    for (const CUpdatePlan::SItem& item : plan.GetItems()) {
        if (item.folder)
            mark.folders.push_back(item.path);
    }
    Zorlin::SUpdateMark earlier;
    const bool resuming = Zorlin::ReadUpdateMark(m_folder, earlier);
    if (!Zorlin::WriteUpdateMark(m_folder, mark))
        return false;
    // What a killed run left beside its files goes before this one writes.
    if (resuming) {
        log.Write("An earlier update did not finish: \"" + Zorlin::EscapeForLog(earlier.package) + "\"\r\n");
        Zorlin::RemoveUpdateLeftovers(m_folder, earlier);
    }
    Zorlin::RemoveUpdateLeftovers(m_folder, mark);
    return true;
}

void CUpdater::LaunchClient(const CString& name, CUpdateLog& log)
{
    log.Write("Running " + name + "\r\n");
    if (m_start && m_start(m_folder, name))
        return;
    log.Write("FAILED - Could not start " + Quoted(name) + "\r\n");
    m_prompt.Tell(kLaunchFailed);
}
