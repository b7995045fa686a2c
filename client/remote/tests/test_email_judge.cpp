// A received e-mail turn judged by a real e-mail game against the user's
// own record of the game with its sender, on a real user folder, with the
// colour question answered through the prompt seam.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/core/Prompt.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/remote/EmailGame.h"
#include "client/remote/EmailRecord.h"
#include "client/remote/EmailTurn.h"
#include "client/remote/tests/support/RemoteFixture.h"
#include "foundation/Config.h"

using namespace RemoteTest;
using Zorlin::CConfig;
using Zorlin::CString;

namespace {

const char* const kAlice = "A11ce";
const char* const kBob = "B0B0B0B0";

// Bob's game as his client saves it: Alice White, Bob Black.
CConfig Game(const std::vector<std::string>& moves, const char* white = kAlice, const char* black = kBob)
{
    CConfig game;
    game.GetValue(".game.type") = "EmailGame";
    game.GetValue(".White.ID") = white;
    game.GetValue(".White.name") = "Alice";
    game.GetValue(".Black.ID") = black;
    game.GetValue(".Black.name") = "Bob";
    game.PushAbsolutePrefix("Moves");
    for (size_t i = 0; i < moves.size(); ++i) {
        game.PushPrefix(int(i));
        game.GetValue("Move") = moves[i].c_str();
        game.PopPrefix();
    }
    game.PopPrefix();
    return game;
}

class EmailGameJudge : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        m_services.reset(new CTestServices());
        m_services->m_userSettings.GetValue(".profile.id") = kAlice;
        m_prompt.Install();
        // Alice answered Bob's 1...e5 with 2.Nf3.
        ASSERT_TRUE(EmailRecord::Keep(m_services->GetUserDrive(), kBob, Game({"e4", "e5", "Nf3"})));
    }
    void TearDown() override { m_services.reset(); }

    // The turn as read and checked; false with the reason when refused.
    bool Judged(const std::vector<std::string>& moves, const char* move, CString& why,
                const CConfig* game = nullptr, int* colour = nullptr)
    {
        EmailTurn::STurn turn;
        turn.move = move;
        turn.id = kBob;
        turn.game = game ? *game : Game(moves);
        if (!EmailTurn::Check(turn, why)) {
            ADD_FAILURE() << why.GetText();
            return false;
        }
        CEmailGame* emailGame = new CEmailGame();
        const bool taken = emailGame->Judge(turn, why);
        if (colour)
            *colour = emailGame->GetLocalColour();
        delete emailGame;
        return taken;
    }

    std::unique_ptr<CTestServices> m_services;
    CScriptedPrompt m_prompt;
};

bool Says(const CString& why, const char* words)
{
    return std::string(why.GetText()).find(words) != std::string::npos;
}

std::string CopyText(CTestServices& services, const char* key)
{
    CConfig copy;
    if (!EmailRecord::Find(services.GetUserDrive(), key, copy))
        return std::string();
    return copy.ToText(false).GetText();
}

} // namespace

TEST_F(EmailGameJudge, BobsAnswerIsTakenHostileTurnsAreRefusedWithTheirReason)
{
    CString why;
    int colour = -1;
    EXPECT_TRUE(Judged({"e4", "e5", "Nf3", "Nc6"}, "Nc6", why, nullptr, &colour)) << why.GetText();
    EXPECT_EQ(colour, WHITE);

    // A move in Alice's colour, played for her.
    EXPECT_FALSE(Judged({"e4", "e5", "Nf3", "Nc6", "Bb5"}, "Bb5", why));
    EXPECT_TRUE(Says(why, "one of yours")) << why.GetText();
    // 1...e5 rewritten as 1...c5.
    EXPECT_FALSE(Judged({"e4", "c5", "Nf3", "d6"}, "d6", why));
    EXPECT_TRUE(Says(why, "differ from the game you are playing with Bob")) << why.GetText();
    // Bob's older turn, already answered.
    EXPECT_FALSE(Judged({"e4", "e5"}, "e5", why));
    EXPECT_TRUE(Says(why, "already been sent")) << why.GetText();
    // An acceptance of an offer that Alice's record does not hold, whatever
    // Bob's file says about it.
    CConfig forged = Game({"e4", "e5", "Nf3"});
    forged.GetValue(".game.drawoffer.colour") = "white";
    forged.GetValue(".game.drawoffer.ply") = "3";
    EXPECT_FALSE(Judged({}, "Accept draw", why, &forged));
    EXPECT_TRUE(Says(why, "did not offer")) << why.GetText();
    EXPECT_EQ(m_prompt.GetCount(), 0) << "refused before any question";

    // Her own offer with 2.Nf3 is accepted.
    CConfig saved = Game({"e4", "e5", "Nf3"});
    saved.GetValue(".game.drawoffer.colour") = "white";
    saved.GetValue(".game.drawoffer.ply") = "3";
    ASSERT_TRUE(EmailRecord::Keep(m_services->GetUserDrive(), kBob, saved));
    EXPECT_TRUE(Judged({}, "Accept draw", why, &forged)) << why.GetText();
}

TEST_F(EmailGameJudge, AnotherGameWithBobOpensAndTheColourQuestionCanBeCancelled)
{
    CConfig ours = Game({"e4", "e5", "Nf3"});
    ours.GetValue(".game.gameid") = "G1";
    ASSERT_TRUE(EmailRecord::Keep(m_services->GetUserDrive(), kBob, ours));
    // Bob opens a new game with White.
    CConfig other = Game({"d4"}, kBob, kAlice);
    other.GetValue(".game.gameid") = "G2";
    CString why;
    int colour = -1;
    EXPECT_TRUE(Judged({}, "d4", why, &other, &colour)) << why.GetText();
    EXPECT_EQ(colour, BLACK);
    // Without a name of its own (a peer that names no game), a game from
    // its start still opens beside ours: Bob plays White in it.
    other.GetValue(".game.gameid") = "";
    EXPECT_TRUE(Judged({}, "d4", why, &other, &colour)) << why.GetText();
    EXPECT_EQ(colour, BLACK);
    // A later move of a game with Bob that Alice does not keep is not.
    CConfig longer = Game({"d4", "d5", "c4"}, kBob, kAlice);
    EXPECT_FALSE(Judged({}, "c4", why, &longer));
    EXPECT_TRUE(Says(why, "neither received nor sent")) << why.GetText();

    // Both sides under one id: the user is asked, and may cancel.
    CConfig same = Game({"e4"}, kBob, kBob);
    m_prompt.QueueChoice(-1);
    EXPECT_FALSE(Judged({}, "e4", why, &same));
    EXPECT_TRUE(why.IsEmpty()) << why.GetText();
    EXPECT_EQ(m_prompt.CountText("What colour do you wish to play?"), 1);
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}

TEST_F(EmailGameJudge, ATurnAddsOnlyTheSendersOneMoveToWhatWasReceivedAndSent)
{
    // Bob opened a new game; Alice received 1.e4 and dragged 1...e5 without
    // sending it.
    CConfig copy = Game({"e4", "e5"}, kBob, kAlice);
    copy.GetValue(".game.gameid") = "G7";
    EmailRecord::MarkKnown(copy, BLACK, 1, 0);
    ASSERT_TRUE(EmailRecord::Keep(m_services->GetUserDrive(), "G7", copy));
    const std::string before = CopyText(*m_services, "G7");
    CString why;
    int colour = -1;
    // 1...c5 played for her, with 2.Nf3.
    CConfig forged = Game({"e4", "c5", "Nf3"}, kBob, kAlice);
    forged.GetValue(".game.gameid") = "G7";
    EXPECT_FALSE(Judged({}, "Nf3", why, &forged));
    EXPECT_TRUE(Says(why, "neither received nor sent")) << why.GetText();
    // 1...c5 alone, named or not.
    CConfig own = Game({"e4", "c5"}, kBob, kAlice);
    own.GetValue(".game.gameid") = "G7";
    EXPECT_FALSE(Judged({}, "c5", why, &own));
    EXPECT_TRUE(Says(why, "one of yours")) << why.GetText();
    EXPECT_FALSE(Judged({}, "", why, &own));
    EXPECT_TRUE(Says(why, "one of yours")) << why.GetText();
    // Without the game's name, against the same copy.
    forged.GetValue(".game.gameid") = "";
    EXPECT_FALSE(Judged({}, "Nf3", why, &forged));
    EXPECT_TRUE(Says(why, "neither received nor sent")) << why.GetText();
    EXPECT_EQ(CopyText(*m_services, "G7"), before) << "a refusal changes no copy";
    // Bob's 1.e4 opened again is taken, on Black's side.
    CConfig again = Game({"e4"}, kBob, kAlice);
    again.GetValue(".game.gameid") = "G7";
    EXPECT_TRUE(Judged({}, "e4", why, &again, &colour)) << why.GetText();
    EXPECT_EQ(colour, BLACK);
    EXPECT_EQ(m_prompt.GetCount(), 0);
}

TEST_F(EmailGameJudge, AnUnknownSenderIdNamesNoCopyAndPassesNoCheck)
{
    CString why;
    // The game with Bob rewritten, its sender's side "0", empty or another
    // id than the turn's.
    for (const char* sender : {"0", "", " 0 ", "EVIL99"}) {
        CConfig rewritten = Game({"c4", "c5", "Nc3", "Nc6"}, kAlice, sender);
        EXPECT_FALSE(Judged({}, "Nc6", why, &rewritten)) << sender;
        EXPECT_TRUE(Says(why, "not the player of the side")) << sender << ": " << why.GetText();
        // An acceptance of Alice's offer from nobody.
        CConfig accepted = Game({"e4", "e5", "Nf3"}, kAlice, sender);
        EXPECT_FALSE(Judged({}, "Accept draw", why, &accepted)) << sender;
    }
    EXPECT_EQ(m_prompt.GetCount(), 0);
}

TEST_F(EmailGameJudge, AnotherGamesTurnNeverStandsInForThisGamesCopy)
{
    // The real game with Bob is kept under its name.
    CConfig ours = Game({"e4", "e5", "Nf3"});
    ours.GetValue(".game.gameid") = "B0BGAME";
    EmailRecord::MarkKnown(ours, WHITE, 2, 3);
    ASSERT_TRUE(EmailRecord::Keep(m_services->GetUserDrive(), "B0BGAME", ours));
    EmailRecord::Forget(m_services->GetUserDrive(), kBob);
    const std::string before = CopyText(*m_services, "B0BGAME");
    CString why;
    EmailTurn::STurn turn;
    // EVIL99, as Black named "Bob", with a fresh game id: a resignation
    // after the moves of Bob's game, and Fool's mate.
    for (const std::vector<std::string>& moves :
         {std::vector<std::string>{"e4", "e5", "Nf3", "Nc6"}, std::vector<std::string>{"f3", "e5", "g4", "Qh4#"}}) {
        turn = EmailTurn::STurn();
        turn.move = moves.back().c_str();
        turn.id = "EVIL99";
        turn.resign = moves[0] == "e4";
        turn.game = Game(moves, kAlice, "EVIL99");
        turn.game.GetValue(".game.gameid") = "F00F00";
        ASSERT_TRUE(EmailTurn::Check(turn, why)) << why.GetText();
        CEmailGame* game = new CEmailGame();
        EXPECT_FALSE(game->Judge(turn, why));
        EXPECT_TRUE(Says(why, "neither received nor sent")) << why.GetText();
        delete game;
    }
    // EVIL99 with the real game's name: not Bob.
    turn.game = Game({"e4", "e5", "Nf3", "Nc6"}, kAlice, "EVIL99");
    turn.game.GetValue(".game.gameid") = "B0BGAME";
    turn.move = "Nc6";
    turn.resign = false;
    ASSERT_TRUE(EmailTurn::Check(turn, why)) << why.GetText();
    CEmailGame* game = new CEmailGame();
    EXPECT_FALSE(game->Judge(turn, why));
    EXPECT_TRUE(Says(why, "not sent by your opponent in the game you are playing with Bob")) << why.GetText();
    delete game;
    EXPECT_EQ(CopyText(*m_services, "B0BGAME"), before);
    // Bob's honest answer is taken.
    CConfig honest = Game({"e4", "e5", "Nf3", "Nc6"});
    honest.GetValue(".game.gameid") = "B0BGAME";
    int colour = -1;
    EXPECT_TRUE(Judged({}, "Nc6", why, &honest, &colour)) << why.GetText();
    EXPECT_EQ(colour, WHITE);
    EXPECT_EQ(m_prompt.GetCount(), 0);
}

TEST_F(EmailGameJudge, ADrawOfferedWithTheFirstMoveOfAGameTheUserStartedCanBeAccepted)
{
    // Alice started as White against an opponent not known yet, and sent
    // 1.e4 with a draw offer.
    CConfig started = Game({"e4"}, kAlice, "0");
    started.GetValue(".game.gameid") = "A1START";
    started.GetValue(".game.drawoffer.colour") = "white";
    started.GetValue(".game.drawoffer.ply") = "1";
    EmailRecord::MarkKnown(started, WHITE, 0, 1);
    ASSERT_TRUE(EmailRecord::Keep(m_services->GetUserDrive(), "A1START", started));
    CString why;
    // Bob accepts, naming the game; and a peer that names no game does.
    CConfig accepted = Game({"e4"});
    accepted.GetValue(".game.gameid") = "A1START";
    EXPECT_TRUE(Judged({}, "Accept draw", why, &accepted)) << why.GetText();
    accepted.GetValue(".game.gameid") = "";
    EXPECT_TRUE(Judged({}, "Accept draw", why, &accepted)) << why.GetText();
    // Not once another answer came from someone.
    EmailRecord::MarkKnown(started, WHITE, 2, 1);
    started.GetValue(".Black.ID") = "C1d";
    ASSERT_TRUE(EmailRecord::Keep(m_services->GetUserDrive(), "A1START", started));
    EXPECT_FALSE(Judged({}, "Accept draw", why, &accepted));
}
