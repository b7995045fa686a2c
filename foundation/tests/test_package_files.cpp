// The package walk and copy over real folders: what the tree lists and in
// which order, where it stops, and which copied files end up runnable.

#include "foundation/PackageFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "foundation/DiskDrive.h"
#include "foundation/URL.h"
#include "test_archive_support.h"

namespace fs = std::filesystem;
using ArchiveTest::CTempDir;
using Zorlin::CDiskDrive;
using Zorlin::CString;
using Zorlin::CURL;
using Zorlin::SPackageEntry;

namespace {

void Write(const std::string& path, const std::string& text, int mode = 0644)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), mode);
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int ModeOf(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

const std::string kElf = std::string("\x7f" "ELF", 4) + "rest of the image";

// Where each path stands in the walk, and what it was listed as.
std::map<std::string, size_t> Positions(const std::vector<SPackageEntry>& entries)
{
    std::map<std::string, size_t> at;
    for (size_t i = 0; i < entries.size(); ++i)
        at[entries[i].path.GetText()] = i;
    return at;
}

TEST(PackageWalk, ListsEveryFileWithItsSizeAndEachFolderBeforeItsContents)
{
    CTempDir temp;
    Write(temp / "pkg/a.txt", "abc");
    Write(temp / "pkg/sub/b.txt", "hello");
    Write(temp / "pkg/sub/deeper/c.bin", std::string(5000, 'x'));
    fs::create_directories(temp / "pkg/empty");
    CDiskDrive drive(temp.Path().c_str());
    ASSERT_TRUE(drive.ChangeDirectory(CURL("pkg")));

    std::vector<SPackageEntry> entries;
    entries.push_back(SPackageEntry()); // a stale entry from an earlier walk
    CString problem = "stale";
    ASSERT_TRUE(Zorlin::WalkPackage(drive, 8, entries, problem)) << problem.GetText();
    EXPECT_TRUE(problem.IsEmpty());
    ASSERT_EQ(entries.size(), 6u);
    std::map<std::string, size_t> at = Positions(entries);
    const std::map<std::string, uint32_t> files = {{"a.txt", 3}, {"sub/b.txt", 5}, {"sub/deeper/c.bin", 5000}};
    for (const auto& [path, size] : files) {
        ASSERT_EQ(at.count(path), 1u) << path;
        EXPECT_FALSE(entries[at[path]].folder) << path;
        EXPECT_EQ(entries[at[path]].size, size) << path;
    }
    for (const char* folder : {"sub/", "sub/deeper/", "empty/"}) {
        ASSERT_EQ(at.count(folder), 1u) << folder;
        EXPECT_TRUE(entries[at[folder]].folder) << folder;
    }
    EXPECT_LT(at["sub/"], at["sub/b.txt"]);
    EXPECT_LT(at["sub/"], at["sub/deeper/"]);
    EXPECT_LT(at["sub/deeper/"], at["sub/deeper/c.bin"]);
    // The walk leaves the drive in the folder it started from.
    EXPECT_TRUE(drive.IsFile(CURL("a.txt")));
}

TEST(PackageWalk, StopsAtANameThatLeavesItsFolderAndAtTooDeepANest)
{
    CTempDir temp;
    Write(temp / "pkg/d/d/d/end.txt", "end");
    CDiskDrive drive(temp.Path().c_str());
    ASSERT_TRUE(drive.ChangeDirectory(CURL("pkg")));
    std::vector<SPackageEntry> entries;
    CString problem;
    EXPECT_TRUE(Zorlin::WalkPackage(drive, 3, entries, problem)) << problem.GetText();
    EXPECT_EQ(entries.size(), 4u);
    EXPECT_FALSE(Zorlin::WalkPackage(drive, 2, entries, problem));
    EXPECT_EQ(std::string(problem.GetText()), "d/d/d/");
    EXPECT_TRUE(drive.IsDirectory(CURL("d")));

    // A name made elsewhere that reads as a climb on another system.
    Write(temp / "pkg/d/..\\..\\evil.txt", "x");
    EXPECT_FALSE(Zorlin::WalkPackage(drive, 8, entries, problem));
    EXPECT_EQ(std::string(problem.GetText()), "d/..\\..\\evil.txt");
    EXPECT_TRUE(drive.IsDirectory(CURL("d")));
}

TEST(PackageMode, ProgramsAreToldByTheirContentOrByName)
{
    const unsigned char elf[] = {0x7f, 'E', 'L', 'F'};
    const unsigned char script[] = {'#', '!', '/', 'b'};
    const unsigned char comment[] = {'#', ' ', 'x', 'y'};
    EXPECT_TRUE(Zorlin::IsProgramImage(elf, 4));
    EXPECT_FALSE(Zorlin::IsProgramImage(elf, 3)) << "a cut-off head is not a program";
    EXPECT_TRUE(Zorlin::IsProgramImage(script, 2));
    EXPECT_FALSE(Zorlin::IsProgramImage(script, 1));
    EXPECT_FALSE(Zorlin::IsProgramImage(comment, 4));
    EXPECT_EQ(Zorlin::ChoosePackageMode(elf, 4, false), 0755);
    EXPECT_EQ(Zorlin::ChoosePackageMode(comment, 4, false), -1);
    EXPECT_EQ(Zorlin::ChoosePackageMode(comment, 0, true), 0755);
}

bool Copy(Zorlin::CDrive& package, const char* from, CDiskDrive& target, const char* to, bool named)
{
    return Zorlin::CopyPackageFile(package, from, target, to, named, package.GetFileSize(CURL(from))) ==
           Zorlin::kPackageCopied;
}

TEST(PackageCopy, ProgramsBecomeRunnableAndOtherFilesKeepTheirBits)
{
    CTempDir temp;
    Write(temp / "pkg/engine", kElf);
    Write(temp / "pkg/run.sh", "#!/bin/sh\necho hi\n");
    Write(temp / "pkg/start engine", "not a program by its look");
    Write(temp / "pkg/notes.txt", "new notes");
    Write(temp / "pkg/empty", "");
    Write(temp / "out/notes.txt", "old notes", 0600);
    CDiskDrive package((temp / "pkg").c_str());
    CDiskDrive target((temp / "out").c_str());

    for (const char* name : {"engine", "run.sh", "notes.txt", "empty"})
        EXPECT_TRUE(Copy(package, name, target, name, false)) << name;
    EXPECT_EQ(ModeOf(temp / "out/engine"), 0755);
    EXPECT_EQ(ModeOf(temp / "out/run.sh"), 0755);
    EXPECT_FALSE(Copy(package, "start engine", target, "bin/start", true))
        << "a folder that is missing is not made";
    ASSERT_TRUE(target.MakeDirectory(CURL("bin")));
    EXPECT_TRUE(Copy(package, "start engine", target, "bin/start", true));
    EXPECT_EQ(ModeOf(temp / "out/bin/start"), 0755);
    EXPECT_EQ(ModeOf(temp / "out/notes.txt"), 0600);
    EXPECT_EQ(ModeOf(temp / "out/empty") & 0111, 0);
    EXPECT_EQ(Read(temp / "out/engine"), kElf);
    EXPECT_EQ(Read(temp / "out/notes.txt"), "new notes");
    EXPECT_EQ(Read(temp / "out/empty"), "");

    // A missing source leaves the target as it was.
    EXPECT_FALSE(Copy(package, "gone", target, "notes.txt", false));
    EXPECT_EQ(Read(temp / "out/notes.txt"), "new notes");
    EXPECT_EQ(std::distance(fs::directory_iterator(temp / "out"), fs::directory_iterator()), 5);
}

// A file holding more than the package declared (it grew, or it is a
// device that never ends) is cut off at the declared size and not written.
TEST(PackageCopy, FilesPastTheirDeclaredSizeAreCutOffAndNotWritten)
{
    CTempDir temp;
    Write(temp / "pkg/notes.txt", "twelve bytes");
    Write(temp / "out/notes.txt", "old");
    fs::create_symlink("/dev/zero", temp / "pkg/endless");
    CDiskDrive package((temp / "pkg").c_str());
    CDiskDrive target((temp / "out").c_str());

    EXPECT_EQ(Zorlin::CopyPackageFile(package, "notes.txt", target, "notes.txt", false, 5),
              Zorlin::kPackageFileTooLong);
    EXPECT_EQ(Zorlin::CopyPackageFile(package, "endless", target, "endless", false, 1 << 20),
              Zorlin::kPackageFileTooLong);
    EXPECT_EQ(Read(temp / "out/notes.txt"), "old");
    EXPECT_FALSE(fs::exists(temp / "out/endless"));
    EXPECT_EQ(std::distance(fs::directory_iterator(temp / "out"), fs::directory_iterator()), 1)
        << "no temporary file is left";
    EXPECT_EQ(Zorlin::CopyPackageFile(package, "notes.txt", target, "notes.txt", false, 12), Zorlin::kPackageCopied);
    EXPECT_EQ(Read(temp / "out/notes.txt"), "twelve bytes");
}

TEST(PackageCopy, DeclaredSizesAreCappedAndCheckedAgainstTheDisk)
{
    CTempDir temp;
    std::vector<Zorlin::SPackageEntry> entries(3);
    entries[0].path = "a/";
    entries[0].folder = true;
    entries[0].size = 0xFFFFFFFFu; // a folder's size counts for nothing
    entries[1].path = "a/b";
    entries[1].size = 1000;
    entries[2].path = "a/c";
    entries[2].size = 24;
    CString problem;
    EXPECT_EQ(Zorlin::DeclaredPackageBytes(entries), 1024u);
    EXPECT_TRUE(Zorlin::CheckPackageRoom(entries, CString(temp.Path().c_str()), problem)) << problem.GetText();
    // 200 files of 1 GiB each, as a bomb package declares.
    entries.assign(200, entries[1]);
    for (Zorlin::SPackageEntry& entry : entries)
        entry.size = 1u << 30;
    EXPECT_FALSE(Zorlin::CheckPackageRoom(entries, CString(temp.Path().c_str()), problem));
    EXPECT_NE(std::string(problem.GetText()).find("more than any package may hold"), std::string::npos);
}

} // namespace
