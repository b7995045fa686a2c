// Start-up decisions as pure functions, against real files and zlib.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "client/core/StartUp.h"
#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/startup-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    const std::string& Path() const { return m_path; }
    void Write(const std::string& name, const std::string& text, mode_t mode = 0644) const
    {
        std::ofstream(m_path + "/" + name) << text;
        chmod((m_path + "/" + name).c_str(), mode);
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(m_path + "/" + name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& name) const { return access((m_path + "/" + name).c_str(), F_OK) == 0; }

private:
    std::string m_path;
};

TEST(FindAppPath, FindsTheFolderFromEveryKindOfStart)
{
    TempFolder folder;
    mkdir((folder.Path() + "/prog dir").c_str(), 0755);
    folder.Write("prog dir/tavrin", "#!/bin/sh\n", 0755);
    // Absolute argv[0].
    EXPECT_EQ(FindAppPath((folder.Path() + "/prog dir/tavrin").c_str(), "/elsewhere", ""),
              (folder.Path() + "/prog dir").c_str());
    // Relative argv[0] from another folder: the current folder plus argv[0].
    EXPECT_EQ(FindAppPath("prog dir/tavrin", folder.Path().c_str(), ""), (folder.Path() + "/prog dir").c_str());
    EXPECT_EQ(FindAppPath("./tavrin", (folder.Path() + "/prog dir/").c_str(), ""),
              (folder.Path() + "/prog dir/.").c_str());
    // A bare name started through the search path.
    std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", ("/nonexistent::" + folder.Path() + "/prog dir").c_str(), 1);
    EXPECT_EQ(FindAppPath("tavrin", "/", ""), (folder.Path() + "/prog dir").c_str());
    // A relative path that is not there is never looked up in PATH.
    EXPECT_EQ(FindAppPath("sub/tavrin", "/", ""), "");
    setenv("PATH", oldPath.c_str(), 1);
    // The environment variable wins when it has a value.
    setenv("STARTUP_TEST_FOLDER", "/from/env", 1);
    EXPECT_EQ(FindAppPath("tavrin", "/", "STARTUP_TEST_FOLDER"), "/from/env");
    setenv("STARTUP_TEST_FOLDER", "", 1);
    EXPECT_EQ(FindAppPath((folder.Path() + "/prog dir/tavrin").c_str(), "/", "STARTUP_TEST_FOLDER"),
              (folder.Path() + "/prog dir").c_str());
    EXPECT_EQ(FindAppPath("no-such-program-anywhere", "/", ""), "");
}

TEST(MakeAbsolutePath, RelativeFilesKeepNamingTheSameFile)
{
    EXPECT_EQ(MakeAbsolutePath("games/a game.rwg", "/home/me"), "/home/me/games/a game.rwg");
    EXPECT_EQ(MakeAbsolutePath("x.pgn", "/home/me/"), "/home/me/x.pgn");
    EXPECT_EQ(MakeAbsolutePath("/abs/x.pgn", "/home/me"), "/abs/x.pgn");
    EXPECT_EQ(MakeAbsolutePath("", "/home/me"), "");
}

TEST(UserChoice, SetuserRegistryAndDialogInThatOrder)
{
    EXPECT_EQ(ChooseUserName("alice", "bob", ""), "alice");
    EXPECT_EQ(ChooseUserName("", "bob", ""), "bob");
    // The folder dialog's answer: its last part, whatever the separators.
    EXPECT_EQ(ChooseUserName("alice", "bob", "/prog/users/carol"), "carol");
    EXPECT_EQ(ChooseUserName("alice", "bob", "/prog/users/carol/"), "carol");
    EXPECT_EQ(ChooseUserName("alice", "bob", "C:\\prog\\users\\dave"), "dave");
    // A cancelled dialog keeps the earlier name; "/" has no last part.
    EXPECT_EQ(ChooseUserName("alice", "bob", ""), "alice");
    EXPECT_EQ(ChooseUserName("", "bob", "/"), "bob");
    EXPECT_EQ(ChooseUserName("", "", ""), "");
}

TEST(UserChoice, NamesThatWouldLeaveTheUsersFolderAreRefused)
{
    for (const char* name : {"..", ".", "../../etc", "a/b", "a\\b", "c:", "x\"y", " lead", "trail ", "tab\there"})
        EXPECT_FALSE(IsSafeUserName(name)) << name;
    for (const char* name : {"alice", "Bob Smith", "user1700000000", "j.doe", "..hidden"})
        EXPECT_TRUE(IsSafeUserName(name)) << name;
    EXPECT_EQ(ChooseUserName("../../etc", "bob", ""), "");
    EXPECT_EQ(ChooseUserName("", "bob", "/prog/users/.."), "");
}

TEST(UserChoice, RegistryDefaultFromTheLoginName)
{
    EXPECT_EQ(DefaultUserName("  kim ", 5), "kim");
    EXPECT_EQ(DefaultUserName("   ", 1700000000), "user1700000000");
    EXPECT_EQ(DefaultUserName("", 0), "user0");
}

SWindowPlacement Place(const char* text, SRectangle area)
{
    CConfig settings;
    if (text)
        settings.ReadText(text, (int)strlen(text));
    return ChooseWindowPlacement(settings, area);
}

TEST(WindowPlacement, ClampedToTheWorkArea)
{
    SRectangle area = {0, 0, 1024, 738};
    SWindowPlacement big = Place("preferences={window={x=10\ny=10\nwidth=2000\nheight=2000\n}}", area);
    EXPECT_FALSE(big.defaultPosition);
    EXPECT_EQ(big.width, 1024);
    EXPECT_EQ(big.height, 738);
    EXPECT_TRUE(big.centre); // 10 + 1024 is past the right edge
    SWindowPlacement corner = Place("preferences={window={x=0\ny=0\nwidth=2000\nheight=2000\n}}", area);
    EXPECT_FALSE(corner.centre);
    EXPECT_EQ(corner.x, 0);
    SWindowPlacement narrow = Place("preferences={window={x=5\ny=5\nwidth=50\nheight=40\n}}", area);
    EXPECT_EQ(narrow.width, 100);
    EXPECT_EQ(narrow.height, 100);
    EXPECT_FALSE(narrow.centre);
    // Off the top or left, or the area's offset (a panel at the left) respected.
    EXPECT_TRUE(Place("preferences={window={x=-5\ny=0\nwidth=300\nheight=300\n}}", area).centre);
    SRectangle shifted = {64, 0, 960, 738};
    EXPECT_TRUE(Place("preferences={window={x=10\ny=0\nwidth=300\nheight=300\n}}", shifted).centre);
    EXPECT_FALSE(Place("preferences={window={x=700\ny=0\nwidth=300\nheight=300\n}}", shifted).centre);
    // Empty values read as 0.
    SWindowPlacement empty = Place("preferences={window={x=\n}}", area);
    EXPECT_EQ(empty.x, 0);
    EXPECT_EQ(empty.width, 100);
}

TEST(WindowPlacement, WithoutStoredGeometryTheDefaultIsCentred)
{
    SWindowPlacement fresh = Place(nullptr, {0, 0, 1280, 1024});
    EXPECT_TRUE(fresh.defaultPosition);
    EXPECT_TRUE(fresh.centre);
    EXPECT_EQ(fresh.width, 620);
    EXPECT_EQ(fresh.height, 520);
}

TEST(UpdateCheck, DueAfterMoreThanSevenWholeDays)
{
    const double today = 2460000.75;
    EXPECT_TRUE(IsUpdateDue("", today));
    EXPECT_FALSE(IsUpdateDue(FormatJulianDay(today - 7), today));
    EXPECT_TRUE(IsUpdateDue(FormatJulianDay(today - 8), today));
    EXPECT_FALSE(IsUpdateDue(FormatJulianDay(today), today));
    // Whole days: late on day 0 to early on day 8 counts 8.
    EXPECT_TRUE(IsUpdateDue("2459992.99", 2460000.01));
    EXPECT_FALSE(IsUpdateDue("2459993.01", 2460000.99));
    // A date from a clock that ran ahead, or garbage, does not stop checks for ever.
    EXPECT_TRUE(IsUpdateDue(FormatJulianDay(today + 30), today));
    EXPECT_TRUE(IsUpdateDue("not a day", today));
    EXPECT_EQ(FormatJulianDay(today), "2460000");
}

TEST(UpdateCheck, JulianDaysOfKnownMoments)
{
    // 1970-01-01 00:00 UTC is Julian day 2440587.5; 2000-01-01 12:00 UTC is 2451545.0.
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_DOUBLE_EQ(JulianDayOf(0), 2440587.5);
    EXPECT_DOUBLE_EQ(JulianDayOf(946728000), 2451545.0);
    // In local time: a day later is one day more, whatever the zone.
    setenv("TZ", "America/New_York", 1);
    tzset();
    EXPECT_NEAR(JulianDayOf(946728000 + 86400) - JulianDayOf(946728000), 1.0, 1e-9);
    unsetenv("TZ");
    tzset();
}

TEST(UpdaterSwap, NewUpdaterReplacesTheOldOne)
{
    TempFolder folder;
    folder.Write("updater", "old", 0755);
    folder.Write("updater.bak", "older");
    folder.Write("updater.update", "new", 0644);
    EXPECT_TRUE(SwapInNewUpdater(folder.Path().c_str()));
    EXPECT_EQ(folder.Read("updater"), "new");
    EXPECT_EQ(folder.Read("updater.bak"), "old");
    EXPECT_FALSE(folder.Exists("updater.update"));
    struct stat info;
    ASSERT_EQ(stat((folder.Path() + "/updater").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR) << "the updater must stay runnable";
    // Nothing to swap: nothing changes.
    EXPECT_FALSE(SwapInNewUpdater(folder.Path().c_str()));
    EXPECT_EQ(folder.Read("updater"), "new");
}

TEST(UpdaterSwap, MissingOldUpdaterStillGetsTheNewOne)
{
    TempFolder folder;
    folder.Write("updater.update", "new");
    EXPECT_TRUE(SwapInNewUpdater(folder.Path().c_str()));
    EXPECT_EQ(folder.Read("updater"), "new");
    EXPECT_FALSE(folder.Exists("updater.update"));
}

TEST(UpdaterSwap, FailedCopyKeepsBothFiles)
{
    // An update that cannot be read stays for the next start, and the old
    // updater is back in its place.
    TempFolder broken;
    broken.Write("updater", "old", 0755);
    broken.Write("updater.update", "new", 0000);
    if (access((broken.Path() + "/updater.update").c_str(), R_OK) == 0)
        GTEST_SKIP() << "running with rights that read any file";
    EXPECT_FALSE(SwapInNewUpdater(broken.Path().c_str()));
    EXPECT_TRUE(broken.Exists("updater.update"));
    EXPECT_EQ(broken.Read("updater"), "old");
}

TEST(HelpAddress, SlashesEscapesAndAnchor)
{
    EXPECT_EQ(MakeFileAddress("/opt/My Games\\Rook well/html/english/Doc/game.htm", "StartEmailGame"),
              "file:///opt/My%20Games/Rook%20well/html/english/Doc/game.htm#StartEmailGame");
    EXPECT_EQ(MakeFileAddress("/a/contents.htm", nullptr), "file:///a/contents.htm");
    EXPECT_EQ(MakeFileAddress("/a/contents.htm", ""), "file:///a/contents.htm");
    // Characters that would end the path early are escaped too.
    EXPECT_EQ(MakeFileAddress("/a#b/100%.htm", "x"), "file:///a%23b/100%25.htm#x");
}

TEST(UserId, CrcOfSeedAndTicksThenComplementedTime)
{
    std::string text = "Alice Smith12345";
    unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(text.data()), (uInt)text.size());
    char expected[64];
    snprintf(expected, sizeof expected, "%lX%X", crc, ~0x65000000u);
    EXPECT_EQ(MakeUserIdFrom("Alice Smith", 12345, 0x65000000ul), expected);
    // No leading zeros, upper case, a null seed like an empty one.
    EXPECT_EQ(MakeUserIdFrom(nullptr, 7, 0xFFFFFFF0ul), MakeUserIdFrom("", 7, 0xFFFFFFF0ul));
    CString small = MakeUserIdFrom("", 0, 0xFFFFFFF0ul);
    EXPECT_TRUE(small.Find(CString("F"), nullptr, 0, -1));
    std::string id = MakeUserIdFrom("x", 1, 0xFFFFFFF0ul).GetText();
    EXPECT_EQ(id.substr(id.size() - 1), "F");
    for (char c : id)
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << id;
}

} // namespace
