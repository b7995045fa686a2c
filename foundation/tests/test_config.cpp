#include "foundation/AtomicFile.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"
#include "foundation/ConfigText.h"
#include "foundation/DiskDrive.h"
#include "foundation/List.h"
#include "foundation/MemFile.h"
#include "foundation/Win32File.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Zorlin;

namespace {

std::string Str(const CString& s)
{
    return std::string(s.GetText(), size_t(s.GetLength()));
}

CString Make(const std::string& s)
{
    CString out;
    out.Append(s.data(), int(s.size()));
    return out;
}

CConfig Parse(const std::string& text, bool* ok = nullptr)
{
    CConfig store;
    bool result = store.ReadText(text.data(), int(text.size()));
    if (ok)
        *ok = result;
    return store;
}

std::string Value(CConfig& store, const char* key)
{
    EXPECT_TRUE(store.KeyExists(key)) << key;
    return Str(store.GetValueOr(key, ""));
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// The store's keys and values, keyed case-insensitively as the store does.
std::map<std::string, std::string> Contents(const CConfig& store)
{
    std::map<std::string, std::string> out;
    store.ForEachValue([&](const CString& key, const CString& value) { out[Lower(Str(key))] = Str(value); });
    return out;
}

std::string ReadFileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/config-test-XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path m_path;
};

} // namespace

// ---------------------------------------------------------------- reading

TEST(ConfigRead, ValuesKeepInnerBlanksAndDropOuterOnes)
{
    CConfig store = Parse("a=1\r\nb = 2\r\nc=   two  words   \r\nd=\r\ne= x=y\r\n");
    EXPECT_EQ(Value(store, "a"), "1");
    EXPECT_EQ(Value(store, "b"), "2");
    EXPECT_EQ(Value(store, "c"), "two  words");
    EXPECT_EQ(Value(store, "d"), "");
    EXPECT_EQ(Value(store, "e"), "x=y");
    EXPECT_EQ(store.GetKeyCount(), 5);
}

TEST(ConfigRead, UnnamedEntriesAreNumberedPerFrame)
{
    CConfig store = Parse("list=\r\n{\r\n\t= first\r\n\t= second\r\n}\r\nother=\r\n{\r\n\t= third\r\n}\r\n");
    EXPECT_EQ(Value(store, "list.#0"), "first");
    EXPECT_EQ(Value(store, "list.#1"), "second");
    EXPECT_EQ(Value(store, "other.#0"), "third");
    EXPECT_TRUE(store.FrameExists("list"));
    CList<CString> names;
    store.SetPrefix("list");
    ASSERT_EQ(store.ListFrame(names), 2);
    EXPECT_EQ(Str(names.GetHead()->value), "#0");
    EXPECT_EQ(Str(names.GetTail()->value), "#1");
}

TEST(ConfigRead, EscapesBracketsAndComments)
{
    CConfig store = Parse("; a comment = not a key\r\n"
                          "path= c:\\dir\r\n"
                          "angle= <a <b> c>\r\n"
                          "span= <one\r\ntwo>\r\n"
                          "semi= x;y\r\n"
                          "quoted= \"a\\\"b\\\\c|d\"\r\n");
    EXPECT_FALSE(store.KeyExists("; a comment"));
    EXPECT_EQ(Value(store, "path"), "c:dir");
    EXPECT_EQ(Value(store, "angle"), "a <b> c");
    EXPECT_EQ(Value(store, "span"), "one\r\ntwo");
    EXPECT_EQ(Value(store, "semi"), "x;y");
    EXPECT_EQ(Value(store, "quoted"), "a\"b\\c|d");
}

TEST(ConfigRead, FirstValueWins)
{
    CConfig store;
    store.GetValue("preset") = "mine";
    const std::string text = "preset= theirs\r\nk= one two\r\nk= three four\r\nafter= ok\r\n";
    ASSERT_TRUE(store.ReadText(text.data(), int(text.size())));
    EXPECT_EQ(Value(store, "preset"), "mine");
    EXPECT_EQ(Value(store, "k"), "one two");
    EXPECT_EQ(Value(store, "after"), "ok");
}

TEST(ConfigRead, LenientAboutOpenEndsButNotStrayBraces)
{
    bool ok = false;
    CConfig open = Parse("f=\r\n{\r\n\ta= 1\r\n\tg=\r\n\t{\r\n\t\tb= \"unterminated\r\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Value(open, "f.a"), "1");
    EXPECT_EQ(Value(open, "f.g.b"), "unterminated\r\n");

    // The first stray '}' closes the top level itself; a second one fails.
    CConfig once = Parse("a= 1\r\n}\r\nb= 2\r\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Value(once, "b"), "2");
    CConfig twice = Parse("a= 1\r\n}\r\n}\r\nb= 2\r\n", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Value(twice, "a"), "1");
    EXPECT_FALSE(twice.KeyExists("b"));
    Parse("}\r\n= unnamed\r\n", &ok);
    EXPECT_FALSE(ok);

    // A partial key at the very end is dropped.
    CConfig partial = Parse("a= 1\r\ndangling", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(partial.GetKeyCount(), 1);
}

bool ReadsWhole(const std::string& text)
{
    CConfig store;
    return ReadTextWhole(store, text.data(), int(text.size()));
}

// A settings file as the program writes one: several frames, values with
// blanks, a quoted value holding a line end, the last entry a frame.
std::string SettingsText()
{
    CConfig store;
    store.GetValue(".profile.id") = "A1B2C3";
    store.GetValue(".profile.name") = "Kim Park";
    store.GetValue(".profile.other") = "two\r\nlines";
    store.GetValue(".preferences.language") = "english";
    store.GetValue(".preferences.matches.played") = "12";
    store.GetValue(".preferences.matches.won") = "5";
    store.GetValue(".preferences.pen.colour.red") = "255";
    store.GetValue(".preferences.list.#0") = "first";
    store.GetValue(".preferences.list.#1") = "second";
    return Str(store.ToText(true));
}

TEST(ConfigReadWhole, WhatTheWriterMadeReadsWholeAndDamageDoesNot)
{
    const std::string text = SettingsText();
    ASSERT_TRUE(ReadsWhole(text));
    // Hand-made files without the header: whole when their braces balance.
    EXPECT_TRUE(ReadsWhole("profile={id=ABC}\n"));
    EXPECT_TRUE(ReadsWhole("a=1\n\tb= two words\n; a comment\n"));
    // A key added by hand to a written file is no damage.
    EXPECT_TRUE(ReadsWhole(text + "handmade= yes\r\n"));

    EXPECT_FALSE(ReadsWhole("")) << "empty";
    // Cut at any point that loses something: the closing "}" and line end
    // are the last three bytes.
    for (size_t cut = 0; cut + 3 <= text.size(); ++cut)
        EXPECT_FALSE(ReadsWhole(text.substr(0, cut))) << "cut at " << cut;
    // Unbalanced braces either way.
    EXPECT_FALSE(ReadsWhole("a=1\n}\nb=2\n"));
    EXPECT_FALSE(ReadsWhole("f=\n{\n\ta=1\n"));
    // NULs over the middle, wherever they start.
    for (size_t from = 20; from + 30 < text.size(); from += 7) {
        std::string nuls = text;
        std::fill(nuls.begin() + long(from), nuls.begin() + long(from) + 24, '\0');
        EXPECT_FALSE(ReadsWhole(nuls)) << "NULs from " << from;
    }
    // A control byte outside quotes is no text; inside them it is a value's.
    EXPECT_FALSE(ReadsWhole("a= 1\x01\nb= 2\n"));
    EXPECT_TRUE(ReadsWhole("a= \"1\x01\"\nb= 2\n"));
    // Unterminated quotes and brackets ran into the end.
    EXPECT_FALSE(ReadsWhole("a= \"open\n"));
    EXPECT_FALSE(ReadsWhole("a= <open\n"));
    // A header that promises more values than the file holds: a cut
    // between two frames.
    const size_t between = text.find("preferences=");
    ASSERT_NE(between, std::string::npos);
    EXPECT_FALSE(ReadsWhole(text.substr(0, between)));
    // Random bytes.
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string noise(size_t(64 + random() % 512), ' ');
        for (char& c : noise)
            c = char(random() % 256);
        EXPECT_FALSE(ReadsWhole(noise)) << "round " << round;
    }
}

TEST(ConfigReadWhole, WhatCouldBeReadIsKept)
{
    const std::string text = SettingsText();
    const size_t cut = text.find("pen=");
    ASSERT_NE(cut, std::string::npos);
    CConfig store;
    EXPECT_FALSE(ReadTextWhole(store, text.data(), int(cut)));
    EXPECT_EQ(Value(store, ".profile.name"), "Kim Park");
    EXPECT_EQ(Value(store, ".preferences.matches.played"), "12");
    EXPECT_FALSE(store.KeyExists(".preferences.pen.colour.red"));
    // The lenient read of the same text still succeeds.
    bool ok = false;
    Parse(text.substr(0, cut), &ok);
    EXPECT_TRUE(ok);

    // Through a file.
    CMemFile file;
    file.Open(CString("user.cfg"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    file.Write(text.data(), unsigned(text.size()));
    file.Seek(0, CFile::kSeekStart);
    CConfig whole;
    EXPECT_TRUE(ReadWhole(whole, file));
    EXPECT_EQ(Value(whole, ".preferences.list.#1"), "second");
}

TEST(ConfigRead, QuotedMarkersArePlainText)
{
    CConfig store = Parse("\"}\"= close\r\n\";x\"= semi\r\nbrace= \"{\"\r\nsemi= \";\"\r\n\"q=\"=  v \r\n");
    EXPECT_EQ(Value(store, "}"), "close");
    EXPECT_EQ(Value(store, ";x"), "semi");
    EXPECT_EQ(Value(store, "brace"), "{");
    EXPECT_FALSE(store.FrameExists("brace"));
    EXPECT_EQ(Value(store, "semi"), ";");
    EXPECT_EQ(Value(store, "q="), "v");
}

TEST(ConfigRead, NestingAndKeyLengthAreBounded)
{
    auto nested = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i)
            text += "f=\r\n{\r\n";
        return text + "leaf= yes\r\n";
    };
    bool ok = false;
    CConfig deep = Parse(nested(CConfig::kMaxDepth), &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(deep.GetKeyCount(), 1);

    CConfig tooDeep = Parse("before= 1\r\n" + nested(CConfig::kMaxDepth + 1), &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Value(tooDeep, "before"), "1");
    EXPECT_EQ(tooDeep.GetKeyCount(), 1);

    Parse("\"" + std::string(CConfig::kMaxKeyLength, 'k') + "\"= fits\r\n", &ok);
    EXPECT_TRUE(ok);
    Parse("\"" + std::string(CConfig::kMaxKeyLength + 1, 'k') + "\"= too long\r\n", &ok);
    EXPECT_FALSE(ok);
}

TEST(ConfigRead, FromFiles)
{
    CWin32File closed;
    CConfig store;
    EXPECT_FALSE(store.Read(closed));

    // From the position onwards, through a real disk file.
    TempFolder folder;
    WriteFileBytes(folder.Path() / "x.cfg", "skipped= 1\r\nkept= 2\r\n");
    CWin32File file((folder.Path() / "x.cfg").c_str(), CFile::kModeRead);
    ASSERT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.Seek(12, CFile::kSeekStart));
    store.SetPrefix("somewhere");
    ASSERT_TRUE(store.Read(file));
    EXPECT_EQ(Str(store.GetPrefix()), "");
    EXPECT_FALSE(store.KeyExists("skipped"));
    EXPECT_EQ(Value(store, "kept"), "2");
}

// ---------------------------------------------------------------- writing

TEST(ConfigWrite, GoldenBytes)
{
    CConfig store;
    store.GetValue("board.name") = "Wood";
    store.GetValue("board.#0") = "a";
    EXPECT_EQ(Str(store.ToText(true)),
              "; auto-generated\r\n; 2 keys\r\nboard=\r\n{\r\n\tname= Wood\r\n\t= a\r\n}\r\n");

    CConfig richer;
    richer.GetValue("preferences.window.x") = "12";
    richer.GetValue("preferences.sound.mute") = "no";
    richer.GetValue("preferences.window.title") = " padded ";
    richer.GetValue("top") = "";
    richer.GetValue("a=b") = "x|y\\z\"";
    richer.GetValue("list.#0") = "{";
    richer.GetValue("list.#1") = ";";
    EXPECT_EQ(Str(richer.ToText(true)),
              "; auto-generated\r\n"
              "; 7 keys\r\n"
              "preferences=\r\n"
              "{\r\n"
              "\twindow=\r\n"
              "\t{\r\n"
              "\t\tx= 12\r\n"
              "\t\ttitle= \" padded \"\r\n"
              "\t}\r\n"
              "\tsound=\r\n"
              "\t{\r\n"
              "\t\tmute= no\r\n"
              "\t}\r\n"
              "}\r\n"
              "top= \"\"\r\n"
              "\"a=b\"= \"x\\|y\\\\z\\\"\"\r\n"
              "list=\r\n"
              "{\r\n"
              "\t= \"{\"\r\n"
              "\t= \";\"\r\n"
              "}\r\n");
    EXPECT_EQ(Str(richer.ToText(false)).substr(0, 13), "preferences=\r");
}

TEST(ConfigWrite, ReportsFailuresOfTheTarget)
{
    CConfig store;
    store.GetValue("key") = "value";
    CMemFile memory;
    EXPECT_FALSE(store.Write(memory, true)); // not open
    ASSERT_TRUE(memory.Open(CString("mem"), CFile::kModeRead | CFile::kModeWrite));
    ASSERT_TRUE(store.Write(memory, true));
    ASSERT_TRUE(memory.Seek(0, CFile::kSeekStart));
    CConfig back;
    ASSERT_TRUE(back.Read(memory));
    EXPECT_EQ(Value(back, "key"), "value");

    CString tiny("abc"); // a buffer that cannot grow
    CBufferFile small(tiny);
    EXPECT_FALSE(store.Write(small, true));
}

TEST(ConfigWrite, QuotingKeepsAwkwardNamesAndValues)
{
    CConfig store;
    store.GetValue(";x") = ";value";
    store.GetValue("#tag") = "not unnamed";
    store.GetValue("frame.#1") = "one";  // out of order: must keep its number
    store.GetValue("frame.#0") = "zero";
    store.GetValue("both") = "value";   // a value and a frame of one name
    store.GetValue("both.inner") = "x";
    store.GetValue("l.#0") = "v";
    store.GetValue("l.#0.sub") = "w";
    store.GetValue("cr") = "a\rb\nc";
    store.GetValue("high") = "\x80\xff end";
    const std::string text = Str(store.ToText(true));
    CConfig back = Parse(text);
    EXPECT_EQ(Contents(back), Contents(store));
    // Only a name that matches the running count is written bare.
    EXPECT_NE(text.find("frame=\r\n{\r\n\t\"#1\"= one\r\n\t= zero\r\n}"), std::string::npos) << text;
}

TEST(ConfigWrite, MissingKeyReadIsWrittenEmpty)
{
    CConfig store;
    EXPECT_EQ(Str(store.GetValue("made.by.reading")), "");
    EXPECT_EQ(Str(store.ToText(false)), "made=\r\n{\r\n\tby=\r\n\t{\r\n\t\treading= \"\"\r\n\t}\r\n}\r\n");
}

// Random stores built from every byte value come back equal, and writing
// what was read gives the same bytes again.
TEST(ConfigWrite, RandomStoresRoundTrip)
{
    std::mt19937 random(20240611);
    auto byte = [&](bool inKey) {
        for (;;) {
            char c = char(random() % 256);
            if (!inKey || c != '.')
                return c;
        }
    };
    auto text = [&](bool inKey, int maxLength) {
        std::string s(size_t(random() % unsigned(maxLength)) + (inKey ? 1 : 0), ' ');
        for (char& c : s)
            c = byte(inKey);
        return s;
    };
    for (int round = 0; round < 200; ++round) {
        CConfig store;
        std::map<std::string, std::string> model;
        auto set = [&](const std::string& key, const std::string& value) {
            store.GetValue(Make(key)) = Make(value);
            model[Lower(key)] = value;
        };
        if (round == 0) {
            for (int b = 0; b < 256; ++b)
                if (b != '.')
                    set(std::string("k") + char(b) + "." + char(b), std::string(1, char(b)) + "v" + char(b));
        }
        const int keys = 1 + int(random() % 30);
        std::vector<std::string> frames;
        for (int i = 0; i < keys; ++i) {
            std::string key;
            if (!frames.empty() && random() % 2)
                key = frames[random() % frames.size()] + ".";
            if (random() % 4 == 0)
                key += "#" + std::to_string(random() % 4);
            else
                key += text(true, 6);
            if (random() % 3 == 0)
                frames.push_back(key);
            set(key, text(false, 12));
        }
        const CString written = store.ToText(true);
        bool ok = false;
        CConfig back = Parse(Str(written), &ok);
        ASSERT_TRUE(ok) << "round " << round;
        // Whatever the values hold, what the writer made reads whole.
        CConfig again;
        ASSERT_TRUE(ReadTextWhole(again, written.GetText(), written.GetLength())) << "round " << round;
        ASSERT_EQ(Contents(back), model) << "round " << round;
        ASSERT_EQ(Contents(store), model);
        ASSERT_EQ(Str(back.ToText(true)), Str(written)) << "round " << round;
    }
}

// ---------------------------------------------------------------- the store

TEST(ConfigStore, PrefixesResolveRelativeAndAbsoluteKeys)
{
    CConfig store;
    store.SetPrefix("preferences");
    store.GetValue("window.x") = "5";
    EXPECT_EQ(Str(store.GetValue(".preferences.window.x")), "5");
    store.PushPrefix("window");
    EXPECT_EQ(Str(store.GetPrefix()), "preferences.window");
    EXPECT_EQ(Str(store.GetValue("x")), "5");
    store.PushPrefix(2);
    EXPECT_EQ(Str(store.GetPrefix()), "preferences.window.#2");
    store.PushAbsolutePrefix(".raw");
    EXPECT_EQ(Str(store.GetPrefix()), ".raw");
    store.PopPrefix();
    store.PopPrefix();
    store.PopPrefix();
    EXPECT_EQ(Str(store.GetPrefix()), "preferences");
    store.PopPrefix(); // unmatched
    EXPECT_EQ(Str(store.GetPrefix()), "");
    EXPECT_TRUE(store.KeyExists("PREFERENCES.Window.X"));
    EXPECT_FALSE(store.KeyExists("preferences.window"));
    EXPECT_TRUE(store.FrameExists("preferences.window"));
}

TEST(ConfigStore, DefaultsAndFlags)
{
    CConfig store;
    store.SetDefault("n", 42);
    store.SetDefault("n", 7);
    store.SetDefault("flag", true);
    store.SetDefault("off", false);
    EXPECT_EQ(Value(store, "n"), "42");
    EXPECT_EQ(Value(store, "flag"), "yes");
    EXPECT_EQ(Str(store.GetValueOr("missing", true)), "yes");
    EXPECT_EQ(Str(store.GetValueOr("missing", static_cast<const char*>(nullptr))), "");
    EXPECT_FALSE(store.KeyExists("missing"));
    EXPECT_TRUE(CConfig::IsTrue(CString("TRUE")));
    EXPECT_TRUE(CConfig::IsTrue(CString("Yes")));
    EXPECT_FALSE(CConfig::IsTrue(CString("1")));
    EXPECT_FALSE(CConfig::IsTrue(store.GetValue("off")));
}

TEST(ConfigStore, MergeCopiesUnderThePrefix)
{
    CConfig source;
    source.GetValue("a.x") = "1";
    source.GetValue("ab.x") = "2";
    source.GetValue("A.y") = "3";
    CConfig target;
    target.GetValue("a.x") = "old";
    target.GetValue("a.kept") = "k";
    source.SetPrefix("a");
    target.SetPrefix("a");
    target.Merge(source);
    target.SetPrefix(".");
    EXPECT_EQ(Value(target, "a.x"), "1");
    EXPECT_EQ(Value(target, "a.y"), "3");
    EXPECT_EQ(Value(target, "a.kept"), "k");
    EXPECT_FALSE(target.KeyExists("ab.x"));
    EXPECT_FALSE(target.KeyExists("a.ab.x"));

    // The saver's pattern: file on disk, live store merged over it.
    CConfig onDisk = Parse("hand= edited\r\nlive= stale\r\n");
    CConfig live;
    live.GetValue("live") = "fresh";
    onDisk.Merge(live);
    EXPECT_EQ(Value(onDisk, "hand"), "edited");
    EXPECT_EQ(Value(onDisk, "live"), "fresh");
}

TEST(ConfigStore, CopiesAreIndependent)
{
    CConfig a = Parse("f=\r\n{\r\n\tk= 1\r\n}\r\n");
    CConfig b(a);
    b.GetValue("f.k") = "2";
    EXPECT_EQ(Value(a, "f.k"), "1");
    EXPECT_EQ(Value(b, "f.k"), "2");
    EXPECT_TRUE(b.FrameExists("f"));
    a.Clear();
    EXPECT_EQ(a.GetKeyCount(), 0);
    EXPECT_FALSE(a.FrameExists("f"));
    EXPECT_EQ(b.GetKeyCount(), 1);
}

// ---------------------------------------------------------------- atomic writes

TEST(AtomicWrite, ReplacesKeepingModeAndLinks)
{
    TempFolder folder;
    const auto target = folder.Path() / "user.cfg";
    EXPECT_TRUE(WriteFileAtomically(CString(target.c_str()), "new", 3));
    EXPECT_EQ(ReadFileBytes(target), "new");

    chmod(target.c_str(), 0640);
    std::filesystem::create_symlink("user.cfg", folder.Path() / "link.cfg");
    EXPECT_TRUE(WriteFileAtomically(CString((folder.Path() / "link.cfg").c_str()), "via link", 8));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Path() / "link.cfg"));
    EXPECT_EQ(ReadFileBytes(target), "via link");
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    EXPECT_TRUE(WriteFileAtomically(CString(target.c_str()), "", 0, 0755));
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_EQ(info.st_size, 0);

    // Nothing but the two names is left behind.
    std::vector<std::string> names = folder.Names();
    EXPECT_EQ(names.size(), 2u);
}

TEST(AtomicWrite, FailureLeavesTheOldFile)
{
    TempFolder folder;
    const auto target = folder.Path() / "user.cfg";
    WriteFileBytes(target, "old contents");

    EXPECT_FALSE(WriteFileAtomically(CString((folder.Path() / "missing" / "user.cfg").c_str()), "x", 1));
    std::filesystem::create_directory(folder.Path() / "folder");
    EXPECT_FALSE(WriteFileAtomically(CString((folder.Path() / "folder").c_str()), "x", 1));
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "folder"));

    // A file-size limit makes the disk "full" part-way through the write.
    CConfig store;
    for (int i = 0; i < 2000; ++i)
        store.GetValue(i) = "a value long enough to pass the limit";
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool wrote = store.WriteDiskFile(CString(target.c_str()), true);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(ReadFileBytes(target), "old contents");

    if (geteuid() != 0) {
        chmod(folder.Path().c_str(), 0555);
        EXPECT_FALSE(WriteFileAtomically(CString(target.c_str()), "x", 1));
        chmod(folder.Path().c_str(), 0755);
        EXPECT_EQ(ReadFileBytes(target), "old contents");
    }
    std::vector<std::string> names = folder.Names();
    EXPECT_EQ(names.size(), 2u) << "a temporary file was left behind";

    // And the same store written without the limit reads back.
    ASSERT_TRUE(store.WriteDiskFile(CString(target.c_str()), true));
    CWin32File file(target.c_str(), CFile::kModeRead);
    CConfig back;
    ASSERT_TRUE(back.Read(file));
    EXPECT_EQ(Contents(back), Contents(store));
}

// A file whose size promises more than its reads give, as a damaged archive
// entry or a file cut short by another process does.
class CShortFile : public CMemFile {
public:
    uint64_t GetSize() const override { return CMemFile::GetSize() + 100; }
};

TEST(AtomicWrite, ShortSourceFailsAndLeavesTheOldFile)
{
    TempFolder folder;
    const auto target = folder.Path() / "user.cfg";
    WriteFileBytes(target, "old contents");
    const std::string bytes(40000, 'n');

    CShortFile shortSource;
    shortSource.Open(CString("short"), CFile::kModeRead | CFile::kModeWrite);
    shortSource.Write(bytes.data(), unsigned(bytes.size()));
    shortSource.Seek(0, CFile::kSeekStart);
    EXPECT_FALSE(WriteFileAtomically(CString(target.c_str()), shortSource));
    EXPECT_TRUE(ReadFileBytes(target) == "old contents");

    // Step by step: the failed copy also makes the commit fail.
    shortSource.Seek(0, CFile::kSeekStart);
    CAtomicFile file;
    ASSERT_TRUE(file.Open(CString(target.c_str())));
    EXPECT_FALSE(file.WriteFrom(shortSource));
    EXPECT_FALSE(file.Commit());
    EXPECT_TRUE(ReadFileBytes(target) == "old contents");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"user.cfg"});

    // A whole source, read from part-way, replaces the file with its rest.
    CMemFile whole;
    whole.Open(CString("whole"), CFile::kModeRead | CFile::kModeWrite);
    whole.Write(bytes.data(), unsigned(bytes.size()));
    whole.Seek(5, CFile::kSeekStart);
    EXPECT_TRUE(WriteFileAtomically(CString(target.c_str()), whole));
    EXPECT_TRUE(ReadFileBytes(target) == bytes.substr(5));
}

TEST(AtomicWrite, ThroughADiskDrive)
{
    TempFolder folder;
    WriteFileBytes(folder.Path() / "user.cfg", "old= 1\r\n");
    CDiskDrive drive(folder.Path().c_str());
    ASSERT_TRUE(drive.IsValid());
    CConfig store;
    store.GetValue("new") = "2";
    // The spelling on disk is found ignoring case, and replaced in place.
    ASSERT_TRUE(store.Write(drive, CURL("/USER.cfg"), true));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"user.cfg"});
    CAutoPointer<CFile> file = drive.OpenFile(CURL("user.cfg"), CFile::kModeRead);
    CConfig back;
    ASSERT_TRUE(back.Read(*file));
    EXPECT_EQ(Contents(back), Contents(store));
    EXPECT_FALSE(store.Write(drive, CURL("/no/such/folder/x.cfg"), true));
}

// A file of many keys that all share one hash (as a hostile info.cfg can
// be made) reads whole, finds every key and writes back the same store.
TEST(ConfigHostile, ManyKeysOfOneHashReadFindAndRoundTrip)
{
    const char* blocks[] = {"1a", "2@"};
    std::string text;
    std::vector<std::string> keys;
    for (int n = 0; n < (1 << 13); ++n) {
        std::string key = "k";
        for (int bit = 0; bit < 13; ++bit)
            key += blocks[(n >> bit) & 1];
        keys.push_back(key);
        text += key + "=" + std::to_string(n) + "\r\n";
    }
    bool ok = false;
    CConfig store = Parse(text, &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(store.GetKeyCount(), int(keys.size()));
    for (size_t i = 0; i < keys.size(); i += 5)
        ASSERT_EQ(Str(store.GetValueOr(keys[i].c_str(), "")), std::to_string(i)) << keys[i];
    CConfig again = Parse(Str(store.ToText(true)), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(again.GetKeyCount(), store.GetKeyCount());
    EXPECT_EQ(Str(again.ToText(true)), Str(store.ToText(true)));
}

// kill -9 during a save leaves ".NAME.tmp-PID-N" beside the file: the next
// write of the same file removes those of processes that are gone, and
// leaves alone those of a process still writing and those of other files.
TEST(AtomicWrite, StraysOfInterruptedWritesGoAtTheNextWrite)
{
    TempFolder folder;
    const std::string target = folder.Path().string() + "/user.cfg";
    const pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0)
        _exit(0);
    ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
    const std::string dead = ".user.cfg.tmp-" + std::to_string(gone);
    std::ofstream(folder.Path().string() + "/" + dead + "-0") << "half a file";
    std::ofstream(folder.Path().string() + "/" + dead + "-12") << "another half";
    std::ofstream(folder.Path().string() + "/.user.cfg.tmp-1-0") << "pid 1 is alive";
    std::ofstream(folder.Path().string() + "/.other.cfg.tmp-" + std::to_string(gone) + "-0") << "another file's";
    std::ofstream(folder.Path().string() + "/" + dead + "-x") << "not our pattern";
    ASSERT_TRUE(WriteFileAtomically(CString(target.c_str()), "a=1\r\n", 5));
    std::vector<std::string> names = folder.Names();
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected = {".other.cfg.tmp-" + std::to_string(gone) + "-0", dead + "-x",
                                         ".user.cfg.tmp-1-0", "user.cfg"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
}
