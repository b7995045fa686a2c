// The stored opponents on a real user folder: profile packages written by
// the client's own profile writer, installed, listed, reloaded and removed,
// and ids from other machines that would escape the opponents folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include <wx/defs.h>

#include "client/core/PhotoFit.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "client/remote/OpponentList.h"
#include "client/remote/OpponentStore.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/Buffer.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"
#include "testsupport/HostilePictures.h"

using namespace RemoteTest;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

// A real BMP of one colour, width x height.
std::string PhotoBmp(int width, int height)
{
    Zorlin::CImage image(width, height, 19);
    image.Clear(Zorlin::CColour(200, 30, 30, 255));
    Zorlin::CBuffer bmp;
    EXPECT_TRUE(SaveBmpBytes(image, bmp));
    return std::string(reinterpret_cast<const char*>(bmp.GetData()), size_t(bmp.GetSize()));
}

// The width and height of a BMP file; 0 x 0 when the codec cannot read it.
std::pair<int, int> BmpSize(const std::string& path)
{
    Zorlin::CImage image;
    if (image.Load(path.c_str()) != 0)
        return {0, 0};
    return {image.GetWidth(), image.GetHeight()};
}

// Adds a file of the given bytes to an archive being written.
void AddBytes(Zorlin::CArchiveDrive& archive, const char* name, const std::string& bytes)
{
    CMemFile file;
    file.Open(CString(name), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    file.Write(bytes.data(), unsigned(bytes.size()));
    file.Seek(0, CFile::kSeekStart);
    EXPECT_TRUE(archive.AddFile(file, name, true));
}

class OpponentStore : public ::testing::Test {
protected:
    // A package as another client sends it: its own user settings and folder.
    std::string MakePackage(const std::string& id, const std::string& name, const std::string& photo = "")
    {
        const std::string sender = MakeTempFolder("sender");
        m_cleanup.push_back(sender);
        if (!photo.empty())
            WriteWholeFile(sender + "/photo.bmp", photo);
        Zorlin::CDiskDrive senderDrive(sender.c_str());
        CConfig user;
        user.GetValue(".Profile.name") = name.c_str();
        user.GetValue(".profile.nickname") = "nick";
        user.GetValue(".profile.ID") = id.c_str();
        user.GetValue(".profile.email") = "someone@example.org";
        const std::string path = sender + "/profile.rwf";
        Zorlin::CWin32File out(path.c_str(), CFile::kModeWrite | CFile::kModeCreate);
        EXPECT_TRUE(WriteProfileArchive(out, user, senderDrive, true, false, CString()));
        out.Close();
        return path;
    }
    // A package as a hand-made client sends it: any name and the photo
    // bytes as they are, with no fitting on the way out.
    std::string MakeRawPackage(const std::string& id, const std::string& name, const std::string& photo)
    {
        const std::string sender = MakeTempFolder("raw");
        m_cleanup.push_back(sender);
        const std::string path = sender + "/profile.rwf";
        Zorlin::CWin32File out(path.c_str(), CFile::kModeWrite | CFile::kModeCreate);
        Zorlin::CArchiveDrive archive;
        EXPECT_TRUE(archive.Create(&out, "profile", false, 8192));
        AddBytes(archive, "contents.cfg", "contents.major = Rookwell\ncontents.minor = profile\n");
        archive.MakeDirectories("contents");
        archive.ChangeDirectory(Zorlin::CURL("contents"));
        AddBytes(archive, "profile.cfg", "name = " + name + "\nID = " + id + "\n");
        if (!photo.empty())
            AddBytes(archive, "photo.bmp", photo);
        EXPECT_TRUE(archive.Finish(false));
        out.Close();
        return path;
    }
    std::string Opponents() const { return m_services.m_userFolder + "/opponents/"; }
    ~OpponentStore() override
    {
        for (const std::string& folder : m_cleanup)
            RemoveTree(folder);
    }

    CTestServices m_services;
    std::vector<std::string> m_cleanup;
};

} // namespace

TEST_F(OpponentStore, InstallSavesProfileAndPhotoAndReloads)
{
    const std::string package = MakePackage("A1B2C3", "Ann Example", PhotoBmp(200, 150));
    {
        COpponentList list(m_services.GetUserDrive());
        COpponentProfile* ann = list.InstallOpponentProfile(package.c_str());
        ASSERT_NE(ann, nullptr);
        EXPECT_EQ(ann->GetNumber(), 0);
        EXPECT_EQ(BmpSize(Opponents() + "A1B2C3.bmp"), std::make_pair(kPhotoWidth, kPhotoHeight));
        ASSERT_TRUE(FileExists(Opponents() + "A1B2C3.cfg"));
    }
    // A new run finds it on disk and reads it on first use.
    COpponentList list(m_services.GetUserDrive());
    EXPECT_EQ(list.Load(), 1);
    COpponentProfile* ann = list.GetByNumber(0);
    ASSERT_NE(ann, nullptr);
    EXPECT_FALSE(ann->IsLoaded());
    ASSERT_TRUE(ann->Load());
    EXPECT_STREQ(ann->m_profile.GetValueOr("Profile.Name", "").GetText(), "Ann Example");
    EXPECT_STREQ(ann->m_profile.GetValueOr("profile.email", "").GetText(), "someone@example.org");
    EXPECT_STREQ(ann->m_profile.GetValueOr("profile.id", "").GetText(), "A1B2C3");
    CAutoPointer<CFile> photo;
    ann->OpenPhoto(photo);
    ASSERT_TRUE(photo && photo->IsOpen() && !photo->IsNull());
    EXPECT_EQ(photo->GetSize(), uint32_t(ReadWholeFile(Opponents() + "A1B2C3.bmp").size()));

    CString id;
    EXPECT_STREQ(ReadProfilePackage(package.c_str(), id).GetText(), "Ann Example");
    EXPECT_STREQ(id.GetText(), "A1B2C3");
}

TEST_F(OpponentStore, SecondInstallUpdatesAndKeepsNotesAndNumber)
{
    COpponentList list(m_services.GetUserDrive());
    COpponentProfile* first = list.InstallOpponentProfile(MakePackage("FF00", "Old Name").c_str());
    ASSERT_NE(first, nullptr);
    first->m_profile.GetValue(".Notes") = "plays the Dutch";
    ASSERT_TRUE(first->Save());
    ASSERT_NE(list.InstallOpponentProfile(MakePackage("BEEF", "Other").c_str()), nullptr);

    // The same person again, in another spelling of the id's case.
    COpponentProfile* again = list.InstallOpponentProfile(MakePackage("ff00", "New Name").c_str());
    ASSERT_EQ(again, first);
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(again->GetNumber(), 0);
    EXPECT_EQ(list.GetByNumber(1), list.Find("BEEF"));

    COpponentList reloaded(m_services.GetUserDrive());
    EXPECT_EQ(reloaded.Load(), 2);
    COpponentProfile* read = reloaded.Find("FF00");
    ASSERT_NE(read, nullptr);
    ASSERT_TRUE(read->Load());
    EXPECT_STREQ(read->m_profile.GetValueOr("profile.name", "").GetText(), "New Name");
    EXPECT_STREQ(read->m_profile.GetValueOr("Notes", "").GetText(), "plays the Dutch");
}

TEST_F(OpponentStore, FirstLoadedOpponentIsNotNumberedTwice)
{
    const std::string package = MakePackage("AAAA", "Ann");
    {
        COpponentList list(m_services.GetUserDrive());
        ASSERT_NE(list.InstallOpponentProfile(package.c_str()), nullptr);
    }
    COpponentList list(m_services.GetUserDrive());
    ASSERT_EQ(list.Load(), 1);
    ASSERT_NE(list.InstallOpponentProfile(package.c_str()), nullptr);
    ASSERT_NE(list.InstallOpponentProfile(MakePackage("BBBB", "Bob").c_str()), nullptr);
    const std::map<int, CString> numbers = list.GetNumbers();
    ASSERT_EQ(numbers.size(), 2u);
    EXPECT_STREQ(numbers.at(0).GetText(), "AAAA");
    EXPECT_STREQ(numbers.at(1).GetText(), "BBBB");
}

TEST_F(OpponentStore, LoadNumbersProfilesAndSkipsOtherFiles)
{
    WriteWholeFile(Opponents() + "a.cfg", "profile\r\n{\r\n  name=A\r\n}\r\n");
    WriteWholeFile(Opponents() + "b.cfg", "profile\r\n{\r\n  name=B\r\n}\r\n");
    WriteWholeFile(Opponents() + "b.bmp", "BM");
    WriteWholeFile(Opponents() + "b.cfg.old", "stale");
    WriteWholeFile(Opponents() + "x y.cfg", "not an id");
    WriteWholeFile(Opponents() + ".cfg", "no id");
    COpponentList list(m_services.GetUserDrive());
    EXPECT_EQ(list.Load(), 2);
    ASSERT_NE(list.GetByNumber(0), nullptr);
    EXPECT_STREQ(list.GetByNumber(0)->GetId().GetText(), "a");
    EXPECT_STREQ(list.GetByNumber(1)->GetId().GetText(), "b");
    EXPECT_EQ(list.GetByNumber(2), nullptr);
}

TEST_F(OpponentStore, RemoveDeletesBothFilesAndKeepsOtherNumbers)
{
    COpponentList list(m_services.GetUserDrive());
    ASSERT_NE(list.InstallOpponentProfile(MakePackage("A1", "A", PhotoBmp(96, 72)).c_str()), nullptr);
    ASSERT_NE(list.InstallOpponentProfile(MakePackage("B2", "B", PhotoBmp(96, 72)).c_str()), nullptr);
    ASSERT_NE(list.InstallOpponentProfile(MakePackage("C3", "C").c_str()), nullptr);
    list.Remove(1);
    EXPECT_FALSE(FileExists(Opponents() + "B2.cfg"));
    EXPECT_FALSE(FileExists(Opponents() + "B2.bmp"));
    EXPECT_TRUE(FileExists(Opponents() + "A1.bmp"));
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetByNumber(1), nullptr);
    ASSERT_NE(list.GetByNumber(2), nullptr);
    EXPECT_STREQ(list.GetByNumber(2)->GetId().GetText(), "C3");
    list.Remove(7); // nothing there
    EXPECT_EQ(list.GetCount(), 2);
}

TEST_F(OpponentStore, HostileIdsAreRefusedAndWriteNothing)
{
    // Someone else's folder beside the user's, which a crafted id would reach.
    const std::string outside = m_services.m_userFolder + "/../";
    COpponentList list(m_services.GetUserDrive());
    for (const std::string& id : {std::string("../../evil"), std::string("../user"), std::string("a/b"),
                                  std::string("x.y"), std::string(""), std::string(33, 'a'),
                                  std::string("with space")}) {
        const std::string package = MakePackage(id, "Mallory", "BMevil");
        EXPECT_EQ(list.InstallOpponentProfile(package.c_str()), nullptr) << id;
        CString readId("stale");
        EXPECT_TRUE(ReadProfilePackage(package.c_str(), readId).IsEmpty()) << id;
        EXPECT_TRUE(readId.IsEmpty());
    }
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_FALSE(FileExists(outside + "evil.cfg"));
    EXPECT_FALSE(FileExists(m_services.m_userFolder + "/evil.cfg"));
    EXPECT_FALSE(FileExists(Opponents()) && !std::filesystem::is_empty(Opponents()));
}

TEST_F(OpponentStore, WhatIsNoPackageIsRefused)
{
    COpponentList list(m_services.GetUserDrive());
    const std::string junk = m_services.m_userFolder + "/junk.rwf";
    WriteWholeFile(junk, std::string(5000, 'j'));
    EXPECT_EQ(list.InstallOpponentProfile(junk.c_str()), nullptr);
    EXPECT_EQ(list.InstallOpponentProfile((m_services.m_userFolder + "/missing.rwf").c_str()), nullptr);
    CString id;
    EXPECT_TRUE(ReadProfilePackage(junk.c_str(), id).IsEmpty());
    CMemFile empty;
    empty.Open("empty", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    EXPECT_EQ(list.Install(empty), nullptr);
    EXPECT_EQ(list.GetCount(), 0);
}

TEST_F(OpponentStore, PhotoFallsBackToTheNoPhotoPicture)
{
    WriteWholeFile(m_services.m_programFolder + "/assets/images/misc/nophoto.bmp", "BMnophoto");
    COpponentList list(m_services.GetUserDrive());
    COpponentProfile* plain = list.InstallOpponentProfile(MakePackage("C0FFEE", "No Photo").c_str());
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(FileExists(Opponents() + "C0FFEE.bmp"));
    CAutoPointer<CFile> photo;
    plain->OpenPhoto(photo);
    ASSERT_TRUE(photo && photo->IsOpen() && !photo->IsNull());
    EXPECT_EQ(photo->GetSize(), 9u);
}

TEST_F(OpponentStore, PhotoBombsAreNeverStoredNorShownAndTheProfileStillIs)
{
    WriteWholeFile(m_services.m_programFolder + "/assets/images/misc/nophoto.bmp", "BMnophoto");
    const long before = RookwellTest::PeakMegabytes();
    COpponentList list(m_services.GetUserDrive());
    // A first profile with a good photo, then updates whose photos are bombs.
    ASSERT_NE(list.InstallOpponentProfile(MakeRawPackage("Bob42", "Bob", PhotoBmp(640, 480)).c_str()), nullptr);
    const std::string good = ReadWholeFile(Opponents() + "Bob42.bmp");
    ASSERT_EQ(BmpSize(Opponents() + "Bob42.bmp"), std::make_pair(kPhotoWidth, kPhotoHeight));
    for (const std::string& bomb : {RookwellTest::RunLengthBmp(26000, 26000), RookwellTest::RealJpeg(8000, 8000),
                                    std::string("BMfakephoto")}) {
        COpponentProfile* bob = list.InstallOpponentProfile(MakeRawPackage("Bob42", "Bobby", bomb).c_str());
        ASSERT_NE(bob, nullptr) << bomb.size();
        EXPECT_STREQ(bob->m_profile.GetValueOr("profile.name", "").GetText(), "Bobby");
        EXPECT_EQ(ReadWholeFile(Opponents() + "Bob42.bmp"), good) << bomb.size();
        // A new opponent with a bomb gets no picture file at all.
        ASSERT_NE(list.InstallOpponentProfile(MakeRawPackage("Eve7", "Eve", bomb).c_str()), nullptr);
        EXPECT_FALSE(FileExists(Opponents() + "Eve7.bmp")) << bomb.size();
    }
    // A bomb stored by an older version is read under the limit: the
    // no-photo picture comes back instead.
    WriteWholeFile(Opponents() + "Bob42.bmp", RookwellTest::RunLengthBmp(26000, 26000));
    CAutoPointer<CFile> photo;
    list.Find("Bob42")->OpenPhoto(photo);
    ASSERT_TRUE(photo && photo->IsOpen() && !photo->IsNull());
    EXPECT_EQ(photo->GetSize(), 9u);
    // Below what the smallest bomb would take decoded (the 8000 x 8000
    // JPEG: 190 MB), with room for the sanitizers' own bookkeeping.
    EXPECT_LT(RookwellTest::PeakMegabytes() - before, 120);
}

TEST_F(OpponentStore, ReceivedNamesAreCutToFortyCharactersWhole)
{
    COpponentList list(m_services.GetUserDrive());
    COpponentProfile* long_ = list.InstallOpponentProfile(MakeRawPackage("Long1", std::string(3100, 'n'), "").c_str());
    ASSERT_NE(long_, nullptr);
    EXPECT_EQ(long_->m_profile.GetValueOr("profile.name", "").GetLength(), 40);
    // Two-byte characters: forty of them, none cut in two.
    std::string accented;
    for (int i = 0; i < 100; ++i)
        accented += "\xC3\xA9";
    COpponentProfile* wide = list.InstallOpponentProfile(MakeRawPackage("Wide2", accented, "").c_str());
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(std::string(wide->m_profile.GetValueOr("profile.name", "").GetText()), accented.substr(0, 80));
    CString id;
    EXPECT_EQ(ReadProfilePackage(MakeRawPackage("Long1", std::string(3100, 'n'), "").c_str(), id).GetLength(), 40);
}

TEST_F(OpponentStore, EveryProfileNewOrAnUpdateWaitsForTheUsersYes)
{
    CScriptedPrompt prompt;
    prompt.Install();
    const char* const question = "Would you like to add (or update) Bob's profile to your opponent list?";
    auto ask = [&](const std::string& package, CString& id) {
        Zorlin::CWin32File file(package.c_str(), CFile::kModeRead);
        return AskToStoreOpponentProfile(file, id);
    };
    CString id;
    prompt.QueueButton(wxNO);
    EXPECT_EQ(ask(MakePackage("B0B", "Bob"), id), EProfileAnswer::kDeclined);
    EXPECT_EQ(id, "B0B") << "the peer is still known by its id";
    EXPECT_EQ(prompt.CountText(question), 1);
    EXPECT_FALSE(FileExists(Opponents() + "B0B.cfg"));

    prompt.QueueButton(wxYES);
    EXPECT_EQ(ask(MakePackage("B0B", "Bob", PhotoBmp(96, 72)), id), EProfileAnswer::kStored);
    const std::string friendPhoto = ReadWholeFile(Opponents() + "B0B.bmp");
    const std::string friendProfile = ReadWholeFile(Opponents() + "B0B.cfg");
    EXPECT_FALSE(friendPhoto.empty());

    // A stranger who knows a friend's id asks like anybody else; No keeps
    // the friend as stored.
    prompt.QueueButton(wxNO);
    EXPECT_EQ(ask(MakePackage("b0b", "Bob", RookwellTest::RealJpeg(320, 240)), id), EProfileAnswer::kDeclined);
    EXPECT_EQ(prompt.CountText(question), 3);
    EXPECT_EQ(ReadWholeFile(Opponents() + "B0B.bmp"), friendPhoto);
    EXPECT_EQ(ReadWholeFile(Opponents() + "B0B.cfg"), friendProfile);

    // An id that would climb out of the folder: refused before any question.
    EXPECT_EQ(ask(MakePackage("../../cfg/app", "Bob"), id), EProfileAnswer::kRefused);
    EXPECT_TRUE(id.IsEmpty());
    EXPECT_EQ(prompt.GetCount(), 3);
    EXPECT_EQ(prompt.GetUnexpectedCount(), 0);
}
