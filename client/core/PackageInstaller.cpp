#include "client/core/PackageInstaller.h"

#include <algorithm>

#include <unistd.h>

#include <wx/defs.h>

#include "client/core/PackageRules.h"
#include "client/core/Prompt.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AtomicFolder.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/File.h"
#include "foundation/PackageFiles.h"
#include "foundation/URL.h"

using Zorlin::CArchiveDrive;
using Zorlin::CArray;
using Zorlin::CAutoDirectory;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CDiskDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

const char* const kQuestionCaption = "Rookwell - Install package";
const char* const kInstallCaption = "Install package";
// More failed names than this are counted, not listed.
const size_t kFailuresShown = 10;
// An engine's info.cfg is a few lines; anything bigger is not one.
const uint32_t kMaxInfoSize = 65536;
const char* const kUpdateByInstallerText =
    "This update can not be installed from here.\n\nRookwell was installed for every user of this computer, "
    "and is updated by whoever installed it.";

// Keeps the drive's current folder for the scope, whatever path it takes.
class CKeepFolder {
public:
    explicit CKeepFolder(Zorlin::CDrive& drive) : m_drive(drive) { m_drive.PushDirectory(); }
    ~CKeepFolder() { m_drive.PopDirectory(); }

private:
    Zorlin::CDrive& m_drive;
};

CString ReadSmallFile(Zorlin::CDrive& drive, const char* path, uint32_t limit)
{
    CAutoPointer<CFile> file = drive.OpenFile(CURL(path), CFile::kModeRead);
    CString text;
    if (!file || !file->IsOpen() || file->GetSize() > limit)
        return text;
    file->ReadString(text, int(limit));
    return text;
}

void ListNames(CString& text, const std::vector<CString>& names)
{
    for (size_t i = 0; i < names.size() && i < kFailuresShown; ++i)
        text += names[i] + "\n";
    if (names.size() > kFailuresShown)
        text.AppendFormat("and %d more\n", int(names.size() - kFailuresShown));
}

CString FailureMessage(const std::vector<CString>& failed, const std::vector<CString>& tooLong)
{
    CString text("The package was not installed completely.");
    if (!tooLong.empty()) {
        text += " These files held more than the package said and were cut off, not written:\n\n";
        ListNames(text, tooLong);
    }
    if (failed.size() > tooLong.size()) {
        std::vector<CString> others;
        for (const CString& name : failed)
            if (std::find(tooLong.begin(), tooLong.end(), name) == tooLong.end())
                others.push_back(name);
        text += tooLong.empty() ? " " : "\n";
        text += "These files could not be written:\n\n";
        ListNames(text, others);
    }
    return text;
}

// Engine, board and voice packages hold one folder in "contents"; a PGN
// package one entry of any kind.
bool HasOnePayload(Zorlin::CDrive& package, bool pgn)
{
    CKeepFolder keep(package);
    if (!package.ChangeDirectory(CURL("/contents")))
        return false;
    CArray<CString> entries;
    package.ListDirectory(entries, false);
    if (entries.GetCount() != 1)
        return false;
    const CString& name = *entries.GetAt(0);
    return CURL::IsPlainName(name) && (pgn || package.IsDirectory(CURL(name)));
}

} // namespace

CPackageInstaller::CPackageInstaller(CInstallHost& host, CDiskDrive& program, const CString& userName)
    : m_host(host), m_program(program), m_userName(userName)
{
}

void CPackageInstaller::Tell(const CString& text, const char* caption, long style)
{
    GetPrompt().ShowMessage(text, caption, style, m_host.GetParent());
}

bool CPackageInstaller::Install(CArchiveDrive& package, const char* packagePath)
{
    return Install(package, package.GetHost(), packagePath);
}

bool CPackageInstaller::Install(Zorlin::CDrive& package, CFile* packageFile, const char* packagePath)
{
    m_written.clear();
    m_failed.clear();
    m_host.Refresh();
    CKeepFolder keepProgram(m_program);
    CKeepFolder keepPackage(package);

    CConfig manifest;
    {
        CAutoPointer<CFile> file = package.OpenFile(CURL("/contents.cfg"), CFile::kModeRead);
        // A manifest is a few lines; a package's claim of more is not read.
        if (!file || !file->IsOpen() || !manifest.ReadSmall(*file))
            return false;
    }
    CString major = manifest.GetValueOr("contents.major", "");
    CString minor = manifest.GetValueOr("contents.minor", "");
    major.Trim();
    minor.Trim();
    const CString description = manifest.GetValueOr("description", "");

    CString listText;
    if (!IsPackageForProduct(major, listText)) {
        Tell(WrongProductMessage(listText), "Wrong Version!", wxOK | wxICON_EXCLAMATION);
        return true;
    }
    const SPackageKind* kind = FindPackageKind(minor);
    if (!kind)
        return false;
    // A program folder the user may not write is kept up to date by
    // whoever installed it there.
    if (kind->kind == kPackageUpdate && !m_program.GetOwnFolder().IsEmpty()) {
        Tell(kUpdateByInstallerText, kInstallCaption, wxOK | wxICON_INFORMATION);
        return true;
    }
    // A malformed package is refused before the user is asked about it.
    if (kind->kind != kPackageUpdate && !HasOnePayload(package, kind->kind == kPackagePgn))
        return false;
    CString question = CString(kind->questionHead) + description + "\n\nContinue with install?";
    if (GetPrompt().ShowMessage(question, kQuestionCaption, wxYES_NO | wxICON_QUESTION, m_host.GetParent()) !=
        wxYES)
        return true;

    if (kind->kind == kPackageUpdate) {
        // The current game is saved or kept before anything closes.
        if (!m_host.MayCloseForUpdate())
            return true;
        // The updater opens the package itself.
        if (packageFile)
            packageFile->Close();
        CString error;
        if (!m_host.StartUpdater(CString(packagePath ? packagePath : ""), error)) {
            Tell(CString("The updater could not be started:\n\n") + error + "\n\nThe update has not been installed.",
                 kInstallCaption, wxOK | wxICON_ERROR);
            return true;
        }
        m_host.CloseForUpdate();
        return true;
    }
    return InstallFiles(package, *kind);
}

bool CPackageInstaller::ResolveClash(const CString& target, CString& name)
{
    while (m_program.IsDirectory(CURL(target + name))) {
        CString message = CString("A folder named \"") + name +
                          "\" allready exists.\nWhat do you want to do with the package?";
        CArray<CString> choices;
        choices.Add(CString("Update contents of ") + name);
        choices.Add(CString("Rename folder"));
        int choice = GetPrompt().AskChoice(message, kInstallCaption, choices, m_host.GetParent(), 200, 150);
        if (choice == 0)
            return true;
        if (choice != 1)
            return false;
        CString answer;
        if (!GetPrompt().AskText("Enter new name for package", "Rename folder", answer, nullptr))
            return false;
        answer.Trim();
        if (answer.IsEmpty())
            return false;
        // The name becomes a folder below the target, and nothing else.
        if (!CURL::IsPlainName(answer)) {
            Tell(CString("\"") + answer + "\" can not be used as a folder name.", kInstallCaption,
                 wxOK | wxICON_EXCLAMATION);
            continue;
        }
        name = answer;
    }
    return true;
}

bool CPackageInstaller::InstallFiles(Zorlin::CDrive& package, const SPackageKind& kind)
{
    const bool pgn = kind.kind == kPackagePgn;
    if (!package.ChangeDirectory(CURL("/contents")))
        return false;
    const CString target = PackageTargetFolder(kind, m_userName);
    if (!m_program.IsDirectory(CURL(target)))
        return false;
    CArray<CString> entries;
    package.ListDirectory(entries, false);
    if (entries.GetCount() != 1)
        return false;
    CString name = *entries.GetAt(0);
    if (!CURL::IsPlainName(name) || (!pgn && !package.IsDirectory(CURL(name))))
        return false;

    CString destination = target; // ends in '/'
    if (!pgn) {
        // An earlier install cut short is mended first, so the clash is
        // asked about the folder as it really is. What cannot be put back
        // is told at the next start.
        std::vector<CString> unmended;
        Zorlin::MendFolderSwaps(m_program.GetWritablePath(CURL(target)), unmended);
        if (!ResolveClash(target, name))
            return true;
        if (!package.ChangeDirectory(CURL(*entries.GetAt(0))))
            return false;
        destination = target + name + "/";
    }

    std::vector<SPackageItem> items;
    CString problem;
    if (!CollectPackageItems(package, items, problem)) {
        Tell(CString("This package holds a name that can not be installed safely:\n\n") + problem +
                 "\n\nNothing was installed.",
             kInstallCaption, wxOK | wxICON_ERROR);
        return true;
    }

    CString roomProblem;
    if (!Zorlin::CheckPackageRoom(items, m_program.GetWritablePath(CURL(target)), roomProblem)) {
        Tell(roomProblem + "\n\nNothing was installed.", kInstallCaption, wxOK | wxICON_ERROR);
        return true;
    }

    // Played games are the user's own: one of the same name is replaced only when asked.
    std::vector<bool> skip(items.size(), false);
    if (pgn) {
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].folder || !m_program.IsFile(CURL(destination + items[i].path)))
                continue;
            CString text = CString("A file named \"") + items[i].path +
                           "\" already exists in your played games.\n\nDo you want to replace it?";
            int answer = GetPrompt().ShowMessage(text, kInstallCaption, wxYES_NO | wxCANCEL | wxICON_QUESTION,
                                                 m_host.GetParent());
            if (answer == wxCANCEL)
                return true;
            skip[i] = answer != wxYES;
        }
    }

    CString program;
    if (kind.kind == kPackageEngine)
        program = EngineProgramPath(ReadSmallFile(package, "info.cfg", kMaxInfoSize));

    m_host.BeginCopy();
    SCopyRecord record;
    bool replaced = true;
    if (pgn) {
        CopyItems(package, items, skip, program, m_program, destination, destination, record);
        if (record.cancelled)
            RemoveWritten(record.newFiles, record.madeFolders);
    } else {
        // The folder is built beside the installed one and swapped in whole:
        // an interruption leaves the old item or the new one, never a mix.
        Zorlin::CAtomicFolder folder;
        if (!folder.Open(m_program.GetWritablePath(CURL(destination)))) {
            m_host.EndCopy();
            Tell(CString("The folder \"") + destination + "\" could not be prepared for the package.\n\n"
                     "Nothing was installed.",
                 kInstallCaption, wxOK | wxICON_ERROR);
            return true;
        }
        CDiskDrive staged(folder.GetNewFolder().GetText());
        CopyItems(package, items, skip, program, staged, CString(), destination, record);
        if (record.cancelled) {
            folder.Abort();
            m_written.clear();
        } else if (folder.Commit()) {
            m_program.NoteCreated(folder.GetTargetPath());
        } else {
            replaced = false;
            m_written.clear();
            m_failed.push_back(destination);
        }
    }
    m_host.EndCopy();

    if (!replaced)
        Tell(CString("The folder \"") + destination + "\" could not be replaced; it was left as it was.\n\n"
                 "Nothing was installed.",
             kInstallCaption, wxOK | wxICON_ERROR);
    else if (!m_failed.empty())
        Tell(FailureMessage(m_failed, record.tooLong), kInstallCaption, wxOK | wxICON_ERROR);
    else if (!record.cancelled)
        Tell(kind.successText, "Done", wxOK | wxICON_INFORMATION);
    if (pgn)
        m_host.PlayedGamesChanged();
    return true;
}

void CPackageInstaller::CopyItems(Zorlin::CDrive& package, const std::vector<SPackageItem>& items,
                                  const std::vector<bool>& skip, const CString& program, CDiskDrive& into,
                                  const CString& base, const CString& shown, SCopyRecord& record)
{
    std::vector<CString> lostFolders;
    auto makeFolder = [&](const CString& path) {
        const bool existed = into.IsDirectory(CURL(base + path));
        if (!into.MakeDirectory(CURL(base + path)))
            return false;
        if (!existed)
            record.madeFolders.push_back(base + path);
        return true;
    };
    int fileCount = 0;
    for (const SPackageItem& item : items)
        fileCount += item.folder ? 0 : 1;
    std::unique_ptr<CInstallProgress> progress = m_host.OpenProgress(fileCount);
    int n = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const SPackageItem& item = items[i];
        bool lost = false;
        for (const CString& folder : lostFolders)
            lost = lost || item.path.MatchAt(folder, 0);
        if (item.folder) {
            if (!lost && !makeFolder(item.path)) {
                lostFolders.push_back(item.path);
                m_failed.push_back(shown + item.path);
            }
            continue;
        }
        ++n;
        if (progress && !progress->Update(n, item.path)) {
            if (GetPrompt().ShowMessage("Cancel package installation?", "Cancel", wxYES_NO | wxICON_QUESTION,
                                        progress->GetWindow()) == wxYES) {
                record.cancelled = true;
                return;
            }
            progress->Resume();
        }
        if (skip[i])
            continue;
        const CString to = base + item.path;
        const CString reported = shown + item.path;
        if (lost) {
            m_failed.push_back(reported);
            continue;
        }
        const bool named = !program.IsEmpty() && Zorlin::KeysEqualNoCase(item.path, program);
        const bool existed = into.IsFile(CURL(to));
        switch (Zorlin::CopyPackageFile(package, item.path, into, to, named, item.size)) {
        case Zorlin::kPackageCopied:
            m_written.push_back(reported);
            if (!existed)
                record.newFiles.push_back(to);
            break;
        case Zorlin::kPackageFileTooLong:
            record.tooLong.push_back(reported);
            m_failed.push_back(reported);
            break;
        case Zorlin::kPackageCopyFailed:
            m_failed.push_back(reported);
            break;
        }
    }
}

void CPackageInstaller::RemoveWritten(const std::vector<CString>& files, const std::vector<CString>& folders)
{
    for (const CString& file : files) {
        if (::unlink(m_program.GetDiskPath(CURL(file)).GetText()) == 0)
            m_written.erase(std::remove(m_written.begin(), m_written.end(), file), m_written.end());
    }
    // Deepest first; a folder that still holds something stays.
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        ::rmdir(m_program.GetDiskPath(CURL(*folder)).GetText());
}

CString MendInterruptedInstalls(CDiskDrive& program)
{
    CString lost;
    for (const char* minor : {"engine", "board", "voice"}) {
        const CString folder = PackageTargetFolder(*FindPackageKind(minor), CString());
        std::vector<CString> names;
        Zorlin::MendFolderSwaps(program.GetWritablePath(CURL(folder)), names);
        for (const CString& name : names)
            lost += folder + name + "\n";
    }
    if (lost.IsEmpty())
        return lost;
    return CString("An install that was cut short set these folders aside, and they could not be put back:\n\n") +
           lost + "\nRookwell may not be allowed to write to its folder.";
}
