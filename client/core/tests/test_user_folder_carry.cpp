// An installed program folder as an older client left it for an account
// that could write it: the user's folder below users/ and the packages it
// installed beside the program's own. The first start of a newer client,
// whose data folder lacks the user, carries them over, byte for byte, and
// only once; stopped at any of its steps on the disk it leaves the old or
// the whole copy; another account's folder is never taken; and the user's
// settings are asked of the data folder, not stood in for by the program
// folder beneath.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "client/core/UserFolder.h"
#include "client/core/UserFolderCarry.h"
#include "foundation/AtomicFolder.h"
#include "foundation/Config.h"
#include "foundation/File.h"
#include "foundation/DiskDrive.h"
#include "testsupport/DiskSteps.h"
#include "testsupport/TempFiles.h"

namespace fs = std::filesystem;
using Zorlin::CString;

namespace {

const std::string kData = ROOKWELL_SOURCE "/data";
const char kSettings[] = "Preferences = {\n\tmatches = {\n\t\tplayed = 2\n\t\twon = 1\n\t\tlost = 1\n\t\tdrawn = 0\n"
                         "\t}\n\tboard = {\n\t\tpack = Marble\n\t}\n}\nprofile = {\n\tid = 4711\n\tname = Bob\n}\n";

struct SNode {
    std::string bytes;
    char kind = 'f';
    unsigned mode = 0;
    bool operator==(const SNode& other) const
    {
        return bytes == other.bytes && kind == other.kind && mode == other.mode;
    }
};
using Tree = std::map<std::string, SNode>;

Tree ReadTree(const std::string& folder)
{
    Tree tree;
    if (!fs::is_directory(folder))
        return tree;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        SNode node;
        struct stat info;
        lstat(item.path().c_str(), &info);
        node.mode = info.st_mode & 0777;
        if (item.is_symlink()) {
            node.kind = 'l';
            node.bytes = fs::read_symlink(item.path()).string();
        } else if (item.is_directory()) {
            node.kind = 'd';
        } else {
            node.bytes = RookwellTest::ReadWholeFile(item.path().string());
        }
        // Lexically: a link is named by its own path, not by where it points.
        tree[item.path().lexically_relative(folder).generic_string()] = node;
    }
    return tree;
}

// The names of a folder that listings show: swaps under way are hidden.
std::vector<std::string> Visible(const std::string& folder)
{
    std::vector<std::string> names;
    for (const std::string& name : RookwellTest::ListFolder(folder)) {
        if (!Zorlin::IsFolderSwapName(CString(name.c_str())))
            names.push_back(name);
    }
    return names;
}

void ChownTree(const std::string& path, uid_t uid)
{
    lchown(path.c_str(), uid, uid);
    if (!fs::is_directory(path) || fs::is_symlink(path))
        return;
    for (const auto& item : fs::recursive_directory_iterator(path))
        lchown(item.path().c_str(), uid, uid);
}

class UserFolderCarry : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = RookwellTest::MakeTempFolder("carry");
        ASSERT_FALSE(m_base.empty());
        m_program = m_base + "/lib/rookwell";
        m_data = m_base + "/home/.local/share/rookwell";
        WriteOlderLayout();
        fs::create_directories(m_data);
    }
    void TearDown() override { RookwellTest::RemoveTree(m_base); }

    // What an older client and the install left: the program's shipped
    // packages, the user's folder and three packages the user installed.
    void WriteOlderLayout()
    {
        using RookwellTest::WriteWholeFile;
        WriteWholeFile(m_program + "/installed.txt", "installed\n");
        WriteWholeFile(m_program + "/cfg/app.cfg", "setuser =\n");
        WriteWholeFile(m_program + "/boards/tournament/info.cfg", "shipped board\n");
        WriteWholeFile(m_program + "/voices/Clara/info.cfg", "shipped voice\n");
        WriteWholeFile(m_program + "/engines/Phalanx/info.cfg", "shipped engine\n");
        const std::string user = m_program + "/users/bob";
        WriteWholeFile(user + "/user.cfg", kSettings);
        WriteWholeFile(user + "/photo.bmp", std::string("BM\0\0photo", 9));
        WriteWholeFile(user + "/played games/Bob vs Engine 1.pgn", "[Result \"1-0\"]\n\n1. e4 e5 1-0\n");
        WriteWholeFile(user + "/played games/Bob vs Engine 2.rwg", std::string("game\0\xff bytes", 12));
        WriteWholeFile(user + "/active games/Bob vs Carla.rwg", "in play\n");
        WriteWholeFile(user + "/opponents/carla.cfg", "name = Carla\n");
        fs::create_symlink("Bob vs Engine 1.pgn", user + "/played games/latest.pgn");
        WriteWholeFile(m_program + "/boards/Marble/info.cfg", "type = board\n");
        WriteWholeFile(m_program + "/boards/Marble/graphics/board.png", std::string("\x89PNG\r\n", 6));
        WriteWholeFile(m_program + "/voices/Mine/info.cfg", "type = voice\n");
        WriteWholeFile(m_program + "/engines/Home Engine/info.cfg", "exe = engine\n");
        WriteWholeFile(m_program + "/engines/Home Engine/engine", "#!/bin/sh\n");
        chmod((m_program + "/engines/Home Engine/engine").c_str(), 0755);
        chmod((user + "/opponents").c_str(), 0750);
    }

    CString Carry() const
    {
        return CarryOldUserFolder(CString(m_program.c_str()), CString(m_data.c_str()), CString("bob"),
                                  ShippedPackageFolders());
    }

    // The folders a carry takes, with where they go.
    std::vector<std::pair<std::string, std::string>> Carried() const
    {
        return {{m_program + "/users/bob", m_data + "/users/bob"},
                {m_program + "/boards/Marble", m_data + "/boards/Marble"},
                {m_program + "/voices/Mine", m_data + "/voices/Mine"},
                {m_program + "/engines/Home Engine", m_data + "/engines/Home Engine"}};
    }

    std::string m_base;
    std::string m_program;
    std::string m_data;
};

} // namespace

TEST_F(UserFolderCarry, TheShippedPackagesAreTheDataFolders)
{
    std::vector<std::string> expected;
    for (const char* kind : {"boards", "voices", "engines"}) {
        for (const std::string& name : RookwellTest::ListFolder(kData + "/" + kind)) {
            if (fs::is_directory(kData + "/" + kind + "/" + name))
                expected.push_back(std::string(kind) + "/" + name);
        }
    }
    std::vector<std::string> shipped;
    for (const CString& folder : ShippedPackageFolders())
        shipped.push_back(folder.GetText());
    std::sort(expected.begin(), expected.end());
    std::sort(shipped.begin(), shipped.end());
    EXPECT_EQ(shipped, expected);
    EXPECT_FALSE(shipped.empty());
}

// The user's folder and the installed packages arrive whole and exact, the
// shipped ones stay the program's, the old folder stays as it was, the log
// names what went where, and a second start carries nothing.
TEST_F(UserFolderCarry, CarriesTheUsersFilesOnceAndLeavesTheOld)
{
    const Tree program = ReadTree(m_program);
    const CString report = Carry();
    const std::string said = report.GetText();
    for (const auto& carried : Carried()) {
        EXPECT_EQ(ReadTree(carried.second), ReadTree(carried.first)) << carried.first;
        EXPECT_NE(said.find(" " + carried.first + " to " + carried.second + " ("), std::string::npos) << said;
    }
    EXPECT_NE(said.find("Carried the folder of user bob from"), std::string::npos) << said;
    EXPECT_EQ(RookwellTest::ReadWholeFile(m_data + "/users/bob/user.cfg"), kSettings);
    EXPECT_EQ(ReadTree(m_data + "/users/bob").at("played games/latest.pgn").kind, 'l');
    EXPECT_EQ(ReadTree(m_data + "/engines/Home Engine").at("engine").mode, 0755u);
    EXPECT_EQ(Visible(m_data + "/boards"), std::vector<std::string>{"Marble"}) << "the shipped board stays below";
    EXPECT_EQ(Visible(m_data + "/voices"), std::vector<std::string>{"Mine"});
    EXPECT_EQ(Visible(m_data + "/engines"), std::vector<std::string>{"Home Engine"});
    EXPECT_EQ(RookwellTest::ListFolder(m_data + "/users"), std::vector<std::string>{"bob"}) << "nothing left aside";
    EXPECT_EQ(ReadTree(m_program), program) << "the older client still finds its files";
    struct stat played;
    struct stat old;
    ASSERT_EQ(stat((m_data + "/users/bob/played games/Bob vs Engine 1.pgn").c_str(), &played), 0);
    ASSERT_EQ(stat((m_program + "/users/bob/played games/Bob vs Engine 1.pgn").c_str(), &old), 0);
    EXPECT_NE(played.st_ino, old.st_ino) << "a copy, not a link the new client would write through";
    EXPECT_EQ(played.st_mtime, old.st_mtime);

    // The user plays on; the next start leaves it all alone, whatever the
    // program folder holds by then.
    RookwellTest::WriteWholeFile(m_data + "/users/bob/user.cfg", "changed\n");
    RookwellTest::RemoveTree(m_data + "/boards/Marble");
    const Tree data = ReadTree(m_data);
    EXPECT_EQ(Carry(), CString());
    EXPECT_EQ(ReadTree(m_data), data);
}

// A user the program folder has no folder for: nothing happens; and a data
// folder that already has the user takes nothing, whatever the spelling.
TEST_F(UserFolderCarry, NothingToCarry)
{
    EXPECT_EQ(CarryOldUserFolder(CString(m_program.c_str()), CString(m_data.c_str()), CString("carla"),
                                 ShippedPackageFolders()),
              CString());
    EXPECT_EQ(RookwellTest::ListFolder(m_data + "/users"), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(m_data + "/boards/Marble")) << "no packages without the user's folder";
    fs::create_directories(m_data + "/users/Bob");
    EXPECT_EQ(Carry(), CString());
    EXPECT_FALSE(fs::exists(m_data + "/boards/Marble"));
    EXPECT_EQ(CarryOldUserFolder(CString(m_program.c_str()), CString(m_data.c_str()), CString("../bob"),
                                 ShippedPackageFolders()),
              CString());
}

// Stopped dead before each of its steps on the disk (a kill): each folder
// is missing or whole, never a part, the program folder is untouched, and
// the next start completes the carry and leaves no trace of the stop.
TEST_F(UserFolderCarry, StoppedAtEveryStepAndStartedAgain)
{
    const Tree program = ReadTree(m_program);
    long step = 0;
    for (bool stopped = true; stopped; ++step) {
        SCOPED_TRACE("stopped before step " + std::to_string(step));
        RookwellTest::RemoveTree(m_data);
        fs::create_directories(m_data);
        fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            DiskSteps::StopBefore(m_data, step, DiskSteps::ESyncs::kCounted);
            Carry();
            DiskSteps::NeverStop();
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == DiskSteps::kStoppedStatus);
        stopped = WEXITSTATUS(status) == DiskSteps::kStoppedStatus;
        const bool whole = fs::exists(m_data + "/users/bob");
        for (const auto& carried : Carried()) {
            if (fs::exists(carried.second)) {
                EXPECT_EQ(ReadTree(carried.second), ReadTree(carried.first)) << carried.second;
            }
            if (whole) {
                EXPECT_TRUE(fs::exists(carried.second)) << "the user's folder comes last: " << carried.second;
            }
        }
        EXPECT_EQ(ReadTree(m_program), program);

        const CString again = Carry();
        EXPECT_EQ(again.IsEmpty(), whole) << again.GetText();
        for (const auto& carried : Carried())
            EXPECT_EQ(ReadTree(carried.second), ReadTree(carried.first)) << carried.second;
        EXPECT_EQ(RookwellTest::ListFolder(m_data + "/users"), std::vector<std::string>{"bob"});
        EXPECT_EQ(RookwellTest::ListFolder(m_data + "/boards"), std::vector<std::string>{"Marble"})
            << "what the stop left aside is gone";
        if (::testing::Test::HasFailure())
            break;
        ASSERT_LT(step, 1000) << "the carry never finished";
    }
    EXPECT_GT(step, 20) << "the stops reached the steps of every folder";
}

// Only root can give a folder to another account. Another account's user
// folder is named and left; its package folders and its entries inside
// this account's folder are not taken.
TEST_F(UserFolderCarry, AnotherAccountsFilesAreNeverTaken)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another account";
    const uid_t other = 65534;
    ChownTree(m_program + "/users/bob", other);
    const CString refused = Carry();
    EXPECT_NE(std::string(refused.GetText()).find("users/bob in the program folder is another account's"),
              std::string::npos)
        << refused.GetText();
    EXPECT_EQ(RookwellTest::ListFolder(m_data), std::vector<std::string>{}) << "nothing of it is taken";

    ChownTree(m_program + "/users/bob", geteuid());
    ChownTree(m_program + "/users/bob/opponents/carla.cfg", other);
    ChownTree(m_program + "/boards/Marble", other);
    const std::string said = Carry().GetText();
    EXPECT_TRUE(fs::is_regular_file(m_data + "/users/bob/user.cfg")) << said;
    EXPECT_FALSE(fs::exists(m_data + "/users/bob/opponents/carla.cfg"));
    EXPECT_NE(said.find("left out: " + m_program + "/users/bob/opponents/carla.cfg (another account's)"),
              std::string::npos)
        << said;
    EXPECT_FALSE(fs::exists(m_data + "/boards/Marble"));
    EXPECT_TRUE(fs::is_directory(m_data + "/voices/Mine"));
}

// The program folder beneath still holds users/bob/user.cfg from the older
// client: preparing the user's folder must still write the settings into
// the data folder, where start-up reads them, and keep the ones carried.
TEST_F(UserFolderCarry, PreparingTheUserAsksTheDataFolder)
{
    for (bool carried : {false, true}) {
        SCOPED_TRACE(carried ? "after the carry" : "without it");
        RookwellTest::RemoveTree(m_data);
        RookwellTest::WriteWholeFile(m_program + "/assets/cfg/defaultuser.cfg", "Preferences = {\n}\n");
        Zorlin::CDiskDrive drive(m_program.c_str());
        ASSERT_TRUE(drive.SetOwnFolder(CString(m_data.c_str())));
        drive.KeepOwnOnly(CString("/users"));
        if (carried)
            Carry();
        CString problem;
        ASSERT_TRUE(PrepareUserFolderOn(drive, CString("bob"), problem)) << problem.GetText();
        Zorlin::CDiskDrive user(drive.GetDiskPath(Zorlin::CURL("/users/bob")).GetText());
        EXPECT_EQ(std::string(user.GetRoot().GetText()), m_data + "/users/bob/");
        Zorlin::CConfig settings;
        Zorlin::CAutoPointer<Zorlin::CFile> file = user.OpenFile(Zorlin::CURL("/user.cfg"), Zorlin::CFile::kModeRead);
        ASSERT_TRUE(file->IsOpen());
        settings.Read(*file);
        file.Delete();
        EXPECT_EQ(std::string(settings.GetValueOr(".profile.id", "").GetText()), carried ? "4711" : "calculate");
        EXPECT_EQ(std::string(settings.GetValueOr(".preferences.matches.played", "").GetText()), carried ? "2" : "");
        for (const char* sub : {"active games", "opponents", "played games"})
            EXPECT_TRUE(fs::is_directory(m_data + "/users/bob/" + sub)) << sub;
    }
}
