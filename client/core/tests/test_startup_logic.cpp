// Start-up decisions as pure functions, against real files and zlib.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <wx/defs.h>

#include "client/core/Prompt.h"
#include "client/core/StartUp.h"
#include "client/core/UpdateResume.h"
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

// Stand-ins for updaters: each answers a run without arguments, as the real
// one does, and says which it is by its bytes.
const char* const kOldUpdater = "#!/bin/sh\n# old\nexit 0\n";
const char* const kNewUpdater = "#!/bin/sh\n# new\nexit 0\n";

TEST(UpdaterSwap, NewUpdaterReplacesTheOldOne)
{
    TempFolder folder;
    folder.Write("updater", kOldUpdater, 0755);
    folder.Write("updater.bak", "older");
    // Archives keep no modes: a new updater may arrive without its run bit.
    folder.Write("updater.update", kNewUpdater, 0644);
    EXPECT_EQ(SwapInNewUpdater(folder.Path().c_str()).result, EUpdaterSwap::kSwapped);
    EXPECT_EQ(folder.Read("updater"), kNewUpdater);
    EXPECT_EQ(folder.Read("updater.bak"), kOldUpdater);
    EXPECT_FALSE(folder.Exists("updater.update"));
    struct stat info;
    ASSERT_EQ(stat((folder.Path() + "/updater").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR) << "the updater must stay runnable";
    // Nothing to swap: nothing changes.
    EXPECT_EQ(SwapInNewUpdater(folder.Path().c_str()).result, EUpdaterSwap::kNothing);
    EXPECT_EQ(folder.Read("updater"), kNewUpdater);
}

TEST(UpdaterSwap, MissingOldUpdaterStillGetsTheNewOne)
{
    TempFolder folder;
    folder.Write("updater.update", kNewUpdater);
    EXPECT_EQ(SwapInNewUpdater(folder.Path().c_str()).result, EUpdaterSwap::kSwapped);
    EXPECT_EQ(folder.Read("updater"), kNewUpdater);
    EXPECT_FALSE(folder.Exists("updater.update"));
}

TEST(UpdaterSwap, FailedCopyKeepsBothFiles)
{
    // An update that cannot be put in place stays for the next start, and
    // the old updater is back in its place.
    TempFolder broken;
    broken.Write("updater", kOldUpdater, 0755);
    broken.Write("updater.update", kNewUpdater, 0755);
    chmod(broken.Path().c_str(), 0555);
    if (access(broken.Path().c_str(), W_OK) == 0) {
        chmod(broken.Path().c_str(), 0755);
        GTEST_SKIP() << "running with rights that write any folder";
    }
    EXPECT_EQ(SwapInNewUpdater(broken.Path().c_str()).result, EUpdaterSwap::kFailed);
    chmod(broken.Path().c_str(), 0755);
    EXPECT_EQ(broken.Read("updater.update"), kNewUpdater);
    EXPECT_EQ(broken.Read("updater"), kOldUpdater);
}

// A new updater that cannot run here (another processor, a damaged file, a
// script without its interpreter, one that fails or hangs) is never swapped
// in: the old one stays, the new file goes, and the user learns why.
TEST(UpdaterSwap, AnUpdaterThatCannotRunHereIsRefusedAndTold)
{
    std::string foreign = [] {
        std::ifstream in("/bin/true", std::ios::binary);
        std::string image((std::istreambuf_iterator<char>(in)), {});
        if (image.size() > 20 && image.compare(0, 4, "\x7f" "ELF") == 0)
            image[18] = char((unsigned char)image[18] == 0x3E ? 0xB7 : 0x3E); // e_machine
        return image;
    }();
    struct SCase {
        const char* name;
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"garbage", std::string("\x7f" "ELF\x02\x01\x01\0garbage\xff", 16), "is not a program for this computer."},
        {"bare script", "echo I ran > ran\n", "is not a program for this computer."},
        {"lost interpreter", "#!/nonexistent/sh\nexit 0\n", "can not be run: a program it needs is missing."},
        // An emulator registered for other processors may start it: it fails all the same.
        {"another processor", foreign, ""},
        {"failing", "#!/bin/sh\nexit 3\n", "It ended with status 3."},
        {"hanging", "#!/bin/sh\nexec sleep 600\n", "It did not end in time, and was stopped."},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        folder.Write("updater", kOldUpdater, 0755);
        folder.Write("updater.bak", "older");
        folder.Write("updater.update", c.bytes, 0644);

        const SUpdaterSwap swap = SwapInNewUpdater(folder.Path().c_str(), 300);

        EXPECT_EQ(swap.result, EUpdaterSwap::kRefused);
        EXPECT_FALSE(swap.reason.IsEmpty());
        EXPECT_NE(std::string(swap.reason.GetText()).find(c.reason), std::string::npos) << swap.reason.GetText();
        EXPECT_EQ(folder.Read("updater"), kOldUpdater);
        EXPECT_EQ(folder.Read("updater.bak"), "older");
        EXPECT_FALSE(folder.Exists("updater.update")) << "a refused updater is not tried at every start";
        EXPECT_FALSE(folder.Exists("ran")) << "nothing was run through a shell";

        CScriptedPrompt prompt;
        prompt.Install();
        prompt.QueueButton(wxOK);
        TellUpdaterSwap(swap, nullptr);
        ASSERT_EQ(prompt.GetCount(), 1);
        EXPECT_EQ(prompt.GetQuestion(0).caption, "Update");
        EXPECT_EQ(prompt.GetQuestion(0).text,
                  CString("The updater that came with the last update can not run on this computer, so Rookwell "
                          "keeps the updater it had.\n\n") +
                      swap.reason);
    }
    // A swap that went well, or had nothing to do, says nothing.
    CScriptedPrompt quiet;
    quiet.Install();
    TellUpdaterSwap(SUpdaterSwap(), nullptr);
    SUpdaterSwap swapped;
    swapped.result = EUpdaterSwap::kSwapped;
    TellUpdaterSwap(swapped, nullptr);
    EXPECT_EQ(quiet.GetCount(), 0);
}

// The real updater answers the check the swap makes, with a display in its
// parent's environment too (the check runs it without one).
TEST(UpdaterSwap, TheRealUpdaterPassesTheCheck)
{
    TempFolder folder;
    folder.Write("updater", kOldUpdater, 0755);
    std::ifstream in(UPDATER_PROGRAM, std::ios::binary);
    const std::string real((std::istreambuf_iterator<char>(in)), {});
    ASSERT_FALSE(real.empty());
    folder.Write("updater.update", real, 0644);
    const SUpdaterSwap swap = SwapInNewUpdater(folder.Path().c_str());
    EXPECT_EQ(swap.result, EUpdaterSwap::kSwapped) << swap.reason.GetText();
    EXPECT_TRUE(folder.Read("updater") == real);
    EXPECT_FALSE(folder.Exists("updater.log")) << "the check installed nothing";
    EXPECT_FALSE(folder.Exists("tavrin"));
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
