// The position and move model: ids, piece records, captures, history,
// clocks, copying and replaying.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "chess/ChessBoard.h"
#include "support/board_builder.h"

namespace {

using BoardBuilder::PlayMoves;

// Grid, piece records and counters agree, square by square and id by id.
void ExpectSameBoard(const CChessBoard& a, const CChessBoard& b)
{
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y)
            ASSERT_EQ(a.GetIdAt(x, y), b.GetIdAt(x, y)) << x << "," << y;
    ASSERT_EQ(a.GetLastId(), b.GetLastId());
    for (int id = 1; id <= a.GetLastId(); ++id) {
        const CPiece& p = a.GetPiece(id);
        const CPiece& q = b.GetPiece(id);
        EXPECT_EQ(p.m_type, q.m_type) << id;
        EXPECT_EQ(p.GetSquare(), q.GetSquare()) << id;
        EXPECT_EQ(p.m_movesMade, q.m_movesMade) << id;
        EXPECT_EQ(p.m_lastMovePly, q.m_lastMovePly) << id;
    }
    EXPECT_EQ(a.GetPly(), b.GetPly());
    EXPECT_EQ(a.GetHalfMoveClock(), b.GetHalfMoveClock());
    EXPECT_EQ(a.GetSideToMove(), b.GetSideToMove());
    EXPECT_EQ(a.GetHistory().GetCount(), b.GetHistory().GetCount());
    EXPECT_EQ(a.GetClock(WHITE), b.GetClock(WHITE));
    EXPECT_EQ(a.GetClock(BLACK), b.GetClock(BLACK));
}

// Every id on the grid is on the board list and the other way round.
void ExpectConsistent(const CChessBoard& board)
{
    int onGrid = 0;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            int id = board.GetIdAt(x, y);
            if (id == 0)
                continue;
            ++onGrid;
            EXPECT_EQ(board.GetPiece(id).GetSquare(), SSquare(x, y)) << "id " << id;
        }
    }
    EXPECT_EQ(onGrid, board.GetOnBoardIds().GetCount());
}

const std::vector<std::string> kKnightCycle = { "Nf3", "Nf6", "Ng1", "Ng8" };

} // namespace

TEST(BoardModel, StartPositionIdsAndFlags)
{
    CChessBoard board;
    EXPECT_EQ(board.GetOnBoardIds().GetCount(), 0);
    EXPECT_EQ(board.FindKing(WHITE), nullptr);
    board.SetupStartPosition();
    EXPECT_EQ(board.GetIdAt(4, 0), 5);
    EXPECT_EQ(board.GetIdAt(4, 7), 29);
    EXPECT_EQ(board.GetIdAt(0, 1), 9);
    EXPECT_EQ(board.GetIdAt(7, 6), 24);
    const Zorlin::CArray<int>& ids = board.GetOnBoardIds();
    ASSERT_EQ(ids.GetCount(), 32);
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(*ids.GetAt(i), i + 1);
    EXPECT_TRUE(board.GetPiece(6).m_kingsSide);  // bishop f1
    EXPECT_TRUE(board.GetPiece(32).m_kingsSide); // rook h8
    EXPECT_FALSE(board.GetPiece(4).m_kingsSide); // queen d1
    EXPECT_TRUE(board.GetPiece(24).m_startedAsPawn);
    EXPECT_EQ(board.GetPiece(0).m_colour, COLOUR_NONE);
    EXPECT_EQ(board.GetPiece(0).m_type, PIECE_NONE);
    EXPECT_EQ(board.FindKing(BLACK), &board.GetPiece(29));
}

TEST(BoardModel, MoveUpdatesRecordsAndCounters)
{
    CChessBoard board;
    board.SetupStartPosition();
    ASSERT_EQ(PlayMoves(board, { "e4" }), -1);
    const CPiece& pawn = board.GetPiece(17);
    EXPECT_EQ(pawn.GetSquare(), SSquare(4, 3));
    EXPECT_EQ(pawn.m_movesMade, 1);
    EXPECT_EQ(pawn.m_lastMovePly, 0);
    EXPECT_EQ(board.GetPly(), 1);
    EXPECT_EQ(board.GetHalfMoveClock(), 0);
    EXPECT_EQ(board.GetSideToMove(), BLACK);
    ASSERT_EQ(board.GetHistory().GetCount(), 1);
    EXPECT_STREQ(board.GetHistory().GetAt(0)->m_shortText, "e4");
    EXPECT_EQ(board.GetHistory().GetAt(0)->m_move.m_text, "e4");

    ASSERT_EQ(PlayMoves(board, { "Nf6", "Nc3" }), -1);
    EXPECT_EQ(board.GetHalfMoveClock(), 2);
    ASSERT_EQ(PlayMoves(board, { "d5", "exd5" }), -1);
    // The d7 pawn (id 16) went to the captured list before leaving the board,
    // and its record keeps its last square.
    const Zorlin::CArray<int>& taken = board.GetCapturedBy(WHITE);
    ASSERT_EQ(taken.GetCount(), 1);
    EXPECT_EQ(*taken.GetAt(0), 16);
    EXPECT_EQ(board.GetCapturedBy(BLACK).GetCount(), 0);
    EXPECT_EQ(board.GetPiece(16).GetSquare(), SSquare(3, 4));
    EXPECT_EQ(board.GetIdAt(3, 4), 17);
    EXPECT_EQ(board.GetOnBoardIds().GetCount(), 31);
    EXPECT_EQ(board.GetHalfMoveClock(), 0);
    ExpectConsistent(board);

    // Castling moves the rook's record too.
    ASSERT_EQ(PlayMoves(board, { "e6", "Nf3", "Be7", "Be2", "O-O" }), -1);
    EXPECT_EQ(board.GetIdAt(6, 7), 29);
    EXPECT_EQ(board.GetIdAt(5, 7), 32);
    EXPECT_EQ(board.GetPiece(32).GetSquare(), SSquare(5, 7));
    EXPECT_EQ(board.GetPiece(32).m_movesMade, 1);
    EXPECT_EQ(board.GetPiece(32).m_lastMovePly, board.GetPly() - 1);
    EXPECT_EQ(board.GetHalfMoveClock(), 4); // e6 reset it; castling is quiet
    ExpectConsistent(board);
}

TEST(BoardModel, AddAndRemoveAreBounded)
{
    CChessBoard board;
    EXPECT_TRUE(board.AddPiece(WHITE, PIECE_KING, 4, 0, false));
    EXPECT_FALSE(board.AddPiece(BLACK, PIECE_KING, 4, 0, false));
    EXPECT_FALSE(board.AddPiece(BLACK, PIECE_KING, 8, 0, false));
    EXPECT_FALSE(board.AddPiece(BLACK, PIECE_KING, -1, 3, false));
    EXPECT_FALSE(board.AddPiece(BLACK, PIECE_KING, 3, 8, false));
    EXPECT_FALSE(board.AddPiece(COLOUR_NONE, PIECE_ROOK, 1, 1, false));
    EXPECT_FALSE(board.AddPiece(BLACK, PIECE_NONE, 1, 1, false));
    EXPECT_EQ(board.GetLastId(), 1);
    EXPECT_EQ(board.GetIdAt(-1, 0), 0);
    EXPECT_EQ(board.GetIdAt(0, 100), 0);
    EXPECT_EQ(board.GetPieceAt(9, 9).m_colour, COLOUR_NONE);
    EXPECT_EQ(board.GetPiece(77).m_type, PIECE_NONE);
    EXPECT_FALSE(board.RemovePieceAt(SSquare(3, 3)));
    EXPECT_FALSE(board.RemovePieceAt(SSquare(30, 3)));
    EXPECT_TRUE(board.RemovePieceAt(SSquare(4, 0)));
    EXPECT_EQ(board.GetOnBoardIds().GetCount(), 0);
    // Ids are not reused.
    EXPECT_TRUE(board.AddPiece(WHITE, PIECE_KING, 4, 0, false));
    EXPECT_EQ(board.GetIdAt(4, 0), 2);
}

TEST(BoardModel, MakeMoveRefusesWhatWouldCorruptTheBoard)
{
    CChessBoard board;
    board.SetupStartPosition();
    CMove empty;
    empty.m_from = SSquare(4, 3);
    empty.m_to = SSquare(4, 4);
    EXPECT_FALSE(board.MakeMove(empty, 0.0));
    EXPECT_TRUE(empty.m_text.IsEmpty());

    // Castling text read without the legality check, with knight and bishop
    // still at home, and a "capture" of an own piece.
    CMove castle;
    ASSERT_TRUE(board.ParseMove("O-O", castle, false));
    EXPECT_FALSE(board.MakeMove(castle, 0.0));
    CMove own;
    own.m_from = SSquare(3, 0);
    own.m_to = SSquare(4, 0);
    own.m_kind = MOVE_CAPTURE;
    own.m_captured = own.m_to;
    EXPECT_FALSE(board.MakeMove(own, 0.0));
    EXPECT_EQ(board.GetPly(), 0);
    EXPECT_EQ(board.GetHistory().GetCount(), 0);
    EXPECT_EQ(board.GetOnBoardIds().GetCount(), 32);

    // A quiet move onto an enemy piece is recorded as the capture it is.
    ASSERT_EQ(PlayMoves(board, { "e4", "d5" }), -1);
    CMove plain;
    plain.m_from = SSquare(4, 3);
    plain.m_to = SSquare(3, 4);
    ASSERT_TRUE(board.MakeMove(plain, 0.0));
    EXPECT_EQ(plain.m_kind, MOVE_CAPTURE);
    EXPECT_EQ(plain.m_text, "exd5");
    EXPECT_EQ(board.GetCapturedBy(WHITE).GetCount(), 1);
    ExpectConsistent(board);

    // Castling text read without the check for a king on f1: the rook lands
    // where the king stood, and neither record is lost.
    CChessBoard moved;
    ASSERT_TRUE(BoardBuilder::SetupFromFen(moved, "4k3/8/8/8/8/8/8/5K1R w - - 0 1"));
    CMove odd;
    ASSERT_TRUE(moved.ParseMove("O-O", odd, false));
    ASSERT_TRUE(moved.MakeMove(odd, 0.0));
    EXPECT_EQ(moved.GetPieceAt(6, 0).m_type, PIECE_KING);
    EXPECT_EQ(moved.GetPieceAt(5, 0).m_type, PIECE_ROOK);
    ExpectConsistent(moved);
    CChessBoard trial;
    ASSERT_TRUE(BoardBuilder::SetupFromFen(trial, "4k3/8/8/8/8/8/8/5K1R w - - 0 1"));
    ASSERT_TRUE(trial.ApplyToGrid(odd));
    EXPECT_EQ(trial.GetPieceAt(6, 0).m_type, PIECE_KING);
    EXPECT_EQ(trial.GetIdAt(5, 0), moved.GetIdAt(5, 0));
    EXPECT_EQ(trial.GetOnBoardIds().GetCount(), 3);
}

TEST(BoardModel, PromotionNeverLeavesAPawnOrNothing)
{
    CChessBoard board;
    ASSERT_TRUE(BoardBuilder::SetupFromFen(board, "7k/4P3/8/8/8/8/8/K7 w - - 0 1"));
    CMove move;
    move.m_from = SSquare(4, 6);
    move.m_to = SSquare(4, 7);
    ASSERT_TRUE(board.MakeMove(move, 0.0));
    EXPECT_EQ(board.GetPieceAt(4, 7).m_type, PIECE_QUEEN);
    EXPECT_TRUE(board.GetPieceAt(4, 7).m_startedAsPawn);
    EXPECT_EQ(move.m_text, "e8=Q");

    ASSERT_TRUE(BoardBuilder::SetupFromFen(board, "7k/4P3/8/8/8/8/8/K7 w - - 0 1"));
    CMove king;
    king.m_from = SSquare(4, 6);
    king.m_to = SSquare(4, 7);
    king.m_promotion = PIECE_KING;
    ASSERT_TRUE(board.MakeMove(king, 0.0));
    EXPECT_EQ(board.GetPieceAt(4, 7).m_type, PIECE_QUEEN);
}

TEST(BoardModel, ShortTextIsBounded)
{
    CChessBoard board;
    board.SetupStartPosition();
    CMove move;
    ASSERT_TRUE(board.ParseMove("e4", move, true));
    move.m_text = "e4-this-text-goes-on-and-on-for-a-long-while";
    ASSERT_TRUE(board.MakeMove(move, 0.0));
    const SHistoryEntry* entry = board.GetHistory().GetAt(0);
    EXPECT_EQ(std::strlen(entry->m_shortText), 11u);
    EXPECT_EQ(std::string(entry->m_shortText), "e4-this-tex");
    EXPECT_EQ(entry->m_move.m_text, move.m_text);
}

TEST(BoardModel, ClockPeriodIsAddedOnce)
{
    CChessBoard board;
    board.SetupStartPosition();
    board.SetTimeControl(40, 300.0);
    for (int cycle = 0; cycle < 40; ++cycle) {
        for (const std::string& san : kKnightCycle) {
            CMove move;
            ASSERT_TRUE(board.ParseMove(san.c_str(), move, true));
            ASSERT_TRUE(board.MakeMove(move, 1000.0));
        }
        int whiteMoves = 2 * (cycle + 1);
        if (whiteMoves == 40) {
            // White made move 40 (refill to both), Black made 40 too.
            EXPECT_DOUBLE_EQ(board.GetClock(WHITE), 300.0 - 40 + 300.0);
            EXPECT_DOUBLE_EQ(board.GetClock(BLACK), 300.0 - 40 + 300.0);
        }
    }
    // White's 80th move brought nothing.
    EXPECT_DOUBLE_EQ(board.GetClock(WHITE), 600.0 - 80);
    EXPECT_DOUBLE_EQ(board.GetClock(BLACK), 600.0 - 80);

    CChessBoard whole;
    whole.SetupStartPosition();
    whole.SetTimeLimit(60.0);
    ASSERT_EQ(PlayMoves(whole, { "e4" }), -1); // 0 ms
    CMove reply;
    ASSERT_TRUE(whole.ParseMove("e5", reply, true));
    ASSERT_TRUE(whole.MakeMove(reply, 2500.0));
    EXPECT_DOUBLE_EQ(whole.GetClock(WHITE), 60.0);
    EXPECT_DOUBLE_EQ(whole.GetClock(BLACK), 57.5);
}

TEST(BoardModel, ClearReplayAndGoBack)
{
    CChessBoard board;
    board.SetupStartPosition();
    board.SetTimeControl(2, 100.0);
    const std::vector<std::string> game = { "e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Bxc6", "dxc6", "O-O", "f6" };
    for (size_t i = 0; i < game.size(); ++i) {
        CMove move;
        ASSERT_TRUE(board.ParseMove(game[i].c_str(), move, true));
        ASSERT_TRUE(board.MakeMove(move, 100.0 * double(i + 1)));
    }

    CChessBoard replayed;
    CMove last;
    board.ReplayInto(replayed, last, board.GetHistory().GetCount());
    EXPECT_EQ(replayed.GetClockMode(), CLOCK_MOVES_PER_PERIOD);
    EXPECT_EQ(last.m_text, "f6");
    ExpectSameBoard(board, replayed);

    // Replay counts out of range are clamped, not trusted.
    CChessBoard clamped;
    board.ReplayInto(clamped, last, 1000);
    ExpectSameBoard(board, clamped);
    board.ReplayInto(clamped, last, -5);
    EXPECT_EQ(clamped.GetHistory().GetCount(), 0);

    // Going back to move k equals playing k moves.
    CChessBoard partial;
    partial.SetupStartPosition();
    partial.SetTimeControl(2, 100.0);
    for (size_t i = 0; i < 7; ++i) {
        CMove move;
        ASSERT_TRUE(partial.ParseMove(game[i].c_str(), move, true));
        ASSERT_TRUE(partial.MakeMove(move, 100.0 * double(i + 1)));
    }
    CChessBoard back(board);
    EXPECT_TRUE(back.GoBackToMove(7));
    ExpectSameBoard(back, partial);
    EXPECT_EQ(back.GetPiece(7).m_owner, &back);
    ExpectConsistent(back);

    EXPECT_TRUE(back.GoBackToMove(0));
    CChessBoard start;
    start.SetupStartPosition();
    start.SetTimeControl(2, 100.0);
    ExpectSameBoard(back, start);

    // Clear drops the time control but keeps its figures.
    board.Clear();
    EXPECT_EQ(board.GetClockMode(), CLOCK_NONE);
    EXPECT_EQ(board.GetMovesPerPeriod(), 2);
    EXPECT_DOUBLE_EQ(board.GetPeriod(), 100.0);
    EXPECT_EQ(board.GetOnBoardIds().GetCount(), 0);
}

TEST(BoardModel, CopiesAreIndependent)
{
    CChessBoard board;
    board.SetupStartPosition();
    ASSERT_EQ(PlayMoves(board, { "d4", "d5" }), -1);
    CChessBoard copy(board);
    for (int id = 1; id <= 32; ++id)
        EXPECT_EQ(copy.GetPiece(id).m_owner, &copy);
    CMove move;
    ASSERT_TRUE(copy.ParseMove("c4", move, true));
    ASSERT_TRUE(copy.GetPieceAt(2, 1).MakeMove(move, 0.0)); // through the owner
    EXPECT_EQ(copy.GetPly(), 3);
    EXPECT_EQ(board.GetPly(), 2);
    EXPECT_EQ(board.GetIdAt(2, 1), 13);
    EXPECT_EQ(board.GetPiece(13).GetSquare(), SSquare(2, 1));
    board = copy;
    ExpectSameBoard(board, copy);
    EXPECT_EQ(board.GetPiece(13).m_owner, &board);
}

TEST(BoardModel, ApplyToGridTouchesOnlyTheGrid)
{
    CChessBoard board;
    board.SetupStartPosition();
    ASSERT_EQ(PlayMoves(board, { "e4", "d5", "e5", "f5" }), -1);
    Zorlin::CArray<CMove> moves;
    board.GetPieceAt(4, 4).GetLegalMoves(moves, board);
    const CMove* ep = nullptr;
    for (int i = 0; i < moves.GetCount(); ++i)
        if (moves.GetAt(i)->m_kind == MOVE_EN_PASSANT)
            ep = moves.GetAt(i);
    ASSERT_NE(ep, nullptr);
    CChessBoard trial(board);
    EXPECT_TRUE(trial.ApplyToGrid(*ep));
    EXPECT_EQ(trial.GetIdAt(5, 5), 17);
    EXPECT_EQ(trial.GetIdAt(5, 4), 0);
    EXPECT_EQ(trial.GetOnBoardIds().GetCount(), 31);
    EXPECT_EQ(trial.GetPly(), board.GetPly());
    EXPECT_EQ(trial.GetSideToMove(), WHITE);
    EXPECT_EQ(trial.GetHistory().GetCount(), 4);
    EXPECT_EQ(trial.GetCapturedBy(WHITE).GetCount(), 0);
    CMove nothing;
    nothing.m_from = SSquare(3, 3);
    nothing.m_to = SSquare(3, 4);
    EXPECT_FALSE(trial.ApplyToGrid(nothing));
}

TEST(BoardModel, FiftyMoveRuleNeedsAHundredQuietPlies)
{
    CChessBoard board;
    board.SetupStartPosition();
    for (int ply = 0; ply < 100; ++ply) {
        EXPECT_FALSE(board.IsFiftyMoveDraw()) << ply;
        CMove move;
        ASSERT_TRUE(board.ParseMove(kKnightCycle[size_t(ply % 4)].c_str(), move, true));
        ASSERT_TRUE(board.MakeMove(move, 0.0));
    }
    EXPECT_EQ(board.GetHalfMoveClock(), 100);
    EXPECT_TRUE(board.IsFiftyMoveDraw());

    // A clock of 100 with a short history is never a draw.
    CChessBoard built;
    ASSERT_TRUE(BoardBuilder::SetupFromFen(built, "4k3/8/8/8/8/8/8/R3K3 w - - 100 80"));
    EXPECT_FALSE(built.IsFiftyMoveDraw());
}
