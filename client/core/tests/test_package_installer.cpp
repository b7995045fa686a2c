// Installing real packages (a board and a voice of the repository, an engine
// package for an installed engine, a PGN collection of real games, an
// update) into a temporary program folder, and the ways an installation can
// go wrong: another product, an unknown kind, hostile names, a folder that
// exists, a cancelled copy, files that cannot be written.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/defs.h>

#include "client/core/PackageInstaller.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/Win32File.h"
#include "support/PackageBuilder.h"

using PackageTest::SEntry;
using Zorlin::CString;

namespace {

const std::string kData = ROOKWELL_SOURCE "/data";
const std::string kPgn = ROOKWELL_TESTDATA "/pgn";

class CFakeProgress : public CInstallProgress {
public:
    CFakeProgress(std::vector<std::string>& shown, int abortAt) : m_shown(shown), m_abortAt(abortAt) {}
    bool Update(int n, const CString& message) override
    {
        m_shown.push_back(message.GetText());
        return n != m_abortAt;
    }
    void Resume() override { ++resumed; }
    wxWindow* GetWindow() override { return nullptr; }
    int resumed = 0;

private:
    std::vector<std::string>& m_shown;
    int m_abortAt;
};

class CFakeHost : public CInstallHost {
public:
    wxWindow* GetParent() override { return nullptr; }
    void BeginCopy() override { ++copies; }
    void EndCopy() override { --copies; }
    std::unique_ptr<CInstallProgress> OpenProgress(int count) override
    {
        progressCount = count;
        return std::unique_ptr<CInstallProgress>(new CFakeProgress(shown, abortAt));
    }
    void PlayedGamesChanged() override { ++playedGamesChanged; }
    bool MayCloseForUpdate() override
    {
        ++closeAsked;
        return mayClose;
    }
    bool StartUpdater(const CString& packagePath, CString& error) override
    {
        updaterPackage = packagePath.GetText();
        if (!updaterStarts)
            error = "no updater here";
        return updaterStarts;
    }
    void CloseForUpdate() override { ++closed; }

    int copies = 0;
    int progressCount = -1;
    int abortAt = -1;
    std::vector<std::string> shown;
    int playedGamesChanged = 0;
    int closeAsked = 0;
    bool mayClose = true;
    bool updaterStarts = true;
    std::string updaterPackage;
    int closed = 0;
};

class PackageInstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = PackageTest::MakeTempFolder("install");
        ASSERT_FALSE(m_base.empty());
        m_folder = m_base + "/program";
        for (const char* sub : {"engines", "boards", "voices", "users/tester/played games"})
            std::filesystem::create_directories(m_folder + "/" + sub);
        m_prompt.Install();
    }
    void TearDown() override { PackageTest::RemoveTree(m_base); }

    std::string Package(const std::string& name, const std::vector<SEntry>& entries)
    {
        std::string path = m_base + "/" + name;
        EXPECT_TRUE(PackageTest::WriteArchive(path, entries)) << name;
        return path;
    }
    // Opens and installs the package; the answer of Install.
    bool Install(const std::string& path)
    {
        Zorlin::CWin32File* file = new Zorlin::CWin32File(CString(path.c_str()), Zorlin::CFile::kModeRead);
        Zorlin::CArchiveDrive archive;
        EXPECT_TRUE(archive.Open(file, nullptr, true)) << path;
        Zorlin::CDiskDrive program(m_folder.c_str());
        if (!m_own.empty()) {
            EXPECT_TRUE(program.SetOwnFolder(CString(m_own.c_str())));
        }
        CPackageInstaller installer(m_host, program, "tester");
        bool result = installer.Install(archive, path.c_str());
        m_failed.clear();
        for (const CString& failed : installer.GetFailed())
            m_failed.push_back(failed.GetText());
        EXPECT_EQ(m_host.copies, 0) << "the frame is enabled again";
        return result;
    }
    // Every file below source is in target with the same bytes.
    void ExpectSameFiles(const std::string& source, const std::string& target)
    {
        std::vector<std::string> files = PackageTest::ListFiles(source);
        ASSERT_FALSE(files.empty());
        EXPECT_EQ(PackageTest::ListFiles(target), files);
        for (const std::string& file : files)
            EXPECT_EQ(PackageTest::ReadFile(target + "/" + file), PackageTest::ReadFile(source + "/" + file)) << file;
    }
    std::string Question(int i) { return m_prompt.GetQuestion(i).text.GetText(); }
    std::string Caption(int i) { return m_prompt.GetQuestion(i).caption.GetText(); }
    std::string Last() { return Question(m_prompt.GetCount() - 1); }
    std::vector<SEntry> BoardPackage(const std::string& major = "Rookwell Lite")
    {
        std::vector<SEntry> entries = {PackageTest::Manifest(major, "board", "The tournament board")};
        PackageTest::AddFolder(entries, kData + "/boards/tournament", "contents/tournament/");
        return entries;
    }

    std::string m_base;
    std::string m_folder;
    std::string m_own; // the user's own folder laid over the program folder, when set
    CScriptedPrompt m_prompt;
    CFakeHost m_host;
    std::vector<std::string> m_failed;
};

TEST_F(PackageInstallerTest, ABoardAndAVoiceLandInTheirFoldersByteForByte)
{
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(Package("board.rwf", BoardPackage())));
    ASSERT_EQ(m_prompt.GetCount(), 2);
    EXPECT_EQ(Caption(0), "Rookwell - Install package");
    EXPECT_EQ(Question(0), "This will install the following board:\n\nThe tournament board\n\nContinue with install?");
    EXPECT_EQ(Caption(1), "Done");
    EXPECT_EQ(Question(1),
              "Board installed successfully.\n\nClick Options / Preferences then select the board tab to change board.");
    ExpectSameFiles(kData + "/boards/tournament", m_folder + "/boards/tournament");
    EXPECT_EQ(m_host.progressCount, int(PackageTest::ListFiles(kData + "/boards/tournament").size()));
    EXPECT_EQ(m_host.shown.size(), size_t(m_host.progressCount));

    std::vector<SEntry> voice = {PackageTest::Manifest("Rookwell, Rookwell Lite", "Voice", "Clara")};
    PackageTest::AddFolder(voice, kData + "/voices/Clara", "contents/Clara/");
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(Package("voice.rwf", voice)));
    EXPECT_EQ(Last(),
              "Voice installed successfully.\n\nClick Options / Preferences then select the voice tab to change voice.");
    ExpectSameFiles(kData + "/voices/Clara", m_folder + "/voices/Clara");
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}

TEST_F(PackageInstallerTest, AnInstalledEngineRunsFromItsPackage)
{
    // A wrapper named by info.cfg, a real program told by its content, and
    // a text that must not become runnable.
    const std::string true_program = PackageTest::ReadFile("/bin/true");
    ASSERT_FALSE(true_program.empty());
    std::vector<SEntry> entries = {
        PackageTest::Manifest("Rookwell Lite", "engine", "Fairy-Max through a wrapper"),
        {"contents/Fairy Wrapped/", ""},
        {"contents/Fairy Wrapped/info.cfg", "exe = \"start engine\"\ncommand = \"\"\nnosetdepth = yes\n"},
        {"contents/Fairy Wrapped/start engine", "exec /usr/games/fairymax \"$@\"\n"},
        {"contents/Fairy Wrapped/bin/check", true_program},
        {"contents/Fairy Wrapped/readme.txt", "#not a script\n"},
    };
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(Package("engine.rwf", entries)));
    EXPECT_EQ(Last(), "Engine installed successfully.");
    const std::string engine = m_folder + "/engines/Fairy Wrapped";
    EXPECT_TRUE(PackageTest::IsExecutable(engine + "/start engine"));
    EXPECT_TRUE(PackageTest::IsExecutable(engine + "/bin/check"));
    EXPECT_FALSE(PackageTest::IsExecutable(engine + "/readme.txt"));
    EXPECT_FALSE(PackageTest::IsExecutable(engine + "/info.cfg"));
    EXPECT_EQ(system(("'" + engine + "/bin/check'").c_str()), 0);

    struct stat info;
    if (stat("/usr/games/fairymax", &info) != 0)
        GTEST_SKIP() << "fairymax is not installed";
    // The wrapper has no "#!": the shell runs it, as the engine process does through exec.
    std::string command = "printf 'xboard\\nprotover 2\\nquit\\n' | '" + engine + "/start engine' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    pclose(pipe);
    EXPECT_NE(output.find("feature"), std::string::npos) << output;
}

TEST_F(PackageInstallerTest, APgnCollectionGoesToPlayedGamesAndNeverReplacesAGameUnasked)
{
    std::vector<SEntry> entries = {PackageTest::Manifest("Rookwell Lite", "pgn", "Two famous matches")};
    entries.push_back({"contents/Classics/", ""});
    entries.push_back({"contents/Classics/kasparov-deep-blue-1997.pgn",
                       PackageTest::ReadFile(kPgn + "/kasparov-deep-blue-1997.pgn")});
    entries.push_back({"contents/Classics/molinari-bordais-1979.pgn",
                       PackageTest::ReadFile(kPgn + "/molinari-bordais-1979.pgn")});
    const std::string package = Package("games.rwf", entries);
    const std::string played = m_folder + "/users/tester/played games";

    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(Last(), "PGN installed successfully.\n\nTo open the PGN, click the filename under the 'Played Games' "
                      "section.");
    EXPECT_EQ(m_prompt.GetCount(), 2) << "no clash question for new files";
    EXPECT_EQ(PackageTest::ReadFile(played + "/Classics/kasparov-deep-blue-1997.pgn"),
              PackageTest::ReadFile(kPgn + "/kasparov-deep-blue-1997.pgn"));
    EXPECT_EQ(m_host.playedGamesChanged, 1);

    // The user's own game of the same name: No keeps it, Yes replaces it.
    PackageTest::WriteFile(played + "/Classics/molinari-bordais-1979.pgn", "my own notes\n");
    m_prompt.Clear();
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxNO); // kasparov: keep (it is the same, but the user decides)
    m_prompt.QueueButton(wxNO); // molinari: keep
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(package));
    ASSERT_EQ(m_prompt.GetCount(), 4);
    EXPECT_EQ(Question(2), "A file named \"Classics/molinari-bordais-1979.pgn\" already exists in your played "
                           "games.\n\nDo you want to replace it?");
    EXPECT_EQ(PackageTest::ReadFile(played + "/Classics/molinari-bordais-1979.pgn"), "my own notes\n");

    m_prompt.Clear();
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxNO);
    m_prompt.QueueButton(wxCANCEL);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(m_prompt.GetCount(), 3) << "cancel ends it without a message";
    EXPECT_EQ(PackageTest::ReadFile(played + "/Classics/molinari-bordais-1979.pgn"), "my own notes\n");

    m_prompt.Clear();
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(PackageTest::ReadFile(played + "/Classics/molinari-bordais-1979.pgn"),
              PackageTest::ReadFile(kPgn + "/molinari-bordais-1979.pgn"));
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}

TEST_F(PackageInstallerTest, AnotherProductOrAnUnknownKindOrAMalformedPackageIsRefused)
{
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(Package("old.rwf", BoardPackage("Rookwell"))));
    ASSERT_EQ(m_prompt.GetCount(), 1);
    EXPECT_EQ(Caption(0), "Wrong Version!");
    EXPECT_EQ(Question(0), "This package is for 'Rookwell'.\n\nYou have 'Rookwell Lite'. \n\nCan't continue with install.");

    // A player profile is a transport file for "Rookwell" too.
    {
        Zorlin::CConfig user;
        user.GetValue(".profile.name") = "Tess";
        user.GetValue(".profile.id") = "ABC123";
        Zorlin::CDiskDrive userDrive(m_base.c_str());
        Zorlin::CWin32File out(CString((m_base + "/profile.rwf").c_str()),
                               Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
        ASSERT_TRUE(WriteProfileArchive(out, user, userDrive, false, false, ""));
    }
    m_prompt.Clear();
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(m_base + "/profile.rwf"));
    EXPECT_EQ(Caption(0), "Wrong Version!");

    m_prompt.Clear();
    std::vector<SEntry> skin = BoardPackage();
    skin[0] = PackageTest::Manifest("Rookwell Lite", "skin", "a skin");
    EXPECT_FALSE(Install(Package("skin.rwf", skin)));
    EXPECT_EQ(m_prompt.GetCount(), 0) << "an unknown kind is not offered";

    std::vector<SEntry> two = BoardPackage();
    two.push_back({"contents/second/", ""});
    EXPECT_FALSE(Install(Package("two.rwf", two)));
    EXPECT_EQ(m_prompt.GetCount(), 0) << "found malformed before the question";
    EXPECT_TRUE(PackageTest::ListFiles(m_folder + "/boards").empty());

    m_prompt.Clear();
    m_prompt.QueueButton(wxNO);
    EXPECT_TRUE(Install(Package("board.rwf", BoardPackage())));
    EXPECT_TRUE(PackageTest::ListFiles(m_folder + "/boards").empty()) << "No installs nothing";
}

TEST_F(PackageInstallerTest, AnExistingFolderIsUpdatedOrTheNewOneRenamedOnlyToAPlainName)
{
    const std::string package = Package("board.rwf", BoardPackage());
    const std::string board = m_folder + "/boards/tournament";
    PackageTest::WriteFile(board + "/mine.txt", "kept");
    PackageTest::WriteFile(board + "/info.cfg", "old");

    // Closing the choice, and an empty new name, install nothing and say nothing.
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueChoice(-1);
    ASSERT_TRUE(Install(package));
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueChoice(1);
    m_prompt.QueueText("", true);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(m_prompt.GetCount(), 5);
    EXPECT_EQ(Question(1), "A folder named \"tournament\" allready exists.\nWhat do you want to do with the package?");
    ASSERT_EQ(m_prompt.GetQuestion(1).choices.GetCount(), 2);
    EXPECT_EQ(*m_prompt.GetQuestion(1).choices.GetAt(0), "Update contents of tournament");
    EXPECT_EQ(Caption(4), "Rename folder");
    EXPECT_EQ(PackageTest::ReadFile(board + "/info.cfg"), "old");

    // A name that climbs out is refused and the choice comes back.
    m_prompt.Clear();
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueChoice(1);
    m_prompt.QueueText("../../outside", true);
    m_prompt.QueueButton(wxOK);
    m_prompt.QueueChoice(1);
    m_prompt.QueueText("tournament two", true);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(Question(3), "\"../../outside\" can not be used as a folder name.");
    EXPECT_FALSE(std::filesystem::exists(m_base + "/outside"));
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/outside"));
    ExpectSameFiles(kData + "/boards/tournament", m_folder + "/boards/tournament two");

    // Updating replaces the package's files and keeps the others.
    m_prompt.Clear();
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueChoice(0);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(Last(), "Board installed successfully.\n\nClick Options / Preferences then select the board tab to "
                      "change board.");
    EXPECT_EQ(PackageTest::ReadFile(board + "/mine.txt"), "kept");
    EXPECT_EQ(PackageTest::ReadFile(board + "/info.cfg"), PackageTest::ReadFile(kData + "/boards/tournament/info.cfg"));
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}

TEST_F(PackageInstallerTest, NamesThatWouldLeaveTheTargetAreRefusedBeforeAnythingIsWritten)
{
    // The archive writer refuses such names, so the package is a folder
    // made on a system where they are legal names.
    const std::string source = m_base + "/hostile";
    PackageTest::WriteFile(source + "/contents.cfg", PackageTest::Manifest("Rookwell Lite", "board", "x").bytes);
    PackageTest::WriteFile(source + "/contents/evil/a.txt", "a");
    PackageTest::WriteFile(source + "/contents/evil/..\\..\\..\\escaped.txt", "b");
    Zorlin::CDiskDrive package(source.c_str());
    Zorlin::CDiskDrive program(m_folder.c_str());
    CPackageInstaller installer(m_host, program, "tester");
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxOK);
    EXPECT_TRUE(installer.Install(package, nullptr, "hostile"));
    EXPECT_EQ(Last(), "This package holds a name that can not be installed safely:\n\n..\\..\\..\\escaped.txt\n\n"
                      "Nothing was installed.");
    EXPECT_TRUE(PackageTest::ListFiles(m_folder).empty());
    EXPECT_EQ(m_host.progressCount, -1);

}

TEST_F(PackageInstallerTest, ACancelledCopyKeepsWhatWasCopiedAndClaimsNoSuccess)
{
    const std::string package = Package("board.rwf", BoardPackage());
    const std::vector<std::string> files = PackageTest::ListFiles(kData + "/boards/tournament");
    ASSERT_GE(files.size(), 3u);

    // Taking the abort back goes on with every file.
    m_host.abortAt = 2;
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxNO);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(Question(1), "Cancel package installation?");
    EXPECT_EQ(Caption(1), "Cancel");
    EXPECT_EQ(Caption(2), "Done");
    ExpectSameFiles(kData + "/boards/tournament", m_folder + "/boards/tournament");

    PackageTest::RemoveTree(m_folder + "/boards/tournament");
    m_prompt.Clear();
    m_host.shown.clear();
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxYES);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(m_prompt.GetCount(), 2) << "no Done after a cancel";
    EXPECT_EQ(m_host.shown.size(), 2u);
    // The file shown first was copied, then taken back with the folder
    // the install made.
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/boards/tournament"));
    EXPECT_TRUE(PackageTest::ListFiles(m_folder + "/boards").empty());

    // Into a folder that was there: what was there before stays.
    PackageTest::WriteFile(m_folder + "/boards/tournament/mine.txt", "mine");
    m_prompt.Clear();
    m_host.shown.clear();
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueChoice(0);
    m_prompt.QueueButton(wxYES);
    m_host.abortAt = 3;
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(PackageTest::ListFiles(m_folder + "/boards/tournament"), std::vector<std::string>{"mine.txt"});
}

// Bomb packages, made as folders so the sizes need no real bytes: one that
// declares more than any package may hold, and one whose file yields more
// than it declared.
TEST_F(PackageInstallerTest, BombPackagesAreRefusedOrCutOffAndNeverClaimSuccess)
{
    const std::string huge = m_base + "/huge";
    PackageTest::WriteFile(huge + "/contents.cfg", PackageTest::Manifest("Rookwell Lite", "board", "x").bytes);
    PackageTest::WriteFile(huge + "/contents/bomb/info.cfg", "a = 1\n");
    for (int i = 0; i < 3; ++i) {
        const std::string big = huge + "/contents/bomb/big" + std::to_string(i) + ".bmp";
        PackageTest::WriteFile(big, "");
        std::filesystem::resize_file(big, std::uintmax_t(200) << 20); // sparse: no disk used
    }
    Zorlin::CDiskDrive program(m_folder.c_str());
    {
        Zorlin::CDiskDrive package(huge.c_str());
        CPackageInstaller installer(m_host, program, "tester");
        m_prompt.QueueButton(wxYES);
        m_prompt.QueueButton(wxOK);
        EXPECT_TRUE(installer.Install(package, nullptr, "huge"));
        EXPECT_NE(Last().find("more than any package may hold"), std::string::npos) << Last();
        EXPECT_NE(Last().find("Nothing was installed."), std::string::npos) << Last();
        EXPECT_TRUE(PackageTest::ListFiles(m_folder + "/boards").empty());
        EXPECT_EQ(m_host.progressCount, -1) << "refused before the copy began";
    }

    const std::string endless = m_base + "/endless";
    PackageTest::WriteFile(endless + "/contents.cfg", PackageTest::Manifest("Rookwell Lite", "board", "x").bytes);
    PackageTest::WriteFile(endless + "/contents/bomb/info.cfg", "a = 1\n");
    std::filesystem::create_symlink("/dev/zero", endless + "/contents/bomb/board.bmp");
    {
        Zorlin::CDiskDrive package(endless.c_str());
        CPackageInstaller installer(m_host, program, "tester");
        m_prompt.Clear();
        m_prompt.QueueButton(wxYES);
        m_prompt.QueueButton(wxOK);
        EXPECT_TRUE(installer.Install(package, nullptr, "endless"));
        EXPECT_EQ(Caption(1), "Install package");
        EXPECT_NE(Last().find("held more than the package said"), std::string::npos) << Last();
        EXPECT_NE(Last().find("/boards/bomb/board.bmp"), std::string::npos) << Last();
        EXPECT_EQ(Last().find("successfully"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(m_folder + "/boards/bomb/board.bmp"));
        EXPECT_EQ(PackageTest::ListFiles(m_folder + "/boards/bomb"), std::vector<std::string>{"info.cfg"});
    }
}

TEST_F(PackageInstallerTest, FilesThatCannotBeWrittenAreListedAndNoSuccessIsClaimed)
{
    // A file where the package needs a folder.
    const std::string board = m_folder + "/boards/tournament";
    PackageTest::WriteFile(board + "/graphics", "in the way");
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueChoice(0);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(Package("board.rwf", BoardPackage())));
    ASSERT_EQ(m_prompt.GetCount(), 3);
    EXPECT_EQ(Caption(2), "Install package");
    EXPECT_EQ(Question(2).find("The package was not installed completely. These files could not be written:"), 0u);
    EXPECT_NE(Question(2).find("/boards/tournament/graphics/"), std::string::npos) << Question(2);
    EXPECT_FALSE(m_failed.empty());
    EXPECT_EQ(PackageTest::ReadFile(board + "/graphics"), "in the way");
    EXPECT_EQ(PackageTest::ReadFile(board + "/info.cfg"), PackageTest::ReadFile(kData + "/boards/tournament/info.cfg"))
        << "the files that could be written were";
}

TEST_F(PackageInstallerTest, AnUpdateAsksAboutTheGameThenHandsOverToTheUpdater)
{
    std::vector<SEntry> entries = {PackageTest::Manifest("Rookwell Lite", "update", "Version 1.1"),
                                   {"contents/update/readme.txt", "new"}};
    const std::string package = Package("update.rwf", entries);

    m_host.mayClose = false;
    m_prompt.QueueButton(wxYES);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(Question(0), "This will install the following update:\n\nVersion 1.1\n\nContinue with install?");
    EXPECT_EQ(m_host.closeAsked, 1);
    EXPECT_EQ(m_host.updaterPackage, "") << "the user kept the game: no updater";
    EXPECT_EQ(m_host.closed, 0);

    m_host.mayClose = true;
    m_host.updaterStarts = false;
    m_prompt.Clear();
    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(Last(), "The updater could not be started:\n\nno updater here\n\nThe update has not been installed.");
    EXPECT_EQ(m_host.closed, 0) << "the client stays when nothing takes over";

    m_host.updaterStarts = true;
    m_prompt.Clear();
    m_prompt.QueueButton(wxYES);
    ASSERT_TRUE(Install(package));
    EXPECT_EQ(m_host.updaterPackage, package);
    EXPECT_EQ(m_host.closed, 1);
    EXPECT_EQ(m_prompt.GetCount(), 1);
    EXPECT_FALSE(std::filesystem::exists(m_folder + "/readme.txt")) << "the updater copies, not the client";
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}

// The sample packages of scripts/make-packages, packed by rwpack, install
// as the client's own writer's do.
TEST_F(PackageInstallerTest, TheSamplePackagesOfThePackingScriptInstall)
{
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    const std::string build = std::filesystem::path(self).parent_path().parent_path().string();
    if (!std::filesystem::exists(build + "/foundation/tools/rwpack"))
        GTEST_SKIP() << "rwpack is not built";
    const std::string out = m_base + "/samples";
    const std::string command =
        "'" ROOKWELL_SOURCE "/scripts/make-packages' '" + out + "' '" + build + "' > /dev/null";
    ASSERT_EQ(system(command.c_str()), 0);

    for (const char* name : {"board", "voice", "engine", "pgn"}) {
        SCOPED_TRACE(name);
        m_prompt.Clear();
        m_prompt.QueueButton(wxYES);
        m_prompt.QueueButton(wxOK);
        ASSERT_TRUE(Install(out + "/" + name + ".rwf"));
        EXPECT_EQ(Caption(1), "Done");
    }
    ExpectSameFiles(kData + "/boards/tournament", m_folder + "/boards/Tournament Copy");
    ExpectSameFiles(kData + "/voices/Clara", m_folder + "/voices/Clara Copy");
    EXPECT_TRUE(PackageTest::IsExecutable(m_folder + "/engines/Fairy-Max Wrapped/start-engine"));
    EXPECT_FALSE(PackageTest::ListFiles(m_folder + "/users/tester/played games/Classics").empty());

    m_prompt.Clear();
    m_prompt.QueueButton(wxYES);
    ASSERT_TRUE(Install(out + "/update.rwf"));
    EXPECT_EQ(m_host.updaterPackage, out + "/update.rwf");
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}

} // namespace

// A program folder installed for every user: packages go to the user's own
// folder and are found there beside the program's; an update is left to
// whoever installed the program.
TEST_F(PackageInstallerTest, WithAnOwnFolderPackagesGoThereAndUpdatesAreRefused)
{
    m_own = m_base + "/home/rookwell";
    std::filesystem::create_directories(m_folder + "/boards/Wood");
    std::filesystem::remove_all(m_folder + "/users");
    const std::vector<std::string> before = PackageTest::ListFiles(m_folder);

    m_prompt.QueueButton(wxYES);
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(Package("board.rwf", BoardPackage())));
    EXPECT_EQ(Last(),
              "Board installed successfully.\n\nClick Options / Preferences then select the board tab to change board.");
    ExpectSameFiles(kData + "/boards/tournament", m_own + "/boards/tournament");
    Zorlin::CDiskDrive program(m_folder.c_str());
    ASSERT_TRUE(program.SetOwnFolder(CString(m_own.c_str())));
    ASSERT_TRUE(program.ChangeDirectory(Zorlin::CURL("/boards")));
    Zorlin::CArray<CString> boards;
    program.ListDirectory(boards, false);
    ASSERT_EQ(boards.GetCount(), 2);
    EXPECT_EQ(std::string(boards.GetAt(0)->GetText()), "Wood");
    EXPECT_EQ(std::string(boards.GetAt(1)->GetText()), "tournament");

    std::vector<SEntry> update = {PackageTest::Manifest("Rookwell Lite", "update", "Version 1.1"),
                                  {"contents/update/readme.txt", "new"}};
    m_prompt.Clear();
    m_prompt.QueueButton(wxOK);
    ASSERT_TRUE(Install(Package("update.rwf", update)));
    ASSERT_EQ(m_prompt.GetCount(), 1) << "refused before the user is asked";
    EXPECT_EQ(Question(0), "This update can not be installed from here.\n\nRookwell was installed for every user "
                           "of this computer, and is updated by whoever installed it.");
    EXPECT_EQ(m_host.closeAsked, 0);
    EXPECT_EQ(m_host.updaterPackage, "");
    EXPECT_EQ(PackageTest::ListFiles(m_folder), before) << "the program folder is not written";
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}
