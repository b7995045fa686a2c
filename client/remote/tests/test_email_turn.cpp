// Turn files of games by e-mail: written and read back through the real
// archive format, file names and quoting, which side the user plays, and
// received turns that were tampered with, which must be refused with a
// reason before any of them is used.
#include <gtest/gtest.h>

#include <string>

#include "chess/ChessTypes.h"
#include "client/core/ProfileArchive.h"
#include "client/remote/EmailRecord.h"
#include "client/remote/EmailTurn.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"

using namespace RemoteTest;
using Zorlin::CArchiveDrive;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

// A saved game as CGame::Save writes it, with the given moves.
CConfig SavedGame(const std::vector<std::string>& moves, const char* white = "whiteId1", const char* black = "0")
{
    CConfig game;
    game.GetValue(".game.type") = "EmailGame";
    game.GetValue(".White.ID") = white;
    game.GetValue(".White.name") = "Alice";
    game.GetValue(".Black.ID") = black;
    for (size_t i = 0; i < moves.size(); ++i) {
        game.PushAbsolutePrefix("Moves");
        game.PushPrefix(int(i));
        game.GetValue("Move") = moves[i].c_str();
        game.GetValue("Time") = "0";
        game.PopPrefix();
        game.PopPrefix();
    }
    return game;
}

EmailTurn::STurn MakeTurn(const std::vector<std::string>& moves, const char* move)
{
    EmailTurn::STurn turn;
    turn.move = move;
    turn.from = "alice@example.org";
    turn.id = "whiteId1";
    turn.message = "Hello\nyour move";
    turn.game = SavedGame(moves);
    return turn;
}

// Writes turn into a memory file, as a mail would carry it.
void Open(CMemFile& file)
{
    file.Open(CString("turn"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
}

void WriteTurn(const EmailTurn::STurn& turn, CMemFile& out, CFile* profile = nullptr)
{
    Open(out);
    ASSERT_TRUE(EmailTurn::Write(out, turn, profile));
    ASSERT_TRUE(out.Seek(0, CFile::kSeekStart));
}

// Opens a written turn as the receiving client does and reads it.
bool ReadBack(CMemFile& file, EmailTurn::STurn& out, CString& why)
{
    CArchiveDrive archive;
    if (!archive.Open(&file, nullptr, false)) {
        why = "no archive";
        return false;
    }
    if (!archive.ChangeDirectory(CURL("contents"))) {
        why = "no contents";
        return false;
    }
    return EmailTurn::Read(archive, out, why);
}

bool Refused(EmailTurn::STurn turn, const char* expected)
{
    CMemFile file;
    Open(file);
    EXPECT_TRUE(EmailTurn::Write(file, turn, nullptr));
    file.Seek(0, CFile::kSeekStart);
    EmailTurn::STurn read;
    CString why;
    const bool ok = ReadBack(file, read, why);
    EXPECT_NE(std::string(why.GetText()).find(expected), std::string::npos) << why.GetText();
    return !ok;
}

} // namespace

TEST(EmailTurnFile, RoundTripKeepsEveryMemberAndTheProfile)
{
    CTestServices services;
    CConfig user;
    user.GetValue(".Profile.name") = "Alice";
    user.GetValue(".profile.ID") = "whiteId1";
    user.GetValue(".profile.email") = "alice@example.org";
    CMemFile profile;
    Open(profile);
    ASSERT_TRUE(WriteProfileArchive(profile, user, *services.m_userDrive, true, false, CString()));

    EmailTurn::STurn turn = MakeTurn({"e4", "e5", "Nf3"}, "Nf3");
    turn.offerDraw = true;
    CMemFile file;
    WriteTurn(turn, file, &profile);

    CArchiveDrive archive;
    ASSERT_TRUE(archive.Open(&file, nullptr, false));
    CAutoPointer<CFile> manifestFile = archive.OpenFile(CURL("contents.cfg"), CFile::kModeRead);
    ASSERT_TRUE(manifestFile && manifestFile->IsOpen());
    CConfig manifest;
    ASSERT_TRUE(manifest.Read(*manifestFile));
    EXPECT_STREQ("Email", manifest.GetValueOr("contents.minor", "").GetText());
    EXPECT_STREQ("Rookwell", manifest.GetValueOr("contents.major", "").GetText());
    manifestFile.Reset();
    ASSERT_TRUE(archive.ChangeDirectory(CURL("contents")));
    CAutoPointer<CFile> sentProfile = archive.OpenFile(CURL("Profile.rwf"), CFile::kModeRead);
    ASSERT_TRUE(sentProfile && sentProfile->IsOpen());
    CConfig readProfile;
    CString id;
    CMemFile profileCopy(*sentProfile, 1024);
    ASSERT_TRUE(ReadProfileArchive(profileCopy, readProfile, id));
    EXPECT_STREQ("whiteId1", id.GetText());
    sentProfile.Reset();

    EmailTurn::STurn read;
    CString why;
    ASSERT_TRUE(EmailTurn::Read(archive, read, why)) << why.GetText();
    EXPECT_STREQ("Nf3", read.move.GetText());
    EXPECT_TRUE(read.offerDraw);
    EXPECT_FALSE(read.resign);
    EXPECT_STREQ("alice@example.org", read.from.GetText());
    EXPECT_STREQ("whiteId1", read.id.GetText());
    EXPECT_STREQ("Hello\nyour move", read.message.GetText());
    EXPECT_EQ(3, read.plies);
    EXPECT_STREQ("EmailGame", read.game.GetValueOr(".game.type", "").GetText());
    EXPECT_STREQ("Alice", read.game.GetValueOr(".white.name", "").GetText());
}

TEST(EmailTurnFile, AnswerWordsCarryNoMoveAndAnEmptyMessageIsKept)
{
    for (const char* word : {"You Start", "Accept draw", ""}) {
        EmailTurn::STurn turn = MakeTurn({"e4", "e5"}, word);
        turn.message = "";
        CMemFile file;
        WriteTurn(turn, file);
        EmailTurn::STurn read;
        CString why;
        ASSERT_TRUE(ReadBack(file, read, why)) << word << ": " << why.GetText();
        EXPECT_STREQ(word, read.move.GetText());
        EXPECT_TRUE(read.message.IsEmpty());
        EXPECT_FALSE(EmailTurn::IsPlayedMove(read.move));
    }
    EXPECT_TRUE(EmailTurn::IsAcceptDraw(" accept DRAW "));
    EXPECT_TRUE(EmailTurn::IsPlayedMove("e4"));
}

TEST(EmailTurnFile, TamperedTurnsAreRefusedWithAReason)
{
    // The newest move is not legal in its own game.
    EXPECT_TRUE(Refused(MakeTurn({"e4", "e5", "Ke3"}, "Ke3"), "not legal"));
    // An earlier one is not either.
    EXPECT_TRUE(Refused(MakeTurn({"e4", "e4", "Nf3"}, "Nf3"), "Move 1"));
    // "move" names another move than the game's last one.
    EXPECT_TRUE(Refused(MakeTurn({"e4", "e5", "Nf3"}, "Nc3"), "not the last move"));
    EXPECT_TRUE(Refused(MakeTurn({}, "e4"), "not the last move"));
    // Ids that would name files outside the opponents folder.
    EmailTurn::STurn escaping = MakeTurn({"e4"}, "e4");
    escaping.game.GetValue(".White.ID") = "../../cfg/app";
    EXPECT_TRUE(Refused(escaping, "profile id"));
    escaping = MakeTurn({"e4"}, "e4");
    escaping.id = "../x";
    EXPECT_TRUE(Refused(escaping, "profile id"));
    // Too many moves to be a game.
    std::vector<std::string> shuffle;
    for (int i = 0; i <= EmailTurn::kMaxPlies / 4 + 1; ++i)
        for (const char* m : {"Nf3", "Nf6", "Ng1", "Ng8"})
            shuffle.push_back(m);
    EXPECT_TRUE(Refused(MakeTurn(shuffle, "Ng8"), "more moves"));
}

TEST(EmailTurnFile, DamagedArchivesAndOversizedMembersAreRefused)
{
    CMemFile whole;
    WriteTurn(MakeTurn({"e4", "e5", "Nf3"}, "Nf3"), whole);
    const uint32_t size = whole.GetSize();
    std::string bytes(size, '\0');
    ASSERT_TRUE(whole.Read(&bytes[0], size));
    // Cut at many places: never taken as a turn, never a crash.
    for (uint32_t cut = 0; cut < size; cut += 7) {
        CMemFile truncated;
        Open(truncated);
        if (cut > 0) {
            ASSERT_TRUE(truncated.Write(bytes.data(), cut));
        }
        truncated.Seek(0, CFile::kSeekStart);
        EmailTurn::STurn read;
        CString why;
        EXPECT_FALSE(ReadBack(truncated, read, why)) << "cut at " << cut;
    }
    EmailTurn::STurn talkative = MakeTurn({"e4"}, "e4");
    talkative.message = CString(std::string(EmailTurn::kMaxMessage + 1, 'x').c_str());
    EXPECT_TRUE(Refused(talkative, "too long"));
}

TEST(EmailTurnNames, NumberAndColourFollowTheMovesPlayed)
{
    EXPECT_STREQ("move 1 (white).rwf", EmailTurn::FileName(1, WHITE, false).GetText());
    EXPECT_STREQ("move 1 (black).rwf", EmailTurn::FileName(2, BLACK, false).GetText());
    EXPECT_STREQ("move 2 (white).rwf", EmailTurn::FileName(3, WHITE, false).GetText());
    EXPECT_STREQ("move 0 (black).rwf", EmailTurn::FileName(0, BLACK, true).GetText());
    // The receiver answers with the number of the move it is about to make.
    EXPECT_EQ(1, EmailTurn::AnswerNumber(0));
    EXPECT_EQ(2, EmailTurn::AnswerNumber(1));
    EXPECT_EQ(2, EmailTurn::AnswerNumber(2));
    EXPECT_EQ(3, EmailTurn::AnswerNumber(3));
}

TEST(EmailTurnQuote, LinesAreWrappedAtWords)
{
    EXPECT_STREQ("> \n", EmailTurn::AppendQuoted("", 80).GetText());
    EXPECT_STREQ("> hello there \n> second \n", EmailTurn::AppendQuoted("hello there\nsecond", 80).GetText());
    // Carriage returns stay in their line.
    EXPECT_STREQ("> a\r \n", EmailTurn::AppendQuoted("a\r", 80).GetText());
    // Width 12: "> aaaa bbbb " is 12; one more word goes to the next line.
    EXPECT_STREQ("> aaaa bbbb \n> cccc \n", EmailTurn::AppendQuoted("aaaa bbbb cccc", 12).GetText());
    // A word longer than a line gets one of its own after an empty "> ".
    const std::string longWord(78, 'w');
    const std::string expected = "> \n> " + longWord + " \n";
    EXPECT_STREQ(expected.c_str(), EmailTurn::AppendQuoted(longWord.c_str(), 80).GetText());
    for (int i = 0; i < 40; ++i) {
        CString text = EmailTurn::AppendQuoted("the quick brown fox jumps over the lazy dog again and again and "
                                               "again until the line is long enough to wrap twice over",
                                               20 + i);
        int lineStart = 0;
        for (int c = 0; c < text.GetLength(); ++c) {
            if (text[c] == '\n') {
                EXPECT_LE(c - lineStart, 20 + i);
                lineStart = c + 1;
            }
        }
    }
}

TEST(EmailTurnSides, OwnIdThenUnknownOpponentDecide)
{
    EXPECT_EQ(-1, EmailTurn::DecideLocalSide("abc", "ABC", "abc"));
    EXPECT_EQ(WHITE, EmailTurn::DecideLocalSide("mine", "theirs", "MINE"));
    EXPECT_EQ(BLACK, EmailTurn::DecideLocalSide("theirs", "mine", "mine"));
    // The side nobody has answered for yet is the receiver's.
    EXPECT_EQ(WHITE, EmailTurn::DecideLocalSide(" 0 ", "theirs", "mine"));
    EXPECT_EQ(BLACK, EmailTurn::DecideLocalSide("theirs", "0", "mine"));
    EXPECT_EQ(-1, EmailTurn::DecideLocalSide("one", "two", "mine"));

    EXPECT_EQ(WHITE, EmailTurn::StartColour(0, 2));
    EXPECT_EQ(BLACK, EmailTurn::StartColour(1, 3));
    EXPECT_EQ(WHITE, EmailTurn::StartColour(2, 7));
    EXPECT_EQ(BLACK, EmailTurn::StartColour(2, 8));
}

TEST(EmailTurnTakeBack, OnlyTheUsersOwnUnsentMove)
{
    // White moved e4 after opening nothing: allowed.
    EXPECT_TRUE(EmailTurn::TakeBackRefusal(1, 0, WHITE, BLACK, "e4").IsEmpty());
    // Right after opening a turn: the newest move is the opponent's.
    EXPECT_FALSE(EmailTurn::TakeBackRefusal(2, 2, WHITE, WHITE, "").IsEmpty());
    EXPECT_FALSE(EmailTurn::TakeBackRefusal(2, 2, WHITE, BLACK, "e5").IsEmpty());
    // Nothing before move 1.
    EXPECT_FALSE(EmailTurn::TakeBackRefusal(0, 0, WHITE, WHITE, "e4").IsEmpty());
    // An accepted draw is taken back whole, whoever moved last.
    EXPECT_TRUE(EmailTurn::TakeBackRefusal(3, 2, BLACK, WHITE, "Accept draw").IsEmpty());
    EXPECT_TRUE(EmailTurn::TakeBackRefusal(2, 2, WHITE, WHITE, "accept draw").IsEmpty());
    // Another answer word is no move of the board.
    EXPECT_FALSE(EmailTurn::TakeBackRefusal(3, 2, WHITE, BLACK, "You Start").IsEmpty());
    EXPECT_TRUE(EmailTurn::TakeBackRefusal(3, 2, BLACK, WHITE, "Nf6").IsEmpty());
}

TEST(EmailTurnDraw, AnAcceptanceNeedsTheReceiversOfferWithNothingPlayedSince)
{
    CConfig settings;
    EmailTurn::RecordDrawOffer(settings, BLACK, 6);
    CConfig saved;
    saved.PushAbsolutePrefix("game");
    saved.Merge(settings);
    saved.PopPrefix();
    EXPECT_TRUE(EmailTurn::WasDrawOffered(saved, BLACK, 6));
    EXPECT_FALSE(EmailTurn::WasDrawOffered(saved, WHITE, 6));
    EXPECT_FALSE(EmailTurn::WasDrawOffered(saved, BLACK, 7));
    EXPECT_FALSE(EmailTurn::WasDrawOffered(CConfig(), BLACK, 6));
}

TEST(EmailTurnSender, TheNewestMoveMustBeTheSenders)
{
    // White's 1.e4 is news for Black only.
    EmailTurn::STurn turn = MakeTurn({"e4"}, "e4");
    CString why;
    EmailTurn::STurn read;
    {
        CMemFile file;
        WriteTurn(turn, file);
        ASSERT_TRUE(ReadBack(file, read, why)) << why.GetText();
    }
    EXPECT_EQ(EmailTurn::NewestMover(read), WHITE);
    EXPECT_TRUE(EmailTurn::CheckSender(read, BLACK, why));
    EXPECT_FALSE(EmailTurn::CheckSender(read, WHITE, why));
    EXPECT_NE(std::string(why.GetText()).find("one of yours"), std::string::npos) << why.GetText();
    // A reply of Black's played for White's user would be the same fault.
    read.plies = 2;
    read.move = "e5";
    EXPECT_EQ(EmailTurn::NewestMover(read), BLACK);
    EXPECT_FALSE(EmailTurn::CheckSender(read, BLACK, why));
    // Words carry no move: nobody is moved for.
    for (const char* word : {"Accept draw", "You Start", ""}) {
        read.move = word;
        EXPECT_EQ(EmailTurn::NewestMover(read), -1) << word;
        EXPECT_TRUE(EmailTurn::CheckSender(read, WHITE, why)) << word;
    }
}

TEST(EmailTurnFile, TenThousandMovesAreTooLongNotDamaged)
{
    std::vector<std::string> moves;
    for (int i = 0; i < 10000 / 4; ++i)
        for (const char* m : {"Nf3", "Nf6", "Ng1", "Ng8"})
            moves.push_back(m);
    EXPECT_TRUE(Refused(MakeTurn(moves, "Ng8"), "too long"));
    CMemFile file;
    WriteTurn(MakeTurn(moves, "Ng8"), file);
    EmailTurn::STurn read;
    CString why;
    EXPECT_FALSE(ReadBack(file, read, why));
    EXPECT_EQ(std::string(why.GetText()).find("damaged"), std::string::npos) << why.GetText();
}

// The user's own copy of a game, as the e-mail game keeps it on a real
// user folder, and received turns held against it. The user plays Black
// against whiteId1; the copy was written when 1...e5 left.
class EmailRecordTest : public ::testing::Test {
protected:
    // The turn as it arrives, checked.
    EmailTurn::STurn Received(const std::vector<std::string>& moves, const char* move)
    {
        EmailTurn::STurn turn = MakeTurn(moves, move);
        CString why;
        EXPECT_TRUE(EmailTurn::Check(turn, why)) << why.GetText();
        return turn;
    }
    EmailRecord::EFit Fit(const std::vector<std::string>& moves, const char* move)
    {
        return EmailRecord::Compare(&m_record, Received(moves, move), BLACK, "whiteId1", "");
    }
    EmailRecord::SMatch Matched(const EmailTurn::STurn& turn)
    {
        return EmailRecord::Match(m_services.GetUserDrive(), turn, BLACK, "whiteId1", "");
    }

    CTestServices m_services;
    CConfig m_record = SavedGame({"e4", "e5"});
};

TEST_F(EmailRecordTest, KeptPerGameInTheUsersActiveGames)
{
    Zorlin::CDrive& user = m_services.GetUserDrive();
    EXPECT_EQ(EmailRecord::Path("A1B2C3"), "/active games/email A1B2C3.rwg");
    // No copy for an opponent not known yet, nor under a climbing id.
    for (const char* id : {"0", "", " 0 ", "../../cfg/app", "a b", "..", "C:\\x"})
        EXPECT_TRUE(EmailRecord::Path(id).IsEmpty()) << id;
    EXPECT_FALSE(EmailRecord::Keep(user, "0", m_record));
    EXPECT_FALSE(EmailRecord::Keep(user, "", m_record));
    EXPECT_EQ(EmailRecord::KeyOfFile("email A1B2C3.rwg"), "A1B2C3");
    for (const char* name : {"email 0.rwg", "email .rwg", "email ../x.rwg", "Alice vs Bob.rwg", "email A1.pgn"})
        EXPECT_TRUE(EmailRecord::KeyOfFile(name).IsEmpty()) << name;

    ASSERT_TRUE(EmailRecord::Keep(user, "A1B2C3", m_record));
    EXPECT_TRUE(FileExists(m_services.m_userFolder + "/active games/email A1B2C3.rwg"));
    CConfig found;
    ASSERT_TRUE(EmailRecord::Find(user, "A1B2C3", found));
    EXPECT_EQ(EmailRecord::Compare(&found, Received({"e4", "e5", "Nf3"}, "Nf3"), BLACK, "whiteId1", ""),
              EmailRecord::EFit::kContinues);
    EXPECT_FALSE(EmailRecord::Find(user, "other1", found));

    EmailRecord::Forget(user, "A1B2C3");
    EXPECT_FALSE(FileExists(m_services.m_userFolder + "/active games/email A1B2C3.rwg"));
    EXPECT_FALSE(EmailRecord::Find(user, "A1B2C3", found));
}

TEST_F(EmailRecordTest, EarlierMovesMustBeThoseTheUserKnows)
{
    // The answer to our 1...e5: one new move of the sender's.
    EXPECT_EQ(Fit({"e4", "e5", "Nf3"}, "Nf3"), EmailRecord::EFit::kContinues);
    // An acceptance or a resignation adds none.
    EXPECT_EQ(Fit({"e4", "e5"}, "Accept draw"), EmailRecord::EFit::kContinues);
    // Our 1...e5 rewritten as 1...c5.
    EXPECT_EQ(Fit({"e4", "c5", "Nf3"}, "Nf3"), EmailRecord::EFit::kRewritten);
    EXPECT_EQ(Fit({"d4", "e5", "Nf3"}, "Nf3"), EmailRecord::EFit::kRewritten);
    // Moves of ours that we never sent.
    EXPECT_EQ(Fit({"e4", "e5", "Nf3", "Nc6", "Bb5"}, "Bb5"), EmailRecord::EFit::kAddsMoves);
    // A move added in our colour without naming it.
    m_record = SavedGame({"e4"});
    EXPECT_EQ(Fit({"e4", "e5"}, ""), EmailRecord::EFit::kOwnMove);
    m_record = SavedGame({"e4", "e5"});
    // The turn we answered already, opened again.
    EXPECT_EQ(Fit({"e4"}, "e4"), EmailRecord::EFit::kStale);
    // Same moves, other spelling of a move: the same game.
    m_record = SavedGame({"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Bxc6", "dxc6"});
    EXPECT_EQ(Fit({"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Bxc6", "dxc6", "O-O"}, "O-O"),
              EmailRecord::EFit::kContinues);

    EXPECT_NE(std::string(EmailRecord::Refusal(EmailRecord::EFit::kRewritten, "Alice").GetText())
                  .find("differ from the game you are playing with Alice"),
              std::string::npos);
    for (EmailRecord::EFit fit : {EmailRecord::EFit::kStale, EmailRecord::EFit::kOlder, EmailRecord::EFit::kAddsMoves,
                                  EmailRecord::EFit::kOwnMove, EmailRecord::EFit::kOtherSender})
        EXPECT_FALSE(EmailRecord::Refusal(fit, "").IsEmpty());
    for (EmailRecord::EFit fit : {EmailRecord::EFit::kNoRecord, EmailRecord::EFit::kContinues})
        EXPECT_TRUE(EmailRecord::Refusal(fit, "Alice").IsEmpty());
}

TEST_F(EmailRecordTest, WhatWasReceivedAndSentBoundsATurnNotTheUnsentMove)
{
    // Received 1.e4, 1...e5 dragged but not sent.
    m_record = SavedGame({"e4", "e5"});
    EmailRecord::MarkKnown(m_record, BLACK, 1, 0);
    EXPECT_EQ(EmailRecord::ReceivedPlies(m_record), 1);
    EXPECT_EQ(EmailRecord::SentPlies(m_record), 0);
    // A turn claiming 1.e4 c5 2.Nf3 plays 1...c5 for the user.
    EXPECT_EQ(Fit({"e4", "c5", "Nf3"}, "Nf3"), EmailRecord::EFit::kAddsMoves);
    EXPECT_EQ(Fit({"e4", "c5"}, "c5"), EmailRecord::EFit::kOwnMove);
    // The same turn opened again is taken; an older one is not.
    EXPECT_EQ(Fit({"e4"}, "e4"), EmailRecord::EFit::kContinues);
    EXPECT_EQ(Fit({}, "You Start"), EmailRecord::EFit::kOlder);
    // No copy: a game from its start, with at most the sender's first move.
    const EmailTurn::STurn fresh = Received({"e4"}, "e4");
    EXPECT_EQ(EmailRecord::Compare(nullptr, fresh, BLACK, "whiteId1", ""), EmailRecord::EFit::kNoRecord);
    EXPECT_EQ(EmailRecord::Compare(nullptr, fresh, WHITE, "whiteId1", ""), EmailRecord::EFit::kOwnMove);
    EXPECT_EQ(EmailRecord::Compare(nullptr, Received({"f3", "e5", "g4", "Qh4#"}, "Qh4#"), WHITE, "whiteId1", ""),
              EmailRecord::EFit::kAddsMoves);
    // A copy of a game with somebody else, or with the sides swapped.
    m_record = SavedGame({"e4", "e5"}, "other1", "0");
    EXPECT_EQ(Fit({"e4", "e5", "Nf3"}, "Nf3"), EmailRecord::EFit::kOtherSender);
    EmailRecord::MarkKnown(m_record, WHITE, 0, 2);
    m_record.GetValue(".White.ID") = "whiteId1";
    EXPECT_EQ(Fit({"e4", "e5", "Nf3"}, "Nf3"), EmailRecord::EFit::kOtherSender);
}

TEST_F(EmailRecordTest, AnotherGameIsToldByItsName)
{
    Zorlin::CDrive& user = m_services.GetUserDrive();
    m_record.GetValue(".game.gameid") = "A1B2C3";
    ASSERT_TRUE(EmailRecord::Keep(user, "A1B2C3", m_record));
    EmailTurn::STurn turn = Received({"d4", "d5"}, "d5");
    // Without a name of its own the turn is held against our game.
    EmailRecord::SMatch match = Matched(turn);
    EXPECT_EQ(match.fit, EmailRecord::EFit::kRewritten);
    EXPECT_EQ(match.key, "A1B2C3");
    // A name of another game: no copy of it, so only a game from its start.
    turn.game.GetValue(".game.gameid") = "FFEE01";
    EXPECT_EQ(Matched(turn).fit, EmailRecord::EFit::kAddsMoves);
    EmailTurn::STurn first = Received({"d4"}, "d4");
    first.game.GetValue(".game.gameid") = "FFEE01";
    match = Matched(first);
    EXPECT_EQ(match.fit, EmailRecord::EFit::kNoRecord);
    EXPECT_TRUE(match.key.IsEmpty());
    // Our game's name: judged against our game only.
    EmailTurn::STurn ours = Received({"e4", "e5", "Nf3"}, "Nf3");
    ours.game.GetValue(".game.gameid") = "A1B2C3";
    EXPECT_EQ(Matched(ours).fit, EmailRecord::EFit::kContinues);
    // A name unfit to use is no name.
    turn.game.GetValue(".game.gameid") = "../x";
    EXPECT_TRUE(EmailRecord::GameId(turn.game).IsEmpty());
    EXPECT_EQ(Matched(turn).fit, EmailRecord::EFit::kRewritten);
    const CString fresh = EmailRecord::NewGameId();
    EXPECT_TRUE(IsProfileId(fresh)) << fresh.GetText();
    EXPECT_NE(fresh, EmailRecord::NewGameId());
}

TEST_F(EmailRecordTest, ACopyKeptUnderTheOpponentsIdStillServesItsGame)
{
    // Written before copies were named by game: under the sender's id.
    Zorlin::CDrive& user = m_services.GetUserDrive();
    m_record.GetValue(".game.gameid") = "A1B2C3";
    ASSERT_TRUE(EmailRecord::Keep(user, "whiteId1", m_record));
    EmailTurn::STurn turn = Received({"e4", "e5", "Nf3"}, "Nf3");
    turn.game.GetValue(".game.gameid") = "A1B2C3";
    EmailRecord::SMatch match = Matched(turn);
    EXPECT_EQ(match.fit, EmailRecord::EFit::kContinues);
    EXPECT_EQ(match.key, "whiteId1");
    // A copy of a game the user started, which nobody has answered yet,
    // serves the first answer of a peer that names no game.
    EmailRecord::Forget(user, "whiteId1");
    CConfig started = SavedGame({"e4"}, "ownId1", "0");
    started.GetValue(".game.gameid") = "D00D";
    EmailRecord::MarkKnown(started, WHITE, 0, 1);
    ASSERT_TRUE(EmailRecord::Keep(user, "D00D", started));
    EmailTurn::STurn answer = MakeTurn({"e4", "e5"}, "e5");
    answer.id = "blackId1";
    answer.game = SavedGame({"e4", "e5"}, "0", "blackId1");
    CString why;
    ASSERT_TRUE(EmailTurn::Check(answer, why)) << why.GetText();
    match = EmailRecord::Match(user, answer, WHITE, "blackId1", "ownId1");
    EXPECT_EQ(match.fit, EmailRecord::EFit::kContinues);
    EXPECT_EQ(match.key, "D00D");
    // Once answered, it is that player's game.
    EmailRecord::MarkKnown(started, WHITE, 2, 1);
    ASSERT_TRUE(EmailRecord::Keep(user, "D00D", started));
    EXPECT_EQ(EmailRecord::Match(user, answer, WHITE, "blackId1", "ownId1").fit, EmailRecord::EFit::kAddsMoves);
}

TEST_F(EmailRecordTest, AnAcceptanceCountsOnlyAgainstTheReceiversOwnOffer)
{
    // The sender's own file claims an offer of ours: not our record.
    EmailTurn::STurn forged = Received({"e4", "e5"}, "Accept draw");
    forged.game.GetValue(".game.drawoffer.colour") = "black";
    forged.game.GetValue(".game.drawoffer.ply") = "2";
    EXPECT_FALSE(EmailTurn::WasDrawOffered(m_record, BLACK, forged.plies));
    // Our record holds the offer sent with 1...e5.
    m_record.GetValue(".game.drawoffer.colour") = "black";
    m_record.GetValue(".game.drawoffer.ply") = "2";
    EXPECT_TRUE(EmailTurn::WasDrawOffered(m_record, BLACK, forged.plies));
    EXPECT_EQ(EmailRecord::Compare(&m_record, forged, BLACK, "whiteId1", ""), EmailRecord::EFit::kContinues);
}

TEST_F(EmailRecordTest, ActiveGamesShowACopyByOpponentAndMove)
{
    Zorlin::CDrive& user = m_services.GetUserDrive();
    m_record = SavedGame({"e4", "e5", "Nf3"}, "whiteId1", "ownId1");
    EmailRecord::MarkKnown(m_record, BLACK, 3, 2);
    ASSERT_TRUE(EmailRecord::Keep(user, "A1B2C3", m_record));
    EXPECT_EQ(EmailRecord::Caption(user, "email A1B2C3.rwg", "ownId1"), "Alice, move 2");
    // A name from outside is cut; an unknown one is said so.
    m_record.GetValue(".White.name") = CString(std::string(5000, 'M').c_str());
    ASSERT_TRUE(EmailRecord::Keep(user, "A1B2C3", m_record));
    EXPECT_EQ(EmailRecord::Caption(user, "email A1B2C3.rwg", "ownId1").GetLength(), 40 + 8);
    m_record.GetValue(".White.name") = "";
    ASSERT_TRUE(EmailRecord::Keep(user, "A1B2C3", m_record));
    EXPECT_EQ(EmailRecord::Caption(user, "email A1B2C3.rwg", "ownId1"), "Email game, move 2");
    // Other saved games keep their file names.
    EXPECT_TRUE(EmailRecord::Caption(user, "Alice vs Bob.rwg", "ownId1").IsEmpty());
    EXPECT_TRUE(EmailRecord::Caption(user, "email 0.rwg", "ownId1").IsEmpty());
}
