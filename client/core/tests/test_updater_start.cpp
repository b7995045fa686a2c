// The client's start of the updater, against real files: every way the
// updater's file can fail to run is told by the start, while the client is
// still open, through the installer's message; nothing is run through a
// shell; a runnable updater is started in the program folder with the
// package and the client's name.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <wx/defs.h>

#include "client/core/Launch.h"
#include "client/core/PackageInstaller.h"
#include "client/core/Prompt.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/DiskDrive.h"
#include "foundation/Win32File.h"
#include "support/PackageBuilder.h"

using Zorlin::CString;

namespace {

// The application's host as far as the updater goes: the real start.
class CRealUpdaterHost : public CInstallHost {
public:
    explicit CRealUpdaterHost(const std::string& folder) : m_folder(folder) {}
    wxWindow* GetParent() override { return nullptr; }
    std::unique_ptr<CInstallProgress> OpenProgress(int) override { return nullptr; }
    bool MayCloseForUpdate() override { return true; }
    bool StartUpdater(const CString& packagePath, CString& error) override
    {
        return ::StartUpdater(m_folder.c_str(), packagePath, error);
    }
    void CloseForUpdate() override { ++closed; }
    int closed = 0;

private:
    std::string m_folder;
};

class UpdaterStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = PackageTest::MakeTempFolder("updater-start");
        ASSERT_FALSE(m_base.empty());
        m_program = m_base + "/program folder";
        m_package = m_base + "/my downloads/update.rwf";
        std::filesystem::create_directories(m_program);
        std::filesystem::create_directories(m_base + "/my downloads");
        const std::vector<PackageTest::SEntry> entries = {
            PackageTest::Manifest("Rookwell Lite", "update", "Version 1.1"), {"contents/update/readme.txt", "new"}};
        ASSERT_TRUE(PackageTest::WriteArchive(m_package, entries));
        m_prompt.Install();
    }
    void TearDown() override { PackageTest::RemoveTree(m_base); }

    void Write(const std::string& name, const std::string& bytes, mode_t mode)
    {
        PackageTest::WriteFile(m_program + "/" + name, bytes);
        chmod((m_program + "/" + name).c_str(), mode);
    }

    std::string m_base;
    std::string m_program;
    std::string m_package;
    CScriptedPrompt m_prompt;
};

TEST_F(UpdaterStartTest, AnUpdaterThatCannotStartIsToldAndTheClientStays)
{
    std::string foreign = PackageTest::ReadFile("/bin/true");
    if (foreign.size() > 20)
        foreign[18] = char((unsigned char)foreign[18] == 0x3E ? 0xB7 : 0x3E);
    const std::string ran = m_program + "/ran";
    struct SCase {
        const char* name;
        std::string bytes; // empty: no updater at all
        mode_t mode;
        std::string error;
    } cases[] = {
        {"missing", "", 0, " is missing."},
        {"not runnable", PackageTest::ReadFile(UPDATER_PROGRAM), 0644, " is not allowed to run."},
        {"damaged", std::string("\x7f" "ELF\x02\x01\x01\0damaged", 15), 0755, " is not a program for this computer."},
        {"script without interpreter", "touch '" + ran + "'\n", 0755, " is not a program for this computer."},
        {"another processor", foreign, 0755, ""},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        unlink((m_program + "/updater").c_str());
        if (!std::string(c.bytes).empty())
            Write("updater", c.bytes, c.mode);
        CString error;
        const bool started = ::StartUpdater(m_program.c_str(), m_package.c_str(), error);
        if (started) {
            // An emulator for other processors took it; it fails there instead.
            ASSERT_TRUE(c.error.empty());
            while (waitpid(-1, nullptr, 0) > 0) {
            }
            continue;
        }
        if (!c.error.empty()) {
            EXPECT_EQ(error, CString((m_program + "/updater" + c.error).c_str()));
        }

        // Through the installer: its message, and no closing.
        CRealUpdaterHost host(m_program);
        Zorlin::CDiskDrive program(m_program.c_str());
        CPackageInstaller installer(host, program, "tester");
        Zorlin::CArchiveDrive archive;
        ASSERT_TRUE(archive.Open(new Zorlin::CWin32File(m_package.c_str(), Zorlin::CFile::kModeRead), nullptr, true));
        m_prompt.Clear();
        m_prompt.QueueButton(wxYES);
        m_prompt.QueueButton(wxOK);
        EXPECT_TRUE(installer.Install(archive, m_package.c_str()));
        ASSERT_EQ(m_prompt.GetCount(), 2);
        EXPECT_EQ(m_prompt.GetQuestion(1).text, CString("The updater could not be started:\n\n") + error +
                                                    "\n\nThe update has not been installed.");
        EXPECT_EQ(host.closed, 0) << "the client stays when no updater takes over";
        EXPECT_FALSE(std::filesystem::exists(ran)) << "nothing was run through a shell";
    }

    // A runnable updater is started in the program folder with the package
    // and the client's name, and outlives the start.
    Write("updater", "#!/bin/sh\nprintf '%s|' \"$(pwd)\" \"$@\" > started.txt\n", 0755);
    CString error;
    ASSERT_TRUE(::StartUpdater(m_program.c_str(), m_package.c_str(), error)) << error.GetText();
    while (waitpid(-1, nullptr, 0) > 0) {
    }
    EXPECT_EQ(PackageTest::ReadFile(m_program + "/started.txt"), m_program + "|" + m_package + "|tavrin|");
}

} // namespace
