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
    // Without a name of its own it is held against ours, and refused.
    other.GetValue(".game.gameid") = "";
    EXPECT_FALSE(Judged({}, "d4", why, &other));

    // Both sides under one id: the user is asked, and may cancel.
    CConfig same = Game({"e4"}, kBob, kBob);
    m_prompt.QueueChoice(-1);
    EXPECT_FALSE(Judged({}, "e4", why, &same));
    EXPECT_TRUE(why.IsEmpty()) << why.GetText();
    EXPECT_EQ(m_prompt.CountText("What colour do you wish to play?"), 1);
    EXPECT_EQ(m_prompt.GetUnexpectedCount(), 0);
}
