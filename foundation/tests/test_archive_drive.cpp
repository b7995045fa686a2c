// The archive as a drive: stacking in a host, paths and folders, the files
// it hands out, the shared chunk cache, and the writer's error reports.
#include <algorithm>

#include "foundation/BufferFile.h"
#include "foundation/NullFile.h"
#include "foundation/Win32File.h"
#include "test_archive_support.h"

using namespace ArchiveTest;
using Zorlin::CArray;
using Zorlin::CAutoPointer;
using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CDrive;
using Zorlin::CWin32File;

namespace {

const Bytes kProfile = Pattern(5000, 21);
const Bytes kNotes = Pattern(9000, 22);

// profile: contents/profile.cfg (compressed), contents/photos/, notes.txt (stored).
Bytes ProfileArchive(const Bytes& host = {}, const char* name = "profile")
{
    CMemFile* file = HostOf(host);
    CArchiveDrive drive;
    EXPECT_TRUE(drive.Create(file, name, true, 8192));
    EXPECT_TRUE(drive.MakeDirectories("contents/photos"));
    EXPECT_TRUE(drive.ChangeDirectory(CURL("contents")));
    EXPECT_TRUE(AddBytes(drive, "profile.cfg", kProfile, true));
    EXPECT_TRUE(drive.ChangeDirectory(CURL("..")));
    EXPECT_TRUE(AddBytes(drive, "notes.txt", kNotes, false));
    EXPECT_TRUE(drive.Finish(false));
    return Contents(*file);
}

class ArchiveDriveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_drive.Open(HostOf(ProfileArchive()), "profile", true)); }
    CArchiveDrive m_drive;
};

TEST_F(ArchiveDriveTest, InfoAndListingOfFoldersAndFiles)
{
    CDrive::SFileInfo info = {0, 0, 0};
    ASSERT_TRUE(m_drive.GetInfo(CURL("contents/photos"), info));
    EXPECT_EQ(info.kind, 2u);
    EXPECT_EQ(info.one, 1u);
    EXPECT_EQ(info.access, 9u);
    ASSERT_TRUE(m_drive.GetInfo(CURL("notes.txt"), info));
    EXPECT_EQ(info.kind, 1u);
    EXPECT_FALSE(m_drive.GetInfo(CURL("missing"), info));
    EXPECT_TRUE(m_drive.IsDirectory(CURL("contents")));
    EXPECT_FALSE(m_drive.IsFile(CURL("contents")));
    EXPECT_FALSE(m_drive.IsFile(CURL("missing")));
    EXPECT_FALSE(m_drive.IsDirectory(CURL("missing")));
    EXPECT_TRUE(m_drive.Exists(CURL("contents/profile.cfg")));
    EXPECT_EQ(m_drive.GetFileSize(CURL("notes.txt")), kNotes.size());

    CArray<CString> names;
    ASSERT_TRUE(m_drive.ListDirectory(names, false));
    ASSERT_EQ(names.GetCount(), 2);
    EXPECT_EQ(*names.GetAt(0), "contents");
    EXPECT_EQ(*names.GetAt(1), "notes.txt");
    ASSERT_TRUE(m_drive.ChangeDirectory(CURL("contents")));
    names.RemoveAll();
    ASSERT_TRUE(m_drive.ListDirectory(names, true));
    ASSERT_EQ(names.GetCount(), 2);
    EXPECT_EQ(*names.GetAt(0), "/contents/photos");
    EXPECT_EQ(*names.GetAt(1), "/contents/profile.cfg");

    CString tree;
    ASSERT_TRUE(m_drive.ChangeDirectory(CURL("/")));
    m_drive.ListTree(tree);
    EXPECT_EQ(tree, "contents\n photos\n profile.cfg\nnotes.txt\n");
}

TEST_F(ArchiveDriveTest, PathsAreRelativeToTheCurrentFolderAndIgnoreCase)
{
    EXPECT_EQ(Member(m_drive, "contents/profile.cfg"), kProfile);
    EXPECT_EQ(Member(m_drive, "CONTENTS\\Profile.CFG"), kProfile);
    const CArchiveDrive::SDirEntry* fromRoot = m_drive.FindEntry(CURL("contents/profile.cfg"));
    ASSERT_TRUE(m_drive.ChangeDirectory(CURL("Contents")));
    EXPECT_EQ(m_drive.GetCurrentDirectory(), "/Contents/");
    EXPECT_EQ(m_drive.FindEntry(CURL("profile.cfg")), fromRoot);
    EXPECT_EQ(Member(m_drive, "profile.cfg"), kProfile);
    // A leading separator is dropped, not taken as the root.
    EXPECT_EQ(m_drive.FindEntry(CURL("/contents/profile.cfg")), nullptr);
    EXPECT_TRUE(m_drive.OpenFile(CURL("/contents/profile.cfg"), CFile::kModeRead)->IsNull());
    // Names are looked up as written: ".." does not climb.
    EXPECT_EQ(m_drive.FindEntry(CURL("../notes.txt")), nullptr);

    EXPECT_FALSE(m_drive.ChangeDirectory(CURL("missing")));
    EXPECT_FALSE(m_drive.ChangeDirectory(CURL("profile.cfg")));
    EXPECT_EQ(m_drive.GetCurrentDirectory(), "/Contents/");
    ASSERT_TRUE(m_drive.ChangeDirectory(CURL("photos")));
    ASSERT_TRUE(m_drive.ChangeDirectory(CURL("../..")));
    EXPECT_EQ(m_drive.GetCurrentDirectory(), "/");
    ASSERT_TRUE(m_drive.ChangeDirectory(CURL("/contents/photos/")));
    m_drive.PushDirectory();
    ASSERT_TRUE(m_drive.ChangeDirectory(CURL("/")));
    ASSERT_TRUE(m_drive.PopDirectory());
    EXPECT_EQ(m_drive.GetCurrentDirectory(), "/contents/photos/");
}

TEST_F(ArchiveDriveTest, FilesAreReadOnlyAndSeekLikeTheOtherFiles)
{
    EXPECT_TRUE(m_drive.OpenFile(CURL("notes.txt"), CFile::kModeRead | CFile::kModeWrite)->IsNull());
    EXPECT_TRUE(m_drive.OpenFile(CURL("notes.txt"), CFile::kModeWrite | CFile::kModeAppend)->IsNull());
    EXPECT_TRUE(m_drive.OpenFile(CURL("contents"), CFile::kModeRead)->IsNull());
    EXPECT_TRUE(m_drive.OpenFile(CURL("missing"), CFile::kModeRead)->IsNull());
    EXPECT_EQ(CArchiveDrive::GetActiveFileCount(), 0);

    CAutoPointer<CFile> file = m_drive.OpenFile(CURL("notes.txt"), CFile::kModeRead);
    ASSERT_TRUE(file->IsOpen());
    EXPECT_EQ(file->GetState(), 9u);
    EXPECT_FALSE(file->Open(CString("notes.txt"), 3));
    EXPECT_FALSE(file->Open(CString("notes.txt"), 6));
    EXPECT_TRUE(file->Open(CString("notes.txt"), 1));
    EXPECT_FALSE(file->Write("x", 1));

    uint8_t buffer[64];
    ASSERT_TRUE(file->Seek(-10, CFile::kSeekEnd));
    EXPECT_EQ(file->GetPosition(), kNotes.size() - 10);
    ASSERT_TRUE(file->Read(buffer, sizeof buffer));
    EXPECT_EQ(file->GetLastReadCount(), 10u);
    EXPECT_EQ(Bytes(buffer, buffer + 10), Bytes(kNotes.end() - 10, kNotes.end()));
    EXPECT_FALSE(file->Read(buffer, 1));
    EXPECT_EQ(file->GetLastReadCount(), 0u);
    ASSERT_TRUE(file->Seek(-5, CFile::kSeekStart));
    EXPECT_FALSE(file->Read(buffer, 1));
    ASSERT_TRUE(file->Seek(20, CFile::kSeekCurrent));
    ASSERT_TRUE(file->Read(buffer, 1));
    EXPECT_EQ(buffer[0], kNotes[15]);
    EXPECT_FALSE(file->Seek(0, 7));
    file->Close();
    EXPECT_FALSE(file->Seek(0, CFile::kSeekStart));
    EXPECT_EQ(CArchiveDrive::GetActiveFileCount(), 0);
}

// Each opener gets a file of its own: positions do not interfere, and one
// being closed (even twice) or deleted leaves the other working.
TEST_F(ArchiveDriveTest, OpeningOnePathTwiceGivesTwoFiles)
{
    CAutoPointer<CFile> a = m_drive.OpenFile(CURL("contents/profile.cfg"), CFile::kModeRead);
    ASSERT_TRUE(m_drive.ChangeDirectory(CURL("contents")));
    CAutoPointer<CFile> b = m_drive.OpenFile(CURL("PROFILE.cfg"), CFile::kModeRead);
    ASSERT_TRUE(a->IsOpen() && b->IsOpen());
    ASSERT_NE(a.Get(), b.Get());
    EXPECT_EQ(CArchiveDrive::GetActiveFileCount(), 1);

    uint8_t x[100], y[100];
    ASSERT_TRUE(b->Seek(4000, CFile::kSeekStart));
    ASSERT_TRUE(a->Read(x, 100));
    ASSERT_TRUE(b->Read(y, 100));
    EXPECT_EQ(Bytes(x, x + 100), Bytes(kProfile.begin(), kProfile.begin() + 100));
    EXPECT_EQ(Bytes(y, y + 100), Bytes(kProfile.begin() + 4000, kProfile.begin() + 4100));

    a->Close();
    a->Close();
    a.Delete();
    EXPECT_EQ(CArchiveDrive::GetActiveFileCount(), 1);
    ASSERT_TRUE(b->Read(y, 100));
    EXPECT_EQ(Bytes(y, y + 100), Bytes(kProfile.begin() + 4100, kProfile.begin() + 4200));
    b.Delete();
    EXPECT_EQ(CArchiveDrive::GetActiveFileCount(), 0);
}

TEST(ArchiveDrive, SamePathInTwoDrivesIsTwoFiles)
{
    const Bytes bytes = ProfileArchive();
    CArchiveDrive one, two;
    ASSERT_TRUE(one.Open(HostOf(bytes), nullptr, true));
    ASSERT_TRUE(two.Open(HostOf(bytes), nullptr, true));
    CAutoPointer<CFile> a = one.OpenFile(CURL("notes.txt"), CFile::kModeRead);
    CAutoPointer<CFile> b = two.OpenFile(CURL("notes.txt"), CFile::kModeRead);
    ASSERT_TRUE(a->IsOpen() && b->IsOpen());
    EXPECT_EQ(CArchiveDrive::GetActiveFileCount(), 2);
    EXPECT_EQ(ReadAll(*a), kNotes);
    EXPECT_EQ(ReadAll(*b), kNotes);
}

TEST(ArchiveDrive, FileOutlivingItsDriveReadsNothing)
{
    CAutoPointer<CFile> file;
    {
        CArchiveDrive drive;
        ASSERT_TRUE(drive.Open(HostOf(ProfileArchive()), nullptr, true));
        file = drive.OpenFile(CURL("contents/profile.cfg"), CFile::kModeRead);
        ASSERT_TRUE(file->IsOpen());
    }
    uint8_t buffer[10];
    EXPECT_FALSE(file->IsOpen());
    EXPECT_FALSE(file->Read(buffer, 10));
    EXPECT_EQ(file->GetSize(), 0u);
    file.Delete();
}

TEST(ArchiveDrive, ReopeningTheDriveClosesItsFiles)
{
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Open(HostOf(ProfileArchive()), nullptr, true));
    CAutoPointer<CFile> old = drive.OpenFile(CURL("notes.txt"), CFile::kModeRead);
    ASSERT_TRUE(drive.Open(HostOf(ProfileArchive({}, "other")), "OTHER", true));
    EXPECT_FALSE(old->IsOpen());
    EXPECT_EQ(Member(drive, "notes.txt"), kNotes);
    EXPECT_FALSE(drive.Open(nullptr, nullptr, false));
    EXPECT_FALSE(drive.IsOpen());
    EXPECT_TRUE(drive.OpenFile(CURL("notes.txt"), CFile::kModeRead)->IsNull());
}

TEST(ArchiveDrive, TwoArchivesStackedOnARealPicture)
{
    CTempDir dir;
    const std::string picture = dir / "photo.jpg";
    if (RunCommand("convert -size 64x64 xc:red " + Quote(picture) + " 2>/dev/null") != 0)
        GTEST_SKIP() << "ImageMagick's convert is needed";
    const Bytes jpeg = ReadDisk(picture);
    ASSERT_GT(jpeg.size(), 100u);

    for (const char* name : {"Voices", "Boards"}) {
        CWin32File* host = new CWin32File(picture.c_str(), CFile::kModeWrite | CFile::kModeAppend);
        ASSERT_TRUE(host->IsOpen());
        CArchiveDrive writer;
        ASSERT_TRUE(writer.Create(host, name, true, 8192));
        ASSERT_TRUE(AddBytes(writer, "Readme.TXT", Bytes(name, name + 6), true));
        ASSERT_TRUE(writer.Finish(true));
    }
    const Bytes stacked = ReadDisk(picture);
    EXPECT_TRUE(std::equal(jpeg.begin(), jpeg.end(), stacked.begin()));

    std::string identified;
    ASSERT_EQ(RunCommand("identify -format '%m %wx%h' " + Quote(picture) + " 2>&1", &identified), 0) << identified;
    EXPECT_EQ(identified, "JPEG 64x64");

    CArchiveDrive last, first, named, missing;
    ASSERT_TRUE(last.Open(new CWin32File(picture.c_str(), CFile::kModeRead), nullptr, true));
    EXPECT_EQ(last.GetArchiveName(), "Boards");
    ASSERT_TRUE(first.Open(new CWin32File(picture.c_str(), CFile::kModeRead), "vOICES", true));
    EXPECT_EQ(first.GetArchiveName(), "Voices");
    EXPECT_EQ(first.GetStart(), jpeg.size());
    ASSERT_TRUE(named.Open(new CWin32File(picture.c_str(), CFile::kModeRead), "BOARDS", true));
    EXPECT_FALSE(missing.Open(new CWin32File(picture.c_str(), CFile::kModeRead), "Music", true));
    EXPECT_EQ(Member(first, "readme.txt"), Bytes({'V', 'o', 'i', 'c', 'e', 's'}));
    EXPECT_EQ(Member(last, "README.txt"), Bytes({'B', 'o', 'a', 'r', 'd', 's'}));
    EXPECT_EQ(Member(named, "ReadMe.Txt"), Bytes({'B', 'o', 'a', 'r', 'd', 's'}));

    if (HavePython()) {
        std::string listing;
        ASSERT_EQ(Reference("list --name voices " + Quote(picture), &listing), 0) << listing;
        EXPECT_EQ(listing, "A Voices 8192\nF Readme.TXT 6 z\n");
    }

    // The picture alone, or the stack with one byte after it, holds no archive.
    CArchiveDrive none;
    EXPECT_FALSE(none.Open(HostOf(jpeg), nullptr, true));
    Bytes trailing = stacked;
    trailing.push_back(0);
    EXPECT_FALSE(none.Open(HostOf(trailing), nullptr, true));
}

// A compressed member larger than the cache, read at random places: every
// byte matches, and the cache stays within its limit by evicting.
TEST(ArchiveDrive, RandomReadsThroughTheCacheEvict)
{
    const Bytes big = Pattern(700000, 31);
    const Bytes other = Pattern(100000, 32);
    CMemFile* host = HostOf({});
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Create(host, "big", false, 8192));
    ASSERT_TRUE(AddBytes(drive, "big.bin", big, true));
    ASSERT_TRUE(AddBytes(drive, "other.bin", other, true));
    ASSERT_TRUE(drive.Finish(false));
    ASSERT_TRUE(drive.Open(host, nullptr, true));

    CAutoPointer<CFile> a = drive.OpenFile(CURL("big.bin"), CFile::kModeRead);
    CAutoPointer<CFile> b = drive.OpenFile(CURL("other.bin"), CFile::kModeRead);
    ASSERT_TRUE(a->IsOpen() && b->IsOpen());
    const uint64_t loadsBefore = CArchiveDrive::GetChunkLoads();
    std::mt19937 rng(7);
    std::vector<uint8_t> buffer(20000);
    for (int i = 0; i < 400; ++i) {
        CFile& file = i % 3 ? *a : *b;
        const Bytes& source = i % 3 ? big : other;
        const uint32_t at = rng() % source.size();
        const uint32_t n = 1 + rng() % 20000;
        ASSERT_TRUE(file.Seek(int(at), CFile::kSeekStart));
        ASSERT_TRUE(file.Read(buffer.data(), n));
        const uint32_t got = file.GetLastReadCount();
        ASSERT_EQ(got, std::min<uint32_t>(n, uint32_t(source.size()) - at));
        ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + got, source.begin() + at)) << i;
        ASSERT_LE(CArchiveDrive::GetCachedBytes(), CArchiveDrive::kCacheLimit + 8192);
    }
    // Far more loads than the 98 chunks there are: evicted chunks came back.
    EXPECT_GT(CArchiveDrive::GetChunkLoads() - loadsBefore, 200u);
    ASSERT_TRUE(a->Seek(0, CFile::kSeekStart));
    EXPECT_EQ(ReadAll(*a), big);
}

TEST(ArchiveWriter, MakeDirectoriesWalksAndStopsAtFiles)
{
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Create(HostOf({}), "w", true, 8192));
    ASSERT_TRUE(drive.MakeDirectories("a/b/c"));
    const CArchiveDrive::SDirEntry* c = drive.FindEntry(CURL("a/b/c"));
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->IsFolder());
    EXPECT_EQ(c->path, "/a/b/c/");
    ASSERT_TRUE(drive.MakeDirectories("A/B/C/"));
    EXPECT_EQ(drive.FindEntry(CURL("a/b/c")), c);
    EXPECT_EQ(drive.GetRootEntry().node->GetCount(), 1);

    ASSERT_TRUE(drive.ChangeDirectory(CURL("a/b")));
    ASSERT_TRUE(AddBytes(drive, "file", {1}, false));
    EXPECT_FALSE(drive.MakeDirectories("file/d"));
    ASSERT_TRUE(drive.ChangeDirectory(CURL("/")));
    EXPECT_FALSE(drive.MakeDirectories("a/b/file/d"));
    EXPECT_FALSE(drive.MakeDirectories("x/../y"));
    // Writing is not reading: the drive hands out no files meanwhile.
    EXPECT_TRUE(drive.OpenFile(CURL("a/b/file"), CFile::kModeRead)->IsNull());
    EXPECT_FALSE(drive.MakeDirectory(CURL("z")));
}

TEST(ArchiveWriter, RefusesNamesAReaderWouldRefuse)
{
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Create(HostOf({}), "w", true, 8192));
    ASSERT_TRUE(AddBytes(drive, "Name.txt", {1}, true));
    EXPECT_FALSE(AddBytes(drive, "name.TXT", {2}, true));
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:d", "say \"x\"", "blank "})
        EXPECT_EQ(drive.CreateEntry(bad), nullptr) << bad;
    ASSERT_TRUE(drive.MakeDirectories("folder"));
    EXPECT_FALSE(AddBytes(drive, "FOLDER", {3}, false));
    ASSERT_TRUE(drive.Finish(false));
}

// The drive owns the host it wrote and is handed it again to read.
TEST(ArchiveWriter, FinishedArchiveReopensOnItsOwnHost)
{
    CMemFile* host = HostOf({});
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Create(host, "own", true, 8192));
    ASSERT_TRUE(AddBytes(drive, "x", {5, 6}, true));
    ASSERT_TRUE(drive.Finish(false));
    ASSERT_TRUE(drive.Open(host, "own", true));
    EXPECT_EQ(Member(drive, "x"), Bytes({5, 6}));
}

TEST(ArchiveWriter, NameFromTheSourceFileIsItsLastPart)
{
    CTempDir dir;
    WriteDisk(dir / "piece.dat", {9, 8, 7});
    CWin32File source((dir / "piece.dat").c_str(), CFile::kModeRead);
    CMemFile* host = HostOf({});
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Create(host, "w", false, 8192));
    ASSERT_TRUE(drive.AddFile(source, nullptr, true));
    ASSERT_TRUE(drive.Finish(false));
    ASSERT_TRUE(drive.Open(host, nullptr, true));
    EXPECT_EQ(Member(drive, "piece.dat"), Bytes({9, 8, 7}));
}

TEST(ArchiveWriter, ReportsFailedWrites)
{
    CArchiveDrive drive;
    // A host that cannot grow: a buffer file over 64 fixed bytes.
    CBuffer fixed;
    std::vector<uint8_t> storage(64);
    fixed.Attach(storage.data(), 64);
    CBufferFile* small = new CBufferFile(&fixed);
    ASSERT_TRUE(drive.Create(small, "tight", true, 8192));
    EXPECT_FALSE(AddBytes(drive, "big", Pattern(1000, 1), false));
    EXPECT_FALSE(AddBytes(drive, "later", {1}, false));
    EXPECT_FALSE(drive.Finish(true));

    // Room for the data but not for the trailer.
    CBuffer fits;
    std::vector<uint8_t> room(40);
    fits.Attach(room.data(), 40);
    ASSERT_TRUE(drive.Create(new CBufferFile(&fits), "t", true, 8192));
    EXPECT_TRUE(AddBytes(drive, "a", {1, 2, 3}, false));
    EXPECT_FALSE(drive.Finish(true));

    EXPECT_FALSE(drive.Create(new Zorlin::CNullFile(), "n", true, 8192));
    EXPECT_FALSE(drive.Create(HostOf({}), "zero chunk", true, 0));
    CTempDir dir;
    WriteDisk(dir / "ro", {1});
    EXPECT_FALSE(drive.Create(new CWin32File((dir / "ro").c_str(), CFile::kModeRead), "ro", true, 8192));
    EXPECT_FALSE(drive.Finish(false));
}

struct SProgress {
    std::vector<float> fractions;
    std::string name;
    static void Record(void* user, CArchiveDrive*, const char* name, float fraction)
    {
        SProgress* self = static_cast<SProgress*>(user);
        self->fractions.push_back(fraction);
        self->name = name;
    }
};

TEST(ArchiveWriter, ProgressRunsFromZeroToOne)
{
    SProgress progress;
    CArchiveDrive drive;
    drive.SetProgressCallback(&SProgress::Record, &progress);
    ASSERT_TRUE(drive.Create(HostOf({}), "p", true, 1000));
    ASSERT_TRUE(AddBytes(drive, "four", Pattern(3500, 2), true));
    EXPECT_EQ(progress.name, "four");
    ASSERT_EQ(progress.fractions.size(), 6u);
    EXPECT_EQ(progress.fractions.front(), 0.0f);
    EXPECT_EQ(progress.fractions.back(), 1.0f);
    EXPECT_TRUE(std::is_sorted(progress.fractions.begin(), progress.fractions.end()));
}

} // namespace
