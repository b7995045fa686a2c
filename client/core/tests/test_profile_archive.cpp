// The profile archive as another client receives it: its exact entries and
// keys, the photo as the 96 x 72 picture it is shown as, and the checks a
// received one must pass.

#include <gtest/gtest.h>

#include "client/core/PhotoFit.h"
#include "client/core/ProfileArchive.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"
#include "support/PackageBuilder.h"

using Zorlin::CArchiveDrive;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

class ProfileArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = PackageTest::MakeTempFolder("profile");
        ASSERT_FALSE(m_folder.empty());
        m_user.GetValue(".profile.name") = "Tess Arden";
        m_user.GetValue(".profile.nickname") = "tess";
        m_user.GetValue(".profile.otherinformation") = "Likes \"quiet\" openings";
        m_user.GetValue(".profile.id") = "5F3A9C01FFFE1234";
        m_user.GetValue(".profile.email") = "tess@example.org";
        m_out.Open("profile.rwf", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    }
    void TearDown() override { PackageTest::RemoveTree(m_folder); }

    bool Write(bool withEmail, bool withAddress, const char* address = "")
    {
        Zorlin::CDiskDrive userDrive(m_folder.c_str());
        return WriteProfileArchive(m_out, m_user, userDrive, withEmail, withAddress, address);
    }
    std::string Entry(CArchiveDrive& archive, const char* path)
    {
        CAutoPointer<CFile> file = archive.OpenFile(CURL(path), CFile::kModeRead);
        if (!file || file->IsNull())
            return "<missing>";
        std::string bytes(file->GetSize(), '\0');
        if (!bytes.empty() && !file->Read(&bytes[0], unsigned(bytes.size())))
            return "<unreadable>";
        return bytes;
    }
    CConfig Config(const std::string& text)
    {
        CConfig config;
        EXPECT_TRUE(config.ReadText(text.data(), int(text.size())));
        return config;
    }

    // The width and height of a BMP's bytes; 0 x 0 when the codec cannot read them.
    static std::pair<int, int> PhotoSize(const std::string& bytes)
    {
        CMemFile file;
        file.Open("photo.bmp", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        file.Write(bytes.data(), unsigned(bytes.size()));
        file.Seek(0, CFile::kSeekStart);
        Zorlin::CImage image;
        if (image.Load(file) != 0)
            return {0, 0};
        return {image.GetWidth(), image.GetHeight()};
    }

    std::string m_folder;
    CConfig m_user;
    CMemFile m_out;
};

TEST_F(ProfileArchiveTest, WithoutAPhotoItHoldsTheTwoFilesWithTheirExactKeys)
{
    ASSERT_TRUE(Write(false, false));
    EXPECT_TRUE(m_out.IsOpen()) << "the output stays the caller's";
    ASSERT_TRUE(m_out.Seek(0, CFile::kSeekStart));
    CArchiveDrive archive;
    ASSERT_TRUE(archive.Open(&m_out, "profile", false));
    Zorlin::CArray<CString> root;
    archive.ListDirectory(root, false);
    ASSERT_EQ(root.GetCount(), 2);
    EXPECT_EQ(*root.GetAt(0), "contents.cfg");
    EXPECT_EQ(*root.GetAt(1), "contents");
    EXPECT_EQ(Entry(archive, "contents/photo.bmp"), "<missing>");

    std::string manifestText = Entry(archive, "contents.cfg");
    EXPECT_EQ(manifestText.rfind(";", 0), 0u) << "written with its header";
    CConfig manifest = Config(manifestText);
    EXPECT_EQ(manifest.GetValueOr("contents.major", ""), "Rookwell");
    EXPECT_EQ(manifest.GetValueOr("contents.minor", ""), "profile");
    EXPECT_EQ(manifest.GetValueOr("descripion", ""), "A player profile");
    EXPECT_FALSE(manifest.KeyExists("description"));

    CConfig profile = Config(Entry(archive, "contents/profile.cfg"));
    Zorlin::CArray<CString> keys;
    profile.ListFrame(keys);
    ASSERT_EQ(keys.GetCount(), 4);
    EXPECT_EQ(*keys.GetAt(0), "name");
    EXPECT_EQ(*keys.GetAt(3), "ID");
    EXPECT_EQ(profile.GetValueOr("name", ""), "Tess Arden");
    EXPECT_EQ(profile.GetValueOr("otherinformation", ""), "Likes \"quiet\" openings");
    EXPECT_EQ(profile.GetValueOr("ID", ""), "5F3A9C01FFFE1234");
    EXPECT_FALSE(profile.KeyExists("email"));
    EXPECT_FALSE(profile.KeyExists("ip"));
}

TEST_F(ProfileArchiveTest, ThePhotoEmailAndAddressGoInWhenAskedFor)
{
    const std::string photo = PackageTest::ReadFile(ROOKWELL_SOURCE "/data/assets/images/misc/nophoto.bmp");
    ASSERT_FALSE(photo.empty());
    PackageTest::WriteFile(m_folder + "/photo.bmp", photo);
    ASSERT_TRUE(Write(true, true, "81.2.3.4"));
    ASSERT_TRUE(m_out.Seek(0, CFile::kSeekStart));
    CArchiveDrive archive;
    ASSERT_TRUE(archive.Open(&m_out, nullptr, false));
    EXPECT_EQ(PhotoSize(Entry(archive, "contents/photo.bmp")), std::make_pair(kPhotoWidth, kPhotoHeight));
    CConfig profile = Config(Entry(archive, "contents/profile.cfg"));
    EXPECT_EQ(profile.GetValueOr("email", ""), "tess@example.org");
    EXPECT_EQ(profile.GetValueOr("ip", ""), "81.2.3.4");

    // What the receiving side reads back.
    CConfig received;
    CString id;
    ASSERT_TRUE(ReadProfileArchive(m_out, received, id));
    EXPECT_EQ(id, "5F3A9C01FFFE1234");
    EXPECT_EQ(received.GetValueOr("name", ""), "Tess Arden");
}

TEST_F(ProfileArchiveTest, ALargePhotoLeavesAsTheFittedPhotoWithinTheProfileCap)
{
    // 1600 x 1200 in 24 bits: 5.7 MB on disk, far past the 64 KB a profile
    // packet may take; a photo no codec reads is left out.
    Zorlin::CImage large(1600, 1200, 19);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1600; ++x)
            large.SetPixel(x, y, Zorlin::CColour(x % 256, y % 256, (x * y) % 256, 255));
    ASSERT_EQ(large.Save((m_folder + "/photo.bmp").c_str()), 0);
    ASSERT_TRUE(Write(true, true, "81.2.3.4"));
    EXPECT_LT(m_out.GetSize(), 65536u);
    ASSERT_TRUE(m_out.Seek(0, CFile::kSeekStart));
    {
        CArchiveDrive archive;
        ASSERT_TRUE(archive.Open(&m_out, nullptr, false));
        EXPECT_EQ(PhotoSize(Entry(archive, "contents/photo.bmp")), std::make_pair(kPhotoWidth, kPhotoHeight));
    }

    PackageTest::WriteFile(m_folder + "/photo.bmp", "BMnot a picture");
    CMemFile out;
    out.Open("p.rwf", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    Zorlin::CDiskDrive userDrive(m_folder.c_str());
    ASSERT_TRUE(WriteProfileArchive(out, m_user, userDrive, false, false, ""));
    CArchiveDrive archive;
    ASSERT_TRUE(out.Seek(0, CFile::kSeekStart) && archive.Open(&out, nullptr, false));
    EXPECT_EQ(Entry(archive, "contents/photo.bmp"), "<missing>");
}

TEST_F(ProfileArchiveTest, ReceivedTextsAreCutToTheirLengths)
{
    m_user.GetValue(".profile.name") = std::string(3100, 'N').c_str();
    m_user.GetValue(".profile.nickname") = std::string(500, 'k').c_str();
    m_user.GetValue(".profile.otherinformation") = std::string(5000, 'o').c_str();
    m_user.GetValue(".profile.email") = (std::string(300, 'e') + "@example.org").c_str();
    ASSERT_TRUE(Write(true, false));
    CConfig received;
    CString id;
    ASSERT_TRUE(ReadProfileArchive(m_out, received, id));
    EXPECT_EQ(received.GetValueOr("name", "").GetLength(), kMaxProfileName);
    EXPECT_EQ(received.GetValueOr("nickname", "").GetLength(), kMaxProfileNickname);
    EXPECT_EQ(received.GetValueOr("otherinformation", "").GetLength(), kMaxProfileInformation);
    EXPECT_EQ(received.GetValueOr("email", "").GetLength(), kMaxProfileEmail);
    EXPECT_EQ(id, "5F3A9C01FFFE1234");
}

TEST_F(ProfileArchiveTest, AReceivedProfileWhoseIdCouldNameAnotherFileIsRefused)
{
    for (const char* id : {"../../cfg/app", "a/b", "", "x.cfg"}) {
        m_user.GetValue(".profile.id") = id;
        CMemFile out;
        out.Open("p.rwf", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        Zorlin::CDiskDrive userDrive(m_folder.c_str());
        ASSERT_TRUE(WriteProfileArchive(out, m_user, userDrive, false, false, ""));
        CConfig received;
        CString taken("unchanged");
        EXPECT_FALSE(ReadProfileArchive(out, received, taken)) << id;
        EXPECT_EQ(taken, "unchanged");
    }
    // Not an archive at all.
    CMemFile text;
    text.Open("x", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    text.WriteString("type = \"network invite\"\n");
    CConfig received;
    CString id;
    EXPECT_FALSE(ReadProfileArchive(text, received, id));
}

TEST(ProfileAddressOfThisMachine, TheSystemListIncludesLoopbackWhichIsNeverChosen)
{
    std::vector<IpV4Address> addresses = ListMachineAddresses();
    bool loopback = false;
    for (IpV4Address address : addresses)
        loopback = loopback || address == 0x7f000001;
    EXPECT_TRUE(loopback) << "every machine lists 127.0.0.1";
    CString chosen = ChooseProfileAddress(addresses);
    EXPECT_FALSE(chosen.MatchAt(CString("127."), 0)) << chosen.GetText();
    EXPECT_FALSE(chosen.MatchAt(CString("169.254."), 0)) << chosen.GetText();
}

} // namespace
