// The words that tell how a game ended, from real positions played out on
// the rules' board.
#include <gtest/gtest.h>

#include <initializer_list>

#include "chess/ChessBoard.h"
#include "client/core/Game.h"
#include "client/core/GameEndText.h"

using Zorlin::CString;

namespace {

CChessBoard Played(std::initializer_list<const char*> sans)
{
    CChessBoard board;
    board.SetupStartPosition();
    for (const char* san : sans) {
        CMove move;
        EXPECT_TRUE(board.ParseSan(CString(san), move, true)) << san;
        EXPECT_TRUE(board.MakeMove(move, 0.0)) << san;
    }
    return board;
}

std::string Text(const CChessBoard& board, int result, const char* note = "")
{
    return GameEndText(board, result, note).GetText();
}

} // namespace

TEST(GameEndText, WinsSayWhoWonAndHow)
{
    CChessBoard fools = Played({"f3", "e5", "g4", "Qh4"});
    EXPECT_EQ(Text(fools, RESULT_BLACK_WINS), "Checkmate \xE2\x80\x94 Black wins");
    CChessBoard scholars = Played({"e4", "e5", "Bc4", "Nc6", "Qh5", "Nf6", "Qxf7"});
    EXPECT_EQ(Text(scholars, RESULT_WHITE_WINS), "Checkmate \xE2\x80\x94 White wins");

    CChessBoard open = Played({"e4", "e5"});
    EXPECT_EQ(Text(open, RESULT_BLACK_WINS, kEndNoteOnTime), "Black wins on time");
    EXPECT_EQ(Text(open, RESULT_WHITE_WINS, kEndNoteOnTime), "White wins on time");
    // The loser is named when someone resigns.
    EXPECT_EQ(Text(open, RESULT_BLACK_WINS, kEndNoteResigned), "White resigns");
    EXPECT_EQ(Text(open, RESULT_WHITE_WINS, kEndNoteResigned), "Black resigns");
    // A flag that falls on a mated board is still a loss on time.
    EXPECT_EQ(Text(fools, RESULT_WHITE_WINS, kEndNoteOnTime), "White wins on time");
    // A win without mate and without a note (a saved result, an engine's resignation).
    EXPECT_EQ(Text(open, RESULT_WHITE_WINS), "White wins");
    EXPECT_EQ(Text(open, RESULT_BLACK_WINS, "by forfeit"), "Black wins by forfeit");
}

TEST(GameEndText, DrawsSayWhichRuleOrThatTheyWereAgreed)
{
    CChessBoard stalemate = Played({"e3", "a5", "Qh5", "Ra6", "Qxa5", "h5", "h4", "Rah6", "Qxc7", "f6", "Qxd7+",
                                    "Kf7", "Qxb7", "Qd3", "Qxb8", "Qh7", "Qxc8", "Kg6", "Qe6"});
    EXPECT_EQ(Text(stalemate, RESULT_DRAW), "Draw by stalemate");
    CChessBoard repeated = Played({"Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6"});
    EXPECT_EQ(Text(repeated, RESULT_DRAW), "Draw by threefold repetition");
    CChessBoard open = Played({"e4"});
    EXPECT_EQ(Text(open, RESULT_DRAW, kEndNoteAgreed), "Draw agreed");
    EXPECT_EQ(Text(repeated, RESULT_DRAW, kEndNoteAgreed), "Draw agreed") << "agreed before the rule applied";
    EXPECT_EQ(Text(open, RESULT_DRAW), "Draw");
}

TEST(GameEndText, AnOpenGameSaysNothingAndAGameEndedWithoutResultSaysSo)
{
    CChessBoard open = Played({"e4"});
    EXPECT_EQ(Text(open, RESULT_NONE), "");
    EXPECT_EQ(Text(open, RESULT_NONE, "Game ended"), "Game ended");
    EXPECT_EQ(Text(CChessBoard(), RESULT_NONE), "");

    EXPECT_STREQ(GameResultField("0-1", "Black wins on time").GetText(), "0-1, Black wins on time");
    EXPECT_STREQ(GameResultField("*", "Game ended").GetText(), "Game ended");
    EXPECT_STREQ(GameResultField("1-0", "").GetText(), "1-0");
    EXPECT_STREQ(GameResultField("", "").GetText(), "");
}
