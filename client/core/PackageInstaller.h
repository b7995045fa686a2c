#pragma once

// Installs a package (engine, board, voice, PGN collection) into the
// program folder, or hands an update to the updater program. An engine,
// board or voice folder is replaced whole (Zorlin::CAtomicFolder). Every
// question goes through the prompt seam; what needs the main window (the
// progress window, disabling the frame, the side panel, closing for an
// update) goes through the host, so tests run it without a frame.

#include <memory>
#include <vector>

#include "foundation/String.h"

namespace Zorlin {
class CArchiveDrive;
class CDiskDrive;
class CDrive;
class CFile;
struct SPackageEntry;
}

struct SPackageKind;
class wxWindow;

// The progress window of the copy.
class CInstallProgress {
public:
    virtual ~CInstallProgress() = default;
    // Moves to step n (from 1) showing message; false when the user pressed
    // abort since the last call.
    virtual bool Update(int n, const Zorlin::CString& message) = 0;
    // Goes on after an abort that the user took back.
    virtual void Resume() = 0;
    // The parent of the question whether to cancel.
    virtual wxWindow* GetWindow() = 0;
};

class CInstallHost {
public:
    virtual ~CInstallHost() = default;
    // The parent of the installer's messages.
    virtual wxWindow* GetParent() = 0;
    // Lets the frame repaint after the file dialog or drop.
    virtual void Refresh() {}
    // The busy cursor and the disabled frame around the copy.
    virtual void BeginCopy() {}
    virtual void EndCopy() {}
    virtual std::unique_ptr<CInstallProgress> OpenProgress(int count) = 0;
    // The user's played games changed: the side panel lists them again.
    virtual void PlayedGamesChanged() {}
    // Before an update: the current game may be saved or kept; false when
    // the user chose to stay.
    virtual bool MayCloseForUpdate() = 0;
    // Starts the updater on the package without waiting; false with the
    // reason in error when it could not be started.
    virtual bool StartUpdater(const Zorlin::CString& packagePath, Zorlin::CString& error) = 0;
    // The updater runs: the client closes its window and ends.
    virtual void CloseForUpdate() = 0;
};

class CPackageInstaller {
public:
    // userName names the user folder below "users/" for PGN packages.
    CPackageInstaller(CInstallHost& host, Zorlin::CDiskDrive& program, const Zorlin::CString& userName);

    // True when the package was dealt with (installed, refused with its own
    // message, declined or cancelled); false when its kind is unknown or it
    // is malformed, which the caller reports.
    bool Install(Zorlin::CArchiveDrive& package, const char* packagePath);
    // The same over any drive; packageFile, when given, is closed before
    // the updater opens the package.
    bool Install(Zorlin::CDrive& package, Zorlin::CFile* packageFile, const char* packagePath);

    // What the last Install wrote and could not write, as program-drive paths.
    const std::vector<Zorlin::CString>& GetWritten() const { return m_written; }
    const std::vector<Zorlin::CString>& GetFailed() const { return m_failed; }

private:
    struct SCopyRecord {
        bool cancelled = false;
        std::vector<Zorlin::CString> newFiles;    // made by this install, to go again on cancel
        std::vector<Zorlin::CString> madeFolders; // the same for folders
        std::vector<Zorlin::CString> tooLong;     // as reported
    };

    bool InstallFiles(Zorlin::CDrive& package, const SPackageKind& kind);
    // Copies the package's items below base on into, reporting them as
    // below shown (a path of the program drive); stops when the user
    // cancels.
    void CopyItems(Zorlin::CDrive& package, const std::vector<Zorlin::SPackageEntry>& items,
                   const std::vector<bool>& skip, const Zorlin::CString& program, Zorlin::CDiskDrive& into,
                   const Zorlin::CString& base, const Zorlin::CString& shown, SCopyRecord& record);
    bool ResolveClash(const Zorlin::CString& target, Zorlin::CString& name);
    void Tell(const Zorlin::CString& text, const char* caption, long style);
    // Takes back a cancelled install of played games: the files it made new
    // and the folders it made; files it replaced keep their new content.
    void RemoveWritten(const std::vector<Zorlin::CString>& files, const std::vector<Zorlin::CString>& folders);

    CInstallHost& m_host;
    Zorlin::CDiskDrive& m_program;
    Zorlin::CString m_userName;
    std::vector<Zorlin::CString> m_written;
    std::vector<Zorlin::CString> m_failed;
};

// Mends what installs cut short left in the engine, board and voice
// folders (Zorlin::MendFolderSwaps), so each installed item is whole. The
// message for the user about what could not be put back, or "".
Zorlin::CString MendInterruptedInstalls(Zorlin::CDiskDrive& program);
