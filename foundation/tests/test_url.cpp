#include "foundation/URL.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>

using Zorlin::CArray;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

std::string Resolved(const char* base, const char* relative)
{
    CURL url(base);
    url.Resolve(relative);
    return url.GetText();
}

struct SSplit {
    bool ok;
    std::string drive, device, folders, name;
};

SSplit SplitOf(const char* path)
{
    CString drive, device, folders, name;
    SSplit s;
    s.ok = CURL(path).Split(drive, device, folders, name);
    s.drive = drive.GetText();
    s.device = device.GetText();
    s.folders = folders.GetText();
    s.name = name.GetText();
    return s;
}

TEST(URLResolve, DocumentedCases)
{
    EXPECT_EQ(Resolved("/a/b/", "../c/d.txt"), "/a/c/d.txt");
    EXPECT_EQ(Resolved("/a/b/", "/x/y"), "/x/y");
    EXPECT_EQ(Resolved("/a/b/", "./e"), "/a/b/e");
    EXPECT_EQ(Resolved("/a/", "../../f"), "/f");
    // The base's last name is a folder of the result.
    EXPECT_EQ(Resolved("/a/b", "c"), "/a/b/c");
    EXPECT_EQ(Resolved("/a/b/", "c\\d\\e.cfg"), "/a/b/c/d/e.cfg");
    // An empty or null relative leaves the base alone.
    EXPECT_EQ(Resolved("/a/b/", ""), "/a/b/");
    CURL url("/a/");
    url.Resolve(nullptr);
    EXPECT_EQ(std::string(url.GetText()), "/a/");
}

TEST(URLResolve, DriveAndDeviceAreCarried)
{
    EXPECT_EQ(Resolved("[prog]C:/games/", "../cfg/x.cfg"), "[prog]C:/cfg/x.cfg");
    EXPECT_EQ(Resolved("C:\\games\\", "board.cfg"), "C:/games/board.cfg");
    // A relative base stays relative; ".." stops at its top.
    EXPECT_EQ(Resolved("a/b/", "../../../c"), "c");
    EXPECT_EQ(Resolved("", "x/y"), "x/y");
}

TEST(URLResolve, DotNamesAtTheEndNameFolders)
{
    EXPECT_EQ(Resolved("/a/b/", ".."), "/a/");
    EXPECT_EQ(Resolved("/a/b/", "."), "/a/b/");
    EXPECT_EQ(Resolved("/", ".."), "/");
    EXPECT_EQ(Resolved("/a/", "x/.."), "/a/");
}

TEST(URLResolve, QuotedNamesCannotClimbOut)
{
    // Quotes group a name, but the separators inside still count, so the
    // ".." pieces are applied and stop at the top.
    EXPECT_EQ(Resolved("/a/", "\"../../..\"/x"), "/x");
    EXPECT_EQ(Resolved("/a/", "\"live content\"/news.txt"), "/a/live content/news.txt");
}

// Random rooted paths against the standard library's lexical normal form.
// For rooted paths the two agree, ".." at the top included.
TEST(URLResolve, AgreesWithLexicallyNormal)
{
    const char* names[] = {"a", "B", "long name", "x.txt", "...", ".hidden", "..", ".", ""};
    std::mt19937 random(1234);
    auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    auto randomPath = [&](int maxParts, bool dots) {
        std::string path;
        int parts = pick(maxParts + 1);
        for (int i = 0; i < parts; ++i) {
            if (i > 0 || pick(3) == 0)
                path += pick(4) == 0 ? '\\' : '/';
            path += names[pick(dots ? 9 : 6)];
        }
        if (pick(3) == 0)
            path += '/';
        return path;
    };

    for (int round = 0; round < 20000; ++round) {
        std::string base = "/" + randomPath(4, false);
        std::string relative = randomPath(6, true);
        if (relative.empty() || relative.front() == ' ' || relative.back() == ' ')
            continue;
        std::string mine = Resolved(base.c_str(), relative.c_str());

        std::string slashedBase = base;
        std::string slashed = relative;
        std::replace(slashedBase.begin(), slashedBase.end(), '\\', '/');
        std::replace(slashed.begin(), slashed.end(), '\\', '/');
        std::filesystem::path joined = std::filesystem::path(slashedBase) / slashed;
        std::string expected = joined.lexically_normal().generic_string();
        // POSIX lets a leading "//" mean something else; drive paths do not.
        while (expected.compare(0, 2, "//") == 0)
            expected.erase(0, 1);
        ASSERT_EQ(mine, expected) << "base " << base << " relative " << relative;
    }
}

TEST(URLSplit, Parts)
{
    SSplit s = SplitOf("[prog]C:\\games\\board.cfg");
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.drive, "prog");
    EXPECT_EQ(s.device, "C");
    EXPECT_EQ(s.folders, "/games/");
    EXPECT_EQ(s.name, "board.cfg");

    s = SplitOf("  readme  ");
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.folders, "");
    EXPECT_EQ(s.name, "readme");

    s = SplitOf("[d]");
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.drive, "d");
    EXPECT_EQ(s.name, "");

    // A ':' after a separator belongs to a name, not to a device.
    s = SplitOf("/a:b/c");
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.device, "");
    EXPECT_EQ(s.folders, "/a:b/");
    EXPECT_EQ(s.name, "c");
}

TEST(URLSplit, Failures)
{
    EXPECT_FALSE(SplitOf("[prog/games/x").ok);
    EXPECT_FALSE(SplitOf("").ok);
    EXPECT_FALSE(SplitOf("   ").ok);
}

TEST(URLSplit, ComponentsAndAbsolute)
{
    CArray<CString> names;
    CString name;
    ASSERT_TRUE(CURL("/a\\\"b c\"/d/e.txt").SplitComponents(names, name));
    ASSERT_EQ(names.GetCount(), 3);
    EXPECT_EQ(*names.GetAt(0), "a");
    EXPECT_EQ(*names.GetAt(1), "b c");
    EXPECT_EQ(*names.GetAt(2), "d");
    EXPECT_EQ(name, "e.txt");

    EXPECT_TRUE(CURL("/x").IsAbsolute());
    EXPECT_TRUE(CURL("C:\\x").IsAbsolute());
    EXPECT_FALSE(CURL("x/y").IsAbsolute());
    EXPECT_FALSE(CURL("").IsAbsolute());
}

TEST(URLAppend, DropsOneLeadingSeparator)
{
    CURL url("/a/");
    url.Append("/b");
    EXPECT_EQ(url, "/a/b");
    url.Append("\\c");
    EXPECT_EQ(url, "/a/bc");
    url.Append("");
    url.Append(static_cast<const char*>(nullptr));
    EXPECT_EQ(url, "/a/bc");
    url.Append('/');
    EXPECT_EQ(url, "/a/bc/");
}

TEST(URLPlainName, RejectsWhatCouldLeaveAFolder)
{
    EXPECT_TRUE(CURL::IsPlainName("board.cfg"));
    EXPECT_TRUE(CURL::IsPlainName("live content"));
    EXPECT_TRUE(CURL::IsPlainName("..."));
    EXPECT_FALSE(CURL::IsPlainName(""));
    EXPECT_FALSE(CURL::IsPlainName("."));
    EXPECT_FALSE(CURL::IsPlainName(".."));
    EXPECT_FALSE(CURL::IsPlainName("a/b"));
    EXPECT_FALSE(CURL::IsPlainName("a\\b"));
    EXPECT_FALSE(CURL::IsPlainName("C:x"));
    EXPECT_FALSE(CURL::IsPlainName("\"x\""));
    CString withZero;
    withZero.Append("ab\0c", 4);
    EXPECT_FALSE(CURL::IsPlainName(withZero));
}

} // namespace
