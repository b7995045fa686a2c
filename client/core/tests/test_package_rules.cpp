// The rules of packages and profiles that need no window: which products and
// kinds a manifest names, which names may be written, which files must stay
// runnable, which address and id a profile may carry.

#include <gtest/gtest.h>

#include "client/core/PackageRules.h"
#include "client/core/ProfileArchive.h"
#include "foundation/DiskDrive.h"
#include "support/PackageBuilder.h"

using Zorlin::CString;

namespace {

IpV4Address Ip(int a, int b, int c, int d)
{
    return IpV4Address(a) << 24 | IpV4Address(b) << 16 | IpV4Address(c) << 8 | IpV4Address(d);
}

TEST(PackageRules, TheProductListMustNameThisProductAndTheRefusalQuotesIt)
{
    CString list;
    EXPECT_TRUE(IsPackageForProduct("Rookwell, Rookwell Lite", list));
    EXPECT_EQ(list, "'Rookwell' or 'Rookwell Lite'");
    EXPECT_TRUE(IsPackageForProduct("rookwell lite", list));
    EXPECT_TRUE(IsPackageForProduct("  Rookwell Lite  ,Other", list));
    EXPECT_FALSE(IsPackageForProduct("Rookwell", list));
    EXPECT_EQ(list, "'Rookwell'");
    EXPECT_EQ(WrongProductMessage(list),
              "This package is for 'Rookwell'.\n\nYou have 'Rookwell Lite'. \n\nCan't continue with install.");
    EXPECT_FALSE(IsPackageForProduct("", list));
    EXPECT_FALSE(IsPackageForProduct(" , ", list));
    EXPECT_FALSE(IsPackageForProduct("Rookwell Lite Pro", list));
}

TEST(PackageRules, KindsIgnoreCaseAndTheirTargetsStayInTheirFolders)
{
    const SPackageKind* engine = FindPackageKind("Engine");
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(engine->kind, kPackageEngine);
    EXPECT_EQ(PackageTargetFolder(*engine, "tester"), "/engines/");
    const SPackageKind* pgn = FindPackageKind("PGN");
    ASSERT_NE(pgn, nullptr);
    EXPECT_EQ(PackageTargetFolder(*pgn, "tester"), "/users/tester/played games/");
    ASSERT_NE(FindPackageKind("update"), nullptr);
    EXPECT_EQ(FindPackageKind("update")->successText, nullptr);
    EXPECT_NE(FindPackageKind("voice"), nullptr);
    EXPECT_NE(FindPackageKind("BOARD"), nullptr);
    EXPECT_EQ(FindPackageKind("skin"), nullptr);
    EXPECT_EQ(FindPackageKind("email"), nullptr);
    EXPECT_EQ(FindPackageKind(""), nullptr);
}

TEST(PackageRules, OnlyPathsOfPlainNamesAreConfined)
{
    for (const char* good : {"a", "a/b.txt", "graphics/", "x y/z", "..a", "a..b/c"})
        EXPECT_TRUE(IsConfinedPath(good)) << good;
    for (const char* bad : {"", "/", "../a", "a/../b", "a/..", "/etc/passwd", "a//b", "a\\..\\b", "c:x", ".",
                            "./a", "a/\"b"})
        EXPECT_FALSE(IsConfinedPath(bad)) << bad;
}

TEST(PackageRules, TheEngineSettingsNameTheProgramInsideThePackage)
{
    EXPECT_EQ(EngineProgramPath("exe = \"bin/engine\"\ncommand = \"\"\n"), "bin/engine");
    EXPECT_EQ(EngineProgramPath("exe = ./engine\n"), "engine");
    // An installed system engine needs nothing of the package.
    EXPECT_EQ(EngineProgramPath("exe = \"/usr/games/fairymax\"\n"), "");
    EXPECT_EQ(EngineProgramPath("exe = \"../../bin/sh\"\n"), "");
    EXPECT_EQ(EngineProgramPath("command = x\n"), "");
}

TEST(PackageRules, CollectingATreeStopsAtANameThatLeavesItsFolder)
{
    std::string folder = PackageTest::MakeTempFolder("rules");
    ASSERT_FALSE(folder.empty());
    PackageTest::WriteFile(folder + "/good/a.txt", "a");
    PackageTest::WriteFile(folder + "/good/sub/b.txt", "b");
    Zorlin::CDiskDrive drive(folder.c_str());
    ASSERT_TRUE(drive.ChangeDirectory(Zorlin::CURL("good")));
    std::vector<SPackageItem> items;
    CString problem;
    ASSERT_TRUE(CollectPackageItems(drive, items, problem)) << problem.GetText();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].path, "a.txt");
    EXPECT_EQ(items[1].path, "sub/");
    EXPECT_TRUE(items[1].folder);
    EXPECT_EQ(items[2].path, "sub/b.txt");

    // A name made elsewhere that reads as a climb on another system.
    PackageTest::WriteFile(folder + "/good/sub/..\\..\\evil.txt", "x");
    EXPECT_FALSE(CollectPackageItems(drive, items, problem));
    EXPECT_EQ(problem, "sub/..\\..\\evil.txt");
    PackageTest::RemoveTree(folder);
}

TEST(ProfileAddress, PublicBeatsLocalTheLastOfEachWinsAndUnreachableOnesAreSkipped)
{
    EXPECT_EQ(ChooseProfileAddress({Ip(192, 168, 1, 5)}), "192.168.1.5");
    EXPECT_EQ(ChooseProfileAddress({Ip(10, 0, 0, 2), Ip(81, 2, 3, 4)}), "81.2.3.4");
    EXPECT_EQ(ChooseProfileAddress({Ip(81, 2, 3, 4), Ip(10, 0, 0, 2)}), "81.2.3.4");
    EXPECT_EQ(ChooseProfileAddress({Ip(10, 0, 0, 2), Ip(192, 168, 0, 9)}), "192.168.0.9");
    EXPECT_EQ(ChooseProfileAddress({Ip(81, 2, 3, 4), Ip(82, 1, 1, 1)}), "82.1.1.1");
    EXPECT_EQ(ChooseProfileAddress({Ip(172, 20, 0, 1), Ip(10, 1, 1, 1)}), "10.1.1.1");
    EXPECT_EQ(ChooseProfileAddress({Ip(172, 32, 0, 1), Ip(10, 1, 1, 1)}), "172.32.0.1");
    EXPECT_EQ(ChooseProfileAddress({Ip(127, 0, 0, 1), Ip(169, 254, 3, 4), Ip(0, 0, 0, 0)}), "");
    EXPECT_EQ(ChooseProfileAddress({Ip(192, 168, 1, 5), Ip(127, 0, 1, 1)}), "192.168.1.5");
    EXPECT_EQ(ChooseProfileAddress({}), "");
}

TEST(ProfileId, OnlyTheCharactersOfMadeIdsMayNameAFile)
{
    for (const char* good : {"ABC123", "5F3A9C01FFFE1234", "abc"})
        EXPECT_TRUE(IsProfileId(good)) << good;
    for (const char* bad : {"", "../x", "a/b", "a b", "a.cfg", "..", "x\\y", "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"})
        EXPECT_FALSE(IsProfileId(bad)) << bad;
}

} // namespace
