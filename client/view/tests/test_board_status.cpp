// The board canvas's pure parts: the status bar's texts and the choice of
// the legal move a drop or a reported move stands for.

#include <gtest/gtest.h>

#include <initializer_list>

#include "chess/ChessBoard.h"
#include "client/core/Game.h"
#include "client/view/BoardStatus.h"
#include "client/view/MoveChoice.h"

using Zorlin::CString;

namespace {

// Plays SAN moves from the start; false at the first that is not legal.
bool Play(CChessBoard& board, std::initializer_list<const char*> moves)
{
    for (const char* san : moves) {
        CMove move;
        if (!board.ParseSan(CString(san), move, true))
            return false;
        if (!board.GetPieceAt(move.m_from).MakeMove(move, 0.0))
            return false;
    }
    return true;
}

CMove Squares(const char* from, const char* to, PieceType promotion = PIECE_NONE, MoveKind kind = MOVE_NORMAL)
{
    CMove move;
    ParseSquare(CString(from), move.m_from);
    ParseSquare(CString(to), move.m_to);
    move.m_promotion = promotion;
    move.m_kind = kind;
    return move;
}

SHistoryEntry& Last(CChessBoard& board)
{
    return *board.GetHistory().GetAt(board.GetHistory().GetCount() - 1);
}

} // namespace

TEST(BoardStatusText, NamesTheSideToMoveWhileTheGameGoesOn)
{
    CChessBoard board;
    board.SetupStartPosition();
    EXPECT_EQ(BoardStateText(board, RESULT_NONE), " White to move");
    EXPECT_EQ(BoardLastMoveText(board), "");
    ASSERT_TRUE(Play(board, {"e4"}));
    EXPECT_EQ(BoardStateText(board, RESULT_NONE), " Black to move");
    EXPECT_EQ(BoardLastMoveText(board), " e4");
}

TEST(BoardStatusText, MateNamesTheSideThatGaveIt)
{
    CChessBoard board;
    board.SetupStartPosition();
    ASSERT_TRUE(Play(board, {"f3", "e5", "g4", "Qh4"}));
    ASSERT_EQ(board.GetGameState(WHITE), STATE_CHECKMATE);
    AppendCheckMark(Last(board), '#');
    EXPECT_EQ(BoardStateText(board, RESULT_BLACK_WINS), " Black Mate");
    EXPECT_EQ(BoardLastMoveText(board), " Qh4#");

    CChessBoard scholars;
    scholars.SetupStartPosition();
    ASSERT_TRUE(Play(scholars, {"e4", "e5", "Bc4", "Nc6", "Qh5", "Nf6", "Qxf7"}));
    AppendCheckMark(Last(scholars), '#');
    EXPECT_EQ(BoardStateText(scholars, RESULT_WHITE_WINS), " White Mate");
}

TEST(BoardStatusText, OnlyAStalemateIsCalledOne)
{
    // The shortest known stalemate: Black to move, not in check, no move.
    CChessBoard board;
    board.SetupStartPosition();
    ASSERT_TRUE(Play(board, {"e3", "a5", "Qh5", "Ra6", "Qxa5", "h5", "h4", "Rah6", "Qxc7", "f6", "Qxd7", "Kf7",
                             "Qxb7", "Qd3", "Qxb8", "Qh7", "Qxc8", "Kg6", "Qe6"}));
    ASSERT_EQ(board.GetGameState(BLACK), STATE_DRAW);
    EXPECT_EQ(BoardStateText(board, RESULT_DRAW), " Stalemate");

    // A draw agreed in a position with moves left is no stalemate.
    CChessBoard agreed;
    agreed.SetupStartPosition();
    ASSERT_TRUE(Play(agreed, {"e4", "e5"}));
    EXPECT_EQ(BoardStateText(agreed, RESULT_DRAW), " Draw");
}

TEST(BoardStatusText, AWinWithoutMateIsNotTheSideToMove)
{
    // Resignation or loss on time: the result, not whose turn it would be.
    CChessBoard board;
    board.SetupStartPosition();
    ASSERT_TRUE(Play(board, {"d4"}));
    EXPECT_EQ(BoardStateText(board, RESULT_WHITE_WINS), " White wins");
    EXPECT_EQ(BoardStateText(board, RESULT_BLACK_WINS), " Black wins");
    // The first field says "White wins on time": the second names the winner only.
    EXPECT_EQ(BoardStateText(board, RESULT_WHITE_WINS, "on time"), " White wins");
    EXPECT_EQ(BoardStateText(board, RESULT_BLACK_WINS, "on time"), " Black wins");
    EXPECT_EQ(BoardStateText(board, RESULT_BLACK_WINS, "resigns"), " Black wins");
    EXPECT_EQ(BoardStateText(board, RESULT_NONE, "Game ended"), " Game ended");
    EXPECT_EQ(BoardStateText(board, RESULT_DRAW, "on time"), " Draw");
}

TEST(BoardStatusText, CheckMarkNeverOverrunsTheShortText)
{
    SHistoryEntry entry;
    snprintf(entry.m_shortText, sizeof entry.m_shortText, "Qxd7");
    AppendCheckMark(entry, '+');
    EXPECT_STREQ(entry.m_shortText, "Qxd7+");
    snprintf(entry.m_shortText, sizeof entry.m_shortText, "abcdefghijk");
    AppendCheckMark(entry, '#');
    EXPECT_STREQ(entry.m_shortText, "abcdefghijk");
    snprintf(entry.m_shortText, sizeof entry.m_shortText, "abcdefghij");
    AppendCheckMark(entry, '#');
    EXPECT_STREQ(entry.m_shortText, "abcdefghij#");
}

TEST(MoveChoice, TheDropSquareChoosesAmongThePiecesLegalMoves)
{
    CChessBoard board;
    board.SetupStartPosition();
    CMove move;
    const CPiece& knight = board.GetPieceAt(SSquare(6, 0));
    EXPECT_TRUE(FindDropMove(board, knight, SSquare(5, 2), move));
    EXPECT_EQ(move.m_to, SSquare(5, 2));
    EXPECT_FALSE(FindDropMove(board, knight, SSquare(6, 2), move));
    // A piece of the side not to move has nothing to drop on.
    EXPECT_FALSE(FindDropMove(board, board.GetPieceAt(SSquare(6, 7)), SSquare(5, 5), move));
}

TEST(MoveChoice, OnlyLegalMovesPassAndTheRulesFillInTheKind)
{
    CChessBoard board;
    board.SetupStartPosition();
    CMove out;
    EXPECT_TRUE(MatchLegalMove(board, Squares("e2", "e4", PIECE_NONE, MOVE_CAPTURE), out));
    EXPECT_EQ(out.m_kind, MOVE_NORMAL);
    EXPECT_FALSE(MatchLegalMove(board, Squares("e2", "e5"), out));
    EXPECT_FALSE(MatchLegalMove(board, Squares("e7", "e5"), out)) << "not Black's turn";
    EXPECT_FALSE(MatchLegalMove(board, Squares("e4", "e5"), out)) << "empty square";
    CMove offBoard = Squares("e2", "e4");
    offBoard.m_from = SSquare(4, 9);
    EXPECT_FALSE(MatchLegalMove(board, offBoard, out));
    EXPECT_FALSE(MatchLegalMove(board, Squares("e2", "e4", PIECE_QUEEN), out)) << "a stray promotion piece";

    ASSERT_TRUE(Play(board, {"e4", "a6", "e5", "d5"}));
    ASSERT_TRUE(MatchLegalMove(board, Squares("e5", "d6"), out));
    EXPECT_EQ(out.m_kind, MOVE_EN_PASSANT);
    EXPECT_EQ(out.m_captured, SSquare(3, 4));

    CChessBoard castle;
    castle.SetupStartPosition();
    ASSERT_TRUE(Play(castle, {"e4", "e5", "Nf3", "Nc6", "Bc4", "Bc5"}));
    ASSERT_TRUE(MatchLegalMove(castle, Squares("e1", "g1"), out));
    EXPECT_EQ(out.m_kind, MOVE_CASTLE_KINGSIDE);
    EXPECT_EQ(out.m_rookFrom, SSquare(7, 0));
    EXPECT_EQ(out.m_rookTo, SSquare(5, 0));
}

TEST(MoveChoice, APromotionNeedsItsPiece)
{
    CChessBoard board;
    board.Clear();
    ASSERT_TRUE(board.AddPiece(WHITE, PIECE_KING, 7, 0, false));
    ASSERT_TRUE(board.AddPiece(BLACK, PIECE_KING, 7, 7, false));
    ASSERT_TRUE(board.AddPiece(WHITE, PIECE_PAWN, 0, 6, false));
    board.SetSideToMove(WHITE);
    CMove out;
    EXPECT_TRUE(IsPromotionMove(board, Squares("a7", "a8")));
    EXPECT_FALSE(IsPromotionMove(board, Squares("h1", "g1")));
    EXPECT_FALSE(MatchLegalMove(board, Squares("a7", "a8"), out)) << "no piece named";
    EXPECT_FALSE(MatchLegalMove(board, Squares("a7", "a8", PIECE_KING), out));
    EXPECT_FALSE(MatchLegalMove(board, Squares("a7", "a8", PIECE_PAWN), out));
    ASSERT_TRUE(MatchLegalMove(board, Squares("a7", "a8", PIECE_KNIGHT), out));
    EXPECT_EQ(out.m_promotion, PIECE_KNIGHT);
    EXPECT_FALSE(MatchLegalMove(board, Squares("h1", "g1", PIECE_QUEEN), out));
    EXPECT_TRUE(MatchLegalMove(board, Squares("h1", "g1"), out));
}
