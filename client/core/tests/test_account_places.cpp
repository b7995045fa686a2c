// Whose folders a start writes into: real folders made here, of this
// account, of modes others may write (0777, 1777, a group's), and, when the
// test runs as root, given to another uid, as a HOME left by sudo -E or a
// data folder another account made.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/AccountPlaces.h"
#include "testsupport/TempFiles.h"

using Zorlin::CString;

namespace {

// No account on the machine has it.
const unsigned kOtherUid = 4242421;

struct SBase {
    SBase() : path(RookwellTest::MakeTempFolder("places")) {}
    ~SBase() { RookwellTest::RemoveTree(path); }
    std::string Folder(const std::string& name, mode_t mode) const
    {
        const std::string folder = path + "/" + name;
        mkdir(folder.c_str(), 0700);
        chmod(folder.c_str(), mode);
        return folder;
    }
    std::string path;
};

std::string Text(const CString& text)
{
    return std::string(text.GetText(), size_t(text.GetLength()));
}

std::string Notes(const SAccountPlaces& places)
{
    std::string all;
    for (const CString& note : places.notes)
        all += Text(note) + "\n";
    return all;
}

SAccountFacts Facts(const std::string& home, const std::string& accountHome)
{
    SAccountFacts facts;
    facts.home = home.c_str();
    facts.accountHome = accountHome.c_str();
    facts.uid = unsigned(getuid());
    return facts;
}

// Root only: the folder becomes another account's.
bool GiveAway(const std::string& folder)
{
    return geteuid() == 0 && chown(folder.c_str(), kOtherUid, kOtherUid) == 0;
}

} // namespace

TEST(AccountPlaces, TheAccountsOwnFoldersAreUsedAsTheEnvironmentNamesThem)
{
    SBase base;
    ASSERT_FALSE(base.path.empty());
    const std::string home = base.Folder("home", 0755);
    SAccountFacts facts = Facts(home, home);
    SAccountPlaces places = DecideAccountPlaces(facts);
    EXPECT_EQ(Text(places.home), home);
    EXPECT_EQ(Text(places.configFolder), home + "/.config");
    EXPECT_EQ(Text(places.dataFolder), home + "/.local/share/rookwell");
    EXPECT_TRUE(places.notes.empty()) << Notes(places);

    facts.configHome = (base.path + "/settings").c_str();
    facts.dataHome = (base.Folder("data", 0700) + "/").c_str();
    places = DecideAccountPlaces(facts);
    EXPECT_EQ(Text(places.configFolder), base.path + "/settings") << "made later, by this account";
    EXPECT_EQ(Text(places.dataFolder), base.path + "/data/rookwell");
    EXPECT_TRUE(places.notes.empty()) << Notes(places);
    EXPECT_EQ(RookwellTest::ListFolder(base.path), (std::vector<std::string>{"data", "home"}))
        << "deciding makes nothing";

    // A data folder the account made earlier, and a relative XDG value, which names nothing.
    mkdir((base.path + "/data/rookwell").c_str(), 0755);
    mkdir((base.path + "/data/rookwell/users").c_str(), 0700);
    facts.configHome = "settings";
    places = DecideAccountPlaces(facts);
    EXPECT_EQ(Text(places.dataFolder), base.path + "/data/rookwell");
    EXPECT_EQ(Text(places.configFolder), home + "/.config");
}

TEST(AccountPlaces, AFolderOtherAccountsMayWriteIsPassedOverForTheHomesOwn)
{
    SBase base;
    ASSERT_FALSE(base.path.empty());
    const std::string home = base.Folder("home", 0755);
    SAccountFacts facts = Facts(home, home);

    // A shared folder (1777) as XDG_DATA_HOME: its rookwell/ is not ours to keep things in.
    const std::string shared = base.Folder("shared", 01777);
    facts.dataHome = shared.c_str();
    SAccountPlaces places = DecideAccountPlaces(facts);
    EXPECT_EQ(Text(places.dataFolder), home + "/.local/share/rookwell");
    EXPECT_NE(Notes(places).find("The data folder " + shared + "/rookwell (XDG_DATA_HOME) is not used: " + shared +
                                 " can be written by other accounts."),
              std::string::npos)
        << Notes(places);

    // A data home of ours whose rookwell/ anyone may write, or whose users/ anyone may.
    const std::string data = base.Folder("data", 0700);
    facts.dataHome = data.c_str();
    mkdir((data + "/rookwell").c_str(), 0700);
    chmod((data + "/rookwell").c_str(), 0777);
    places = DecideAccountPlaces(facts);
    EXPECT_EQ(Text(places.dataFolder), home + "/.local/share/rookwell");
    EXPECT_NE(Notes(places).find(data + "/rookwell can be written by other accounts"), std::string::npos)
        << Notes(places);
    chmod((data + "/rookwell").c_str(), 0755);
    mkdir((data + "/rookwell/users").c_str(), 0700);
    chmod((data + "/rookwell/users").c_str(), 0777);
    places = DecideAccountPlaces(facts);
    EXPECT_EQ(Text(places.dataFolder), home + "/.local/share/rookwell");
    chmod((data + "/rookwell/users").c_str(), 0700);
    EXPECT_EQ(Text(DecideAccountPlaces(facts).dataFolder), data + "/rookwell");

    // A group may write it: the account's own group (of its name, alone in it) only.
    chmod((data + "/rookwell").c_str(), 0775);
    EXPECT_EQ(Text(DecideAccountPlaces(facts).dataFolder), home + "/.local/share/rookwell");
    struct stat info;
    ASSERT_EQ(stat((data + "/rookwell").c_str(), &info), 0);
    facts.privateGroup = long(info.st_gid);
    EXPECT_EQ(Text(DecideAccountPlaces(facts).dataFolder), data + "/rookwell");
}

TEST(AccountPlaces, AFolderAboveThatOthersMayChangeKeepsNothingBelowIt)
{
    SBase base;
    ASSERT_FALSE(base.path.empty());
    const std::string own = base.Folder("own", 0755);
    // Without the sticky bit anyone may rename what lies in it.
    const std::string open = base.Folder("open", 0777);
    mkdir((open + "/home").c_str(), 0755);
    SAccountPlaces places = DecideAccountPlaces(Facts(open + "/home", own));
    EXPECT_EQ(Text(places.home), own);
    EXPECT_EQ(Text(places.dataFolder), own + "/.local/share/rookwell");
    EXPECT_NE(Notes(places).find(open + " can be changed by other accounts"), std::string::npos) << Notes(places);
    // With it, each keeps what is theirs.
    chmod(open.c_str(), 01777);
    places = DecideAccountPlaces(Facts(open + "/home", own));
    EXPECT_EQ(Text(places.home), open + "/home");
    EXPECT_TRUE(places.notes.empty()) << Notes(places);
}

TEST(AccountPlaces, WithoutAnyFolderOfItsOwnThereIsNoDataFolderAndTheProblemSaysWhy)
{
    SBase base;
    ASSERT_FALSE(base.path.empty());
    const std::string home = base.Folder("home", 0755);
    mkdir((home + "/.local").c_str(), 0777);
    chmod((home + "/.local").c_str(), 0777);
    SAccountFacts facts = Facts(home, home);
    facts.dataHome = base.Folder("shared", 0777).c_str();
    const SAccountPlaces places = DecideAccountPlaces(facts);
    EXPECT_TRUE(places.dataFolder.IsEmpty());
    EXPECT_EQ(Text(places.configFolder), home + "/.config") << "the settings folder is another one";
    EXPECT_NE(Text(places.problem).find("No folder of this account can hold its games and settings."),
              std::string::npos);
    EXPECT_NE(Text(places.problem).find(home + "/.local can be written by other accounts"), std::string::npos)
        << Text(places.problem);
    EXPECT_NE(Text(places.problem).find(base.path + "/shared can be written by other accounts"), std::string::npos)
        << Text(places.problem);

    // A data folder in the way of a file is kept, for its making to fail by
    // its name; a HOME that is a file is no home.
    std::ofstream(base.path + "/a file") << "not a folder\n";
    facts.dataHome = (base.path + "/a file").c_str();
    EXPECT_EQ(Text(DecideAccountPlaces(facts).dataFolder), base.path + "/a file/rookwell");
    const std::string own = base.Folder("own", 0700);
    EXPECT_EQ(Text(DecideAccountPlaces(Facts(base.path + "/a file", own)).home), own);
}

TEST(AccountPlaces, AHomeOfAnotherAccountGivesWayToTheAccountsOwnWithItsXdgFolders)
{
    SBase base;
    ASSERT_FALSE(base.path.empty());
    const std::string theirs = base.Folder("their home", 0755);
    mkdir((theirs + "/.config").c_str(), 0700);
    const std::string own = base.Folder("own home", 0700);
    if (!GiveAway(theirs) || !GiveAway(theirs + "/.config"))
        GTEST_SKIP() << "only root can give a folder to another account";
    // As sudo -E leaves it: HOME and the XDG folders all in the other home.
    SAccountFacts facts = Facts(theirs, own);
    facts.configHome = (theirs + "/.config").c_str();
    facts.dataHome = (theirs + "/.local/share").c_str();
    const SAccountPlaces places = DecideAccountPlaces(facts);
    EXPECT_EQ(Text(places.home), own);
    EXPECT_EQ(Text(places.configFolder), own + "/.config");
    EXPECT_EQ(Text(places.dataFolder), own + "/.local/share/rookwell");
    const std::string notes = Notes(places);
    EXPECT_NE(notes.find("The home " + theirs + " (HOME) is not used: " + theirs + " belongs to another account."),
              std::string::npos)
        << notes;
    EXPECT_NE(notes.find(theirs + "/.config (XDG_CONFIG_HOME) is not used"), std::string::npos) << notes;
    EXPECT_NE(notes.find(theirs + "/.local/share/rookwell (XDG_DATA_HOME) is not used"), std::string::npos) << notes;
    EXPECT_EQ(RookwellTest::ListFolder(theirs), std::vector<std::string>{".config"});

    // A data folder another account made in a home of ours, mode 0700 or not.
    mkdir((own + "/.local").c_str(), 0700);
    mkdir((own + "/.local/share").c_str(), 0700);
    mkdir((own + "/.local/share/rookwell").c_str(), 0700);
    ASSERT_TRUE(GiveAway(own + "/.local/share/rookwell"));
    const SAccountPlaces none = DecideAccountPlaces(Facts(own, own));
    EXPECT_TRUE(none.dataFolder.IsEmpty());
    EXPECT_NE(Text(none.problem).find(own + "/.local/share/rookwell belongs to another account"), std::string::npos)
        << Text(none.problem);
}

TEST(AccountPlaces, TheEnvironmentIsPointedAtTheAccountsOwnHomeKeepingTheDisplaysCookie)
{
    SBase base;
    ASSERT_FALSE(base.path.empty());
    const std::string theirs = base.Folder("their home", 0755);
    std::ofstream(theirs + "/.Xauthority") << "cookie\n";
    if (!GiveAway(theirs))
        GTEST_SKIP() << "only root can give a folder to another account";
    const SAccountFacts facts = AccountFactsOfThisProcess();
    if (facts.accountHome.IsEmpty())
        GTEST_SKIP() << "the account has no home in the password database";
    std::vector<std::pair<std::string, const char*>> saved;
    for (const char* name : {"HOME", "XAUTHORITY", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        const char* value = getenv(name);
        saved.emplace_back(name, value ? strdup(value) : nullptr);
    }
    setenv("HOME", theirs.c_str(), 1);
    unsetenv("XAUTHORITY");
    setenv("XDG_CACHE_HOME", (theirs + "/.cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (base.path + "/own data").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    const SAccountPlaces places = AccountPlaces();
    EXPECT_TRUE(PointEnvironmentAtAccountPlaces(places));
    const std::string home = getenv("HOME");
    const char* cookie = getenv("XAUTHORITY");
    const bool cacheKept = getenv("XDG_CACHE_HOME") != nullptr;
    const std::string data = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    const std::string cookieText = cookie ? cookie : "";
    const std::string decided = Text(AccountPlaces().dataFolder);
    for (auto& [name, value] : saved) {
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
        free(const_cast<char*>(value));
    }
    EXPECT_EQ(home, Text(places.home));
    EXPECT_NE(home, theirs);
    EXPECT_EQ(cookieText, theirs + "/.Xauthority") << "the display's cookie is still read from where it was";
    EXPECT_FALSE(cacheKept) << "the libraries' cache goes below the account's own home";
    EXPECT_EQ(data, base.path + "/own data") << "a data home of the account's own stays";
    EXPECT_EQ(decided, base.path + "/own data/rookwell");
}
