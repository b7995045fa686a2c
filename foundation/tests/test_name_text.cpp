#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "foundation/NameText.h"
#include "test_archive_support.h"

using namespace ArchiveTest;
using Zorlin::CString;

namespace {

CString Text(const std::string& bytes)
{
    CString text;
    text.Append(bytes.data(), int(bytes.size()));
    return text;
}

std::string Escaped(const std::string& bytes)
{
    return Zorlin::EscapeForLog(Text(bytes)).GetText();
}

// An archive written by the independent Python writer holding one file
// called name (a Python string literal; each character one byte), opened.
bool OpensWithName(const std::string& pythonName)
{
    CTempDir temp;
    const std::string out = temp / "names.rwf";
    const std::string support = std::string(ROOKWELL_SOURCE) + "/foundation/tests/support";
    const std::string script = "import sys; sys.path.insert(0, " + Quote(support) + "); import archive_ref as r; "
                               "w = r.Writer('names'); w.add(" + pythonName + ", b'0123456789', False); "
                               "open(" + Quote(out) + ", 'wb').write(w.finish())";
    std::string said;
    EXPECT_EQ(RunCommand("python3 -c " + Quote(script) + " 2>&1", &said), 0) << said;
    CArchiveDrive reader;
    return reader.Open(HostOf(ReadDisk(out)), "names", true);
}

} // namespace

TEST(NameText, PrintableUtf8)
{
    for (const char* good : {"", "plain.txt", "K\xc3\xb6nig", "\xe2\x82\xac uro", "\xf0\x9f\x98\x80", "a~b"})
        EXPECT_TRUE(Zorlin::IsPrintableUtf8(CString(good))) << good;
    for (const char* bad : {"a\rb", "a\nb", "\x1b[2J", "tab\there", "del\x7f", "\xc2\x85", "K\xf6nig", "\xc0\xaf",
                            "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "cut\xe2\x82"})
        EXPECT_FALSE(Zorlin::IsPrintableUtf8(CString(bad))) << Escaped(bad);
    EXPECT_FALSE(Zorlin::IsPrintableUtf8(Text(std::string("nul\0byte", 8))));
}

TEST(NameText, LogEscapingKeepsOneLineAndIsUnambiguous)
{
    EXPECT_EQ(Escaped("readme.txt"), "readme.txt");
    EXPECT_EQ(Escaped("K\xc3\xb6nig"), "K\xc3\xb6nig");
    EXPECT_EQ(Escaped("x\r\nDONE - Update completed successfully."),
              "x\\x0d\\x0aDONE - Update completed successfully.");
    EXPECT_EQ(Escaped("\x1b[2J"), "\\x1b[2J");
    EXPECT_EQ(Escaped("K\xf6nig"), "K\\xf6nig");
    EXPECT_EQ(Escaped("a\\x0d"), "a\\\\x0d") << "a backslash of the name cannot pass for an escape";
    EXPECT_EQ(Escaped(std::string("a\0b", 3)), "a\\x00b");
}

TEST(NameText, ArchivesRefuseControlCharactersAndBrokenUtf8BothWays)
{
    CArchiveDrive writer;
    ASSERT_TRUE(writer.Create(HostOf({}), "names", true, 8192));
    for (const char* bad : {"x\r\nDONE", "\x1b[31mred", "K\xf6nig", "bell\x07"})
        EXPECT_FALSE(AddBytes(writer, bad, Pattern(4, 1), false)) << Escaped(bad);
    EXPECT_FALSE(writer.MakeDirectories("ok/\x1b[0m"));
    EXPECT_TRUE(AddBytes(writer, "K\xc3\xb6nig.txt", Pattern(4, 1), false));
    EXPECT_TRUE(writer.Finish(false));

    // Read side: archives another writer made with such names.
    if (!HavePython())
        GTEST_SKIP() << "no python3 for the reference writer";
    EXPECT_TRUE(OpensWithName("'plain.txt'")) << "the writer itself works";
    EXPECT_FALSE(OpensWithName("'x\\r\\nDONE'"));
    EXPECT_FALSE(OpensWithName("'\\x1b[2J'"));
    EXPECT_FALSE(OpensWithName("'K\\xf6nig'"));
}

TEST(NameText, CutCharactersCountsUtf8SequencesAndNeverSplitsOne)
{
    EXPECT_EQ(std::string(Zorlin::CutCharacters(Text(std::string(3100, 'n')), 40).GetText()), std::string(40, 'n'));
    EXPECT_EQ(std::string(Zorlin::CutCharacters(Text("short"), 40).GetText()), "short");
    EXPECT_EQ(Zorlin::CutCharacters(Text(""), 40).GetLength(), 0);
    // Two, three and four bytes a character: cut after whole characters.
    EXPECT_EQ(std::string(Zorlin::CutCharacters(Text("\xc3\xa9\xc3\xa9\xc3\xa9"), 2).GetText()), "\xc3\xa9\xc3\xa9");
    EXPECT_EQ(std::string(Zorlin::CutCharacters(Text("a\xe2\x82\xac" "b"), 2).GetText()), "a\xe2\x82\xac");
    EXPECT_EQ(std::string(Zorlin::CutCharacters(Text("\xf0\x9f\x98\x80xyz"), 1).GetText()), "\xf0\x9f\x98\x80");
    // Stray bytes count one each, whatever follows them.
    EXPECT_EQ(Zorlin::CutCharacters(Text("\x80\x80\x80\x80"), 3).GetLength(), 3);
    EXPECT_EQ(Zorlin::CutCharacters(Text("abc"), 0).GetLength(), 0);
}
