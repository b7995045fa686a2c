// Names the system hands the client, kept as bytes whatever the locale:
// the command line (as the toolkit changes it under LANG=C and as it drops
// names that are not UTF-8 under a UTF-8 locale), the home folder from
// $HOME, the desktop folder from the XDG user folders, and the desktop's
// settings file in the configuration folder. The test runs in the C locale.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <wx/fileconf.h>
#include <wx/init.h>
#include <wx/stdpaths.h>

#include "client/core/ChessApp.h"
#include "client/core/CommandLine.h"
#include "platform/SystemPlaces.h"
#include "platform/XDisplayCheck.h"
#include "testsupport/TempFiles.h"

using Zorlin::CString;

namespace {

std::vector<CString> Texts(const std::vector<std::string>& items)
{
    std::vector<CString> out;
    for (const std::string& item : items) {
        CString text;
        text.Append(item.data(), int(item.size()));
        out.push_back(text);
    }
    return out;
}

std::vector<std::string> Strings(const std::vector<CString>& items)
{
    std::vector<std::string> out;
    for (const CString& item : items)
        out.emplace_back(item.GetText(), size_t(item.GetLength()));
    return out;
}

const std::string kUmlaut = "Partie \xc3\xbc.pgn";  // "Partie ü.pgn" in UTF-8
const std::string kLatin1 = "Partie \xfc.pgn";      // the same name from an old archive
const std::string kUmlautAsLatin1 = "Partie \xc3\x83\xc2\xbc.pgn"; // the UTF-8 bytes read one by one

// Sets an environment variable for one test and puts it back.
class CEnvironment {
public:
    void Set(const char* name, const std::string& value)
    {
        const char* old = getenv(name);
        m_saved.push_back({name, old ? old : "", old != nullptr});
        setenv(name, value.c_str(), 1);
    }
    void Unset(const char* name)
    {
        const char* old = getenv(name);
        m_saved.push_back({name, old ? old : "", old != nullptr});
        unsetenv(name);
    }
    ~CEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->had)
                setenv(it->name.c_str(), it->value.c_str(), 1);
            else
                unsetenv(it->name.c_str());
        }
    }

private:
    struct SSaved {
        std::string name, value;
        bool had;
    };
    std::vector<SSaved> m_saved;
};

struct STempBase {
    STempBase() : path(RookwellTest::MakeTempFolder("names")) {}
    ~STempBase() { RookwellTest::RemoveTree(path); }
    const std::string& Path() const { return path; }
    std::string path;
};

} // namespace

TEST(CommandLine, TheSystemsBytesComeBackHoweverTheToolkitReadThem)
{
    const std::vector<CString> raw = Texts({"/opt/Sch\xc3\xa4" "ch/tavrin", kUmlaut, kLatin1, "plain.rwf"});
    // LANG=C: every byte became one character; nothing was dropped.
    EXPECT_EQ(Strings(ApplicationArguments(raw, Texts({"/opt/Sch\xc3\x83\xc2\xa4" "ch/tavrin", kUmlautAsLatin1,
                                                       "Partie \xc3\xbc.pgn", "plain.rwf"}))),
              (std::vector<std::string>{kUmlaut, kLatin1, "plain.rwf"}));
    // A UTF-8 locale: the name that is not UTF-8 was dropped, the rest kept.
    EXPECT_EQ(Strings(ApplicationArguments(raw, Texts({"/opt/Sch\xc3\xa4" "ch/tavrin", kUmlaut, "plain.rwf"}))),
              (std::vector<std::string>{kUmlaut, kLatin1, "plain.rwf"}));
    // The toolkit took its own options out (GTK's --display and its value).
    const std::vector<CString> withOptions = Texts({"tavrin", "--display", ":5", kLatin1, "--client", kUmlaut});
    EXPECT_EQ(Strings(ApplicationArguments(withOptions, Texts({"tavrin", "--client", kUmlaut}))),
              (std::vector<std::string>{kLatin1, "--client", kUmlaut}));
    // Nothing to match up (a locale that reads the bytes some other way):
    // every argument as the system gave it.
    EXPECT_EQ(Strings(ApplicationArguments(Texts({"tavrin", "\xe4\xcd\xc9\xd4\xd2\xc9\xca.pgn", "b.pgn"}),
                                           Texts({"tavrin", "\xd0\x94\xd0\xbc.pgn", "b.pgn"}))),
              (std::vector<std::string>{"\xe4\xcd\xc9\xd4\xd2\xc9\xca.pgn", "b.pgn"}));
    EXPECT_TRUE(ApplicationArguments(Texts({"tavrin"}), Texts({"tavrin"})).empty());
    EXPECT_TRUE(ApplicationArguments({}, Texts({"tavrin"})).empty());
}

TEST(CommandLine, FilesAreTheArgumentsThatAreNoOptions)
{
    EXPECT_EQ(Strings(FileArguments(Texts({"--client", kLatin1, "--server", "b.pgn"}))),
              (std::vector<std::string>{kLatin1, "b.pgn"}));
    EXPECT_EQ(Strings(FileArguments(Texts({"--", "-odd name.pgn", "--"}))),
              (std::vector<std::string>{"-odd name.pgn", "--"}));
    EXPECT_TRUE(FileArguments(Texts({"--client"})).empty());
}

TEST(SystemPlaces, UserDirsEntriesFollowTheHomeTheyAreGiven)
{
    const CString home("/home/J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f");
    const CString text("# written by xdg-user-dirs-update\n"
                       "XDG_DOWNLOAD_DIR=\"$HOME/T\xc3\xa9l\xc3\xa9" "chargements\"\n"
                       "  XDG_DESKTOP_DIR=\"$HOME/Schreib \\\"tisch\\\"\"\r\n"
                       "XDG_MUSIC_DIR=\"/srv/Musik\"\n"
                       "XDG_VIDEOS_DIR=\"Videos\"\n"
                       "XDG_TEMPLATES_DIR=\"$HOME\"\n");
    EXPECT_STREQ(ReadUserDirsEntry(text, "XDG_DESKTOP_DIR", home).GetText(),
                 "/home/J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f/Schreib \"tisch\"");
    EXPECT_STREQ(ReadUserDirsEntry(text, "XDG_DOWNLOAD_DIR", home).GetText(),
                 "/home/J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f/T\xc3\xa9l\xc3\xa9" "chargements");
    EXPECT_STREQ(ReadUserDirsEntry(text, "XDG_MUSIC_DIR", home).GetText(), "/srv/Musik");
    EXPECT_STREQ(ReadUserDirsEntry(text, "XDG_TEMPLATES_DIR", home).GetText(), home.GetText());
    EXPECT_TRUE(ReadUserDirsEntry(text, "XDG_VIDEOS_DIR", home).IsEmpty()) << "a relative path names nothing";
    EXPECT_TRUE(ReadUserDirsEntry(text, "XDG_PICTURES_DIR", home).IsEmpty());
    EXPECT_TRUE(ReadUserDirsEntry(text, "XDG_DESKTOP_DIR", CString()).IsEmpty());
}

TEST(SystemPlaces, HomeAndDesktopComeFromTheEnvironmentAsBytes)
{
    STempBase base;
    ASSERT_FALSE(base.Path().empty());
    // A home no password entry names, with letters that are no ASCII and
    // one byte that is no UTF-8.
    const std::string home = base.Path() + "/J\xc3\xbcrgen Gr\xc3\xb6\xc3\x9f \xfc";
    const std::string desktop = home + "/Schreibtisch";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(desktop.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((home + "/.config").c_str(), 0755), 0);
    CEnvironment environment;
    environment.Set("HOME", home);
    environment.Unset("XDG_CONFIG_HOME");
    EXPECT_EQ(std::string(HomeFolder().GetText()), home);
    EXPECT_EQ(std::string(DesktopFolder().GetText()), home) << "no desktop folder named, none called Desktop";

    std::ofstream(home + "/.config/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    EXPECT_EQ(std::string(DesktopFolder().GetText()), desktop);
    // XDG_CONFIG_HOME elsewhere: its file counts, and it names no folder that exists.
    const std::string config = base.Path() + "/config";
    ASSERT_EQ(mkdir(config.c_str(), 0755), 0);
    std::ofstream(config + "/user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n";
    environment.Set("XDG_CONFIG_HOME", config);
    ASSERT_EQ(mkdir((home + "/Desktop").c_str(), 0755), 0);
    EXPECT_EQ(std::string(DesktopFolder().GetText()), home + "/Desktop");

    // A HOME that is no absolute path is no home: the password entry's is used.
    environment.Set("HOME", "relative");
    EXPECT_FALSE(HomeFolder().IsEmpty());
    EXPECT_EQ(HomeFolder().GetText()[0], '/');
}

TEST(DesktopSettings, LiveInTheConfigurationFolderAsBytesAndNeverInTheHome)
{
    wxInitializer toolkit;
    ASSERT_TRUE(toolkit.IsOk());
    STempBase base;
    ASSERT_FALSE(base.Path().empty());
    const std::string home = base.Path() + "/\xd0\x94\xd0\xbc\xd0\xb8\xd1\x82\xd1\x80\xd0\xb8\xd0\xb9 \xfc";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    CEnvironment environment;
    environment.Set("HOME", home);
    environment.Unset("XDG_CONFIG_HOME");
    // The first start writes the login name to ~/.config, made for it.
    const CString first = ReadRegistryUser();
    ASSERT_FALSE(first.IsEmpty());
    const std::string file = home + "/.config/Rookwell Lite.conf";
    const std::string stored = RookwellTest::ReadWholeFile(file);
    EXPECT_NE(stored.find(std::string("user=") + first.GetText()), std::string::npos) << stored;
    EXPECT_EQ(RookwellTest::ListFolder(home), std::vector<std::string>{".config"});
    // What the file says later is the user, letters that are no ASCII included.
    std::ofstream(file) << "user=Zo\xc3\xab \xc3\x91\xc3\xba\xc3\xb1" "ez\n";
    EXPECT_STREQ(ReadRegistryUser().GetText(), "Zo\xc3\xab \xc3\x91\xc3\xba\xc3\xb1" "ez");
}

TEST(DesktopSettings, AreTheFileTheToolkitsXdgLayoutNames)
{
    wxInitializer toolkit;
    ASSERT_TRUE(toolkit.IsOk());
    STempBase base;
    ASSERT_FALSE(base.Path().empty());
    CEnvironment environment;
    environment.Set("HOME", base.Path() + "/home");
    environment.Set("XDG_CONFIG_HOME", base.Path() + "/settings/of the desktop");
    ASSERT_EQ(mkdir((base.Path() + "/home").c_str(), 0755), 0);
    const CString name = ReadRegistryUser();
    ASSERT_FALSE(name.IsEmpty());
    wxStandardPaths& paths = wxStandardPaths::Get();
    paths.SetFileLayout(wxStandardPaths::FileLayout_XDG);
    const wxString named = wxFileConfig::GetLocalFileName("Rookwell Lite");
    wxString user;
    {
        wxFileConfig settings("Rookwell Lite", "Pemberlode");
        settings.Read("user", &user);
    }
    paths.SetFileLayout(wxStandardPaths::FileLayout_Classic);
    EXPECT_EQ(std::string(named.utf8_str()), base.Path() + "/settings/of the desktop/Rookwell Lite.conf");
    EXPECT_EQ(std::string(user.utf8_str()), name.GetText()) << "the toolkit reads the user written here";
    EXPECT_TRUE(RookwellTest::ListFolder(base.Path() + "/home").empty());
}

TEST(DesktopSettings, AnOlderClientsFileInTheHomeIsMovedOnce)
{
    wxInitializer toolkit;
    ASSERT_TRUE(toolkit.IsOk());
    STempBase base;
    ASSERT_FALSE(base.Path().empty());
    const std::string home = base.Path() + "/home";
    const std::string old = home + "/.Rookwell Lite";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    CEnvironment environment;
    environment.Set("HOME", home);
    environment.Set("XDG_CONFIG_HOME", base.Path() + "/config");
    std::ofstream(old) << "user=Alte Br\xc3\xbc" "cke\n";
    EXPECT_STREQ(ReadRegistryUser().GetText(), "Alte Br\xc3\xbc" "cke");
    EXPECT_FALSE(RookwellTest::FileExists(old)) << "the home keeps no settings file";
    const std::string moved = RookwellTest::ReadWholeFile(base.Path() + "/config/Rookwell Lite.conf");
    EXPECT_NE(moved.find("user=Alte Br\xc3\xbc" "cke"), std::string::npos) << moved;
    // Once moved, the new file is the one read: a later old one changes nothing.
    std::ofstream(old) << "user=Someone Else\n";
    EXPECT_STREQ(ReadRegistryUser().GetText(), "Alte Br\xc3\xbc" "cke");

    // Where the configuration folder cannot be made, the old file is read and kept.
    const std::string other = base.Path() + "/other";
    ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
    std::ofstream(other + "/.Rookwell Lite") << "user=Stays Home\n";
    std::ofstream(base.Path() + "/a file") << "not a folder\n";
    environment.Set("HOME", other);
    environment.Set("XDG_CONFIG_HOME", base.Path() + "/a file/config");
    EXPECT_STREQ(ReadRegistryUser().GetText(), "Stays Home");
    EXPECT_TRUE(RookwellTest::FileExists(other + "/.Rookwell Lite"));
}

TEST(DesktopSettings, AnOldFileIsRemovedOnlyOnceTheNewOneHoldsAllItsValues)
{
    wxInitializer toolkit;
    ASSERT_TRUE(toolkit.IsOk());
    STempBase base;
    ASSERT_FALSE(base.Path().empty());
    const std::string home = base.Path() + "/home";
    const std::string old = home + "/.Rookwell Lite";
    const std::string moved = base.Path() + "/config/Rookwell Lite.conf";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    CEnvironment environment;
    environment.Set("HOME", home);
    environment.Set("XDG_CONFIG_HOME", base.Path() + "/config");
    // Over the old bound of 64 KiB: a name and values, some in a group.
    std::string values = "user=Gro\xc3\x9f Meister\n";
    for (int i = 0; i < 3000; ++i)
        values += "value" + std::to_string(i) + "=" + std::string(40, char('a' + i % 26)) + "\n";
    values += "[recent]\nfile1=/home/games/one.pgn\n";
    ASSERT_GT(values.size(), 65536u);
    std::ofstream(old) << values;
    EXPECT_STREQ(ReadRegistryUser().GetText(), "Gro\xc3\x9f Meister");
    EXPECT_FALSE(RookwellTest::FileExists(old));
    wxFileConfig settings("", "", wxString::FromUTF8(moved.c_str()), "", wxCONFIG_USE_LOCAL_FILE);
    EXPECT_EQ(settings.Read("value2999", ""), std::string(40, char('a' + 2999 % 26)));
    EXPECT_EQ(settings.Read("recent/file1", ""), "/home/games/one.pgn");
    EXPECT_EQ(settings.Read("user", ""), wxString::FromUTF8("Gro\xc3\x9f Meister"));

    // Past the bound it is read in part, for its name, and kept whole; nothing is written.
    ASSERT_EQ(unlink(moved.c_str()), 0);
    std::string huge = "user=Riesig\n";
    for (int i = 0; huge.size() <= (size_t(4) << 20); ++i)
        huge += "pad" + std::to_string(i) + "=" + std::string(1000, 'x') + "\n";
    std::ofstream(old) << huge;
    EXPECT_STREQ(ReadRegistryUser().GetText(), "Riesig");
    EXPECT_EQ(RookwellTest::ReadWholeFile(old), huge);
    EXPECT_FALSE(RookwellTest::FileExists(moved));
    EXPECT_STREQ(ReadRegistryUser().GetText(), "Riesig") << "and used again at the next start";

    // So is a new file past the bound: its name is read and it is not written over.
    std::ofstream(moved) << huge;
    EXPECT_STREQ(ReadRegistryUser().GetText(), "Riesig");
    EXPECT_EQ(RookwellTest::ReadWholeFile(moved), huge);
}

TEST(SystemPlaces, TheRunningProgramIsThisTestsOwnFile)
{
    const CString path = RunningProgramPath();
    ASSERT_FALSE(path.IsEmpty());
    struct stat self, found;
    ASSERT_EQ(stat("/proc/self/exe", &self), 0);
    ASSERT_EQ(stat(path.GetText(), &found), 0);
    EXPECT_EQ(self.st_ino, found.st_ino);
}

TEST(SystemPlaces, TheUsersDataFolderFollowsXdgDataHomeElseTheHome)
{
    STempBase base;
    ASSERT_FALSE(base.Path().empty());
    CEnvironment environment;
    environment.Set("HOME", base.Path() + "/home");
    environment.Set("XDG_DATA_HOME", base.Path() + "/data");
    EXPECT_EQ(std::string(UserDataFolder().GetText()), base.Path() + "/data/rookwell");
    // A relative value is ignored, as the desktop's base directory rules have it.
    environment.Set("XDG_DATA_HOME", "data");
    EXPECT_EQ(std::string(UserDataFolder().GetText()), base.Path() + "/home/.local/share/rookwell");
    environment.Unset("XDG_DATA_HOME");
    EXPECT_EQ(std::string(UserDataFolder().GetText()), base.Path() + "/home/.local/share/rookwell");
}

TEST(SystemPlaces, AFolderOfAnotherAccountIsNotWritable)
{
    STempBase base;
    ASSERT_FALSE(base.Path().empty());
    EXPECT_TRUE(IsFolderWritable(CString(base.Path().c_str())));
    EXPECT_FALSE(IsFolderWritable(CString((base.Path() + "/missing").c_str())));
    EXPECT_FALSE(IsFolderWritable(CString()));
    const std::string locked = base.Path() + "/locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
    if (geteuid() != 0) {
        EXPECT_FALSE(IsFolderWritable(CString(locked.c_str())));
    }
    // Root may write a folder of mode 555; the end-to-end session of the
    // installed client checks the folder of root as another account sees it.
}

TEST(SystemPlaces, AnInstalledProgramFolderIsNoPortableOneForAnyone)
{
    STempBase base;
    ASSERT_FALSE(base.Path().empty());
    const CString folder(base.Path().c_str());
    EXPECT_TRUE(IsPortableProgramFolder(folder));
    // Root may write the folder: the install's mark says it is the system's.
    std::ofstream(base.Path() + "/" + kInstalledMarkName) << "installed\n";
    EXPECT_FALSE(IsPortableProgramFolder(folder));
    EXPECT_FALSE(IsPortableProgramFolder(CString((base.Path() + "/missing").c_str())));
}

TEST(XDisplayCheck, TheToolkitFindsAnXDisplayInTheEnvironmentOrOnTheCommandLine)
{
    EXPECT_EQ(XDisplayName(":0", Texts({"tavrin"})), ":0");
    EXPECT_EQ(XDisplayName(nullptr, Texts({"tavrin", "game.pgn"})), "");
    EXPECT_EQ(XDisplayName("", Texts({"tavrin"})), "");
    // GTK's own option, in either spelling, names one, and wins.
    EXPECT_EQ(XDisplayName(nullptr, Texts({"tavrin", "--display", ":5", "game.pgn"})), ":5");
    EXPECT_EQ(XDisplayName(":0", Texts({"tavrin", "game.pgn", "--display=:5"})), ":5");
    EXPECT_EQ(XDisplayName(nullptr, Texts({"tavrin", "--display="})), "");
    EXPECT_EQ(XDisplayName(nullptr, Texts({"tavrin", "--display"})), "");
    // After "--" it is a file's name.
    EXPECT_EQ(XDisplayName(nullptr, Texts({"tavrin", "--", "--display=:5"})), "");
}
