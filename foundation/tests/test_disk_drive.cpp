#include "foundation/DiskDrive.h"

#include "foundation/AutoDirectory.h"
#include "foundation/MemFile.h"

#include <cstdio>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace Zorlin;

namespace {

std::string WorkingFolder()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? buffer : "";
}

void WriteText(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ReadAll(CFile& file)
{
    std::string text;
    char piece[256];
    while (file.Read(piece, sizeof piece))
        text.append(piece, file.GetLastReadCount());
    return text;
}

std::vector<std::string> Names(const CArray<CString>& list)
{
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(); ++i)
        names.push_back(list.GetAt(i)->GetText());
    return names;
}

// Every entry below root as "path" or "path/" (folders) with its contents.
std::set<std::string> Tree(const fs::path& root)
{
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string name = fs::relative(entry.path(), root).generic_string();
        if (entry.is_directory())
            entries.insert(name + "/");
        else
            entries.insert(name + "=" + ReadText(entry.path()));
    }
    return entries;
}

// The root itself is the empty current folder or "/".
bool AtTop(const CDrive& drive)
{
    std::string current = drive.GetCurrentDirectory().GetText();
    return current.empty() || current == "/";
}

// A fresh temporary folder per test; the working folder must come out of
// every test as it went in.
class DiskDriveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_cwd = WorkingFolder();
        char pattern[] = "/tmp/disk-drive-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_top = pattern;
        m_root = m_top / "root";
        fs::create_directories(m_root);
    }
    void TearDown() override
    {
        EXPECT_EQ(WorkingFolder(), m_cwd);
        fs::remove_all(m_top);
    }

    std::string m_cwd;
    fs::path m_top;
    fs::path m_root;
};

TEST_F(DiskDriveTest, RootMustBeAnExistingFolder)
{
    EXPECT_FALSE(CDiskDrive((m_root / "missing").c_str()).IsValid());
    WriteText(m_root / "file", "x");
    EXPECT_FALSE(CDiskDrive((m_root / "file").c_str()).IsValid());

    CDiskDrive drive((m_root / "sub/../").c_str());
    EXPECT_TRUE(drive.IsValid());
    EXPECT_EQ(std::string(drive.GetRoot().GetText()), m_root.string() + "/");
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "");

    CDiskDrive here(".");
    EXPECT_TRUE(here.IsValid());
    EXPECT_EQ(std::string(here.GetRoot().GetText()), fs::path(m_cwd).lexically_normal().string() + "/");

    // A failed SetRoot leaves the drive invalid, not pointing at nothing.
    EXPECT_FALSE(drive.SetRoot((m_root / "gone").c_str()));
    EXPECT_FALSE(drive.IsValid());
    EXPECT_TRUE(drive.OpenFile("file", CFile::kModeRead)->IsNull());
}

TEST_F(DiskDriveTest, ChangeDirectory)
{
    fs::create_directories(m_root / "a/b");
    CDiskDrive drive(m_root.c_str());

    EXPECT_FALSE(drive.ChangeDirectory("missing"));
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "");

    ASSERT_TRUE(drive.ChangeDirectory("a"));
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/a/");
    ASSERT_TRUE(drive.ChangeDirectory("b"));
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/a/b/");
    EXPECT_FALSE(drive.ChangeDirectory("../missing"));
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/a/b/");
    ASSERT_TRUE(drive.ChangeDirectory(".."));
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/a/");
    ASSERT_TRUE(drive.ChangeDirectory("/a/b"));
    ASSERT_TRUE(drive.ChangeDirectory("../../../.."));
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/");

    // A file is not a folder to enter.
    WriteText(m_root / "a/f.txt", "x");
    EXPECT_FALSE(drive.ChangeDirectory("a/f.txt"));
}

TEST_F(DiskDriveTest, FilesAndFolders)
{
    WriteText(m_root / "folder/inner.txt", "inner");
    WriteText(m_root / "file.txt", "hello");
    CDiskDrive drive(m_root.c_str());

    EXPECT_FALSE(drive.Exists("folder"));
    EXPECT_TRUE(drive.IsDirectory("folder"));
    EXPECT_FALSE(drive.IsFile("folder"));
    EXPECT_TRUE(drive.Exists("file.txt"));
    EXPECT_TRUE(drive.IsFile("file.txt"));
    EXPECT_FALSE(drive.Exists("none.txt"));

    // A missing path is neither a file nor a folder, also when only a
    // dangling link of that name is left.
    CDrive::SFileInfo info = {0, 0, 0};
    EXPECT_FALSE(drive.GetInfo("none.txt", info));
    EXPECT_FALSE(drive.IsFile("none.txt"));
    EXPECT_FALSE(drive.IsDirectory("none.txt"));
    EXPECT_FALSE(drive.IsFile("folder/none.txt"));
    fs::create_symlink("gone.txt", m_root / "dangling.txt");
    EXPECT_FALSE(drive.GetInfo("dangling.txt", info));
    EXPECT_FALSE(drive.IsFile("dangling.txt"));
    EXPECT_TRUE(drive.GetInfo("FILE.TXT", info)); // found ignoring case
    EXPECT_EQ(info.kind, 1u);
    EXPECT_EQ(info.one, 1u);
    EXPECT_TRUE(drive.GetInfo("file.txt", info));
    EXPECT_EQ(info.access, 15u);
    EXPECT_TRUE(drive.GetInfo("folder", info));
    EXPECT_EQ(info.kind, 2u);
    EXPECT_EQ(info.access, 0u);

    EXPECT_EQ(drive.GetFileSize("file.txt"), 5u);
    EXPECT_EQ(drive.GetFileSize("none.txt"), 0u);
    EXPECT_EQ(drive.GetFileSize("folder"), 0u);

    EXPECT_TRUE(drive.OpenFile("none.txt", CFile::kModeRead)->IsNull());
    EXPECT_TRUE(drive.OpenFile("folder", CFile::kModeRead)->IsNull());

    CAutoPointer<CFile> file = drive.OpenFile("folder/inner.txt", CFile::kModeRead);
    ASSERT_TRUE(file->IsOpen());
    EXPECT_EQ(ReadAll(*file), "inner");

    ASSERT_TRUE(drive.ChangeDirectory("folder"));
    EXPECT_EQ(drive.GetFileSize("/file.txt"), 5u);
    CAutoPointer<CFile> made = drive.OpenFile("new.txt", CFile::kModeWrite | CFile::kModeCreate);
    ASSERT_TRUE(made->IsOpen());
    EXPECT_TRUE(made->WriteString("made"));
    made.Delete();
    EXPECT_EQ(ReadText(m_root / "folder/new.txt"), "made");
}

TEST_F(DiskDriveTest, PathsNeverLeaveTheRoot)
{
    WriteText(m_top / "outside.txt", "secret");
    CDiskDrive drive(m_root.c_str());

    EXPECT_TRUE(drive.OpenFile("../outside.txt", CFile::kModeRead)->IsNull());
    EXPECT_TRUE(drive.OpenFile("/../../outside.txt", CFile::kModeRead)->IsNull());
    // ".." at the top stays at the top.
    EXPECT_TRUE(drive.ChangeDirectory(".."));
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/");

    CAutoPointer<CFile> made = drive.OpenFile("../../escape.txt", CFile::kModeWrite | CFile::kModeCreate);
    ASSERT_TRUE(made->IsOpen());
    made.Delete();
    EXPECT_TRUE(fs::exists(m_root / "escape.txt"));
    EXPECT_FALSE(fs::exists(m_top / "escape.txt"));

    EXPECT_TRUE(drive.MakeDirectory(".."));
    EXPECT_EQ(fs::path(drive.GetDiskPath("../..").GetText()), m_root / "");
}

TEST_F(DiskDriveTest, SpellingIsMatchedIgnoringCase)
{
    WriteText(m_root / "Live Content/News.TXT", "news");
    CDiskDrive drive(m_root.c_str());

    CAutoPointer<CFile> file = drive.OpenFile("live content/news.txt", CFile::kModeRead);
    ASSERT_TRUE(file->IsOpen());
    EXPECT_EQ(ReadAll(*file), "news");
    EXPECT_TRUE(drive.Exists("LIVE CONTENT\\NEWS.txt"));
    EXPECT_TRUE(drive.IsDirectory("live CONTENT"));

    // New entries go into the folder that is there, not into a twin.
    EXPECT_TRUE(drive.MakeDirectory("live content"));
    ASSERT_TRUE(drive.ChangeDirectory("live content"));
    CAutoPointer<CFile> made = drive.OpenFile("Added.txt", CFile::kModeWrite | CFile::kModeCreate);
    ASSERT_TRUE(made->IsOpen());
    made.Delete();
    EXPECT_TRUE(fs::exists(m_root / "Live Content/Added.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_root), fs::directory_iterator()), 1);

    CURL path("news.txt");
    drive.GetFullPath(path, "");
    EXPECT_EQ(std::string(path.GetText()), (m_root / "Live Content/News.TXT").string());

    // The exact spelling wins over a twin that differs only in case.
    WriteText(m_root / "Live Content/news.txt", "lower");
    file = drive.OpenFile("news.txt", CFile::kModeRead);
    EXPECT_EQ(ReadAll(*file), "lower");
}

TEST_F(DiskDriveTest, MakeDirectory)
{
    WriteText(m_root / "taken", "x");
    CDiskDrive drive(m_root.c_str());
    EXPECT_TRUE(drive.MakeDirectory("users"));
    EXPECT_TRUE(fs::is_directory(m_root / "users"));
    EXPECT_TRUE(drive.MakeDirectory("users/"));
    EXPECT_FALSE(drive.MakeDirectory("taken"));
    EXPECT_FALSE(drive.MakeDirectory("no/such/parent"));
}

TEST_F(DiskDriveTest, ListingIsSortedAndComplete)
{
    for (const char* name : {"b.txt", "a.txt", "C.txt", "zeta"})
        WriteText(m_root / "sub" / name, "x");
    CDiskDrive drive(m_root.c_str());
    ASSERT_TRUE(drive.ChangeDirectory("sub"));

    CArray<CString> bare;
    EXPECT_TRUE(drive.ListDirectory(bare, false));
    EXPECT_EQ(Names(bare), (std::vector<std::string>{"C.txt", "a.txt", "b.txt", "zeta"}));

    CArray<CString> full;
    EXPECT_TRUE(drive.ListDirectory(full, true));
    EXPECT_EQ(Names(full), (std::vector<std::string>{"/sub/C.txt", "/sub/a.txt", "/sub/b.txt", "/sub/zeta"}));

    fs::remove_all(m_root / "sub");
    CArray<CString> none;
    EXPECT_FALSE(drive.ListDirectory(none, false));
    EXPECT_EQ(none.GetCount(), 0);
}

TEST_F(DiskDriveTest, ListTree)
{
    WriteText(m_root / "a", "1");
    WriteText(m_root / "b/c", "2");
    CDiskDrive drive(m_root.c_str());
    CString tree;
    drive.ListTree(tree);
    EXPECT_EQ(std::string(tree.GetText()), "a\nb\n c\n");
    EXPECT_TRUE(AtTop(drive));
    EXPECT_EQ(drive.GetDirectoryDepth(), 0);
}

TEST_F(DiskDriveTest, AutoDirectoryAndTheFolderStack)
{
    fs::create_directories(m_root / "x/y");
    CDiskDrive drive(m_root.c_str());
    ASSERT_TRUE(drive.ChangeDirectory("x"));
    {
        CAutoDirectory inside(drive, "y");
        EXPECT_TRUE(inside.Succeeded());
        EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/x/y/");
        CAutoDirectory missing(drive, "nowhere");
        EXPECT_FALSE(missing.Succeeded());
        EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/x/y/");
        EXPECT_EQ(drive.GetDirectoryDepth(), 1);
    }
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/x/");
    EXPECT_EQ(drive.GetDirectoryDepth(), 0);
    {
        CAutoDirectory stay(drive, nullptr);
        EXPECT_TRUE(stay.Succeeded());
        EXPECT_EQ(drive.GetDirectoryDepth(), 1);
    }
    EXPECT_EQ(drive.GetDirectoryDepth(), 0);

    // A saved folder that has gone cannot be popped; the stack keeps it.
    ASSERT_TRUE(drive.ChangeDirectory("y"));
    drive.PushDirectory();
    ASSERT_TRUE(drive.ChangeDirectory("/"));
    fs::remove_all(m_root / "x");
    EXPECT_FALSE(drive.PopDirectory());
    EXPECT_EQ(drive.GetDirectoryDepth(), 1);
    EXPECT_EQ(std::string(drive.GetCurrentDirectory().GetText()), "/");
    drive.DropDirectory();
    EXPECT_FALSE(drive.PopDirectory());
}

TEST_F(DiskDriveTest, CopyTree)
{
    WriteText(m_top / "src/one.txt", "new one");
    WriteText(m_top / "src/two.txt", "new two");
    WriteText(m_top / "src/deep/er/three.txt", "three");
    fs::create_directories(m_top / "src/empty");
    WriteText(m_root / "one.txt", "old one");
    CDiskDrive source((m_top / "src").c_str());
    CDiskDrive target(m_root.c_str());

    EXPECT_TRUE(target.CopyTreeFrom(source, false, false));
    EXPECT_EQ(Tree(m_root), (std::set<std::string>{"one.txt=old one", "two.txt=new two", "deep/", "deep/er/",
                                                   "deep/er/three.txt=three", "empty/"}));
    EXPECT_TRUE(AtTop(source));
    EXPECT_TRUE(AtTop(target));

    EXPECT_TRUE(target.CopyTreeFrom(source, true, false));
    EXPECT_EQ(Tree(m_root), Tree(m_top / "src"));

    fs::path folders = m_top / "folders";
    fs::create_directories(folders);
    CDiskDrive shape(folders.c_str());
    EXPECT_TRUE(shape.CopyTreeFrom(source, true, true));
    EXPECT_EQ(Tree(folders), (std::set<std::string>{"deep/", "deep/er/", "empty/"}));
}

// A name the target holds in another case is that file: kept without
// overwrite, replaced with it, never written beside it.
TEST_F(DiskDriveTest, CopyTreeMatchesNamesIgnoringCase)
{
    WriteText(m_top / "src/one.txt", "new one");
    WriteText(m_top / "src/Two.txt", "new two");
    WriteText(m_root / "ONE.txt", "old one");
    CDiskDrive source((m_top / "src").c_str());
    CDiskDrive target(m_root.c_str());

    EXPECT_TRUE(target.CopyTreeFrom(source, false, false));
    EXPECT_EQ(Tree(m_root), (std::set<std::string>{"ONE.txt=old one", "Two.txt=new two"}));
    EXPECT_TRUE(target.CopyTreeFrom(source, true, false));
    EXPECT_EQ(Tree(m_root), (std::set<std::string>{"ONE.txt=new one", "Two.txt=new two"}));

    // Still so after more folders than the drive keeps listings of were
    // copied before the name.
    std::set<std::string> want = Tree(m_root);
    want.insert("deep/");
    for (int i = 0; i < 300; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "deep/e%03d", i);
        fs::create_directories(m_top / "src" / name);
        want.insert(std::string(name) + "/");
    }
    WriteText(m_top / "src/one.txt", "newer one");
    want.erase("ONE.txt=new one");
    want.insert("ONE.txt=newer one");
    EXPECT_TRUE(target.CopyTreeFrom(source, true, false));
    EXPECT_EQ(Tree(m_root), want);
}

// A source that lists whatever names it is given, as a crafted archive might.
class CListedDrive : public CDrive {
public:
    explicit CListedDrive(std::vector<std::string> names) : m_names(std::move(names)) {}
    bool ListDirectory(CArray<CString>& out, bool) override
    {
        for (const std::string& name : m_names)
            out.Add(CString(name.c_str()));
        return true;
    }
    bool GetInfo(const CURL&, SFileInfo& info) override
    {
        info = {kKindFile, 1, 9};
        return true;
    }
    CAutoPointer<CFile> OpenFile(const CURL& path, unsigned) override
    {
        CAutoPointer<CFile> file(new CMemFile());
        file->Open(path, CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        file->WriteString(path);
        file->Seek(0, CFile::kSeekStart);
        return file;
    }

private:
    std::vector<std::string> m_names;
};

TEST_F(DiskDriveTest, CopyTreeSkipsNamesThatAreNotPlain)
{
    fs::create_directories(m_root / "target");
    CDiskDrive drive(m_root.c_str());
    ASSERT_TRUE(drive.ChangeDirectory("target"));
    CListedDrive source({"..", ".", "../evil.txt", "sub/evil.txt", "..\\evil.txt", "c:evil.txt", "good.txt"});
    drive.CopyTreeFrom(source, true, false);
    EXPECT_EQ(Tree(m_root), (std::set<std::string>{"target/", "target/good.txt=good.txt"}));
}

} // namespace

// Names are matched through a listing the drive keeps per folder: its own
// writes keep it current, and a folder changed by anyone else is read again.
TEST_F(DiskDriveTest, ListingCacheFollowsOwnWritesAndOtherChanges)
{
    WriteText(m_root / "Pack" / "Info.CFG", "a");
    CDiskDrive drive(m_root.c_str());
    ASSERT_TRUE(drive.IsValid());
    const std::string top = (m_root / "Pack").string();
    EXPECT_EQ(std::string(drive.GetDiskPath(CURL("pack/info.cfg")).GetText()), top + "/Info.CFG");
    for (int i = 0; i < 50; ++i) {
        CString name("pack/New");
        name.Append(i);
        name += ".TXT";
        CAutoPointer<CFile> file = drive.OpenFile(CURL(name), CFile::kModeWrite | CFile::kModeCreate);
        ASSERT_TRUE(file->IsOpen());
    }
    ASSERT_TRUE(drive.MakeDirectory(CURL("pack/Sub")));
    EXPECT_EQ(std::string(drive.GetDiskPath(CURL("PACK/new49.txt")).GetText()), top + "/New49.TXT");
    EXPECT_EQ(std::string(drive.GetDiskPath(CURL("pack/sub/")).GetText()), top + "/Sub/");
    // Made behind the drive's back; the folder's change time moves on.
    WriteText(m_root / "Pack" / "Other.Cfg", "b");
    const fs::file_time_type later = fs::last_write_time(m_root / "Pack") + std::chrono::seconds(5);
    fs::last_write_time(m_root / "Pack", later);
    EXPECT_EQ(std::string(drive.GetDiskPath(CURL("pack/OTHER.cfg")).GetText()), top + "/Other.Cfg");
    fs::remove(m_root / "Pack" / "Info.CFG");
    fs::last_write_time(m_root / "Pack", later + std::chrono::seconds(5));
    EXPECT_EQ(std::string(drive.GetDiskPath(CURL("pack/info.cfg")).GetText()), top + "/info.cfg");
}

// A program folder the user may not write, with the user's own folder laid
// over it: every write lands in the own folder, reads prefer it, listings
// show both, and the program folder is never changed.
TEST_F(DiskDriveTest, AnOwnFolderTakesEveryWriteAndIsReadFirst)
{
    WriteText(m_root / "cfg/app.cfg", "program settings");
    WriteText(m_root / "boards/Wood/about.txt", "wood");
    WriteText(m_root / "html/english/page.htm", "template");
    const std::set<std::string> before = Tree(m_root);
    const fs::path own = m_top / "home/.local/share/rookwell";

    CDiskDrive drive(m_root.c_str());
    EXPECT_FALSE(drive.SetOwnFolder(CString("relative/rookwell")));
    EXPECT_TRUE(drive.GetOwnFolder().IsEmpty());
    ASSERT_TRUE(drive.SetOwnFolder(CString(own.c_str())));
    EXPECT_EQ(std::string(drive.GetOwnFolder().GetText()), own.string() + "/");
    EXPECT_TRUE(fs::is_directory(own)) << "made with the folders above it";

    // Reads fall through to the program folder.
    CAutoPointer<CFile> settings = drive.OpenFile(CURL("/cfg/app.cfg"), CFile::kModeRead);
    ASSERT_TRUE(settings->IsOpen());
    EXPECT_EQ(ReadAll(*settings), "program settings");
    settings.Delete();
    EXPECT_EQ(std::string(drive.GetDiskPath(CURL("/cfg/app.cfg")).GetText()), (m_root / "cfg/app.cfg").string());
    EXPECT_EQ(std::string(drive.GetDiskPath(CURL("/cfg/update.cfg")).GetText()),
              (own / "cfg/update.cfg").string()) << "a new file is the own folder's";

    // A new file, and one the program folder has, are written to the own folder.
    for (const char* path : {"/cfg/update.cfg", "/cfg/app.cfg"}) {
        CAutoPointer<CFile> out = drive.OpenFile(CURL(path), CFile::kModeWrite | CFile::kModeCreate);
        ASSERT_TRUE(out->IsOpen()) << path;
        EXPECT_TRUE(out->WriteString(CString("mine")));
    }
    EXPECT_EQ(ReadText(own / "cfg/update.cfg"), "mine");
    CAutoPointer<CFile> mine = drive.OpenFile(CURL("cfg/app.cfg"), CFile::kModeRead);
    EXPECT_EQ(ReadAll(*mine), "mine") << "the own copy hides the program's";
    mine.Delete();

    // Folders: made in the own folder, entered wherever they are.
    ASSERT_TRUE(drive.MakeDirectory(CURL("/users")));
    ASSERT_TRUE(drive.ChangeDirectory(CURL("/users")));
    ASSERT_TRUE(drive.MakeDirectory(CURL("bob")));
    EXPECT_TRUE(fs::is_directory(own / "users/bob"));
    ASSERT_TRUE(drive.ChangeDirectory(CURL("/boards")));
    EXPECT_FALSE(drive.ChangeDirectory(CURL("/nowhere")));

    // A package copied into boards/ lands in the own folder and is listed
    // beside the program's boards, each name once.
    {
        WriteText(m_top / "package/Marble/about.txt", "marble");
        WriteText(m_top / "package/wood/extra.txt", "extra");
        CDiskDrive source((m_top / "package").c_str());
        ASSERT_TRUE(drive.CopyTreeFrom(source, true, false));
    }
    EXPECT_EQ(ReadText(own / "boards/Marble/about.txt"), "marble");
    CArray<CString> boards;
    ASSERT_TRUE(drive.ListDirectory(boards, false));
    EXPECT_EQ(Names(boards), (std::vector<std::string>{"Marble", "Wood"}));
    // A file in a folder both have: the own one where it has it, else the program's.
    CAutoPointer<CFile> about = drive.OpenFile(CURL("Wood/about.txt"), CFile::kModeRead);
    EXPECT_EQ(ReadAll(*about), "wood");
    about.Delete();
    CAutoPointer<CFile> extra = drive.OpenFile(CURL("Wood/extra.txt"), CFile::kModeRead);
    EXPECT_EQ(ReadAll(*extra), "extra");
    extra.Delete();

    // The paths the client hands to others, and the program's own.
    ASSERT_TRUE(drive.ChangeDirectory(CURL("/html/english")));
    CURL full("page.htm");
    drive.GetFullPath(full, nullptr);
    EXPECT_EQ(std::string(full.GetText()), (m_root / "html/english/page.htm").string());
    EXPECT_EQ(std::string(drive.GetWritablePath(CURL("_page.htm")).GetText()),
              (own / "html/english/_page.htm").string());
    EXPECT_TRUE(fs::is_directory(own / "html/english")) << "the folders above a written file are made";
    EXPECT_EQ(std::string(drive.RootPath(CURL("page.htm")).GetText()), (m_root / "html/english/page.htm").string());

    EXPECT_EQ(Tree(m_root), before) << "the program folder is never written";
}

TEST_F(DiskDriveTest, WithoutAnOwnFolderWritesGoToTheRoot)
{
    CDiskDrive drive(m_root.c_str());
    EXPECT_EQ(std::string(drive.GetWritablePath(CURL("/cfg/update.cfg")).GetText()),
              (m_root / "cfg/update.cfg").string());
    EXPECT_FALSE(fs::exists(m_root / "cfg")) << "nothing is made for a drive without an own folder";
    ASSERT_TRUE(drive.MakeDirectory(CURL("/users")));
    EXPECT_TRUE(fs::is_directory(m_root / "users"));
}

// A user's folder that an older client left in the program folder does not
// answer for the user's folder in the own folder: whether a file there
// exists, what it holds, what the folder lists and whether it can be
// entered are the own folder's answers alone, so a file found is one that
// will be read where it is written. The program's own files still come
// from below.
TEST_F(DiskDriveTest, AUserFolderIsAnsweredByTheOwnFolderAlone)
{
    WriteText(m_root / "users/bob/user.cfg", "old settings");
    WriteText(m_root / "users/bob/played games/one.pgn", "old game");
    WriteText(m_root / "logs/Console.log", "old log");
    WriteText(m_root / "cfg/app.cfg", "program settings");
    WriteText(m_root / "boards/Wood/about.txt", "wood");
    const std::set<std::string> before = Tree(m_root);
    const fs::path own = m_top / "data";

    CDiskDrive drive(m_root.c_str());
    ASSERT_TRUE(drive.SetOwnFolder(CString(own.c_str())));
    drive.KeepOwnOnly(CString("/users"));
    drive.KeepOwnOnly(CString("Logs/"));

    EXPECT_FALSE(drive.Exists(CURL("/users/bob/user.cfg")));
    EXPECT_FALSE(drive.Exists(CURL("/USERS/Bob/user.cfg"))) << "whatever the spelling";
    EXPECT_FALSE(drive.Exists(CURL("/logs/Console.log")));
    CDrive::SFileInfo info;
    EXPECT_FALSE(drive.GetInfo(CURL("/users/bob/user.cfg"), info));
    EXPECT_EQ(drive.GetFileSize(CURL("/users/bob/user.cfg")), 0u);
    EXPECT_TRUE(drive.OpenFile(CURL("/users/bob/user.cfg"), CFile::kModeRead)->IsNull());
    EXPECT_EQ(std::string(drive.GetDiskPath(CURL("/users/bob/user.cfg")).GetText()),
              (own / "users/bob/user.cfg").string());
    EXPECT_FALSE(drive.ChangeDirectory(CURL("/users/bob"))) << "the old folder is not entered";

    // The program's own files still fall through.
    EXPECT_TRUE(drive.Exists(CURL("/cfg/app.cfg")));
    EXPECT_TRUE(drive.Exists(CURL("/boards/Wood/about.txt")));

    // Made in the own folder, the user's folder lists and holds only its own.
    ASSERT_TRUE(drive.MakeDirectory(CURL("/users")));
    ASSERT_TRUE(drive.MakeDirectory(CURL("/users/bob")));
    ASSERT_TRUE(drive.ChangeDirectory(CURL("/users/bob")));
    CArray<CString> listed;
    ASSERT_TRUE(drive.ListDirectory(listed, false));
    EXPECT_TRUE(Names(listed).empty()) << "nothing of the old folder is listed";
    EXPECT_FALSE(drive.Exists(CURL("user.cfg")));
    EXPECT_FALSE(drive.Exists(CURL("../../users/bob/played games/one.pgn")));
    {
        CAutoPointer<CFile> out = drive.OpenFile(CURL("user.cfg"), CFile::kModeWrite | CFile::kModeCreate);
        ASSERT_TRUE(out->IsOpen());
        EXPECT_TRUE(out->WriteString(CString("new settings")));
    }
    ASSERT_TRUE(drive.Exists(CURL("/users/bob/user.cfg")));
    CAutoPointer<CFile> in = drive.OpenFile(CURL("/users/bob/user.cfg"), CFile::kModeRead);
    EXPECT_EQ(ReadAll(*in), "new settings");
    in.Delete();
    listed.RemoveAll();
    ASSERT_TRUE(drive.ListDirectory(listed, false));
    EXPECT_EQ(Names(listed), std::vector<std::string>{"user.cfg"});
    ASSERT_TRUE(drive.ChangeDirectory(CURL("/")));

    EXPECT_EQ(Tree(m_root), before) << "the program folder is never written";

    // Without an own folder the drive is the program folder's, users included.
    CDiskDrive portable(m_root.c_str());
    portable.KeepOwnOnly(CString("/users"));
    EXPECT_TRUE(portable.Exists(CURL("/users/bob/user.cfg")));
}
