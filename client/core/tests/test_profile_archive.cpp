// The profile archive as another client receives it: its exact entries and
// keys, the photo byte for byte, and the checks a received one must pass.

#include <gtest/gtest.h>

#include "client/core/ProfileArchive.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
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
    EXPECT_EQ(Entry(archive, "contents/photo.bmp"), photo);
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
