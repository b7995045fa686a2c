// How two clients agree on a game, and the texts and archives the opponent
// search exchanges: settings, requests with their exclusion, the match
// notice, the proposal and the profile, as they come from another machine.
#include <gtest/gtest.h>

#include <string>

#include "client/core/PhotoFit.h"
#include "client/remote/OnlineSearchProtocol.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/Config.h"
#include "foundation/Image.h"
#include "foundation/ImageCodecJpg.h"
#include "foundation/MemFile.h"
#include "testsupport/HostilePictures.h"

using namespace RemoteTest;
using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

CSearchTable Own(std::initializer_list<std::pair<const std::string, std::string>> changes)
{
    CSearchTable own = {{"untimed", "yes"}, {"timed", "yes"}, {"time.min", "no"}, {"time.low", "60"},
                        {"time.max", "no"}, {"time.high", "3600"}, {"side", "2"}};
    for (const auto& change : changes)
        own[change.first] = change.second;
    return own;
}

SMatchTerms Negotiate(const CSearchTable& own, const CSearchTable& peer, int bit = 0)
{
    return OnlineSearch::NegotiateGame(own, peer, [bit] { return bit; });
}

std::string Text(CBuffer& buffer)
{
    return std::string(reinterpret_cast<const char*>(buffer.GetData()), size_t(buffer.GetSize() > 0 ? buffer.GetSize() : 0));
}

// Runs write into a buffer and returns the bytes.
template <class F>
std::string Written(F write)
{
    CBuffer buffer;
    CBufferFile file(&buffer, CFile::kLineLf);
    write(file);
    return Text(buffer);
}

} // namespace

TEST(NegotiateGame, ClockFromBothLimits)
{
    const CSearchTable none;
    // Own 5..20 minutes against a peer without limits: 15 minutes lies inside.
    EXPECT_EQ(Negotiate(Own({{"time.min", "yes"}, {"time.low", "300"}, {"time.max", "yes"}, {"time.high", "1200"}}), none).clock, 900);
    // 20..40: mid 30 minutes, a multiple of five inside.
    EXPECT_EQ(Negotiate(Own({{"time.min", "yes"}, {"time.low", "1200"}, {"time.max", "yes"}, {"time.high", "2400"}}), none).clock, 1800);
    // 16..17: mid 990 s, 16 minutes; 15 minutes is outside.
    EXPECT_EQ(Negotiate(Own({{"time.min", "yes"}, {"time.low", "960"}, {"time.max", "yes"}, {"time.high", "1020"}}), none).clock, 960);
    EXPECT_EQ(Negotiate(Own({{"time.max", "yes"}, {"time.high", "600"}}), none).clock, 600);
    EXPECT_EQ(Negotiate(Own({{"time.max", "yes"}, {"time.high", "1200"}}), none).clock, 900);
    EXPECT_EQ(Negotiate(Own({{"time.min", "yes"}, {"time.low", "180"}}), none).clock, 900);
    EXPECT_EQ(Negotiate(Own({{"time.min", "yes"}, {"time.low", "1800"}}), none).clock, 1800);
    // The tighter of both: own low 10, peer low 20 and high 25 minutes.
    const CSearchTable peer = {{"rw.time.min", "yes"}, {"rw.time.low", "1200"}, {"rw.time.max", "true"}, {"rw.time.high", "1500"}};
    EXPECT_EQ(Negotiate(Own({{"time.min", "yes"}, {"time.low", "600"}}), peer).clock, 1320);
    // A peer's limits beyond any dialog's still give a clock a dialog could ask for.
    const CSearchTable wild = {{"rw.time.min", "yes"}, {"rw.time.low", "99999999"}};
    EXPECT_EQ(Negotiate(Own({}), wild).clock, OnlineSearch::kMaxClock);
}

TEST(NegotiateGame, TimedOrNot)
{
    const SMatchTerms untimed = Negotiate(Own({{"timed", "no"}}), {{"rw.timed", "yes"}, {"rw.untimed", "no"}});
    EXPECT_FALSE(untimed.timed);
    EXPECT_EQ(untimed.clock, 0);
    EXPECT_FALSE(Negotiate(Own({}), {{"rw.untimed", "YES"}, {"rw.timed", "no"}}).timed);
    EXPECT_TRUE(Negotiate(Own({}), {{"rw.untimed", "yes"}, {"rw.timed", "yes"}}).timed);
}

TEST(NegotiateGame, Colours)
{
    // Own single colour decides whatever the peer asked for.
    EXPECT_EQ(Negotiate(Own({{"side", "1"}}), {{"rw.side", "black"}}).side, 1);
    EXPECT_EQ(Negotiate(Own({{"side", "0"}}), {{"rw.side", "white"}}).side, 0);
    // Either against a single colour: the other one.
    EXPECT_EQ(Negotiate(Own({}), {{"rw.side", "white"}}).side, 1);
    EXPECT_EQ(Negotiate(Own({}), {{"rw.side", "black"}}).side, 0);
    // Both either: the random bit.
    EXPECT_EQ(Negotiate(Own({}), {{"rw.side", "white black"}}, 0).side, 0);
    EXPECT_EQ(Negotiate(Own({}), {{"rw.side", "white black"}}, 1).side, 1);
    // A side setting of 3 has no word: single, without "white", so black.
    EXPECT_EQ(Negotiate(Own({{"side", "3"}}), {{"rw.side", "white black"}}).side, 1);
}

TEST(NegotiateGame, RandomColoursComeFromASeededGenerator)
{
    int ones = 0;
    for (int i = 0; i < 200; ++i)
        ones += OnlineSearch::RandomBit();
    EXPECT_GT(ones, 50);
    EXPECT_LT(ones, 150);
    OnlineSearch::SeedRandom(7);
    std::string first, second;
    for (int i = 0; i < 32; ++i)
        first += char('0' + OnlineSearch::RandomBit());
    OnlineSearch::SeedRandom(7);
    for (int i = 0; i < 32; ++i)
        second += char('0' + OnlineSearch::RandomBit());
    EXPECT_EQ(first, second);
}

TEST(OnlineSearchTexts, SettingsAndRequests)
{
    CConfig user;
    OnlineSearch::SetDefaults(user);
    user.GetValue(".onlinesearch.time.low") = "600";
    user.GetValue(".preferences.online.skill") = "9";
    EXPECT_EQ(Written([&](CFile& f) { OnlineSearch::WriteSettings(f, user, 31); }),
              "begin\nrw.untimed\nyes\nrw.timed\nyes\nrw.time.min\nno\nrw.time.max\nno\nrw.time.low\n60\n"
              "rw.time.high\n5940\nrw.skill\nexpert\nrw.side\nwhite black\nid\n31\n");
    user.GetValue(".onlinesearch.side") = "3";
    user.GetValue(".onlinesearch.time.min") = "yes";
    const std::string noSide = Written([&](CFile& f) { OnlineSearch::WriteSettings(f, user, 31); });
    EXPECT_EQ(noSide.find("rw.side"), std::string::npos);
    EXPECT_NE(noSide.find("rw.time.low\n600\n"), std::string::npos);
    // Existing values are kept by the defaults.
    OnlineSearch::SetDefaults(user);
    EXPECT_EQ(user.GetValueOr(".onlinesearch.side", ""), "3");

    // The three searches after a match avoid the last opponent; the fourth does not.
    OnlineSearch::ResetAvoidCounter();
    EXPECT_EQ(OnlineSearch::TakeExclusion(55), 0u);
    OnlineSearch::OnMatched();
    EXPECT_EQ(OnlineSearch::TakeExclusion(0), 0u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Written([](CFile& f) { OnlineSearch::WriteRequest(f, OnlineSearch::TakeExclusion(55)); }),
                  "id=search1\nttl=60\nbegin\nid != 55\n");
    EXPECT_EQ(Written([](CFile& f) { OnlineSearch::WriteRequest(f, OnlineSearch::TakeExclusion(55)); }),
              "id=search1\nttl=60\nbegin\n");
    EXPECT_EQ(Written([](CFile& f) { OnlineSearch::WriteCancel(f); }), "id=search1\ncancel\n");
}

TEST(OnlineSearchTexts, MatchNoticeFromTheServer)
{
    CBuffer body = BufferOf("junk line\nfirst=YES\nid=12\nbegin\nrw.side\nwhite\nRW.Timed\nno\nodd");
    CBufferFile file(&body, CFile::kLineLf);
    bool first = false;
    CSearchTable peer;
    OnlineSearch::ReadMatch(file, first, peer);
    EXPECT_TRUE(first);
    EXPECT_EQ(peer.size(), 2u);
    EXPECT_EQ(peer["rw.side"], "white");
    EXPECT_EQ(peer["rw.timed"], "no");

    // A flood of pairs is cut at the cap.
    std::string many = "first=no\nbegin\n";
    for (int i = 0; i < 1000; ++i)
        many += "k" + std::to_string(i) + "\nv\n";
    CBuffer flood = BufferOf(many);
    CBufferFile floodFile(&flood, CFile::kLineLf);
    OnlineSearch::ReadMatch(floodFile, first, peer);
    EXPECT_FALSE(first);
    EXPECT_EQ(int(peer.size()), OnlineSearch::kMaxPairs);
}

TEST(OnlineSearchTexts, ProposalIsCheckedOnArrival)
{
    SMatchTerms sender;
    sender.side = 0;
    sender.timed = true;
    sender.clock = 900;
    CBuffer proposal = BufferOf(Written([&](CFile& f) { OnlineSearch::WriteProposal(f, sender); }));
    CBufferFile file(&proposal, CFile::kLineLf);
    SMatchTerms receiver;
    ASSERT_TRUE(OnlineSearch::ReadProposal(file, receiver));
    EXPECT_EQ(receiver.side, 1);
    EXPECT_TRUE(receiver.timed);
    EXPECT_EQ(receiver.clock, 900);

    const auto read = [](const std::string& text, SMatchTerms& terms) {
        CBuffer body = BufferOf(text);
        CBufferFile in(&body, CFile::kLineLf);
        return OnlineSearch::ReadProposal(in, terms);
    };
    SMatchTerms terms;
    ASSERT_TRUE(read("Side = 0\ntimed = yes\nclock = 5\n", terms));
    EXPECT_EQ(terms.clock, OnlineSearch::kMinClock);
    ASSERT_TRUE(read("Side = 1\ntimed = yes\nclock = 2000000000\n", terms));
    EXPECT_EQ(terms.clock, OnlineSearch::kMaxClock);
    EXPECT_EQ(terms.side, 1);
    ASSERT_TRUE(read("Side = 1\ntimed = no\nclock = 600\n", terms));
    EXPECT_EQ(terms.clock, 0);
    // A colour other than 0 or 1 is refused and changes nothing.
    EXPECT_FALSE(read("Side = 2\ntimed = yes\nclock = 600\n", terms));
    EXPECT_FALSE(read("Side = -1\ntimed = yes\nclock = 600\n", terms));
    EXPECT_EQ(terms.side, 1);
    EXPECT_FALSE(terms.timed);
}

TEST(OnlineSearchTexts, TheProposerTakesNoProposalAndBegunTermsStay)
{
    EXPECT_EQ(OnlineSearch::ProposalRefusal(false, false), nullptr);
    EXPECT_STREQ(OnlineSearch::ProposalRefusal(true, false), "we are the proposer");
    EXPECT_STREQ(OnlineSearch::ProposalRefusal(false, true), "the game's terms are settled");
    EXPECT_NE(OnlineSearch::ProposalRefusal(true, true), nullptr);
}

TEST(OnlineSearchProfile, WrittenReadAndStored)
{
    CTestServices services;
    WriteWholeFile(services.m_programFolder + "/assets/images/misc/nophoto.bmp", "BMnophoto");
    CConfig& user = services.m_userSettings;
    user.GetValue(".Profile.name") = CString("<b>Ann</b> ") + std::string(60, 'x').c_str();
    user.GetValue(".Profile.email") = "ann@example.org";
    user.GetValue(".Profile.ID") = "Ann123";
    user.GetValue(".preferences.online.location") = "Chile";
    user.GetValue(".preferences.online.skill") = "2";
    user.GetValue(".preferences.online.sendemail") = "no";

    CMemFile archive;
    archive.Open(CString("gridmoorprofile.rwf"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    ASSERT_TRUE(OnlineSearch::WriteProfile(archive, user, services.GetUserDrive()));
    CConfig profile;
    CBuffer picture;
    ASSERT_TRUE(OnlineSearch::ReadProfile(archive, profile, picture, services.GetProgramDrive()));
    // Sent at 50 characters, a name is read at 40.
    EXPECT_EQ(profile.GetValueOr("name", "").GetLength(), 40);
    EXPECT_EQ(std::string(profile.GetValueOr("name", "").GetText()).substr(0, 5), "Ann x");
    EXPECT_FALSE(profile.KeyExists("email"));
    EXPECT_EQ(profile.GetValueOr("location", ""), "Chile");
    // No photo in the archive: the program's no-photo picture.
    EXPECT_EQ(Text(picture), "BMnophoto");

    ASSERT_TRUE(OnlineSearch::StoreOpponent(profile, picture, services.GetUserDrive()));
    EXPECT_TRUE(FileExists(services.m_userFolder + "/opponents/Ann123.cfg"));
    EXPECT_EQ(ReadWholeFile(services.m_userFolder + "/opponents/Ann123.bmp"), "BMnophoto");
    EXPECT_NE(ReadWholeFile(services.m_userFolder + "/opponents/Ann123.cfg").find("Chile"), std::string::npos);

    // Ids that could leave the folder are never used as names.
    for (const char* id : {"../../evil", "a/b", "", "x.cfg"}) {
        profile.GetValue("ID") = id;
        EXPECT_FALSE(OnlineSearch::StoreOpponent(profile, picture, services.GetUserDrive())) << id;
    }
    EXPECT_FALSE(FileExists(services.m_userFolder + "/evil.cfg"));

    user.GetValue(".preferences.online.sendemail") = "TRUE";
    CMemFile second;
    second.Open(CString("gridmoorprofile.rwf"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    ASSERT_TRUE(OnlineSearch::WriteProfile(second, user, services.GetUserDrive()));
    ASSERT_TRUE(OnlineSearch::ReadProfile(second, profile, picture, services.GetProgramDrive()));
    EXPECT_EQ(profile.GetValueOr("email", ""), "ann@example.org");

    // Garbage is no profile.
    CBuffer junk = BufferOf(std::string(300, 'j'));
    CBufferFile junkFile(&junk);
    EXPECT_FALSE(OnlineSearch::ReadProfile(junkFile, profile, picture, services.GetProgramDrive()));
}

TEST(OnlineSearchProfile, OpponentPageEscapesRemoteText)
{
    CConfig profile;
    profile.GetValue("name") = "<a href=\"x\">Eve</a>";
    profile.GetValue("location") = "*[game]&co";
    profile.GetValue("skill") = "17";
    SMatchTerms terms;
    terms.side = 1;
    terms.timed = true;
    terms.clock = 1200;
    CHtmlVariables values;
    OnlineSearch::OpponentPageValues(profile, terms, values);
    EXPECT_EQ(std::string(values["name"].GetText()).find('<'), std::string::npos);
    EXPECT_EQ(std::string(values["location"].GetText()).find("*["), std::string::npos);
    EXPECT_EQ(values["experience"], "Expert");
    EXPECT_EQ(values["game"], "<B>20</B> minute game. You will be playing <B>black.</B>");
    terms.timed = false;
    terms.side = 0;
    OnlineSearch::OpponentPageValues(profile, terms, values);
    EXPECT_EQ(values["game"], "No clock. You will be playing <B>white.</B>");
}

namespace {

// A profile archive as a hand-made client sends it, with the picture bytes
// under name as they are.
void MakeOnlineProfile(CMemFile& out, const char* name, const std::string& picture)
{
    out.Open(CString("gridmoorprofile.rwf"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    Zorlin::CArchiveDrive archive;
    ASSERT_TRUE(archive.Create(&out, "gridmoorprofile", false, 8192));
    for (const auto& entry : {std::make_pair("profile.cfg", std::string("name = Mallory\nID = Mal1\n")),
                              std::make_pair(name, picture)}) {
        CMemFile file;
        file.Open(CString(entry.first), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        file.Write(entry.second.data(), unsigned(entry.second.size()));
        file.Seek(0, CFile::kSeekStart);
        ASSERT_TRUE(archive.AddFile(file, entry.first, true));
    }
    ASSERT_TRUE(archive.Finish(false));
}

std::pair<int, int> BmpSize(CBuffer& bmp)
{
    CMemFile file;
    file.Open(CString("photo.bmp"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    file.Write(bmp);
    file.Seek(0, CFile::kSeekStart);
    Zorlin::CImage image;
    if (image.Load(file) != 0)
        return {0, 0};
    return {image.GetWidth(), image.GetHeight()};
}

} // namespace

TEST(OnlineSearchProfile, PhotoBombsBecomeTheNoPhotoPictureAndPhotosAreFitted)
{
    CTestServices services;
    WriteWholeFile(services.m_programFolder + "/assets/images/misc/nophoto.bmp", "BMnophoto");
    const long before = RookwellTest::PeakMegabytes();
    struct SCase {
        const char* name;
        std::string bytes;
    } bombs[] = {{"photo.jpg", RookwellTest::RealJpeg(8000, 8000)},
                 {"photo.bmp", RookwellTest::RunLengthBmp(26000, 26000)},
                 {"photo.jpg", "not a picture"}};
    for (const SCase& bomb : bombs) {
        CMemFile archive;
        MakeOnlineProfile(archive, bomb.name, bomb.bytes);
        CConfig profile;
        CBuffer picture;
        ASSERT_TRUE(OnlineSearch::ReadProfile(archive, profile, picture, services.GetProgramDrive()));
        EXPECT_EQ(Text(picture), "BMnophoto") << bomb.name << " " << bomb.bytes.size();
    }
    // Below the 190 MB the 8000 x 8000 JPEG would take decoded, with room
    // for the sanitizers' own bookkeeping.
    EXPECT_LT(RookwellTest::PeakMegabytes() - before, 120);

    // A photo of any size is kept, shown and stored at 96 x 72.
    Zorlin::CImage large(1200, 900, 19);
    large.Clear(Zorlin::CColour(10, 120, 200, 255));
    CMemFile jpeg;
    jpeg.Open(CString("photo.jpg"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    Zorlin::CImageCodecJpg codec(80);
    ASSERT_EQ(large.Save(jpeg, codec), 0);
    std::string bytes(jpeg.GetSize(), '\0');
    jpeg.Seek(0, CFile::kSeekStart);
    jpeg.Read(&bytes[0], unsigned(bytes.size()));
    CMemFile archive;
    MakeOnlineProfile(archive, "photo.jpg", bytes);
    CConfig profile;
    CBuffer picture;
    ASSERT_TRUE(OnlineSearch::ReadProfile(archive, profile, picture, services.GetProgramDrive()));
    EXPECT_EQ(BmpSize(picture), std::make_pair(kPhotoWidth, kPhotoHeight));
}

TEST(NegotiateGame, NumbersFromThePeerCannotOverflow)
{
    // Limits far beyond any clock, and negative ones, from either side.
    const char* const huge[] = {"99999999999999999999", "-99999999999999999999", "9223372036854775807",
                                "-9223372036854775808", "4294967296"};
    for (const char* low : huge)
        for (const char* high : huge) {
            CSearchTable own = {{"time.min", "yes"}, {"time.low", low}, {"time.max", "yes"}, {"time.high", "1200"}};
            CSearchTable peer = {{"rw.time.min", "yes"}, {"rw.time.low", "60"}, {"rw.time.max", "yes"},
                                 {"rw.time.high", high}};
            const SMatchTerms terms = Negotiate(own, peer);
            EXPECT_TRUE(terms.timed);
            EXPECT_GE(terms.clock, OnlineSearch::kMinClock) << low << " " << high;
            EXPECT_LE(terms.clock, OnlineSearch::kMaxClock) << low << " " << high;
        }
    // A side number that only a wrap-around would make 0 is no side: black.
    EXPECT_EQ(Negotiate(Own({{"side", "4294967296"}}), CSearchTable()).side, 1);
}
