// The user's folder and settings on real disk folders: the shipped program
// settings (their mail texts with real line breaks), making a new user from
// the shipped defaults, completing a damaged folder, the merge-save and the
// crash marker.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

#include <wx/defs.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "client/core/ExitSaver.h"
#include "client/core/Prompt.h"
#include "client/core/SafeMode.h"
#include "client/core/UserFolder.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/ConfigText.h"
#include "foundation/DiskDrive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using Zorlin::CConfig;
using Zorlin::CDiskDrive;
using Zorlin::CString;

namespace {

class ProgramFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/appsettings-XXXXXX";
        m_root = mkdtemp(pattern);
        std::string copy = "cp -r '" ROOKWELL_SOURCE "/data/.' '" + m_root + "/'";
        ASSERT_EQ(std::system(copy.c_str()), 0);
        m_drive.reset(new CDiskDrive(m_root.c_str()));
    }
    void TearDown() override { std::system(("rm -rf '" + m_root + "'").c_str()); }

    std::string Path(const std::string& relative) const { return m_root + "/" + relative; }
    bool IsFolder(const std::string& relative) const
    {
        struct stat info;
        return stat(Path(relative).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
    bool IsFile(const std::string& relative) const
    {
        struct stat info;
        return stat(Path(relative).c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }
    std::string Read(const std::string& relative) const
    {
        std::ifstream in(Path(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static CConfig ReadConfig(const std::string& path)
    {
        CConfig config;
        std::ifstream in(path, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_TRUE(config.ReadText(text.data(), (int)text.size())) << path;
        return config;
    }

    std::string m_root;
    std::unique_ptr<CDiskDrive> m_drive;
};

TEST_F(ProgramFolder, ShippedSettingsReadWhole)
{
    CConfig app = ReadConfig(Path("cfg/app.cfg"));
    EXPECT_EQ(app.GetValueOr(".Debug", ""), "no");
    EXPECT_FALSE(app.GetValueOr(".music.title", "").IsEmpty());
    EXPECT_EQ(app.GetValueOr(".clock reminders", ""), "300, 60, 30, 10");
    EXPECT_TRUE(app.KeyExists(".TOTD.#0"));
    EXPECT_TRUE(app.KeyExists(".TOTD.#5"));
    CConfig live = ReadConfig(Path("assets/cfg/defaultlive.cfg"));
    EXPECT_TRUE(live.KeyExists(".News.#0"));
    EXPECT_EQ(live.GetValueOr(".Links.#0.url", ""), "https://www.pemberlode.example/rookwell/");
    CConfig user = ReadConfig(Path("assets/cfg/defaultuser.cfg"));
    // Every key the start-up and the frame read has a value of its own.
    for (const char* key : {".preferences.language", ".Preferences.View.ShowCoords", ".Preferences.View.ShowSkinnedCursor",
                            ".Preferences.View.ShowLegalMoves", ".Preferences.View.ShowLastMove",
                            ".preferences.view.status", ".preferences.graphics.16bit",
                            ".preferences.graphics.small textures", ".preferences.graphics.DisableFiltering",
                            ".Preferences.Sound.Mute", ".Preferences.Music.Volume", ".preferences.music.enable",
                            ".preferences.updates.app", ".preferences.updates.browser"})
        EXPECT_FALSE(user.GetValueOr(key, "").IsEmpty()) << key;
    EXPECT_FALSE(user.KeyExists(".preferences.window.x")) << "a new user's frame starts centred";
}

TEST_F(ProgramFolder, TheMailTextsHoldRealLineBreaks)
{
    // Read as the start-up reads the program settings: from the program drive.
    CConfig app;
    {
        Zorlin::CAutoPointer<Zorlin::CFile> file = m_drive->OpenFile(Zorlin::CURL("/cfg/app.cfg"), Zorlin::CFile::kModeRead);
        ASSERT_TRUE(file && file->IsOpen());
        ASSERT_TRUE(app.Read(*file));
    }
    EXPECT_STREQ(app.GetValueOr(".text.email", "").GetText(),
                 "[sender] has sent you a move in a game of chess.\n\n"
                 "Open the attached file with Rookwell to see the board and reply.\n");
    EXPECT_STREQ(app.GetValueOr(".text.networkinvite", "").GetText(),
                 "[sender] invites you to a game of chess over the network.\n\n"
                 "Open the attached file with Rookwell, or choose Game, Network Game, Join a Game and connect to "
                 "[ip].\n");
    // Nothing else of the file ran into the texts, and they end where they should.
    EXPECT_EQ(app.GetValueOr(".mail.command", ""), "xdg-email");
    EXPECT_TRUE(app.KeyExists(".TOTD.#0"));
}

TEST_F(ProgramFolder, NewUserFolderIsMadeFromTheDefaults)
{
    ASSERT_FALSE(IsFolder("users"));
    CString problem;
    ASSERT_TRUE(PrepareUserFolderOn(*m_drive, "New Player", problem)) << problem.GetText();
    EXPECT_TRUE(problem.IsEmpty());
    for (const char* folder : {"users/New Player/active games", "users/New Player/opponents",
                               "users/New Player/played games"})
        EXPECT_TRUE(IsFolder(folder)) << folder;
    if (IsFile("assets/images/misc/nophoto.bmp")) {
        EXPECT_EQ(Read("users/New Player/photo.bmp"), Read("assets/images/misc/nophoto.bmp"));
    }
    CConfig user = ReadConfig(Path("users/New Player/user.cfg"));
    EXPECT_EQ(user.GetValueOr(".profile.id", ""), "calculate");
    CConfig defaults = ReadConfig(Path("assets/cfg/defaultuser.cfg"));
    EXPECT_EQ(user.GetKeyCount(), defaults.GetKeyCount());
    EXPECT_EQ(user.GetValueOr(".Preferences.Music.Volume", ""), defaults.GetValueOr(".Preferences.Music.Volume", "x"));
}

TEST_F(ProgramFolder, AnIncompleteFolderIsCompletedAndNothingIsOverwritten)
{
    ASSERT_EQ(mkdir(Path("users").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(Path("users/kim").c_str(), 0755), 0);
    std::ofstream(Path("users/kim/photo.bmp")) << "my own photo";
    CString problem;
    ASSERT_TRUE(PrepareUserFolderOn(*m_drive, "kim", problem));
    EXPECT_EQ(Read("users/kim/photo.bmp"), "my own photo");
    EXPECT_TRUE(IsFolder("users/kim/played games"));
    ASSERT_TRUE(IsFile("users/kim/user.cfg"));
    // A second call keeps what the user changed.
    std::ofstream(Path("users/kim/user.cfg")) << "profile={id=ABC}\n";
    ASSERT_TRUE(PrepareUserFolderOn(*m_drive, "kim", problem));
    EXPECT_EQ(Read("users/kim/user.cfg"), "profile={id=ABC}\n");
}

TEST_F(ProgramFolder, FailuresAreReported)
{
    // A file where the users folder belongs.
    std::ofstream(Path("users")) << "in the way";
    CString problem;
    EXPECT_FALSE(PrepareUserFolderOn(*m_drive, "kim", problem));
    EXPECT_NE(std::string(problem.GetText()).find("users"), std::string::npos) << problem.GetText();
    // Named by its place on the disk, which may be the user's data folder.
    char real[4096];
    ASSERT_NE(realpath(Path("users").c_str(), real), nullptr);
    EXPECT_EQ(std::string(problem.GetText()), std::string("The folder \"") + real + "\" could not be made.");
    remove(Path("users").c_str());
    CDiskDrive laidOver(m_root.c_str());
    const std::string own = Path("own data");
    ASSERT_TRUE(laidOver.SetOwnFolder(own.c_str()));
    std::ofstream(own + "/users") << "in the way";
    EXPECT_FALSE(PrepareUserFolderOn(laidOver, "kim", problem));
    ASSERT_NE(realpath(own.c_str(), real), nullptr);
    EXPECT_EQ(std::string(problem.GetText()), std::string("The folder \"") + real + "/users\" could not be made.");
}

TEST_F(ProgramFolder, SaveMergesOverTheFileOnDisk)
{
    CString problem;
    ASSERT_TRUE(PrepareUserFolderOn(*m_drive, "kim", problem));
    CDiskDrive user(Path("users/kim").c_str());
    CConfig live = ReadConfig(Path("users/kim/user.cfg"));
    live.GetValue(".preferences.window.x") = "42";
    live.GetValue(".Preferences.Music.Volume") = "7";
    // Meanwhile a key is added and one changed by hand in the file.
    {
        CConfig disk = ReadConfig(Path("users/kim/user.cfg"));
        disk.GetValue(".handmade.key") = "kept";
        disk.GetValue(".preferences.music.volume") = "99";
        ASSERT_TRUE(disk.WriteDiskFile(Path("users/kim/user.cfg").c_str(), true));
    }
    live.PushPrefix("preferences");  // a prefix left set must not narrow the save
    ASSERT_TRUE(SaveUserSettings(user, live));
    CConfig saved = ReadConfig(Path("users/kim/user.cfg"));
    EXPECT_EQ(saved.GetValueOr(".handmade.key", ""), "kept");
    EXPECT_EQ(saved.GetValueOr(".preferences.music.volume", ""), "7"); // the live value wins
    EXPECT_EQ(saved.GetValueOr(".preferences.window.x", ""), "42");
    EXPECT_EQ(saved.GetValueOr(".profile.id", ""), "calculate");
    EXPECT_EQ(live.GetPrefix(), "preferences") << "the live store is not changed";
    EXPECT_FALSE(IsFile("users/kim/user.cfg.bak"));
}

TEST_F(ProgramFolder, ADamagedFileIsKeptBesideTheSavedOne)
{
    ASSERT_EQ(mkdir(Path("kim").c_str(), 0755), 0);
    // Nested past what the reader accepts: it stops at the fault.
    std::string damaged = "profile={name=Kim\n}\n";
    for (int i = 0; i < 80; ++i)
        damaged += "f={";
    damaged += "lost=after the fault\n";
    std::ofstream(Path("kim/user.cfg")) << damaged;
    CDiskDrive user(Path("kim").c_str());
    CConfig live;
    live.GetValue(".preferences.window.x") = "1";
    ASSERT_TRUE(SaveUserSettings(user, live));
    EXPECT_EQ(Read("kim/user.cfg.bak"), damaged);
    CConfig saved = ReadConfig(Path("kim/user.cfg"));
    EXPECT_EQ(saved.GetValueOr(".profile.name", ""), "Kim");
    EXPECT_EQ(saved.GetValueOr(".preferences.window.x", ""), "1");
}

// A settings file damaged on disk in each of the ways disks and sync tools
// damage files: kept aside, the user told, what could be read kept (the
// statistics first of all), the rest from the defaults, and the next save
// writes a whole file without touching the damaged one.
TEST_F(ProgramFolder, ADamagedSettingsFileIsKeptAsideAndWhatCouldBeReadStays)
{
    CString problem;
    ASSERT_TRUE(PrepareUserFolderOn(*m_drive, "kim", problem));
    CConfig good = ReadConfig(Path("users/kim/user.cfg"));
    good.GetValue(".profile.id") = "A1B2C3";
    good.GetValue(".profile.name") = "Kim";
    good.GetValue(".preferences.matches.played") = "12";
    good.GetValue(".preferences.matches.won") = "5";
    const std::string whole = good.ToText(true).GetText();
    const size_t stats = whole.find("drawn");
    ASSERT_NE(stats, std::string::npos);
    std::string nuls = whole;
    ASSERT_GT(nuls.size(), stats + 80);
    std::fill(nuls.begin() + long(stats) + 10, nuls.begin() + long(std::min(stats + 200, nuls.size() - 20)), '\0');
    std::string noise(700, ' ');
    unsigned seed = 12345;
    for (char& c : noise)
        c = char((seed = seed * 1103515245u + 12345u) >> 16);
    std::string notText = whole;
    notText.insert(stats + 10, "\x02\x7f\x1b");
    struct SVariant {
        const char* what;
        std::string bytes;
        bool statsKept;
    };
    const std::vector<SVariant> variants = {
        {"empty", "", false},
        {"cut in half", whole.substr(0, whole.size() / 2), false},
        {"cut after the statistics", whole.substr(0, stats + 10), true},
        {"random bytes", noise, false},
        {"NULs over its middle", nuls, true},
        {"an unbalanced brace", whole + "}\r\n", true},
        {"bytes that are not text", notText, true},
    };
    CDiskDrive user(Path("users/kim").c_str());
    for (const SVariant& variant : variants) {
        SCOPED_TRACE(variant.what);
        std::remove(Path("users/kim/user.cfg.damaged").c_str());
        std::ofstream(Path("users/kim/user.cfg"), std::ios::binary) << variant.bytes;
        CConfig live;
        const SUserSettingsRead read = ReadUserSettings(user, *m_drive, live);
        EXPECT_TRUE(read.damaged);
        EXPECT_FALSE(IsFile("users/kim/user.cfg"));
        EXPECT_EQ(Read("users/kim/user.cfg.damaged"), variant.bytes);
        EXPECT_EQ(std::string(read.keptAs.GetText()), Path("users/kim/user.cfg.damaged"));
        const std::string told = DamagedSettingsText(read).GetText();
        EXPECT_NE(told.find(Path("users/kim/user.cfg.damaged")), std::string::npos) << told;
        // A profile id that could be read is kept; a lost one is asked for again.
        const std::string id = live.GetValueOr(".profile.id", "").GetText();
        EXPECT_TRUE(id == "A1B2C3" || (read.profileLost && id == "calculate")) << id;
        EXPECT_NE(told.find(read.profileLost ? "enter it again" : "check your profile"), std::string::npos);
        if (variant.statsKept) {
            EXPECT_EQ(live.GetValueOr(".preferences.matches.played", ""), "12");
            EXPECT_EQ(live.GetValueOr(".preferences.matches.won", ""), "5");
            EXPECT_FALSE(read.profileLost);
        }
        // What was lost comes from the defaults, so the client has a language.
        EXPECT_EQ(live.GetValueOr(".preferences.language", ""), "english");

        ASSERT_TRUE(SaveUserSettings(user, live));
        CConfig saved;
        const std::string text = Read("users/kim/user.cfg");
        EXPECT_TRUE(Zorlin::ReadTextWhole(saved, text.data(), int(text.size())));
        EXPECT_EQ(saved.GetValueOr(".profile.id", ""), live.GetValueOr(".profile.id", ""));
        EXPECT_EQ(Read("users/kim/user.cfg.damaged"), variant.bytes) << "the save leaves the damaged file";
    }

    // A whole file is read as it is and nothing is kept aside.
    std::remove(Path("users/kim/user.cfg.damaged").c_str());
    ASSERT_TRUE(good.WriteDiskFile(Path("users/kim/user.cfg").c_str(), true));
    CConfig live;
    EXPECT_FALSE(ReadUserSettings(user, *m_drive, live).damaged);
    EXPECT_EQ(live.GetValueOr(".preferences.matches.played", ""), "12");
    EXPECT_FALSE(IsFile("users/kim/user.cfg.damaged"));
    // So is a missing one (a folder made by hand).
    std::remove(Path("users/kim/user.cfg").c_str());
    CConfig none;
    EXPECT_FALSE(ReadUserSettings(user, *m_drive, none).damaged);
    EXPECT_EQ(none.GetKeyCount(), 0);
}

TEST_F(ProgramFolder, AFailedSaveIsReportedAndLeavesTheOldFile)
{
    ASSERT_EQ(mkdir(Path("kim").c_str(), 0755), 0);
    std::ofstream(Path("kim/user.cfg")) << "a=1\n";
    CDiskDrive user(Path("kim").c_str());
    // The user folder goes away under the running program.
    ASSERT_EQ(std::system(("rm -rf '" + Path("kim") + "'").c_str()), 0);
    CConfig live;
    live.GetValue(".a") = "2";
    EXPECT_FALSE(SaveUserSettings(user, live));
}

// A full disk: the user is told, the old file stays, the live store keeps
// the change, and at closing a second try after room was made succeeds.
TEST_F(ProgramFolder, AFullDiskIsToldAndTheChangeIsSavedAtTheNextTry)
{
    ASSERT_EQ(mkdir(Path("kim").c_str(), 0755), 0);
    std::ofstream(Path("kim/user.cfg")) << "a=1\n";
    CDiskDrive user(Path("kim").c_str());
    CConfig live;
    live.GetValue(".a") = "2";
    for (int i = 0; i < 500; ++i)
        live.GetValue(i) = "a value that makes the file larger than the disk allows";

    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit full = saved;
    full.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);

    CScriptedPrompt prompt;
    prompt.Install();
    prompt.QueueButton(wxOK);
    const bool savedWhileRunning = SaveUserSettingsOrTell(user, live, false, nullptr);
    // At closing: the user frees room, then tries again.
    prompt.SetResponder([&](const CScriptedPrompt::SQuestion&) {
        setrlimit(RLIMIT_FSIZE, &saved);
        CScriptedPrompt::SAnswer answer;
        answer.code = wxYES;
        return answer;
    });
    const bool savedAtClose = SaveUserSettingsOrTell(user, live, true, nullptr);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(savedWhileRunning);
    ASSERT_EQ(prompt.GetCount(), 2);
    const std::string told = prompt.GetQuestion(0).text.GetText();
    EXPECT_EQ(told.find("Your settings could not be saved to"), 0u) << told;
    EXPECT_NE(told.find("user.cfg"), std::string::npos) << told;
    EXPECT_NE(told.find("kept"), std::string::npos) << told;
    EXPECT_NE(std::string(prompt.GetQuestion(1).text.GetText()).find("Try again?"), std::string::npos);
    EXPECT_EQ(live.GetValueOr(".a", ""), "2") << "the change is kept in memory";
    EXPECT_TRUE(savedAtClose);
    EXPECT_EQ(ReadConfig(Path("kim/user.cfg")).GetValueOr(".a", ""), "2");
}

TEST_F(ProgramFolder, CrashMarkerLivesWhileTheClientRuns)
{
    ASSERT_EQ(mkdir(Path("kim").c_str(), 0755), 0);
    CDiskDrive user(Path("kim").c_str());
    EXPECT_FALSE(HasCrashMarker(user));
    ASSERT_TRUE(WriteCrashMarker(user));
    EXPECT_TRUE(HasCrashMarker(user));
    EXPECT_TRUE(IsFile(std::string("kim/") + kCrashMarkerName));
    RemoveCrashMarker(user);
    EXPECT_FALSE(HasCrashMarker(user));
    CConfig settings;
    settings.GetValue(".preferences.graphics.16bit") = "no";
    ApplySafeMode(settings);
    EXPECT_TRUE(CConfig::IsTrue(settings.GetValueOr(".Preferences.Graphics.16bit", "")));
    EXPECT_TRUE(CConfig::IsTrue(settings.GetValueOr(".preferences.graphics.small textures", "")));
}

} // namespace
