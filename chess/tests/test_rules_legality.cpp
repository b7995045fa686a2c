// Legality edge cases and the end-of-game tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chess/ChessBoard.h"
#include "support/board_builder.h"

namespace {

using BoardBuilder::Coordinates;
using BoardBuilder::PlayMoves;

CChessBoard FromFen(const char* fen)
{
    CChessBoard board;
    EXPECT_TRUE(BoardBuilder::SetupFromFen(board, fen)) << fen;
    return board;
}

CChessBoard AfterMoves(const std::vector<std::string>& moves)
{
    CChessBoard board;
    board.SetupStartPosition();
    EXPECT_EQ(PlayMoves(board, moves), -1);
    return board;
}

std::vector<std::string> LegalFrom(const CChessBoard& board, int x, int y)
{
    Zorlin::CArray<CMove> moves;
    board.GetPieceAt(x, y).GetLegalMoves(moves, board);
    std::vector<std::string> out;
    for (int i = 0; i < moves.GetCount(); ++i)
        out.push_back(Coordinates(*moves.GetAt(i)));
    std::sort(out.begin(), out.end());
    return out;
}

bool Has(const std::vector<std::string>& list, const char* move)
{
    return std::find(list.begin(), list.end(), move) != list.end();
}

} // namespace

TEST(Legality, OnlyTheSideToMoveHasMoves)
{
    CChessBoard board = AfterMoves({});
    Zorlin::CArray<CMove> all;
    EXPECT_EQ(board.GetLegalMoves(all), 20);
    Zorlin::CArray<CMove> black;
    EXPECT_EQ(board.GetPieceAt(6, 7).GetLegalMoves(black, board), 0);
    Zorlin::CArray<CMove> pseudo;
    EXPECT_EQ(board.GetPieceAt(6, 7).GetPseudoLegalMoves(pseudo, board), 2);
}

TEST(Legality, EnPassantOnlyOnTheNextMove)
{
    CChessBoard board = AfterMoves({ "e4", "d5", "e5", "f5" });
    Zorlin::CArray<CMove> moves;
    board.GetPieceAt(4, 4).GetLegalMoves(moves, board);
    const CMove* ep = nullptr;
    for (int i = 0; i < moves.GetCount(); ++i)
        if (Coordinates(*moves.GetAt(i)) == "e5f6")
            ep = moves.GetAt(i);
    ASSERT_NE(ep, nullptr);
    EXPECT_EQ(ep->m_kind, MOVE_EN_PASSANT);
    EXPECT_EQ(ep->m_captured, SSquare(5, 4));
    // The d-pawn stepped two squares earlier, not just now.
    EXPECT_FALSE(Has(LegalFrom(board, 4, 4), "e5d6"));

    ASSERT_EQ(PlayMoves(board, { "Nc3", "Nc6" }), -1);
    EXPECT_FALSE(Has(LegalFrom(board, 4, 4), "e5f6"));

    // After a single step there is nothing to take en passant.
    CChessBoard single = AfterMoves({ "e4", "a6", "e5", "f6", "a3", "f5" });
    EXPECT_FALSE(Has(LegalFrom(single, 4, 4), "e5f6"));
}

TEST(Legality, EnPassantThatExposesTheKing)
{
    // Taking b5xc6 would clear the fifth rank between the king and the rook.
    CChessBoard rank = FromFen("8/2p5/8/KP5r/8/8/8/7k b - - 0 1");
    ASSERT_EQ(PlayMoves(rank, { "c5" }), -1);
    EXPECT_FALSE(Has(LegalFrom(rank, 1, 4), "b5c6"));
    EXPECT_TRUE(Has(LegalFrom(rank, 1, 4), "b5b6"));

    // A pawn pinned on a diagonal may not take off the line...
    CChessBoard off = FromFen("8/4B3/8/8/1p6/k7/2P5/7K w - - 0 1");
    ASSERT_EQ(PlayMoves(off, { "c4" }), -1);
    EXPECT_TRUE(LegalFrom(off, 1, 3).empty());
    // ...but may take along it.
    CChessBoard along = FromFen("8/8/8/k7/1p6/8/2P5/4B2K w - - 0 1");
    ASSERT_EQ(PlayMoves(along, { "c4" }), -1);
    EXPECT_EQ(LegalFrom(along, 1, 3), std::vector<std::string>({ "b4c3" }));
}

TEST(Legality, CastlingRules)
{
    const char* open = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1";
    CChessBoard board = FromFen(open);
    std::vector<std::string> king = LegalFrom(board, 4, 0);
    EXPECT_TRUE(Has(king, "e1g1"));
    EXPECT_TRUE(Has(king, "e1c1"));

    // A king that moved and came back has lost both sides.
    ASSERT_EQ(PlayMoves(board, { "Kf1", "Kf8", "Ke1", "Ke8" }), -1);
    EXPECT_FALSE(Has(LegalFrom(board, 4, 0), "e1g1"));
    EXPECT_FALSE(Has(LegalFrom(board, 4, 0), "e1c1"));

    // A rook that moved and came back loses its own side only.
    CChessBoard rook = FromFen(open);
    ASSERT_EQ(PlayMoves(rook, { "Rg1", "Rg8", "Rh1", "Rh8" }), -1);
    EXPECT_FALSE(Has(LegalFrom(rook, 4, 0), "e1g1"));
    EXPECT_TRUE(Has(LegalFrom(rook, 4, 0), "e1c1"));

    // The king may not cross or land on an attacked square, nor castle out
    // of check; an attacked b1 does not matter.
    CChessBoard d1 = FromFen("4k3/8/8/8/8/5b2/8/R3K2R w KQ - 0 1"); // bishop f3 hits d1
    EXPECT_FALSE(Has(LegalFrom(d1, 4, 0), "e1c1"));
    EXPECT_TRUE(Has(LegalFrom(d1, 4, 0), "e1g1"));
    CChessBoard b1 = FromFen("4k3/8/8/8/8/3b4/8/R3K2R w KQ - 0 1"); // bishop d3 hits b1 and f1
    EXPECT_TRUE(Has(LegalFrom(b1, 4, 0), "e1c1"));
    EXPECT_FALSE(Has(LegalFrom(b1, 4, 0), "e1g1"));
    CChessBoard g1 = FromFen("4k3/8/8/8/8/7n/8/R3K2R w KQ - 0 1"); // knight h3 hits g1 only
    EXPECT_FALSE(Has(LegalFrom(g1, 4, 0), "e1g1"));
    EXPECT_TRUE(Has(LegalFrom(g1, 4, 0), "e1f1"));
    CChessBoard inCheck = FromFen("4k3/8/8/8/1b6/8/8/R3K2R w KQ - 0 1");
    EXPECT_TRUE(inCheck.IsInCheck(WHITE));
    EXPECT_FALSE(Has(LegalFrom(inCheck, 4, 0), "e1g1"));
    EXPECT_FALSE(Has(LegalFrom(inCheck, 4, 0), "e1c1"));
    // Pieces in between block; on the queen's side b1 too.
    CChessBoard knight = FromFen("4k3/8/8/8/8/8/8/RN2K2R w KQ - 0 1");
    EXPECT_FALSE(Has(LegalFrom(knight, 4, 0), "e1c1"));
    EXPECT_TRUE(Has(LegalFrom(knight, 4, 0), "e1g1"));
}

TEST(Legality, CheckAndAttackers)
{
    CChessBoard fool = AfterMoves({ "f3", "e5", "g4", "Qh4" });
    Zorlin::CArray<CPiece*> attackers;
    EXPECT_TRUE(fool.IsInCheck(WHITE, &attackers));
    ASSERT_EQ(attackers.GetCount(), 1);
    EXPECT_EQ((*attackers.GetAt(0))->m_type, PIECE_QUEEN);
    EXPECT_EQ(fool.GetGameState(WHITE), STATE_CHECKMATE);
    EXPECT_EQ(fool.GetGameState(BLACK), STATE_PLAYING);

    // Double check from a knight and a rook.
    CChessBoard twice = FromFen("4r1k1/8/8/8/8/3n4/8/4K3 w - - 0 1");
    Zorlin::CArray<CPiece*> both;
    EXPECT_TRUE(twice.IsInCheck(WHITE, &both));
    EXPECT_EQ(both.GetCount(), 2);
    EXPECT_FALSE(twice.IsInCheck(BLACK));

    // A pawn attacks diagonally forward only; kings keep apart.
    CChessBoard pawn = FromFen("8/8/8/8/4p3/4K3/8/k7 w - - 0 1");
    EXPECT_FALSE(pawn.IsInCheck(WHITE));
    CChessBoard diagonal = FromFen("8/8/8/8/3p4/4K3/8/k7 w - - 0 1");
    EXPECT_TRUE(diagonal.IsInCheck(WHITE));
    CChessBoard kings = FromFen("8/8/8/8/8/4K3/8/4k3 w - - 0 1");
    EXPECT_FALSE(Has(LegalFrom(kings, 4, 2), "e3e2"));
    EXPECT_FALSE(Has(LegalFrom(kings, 4, 2), "e3d2"));
    EXPECT_TRUE(Has(LegalFrom(kings, 4, 2), "e3e4"));
    const CPiece& whiteKing = kings.GetPieceAt(4, 2);
    EXPECT_FALSE(whiteKing.IsSafeKingSquare(SSquare(3, 1), kings));
    EXPECT_TRUE(whiteKing.IsSafeKingSquare(SSquare(3, 3), kings));
    EXPECT_FALSE(whiteKing.IsSafeKingSquare(SSquare(9, 3), kings));
}

TEST(Legality, StalemateAndMissingKing)
{
    CChessBoard stale = FromFen("k7/8/1QK5/8/8/8/8/8 b - - 0 1");
    Zorlin::CString reason;
    EXPECT_EQ(stale.GetGameState(BLACK, &reason), STATE_DRAW);
    EXPECT_EQ(reason, "Stalemate (king is not in check, but there are no legal moves)");

    CChessBoard lonely;
    ASSERT_TRUE(lonely.AddPiece(WHITE, PIECE_KING, 4, 0, false));
    lonely.SetSideToMove(BLACK);
    EXPECT_EQ(lonely.GetGameState(BLACK), STATE_NO_KING);
    EXPECT_FALSE(lonely.IsInCheck(BLACK));
}

TEST(Legality, InsufficientMaterial)
{
    struct SCase {
        const char* fen;
        bool draw;
    } cases[] = {
        { "8/8/8/4k3/8/8/8/4K3 w - - 0 1", true },
        { "8/8/8/4k3/8/8/8/2B1K3 w - - 0 1", true },
        { "8/8/8/4k3/8/8/8/1N2K3 b - - 0 1", true },
        { "8/8/8/4k3/8/8/8/1N2K1N1 w - - 0 1", true },   // two knights of one side
        { "8/8/8/4k1n1/8/8/8/1N2K3 w - - 0 1", false },  // a knight each
        { "8/8/8/4k3/8/8/4P3/2B1K3 w - - 0 1", false },  // bishop and pawn
        { "8/8/8/4k3/8/8/8/3RK3 w - - 0 1", false },
    };
    for (const SCase& c : cases) {
        CChessBoard board = FromFen(c.fen);
        Zorlin::CString reason;
        EXPECT_EQ(board.IsDraw(reason), c.draw) << c.fen;
        if (c.draw) {
            EXPECT_EQ(reason, "Draw (insufficient material - mate is impossible)") << c.fen;
            EXPECT_EQ(board.GetGameState(board.GetSideToMove()), STATE_DRAW) << c.fen;
        }
    }
}

TEST(Legality, ThreefoldRepetition)
{
    const std::vector<std::string> cycle = { "Nf3", "Nf6", "Ng1", "Ng8" };
    CChessBoard board;
    board.SetupStartPosition();
    // The start position itself is not counted, so eight plies bring it back
    // only twice; the position after Nf3 is the first seen three times.
    for (int ply = 0; ply < 9; ++ply) {
        EXPECT_FALSE(board.IsRepetitionDraw()) << ply;
        ASSERT_EQ(PlayMoves(board, { cycle[size_t(ply % 4)] }), -1);
    }
    EXPECT_TRUE(board.IsRepetitionDraw());
    Zorlin::CString reason;
    EXPECT_EQ(board.GetGameState(BLACK, &reason), STATE_DRAW);
    EXPECT_EQ(reason, "Draw (3 move repetition)");

    // The square behind a two-square step counts only when a pawn can take
    // there: the position after 1. e4 comes back after 3. Ng1.
    CChessBoard step;
    step.SetupStartPosition();
    ASSERT_EQ(PlayMoves(step, { "e4", "Nf6", "Nf3", "Ng8", "Ng1", "Nf6", "Nf3", "Ng8" }), -1);
    EXPECT_FALSE(step.IsRepetitionDraw());
    ASSERT_EQ(PlayMoves(step, { "Ng1" }), -1);
    EXPECT_TRUE(step.IsRepetitionDraw());

    // When the capture is possible the position after the double step is
    // one of its own: the same pieces after 6. ... Nb8 make only its second
    // sight, and the draw comes with the third 3. Nf3 position.
    CChessBoard capture;
    capture.SetupStartPosition();
    ASSERT_EQ(PlayMoves(capture, { "e4", "Nf6", "e5", "d5", "Nf3", "Nc6", "Ng1", "Nb8", "Nf3", "Nc6", "Ng1", "Nb8" }),
        -1);
    EXPECT_FALSE(capture.IsRepetitionDraw());
    ASSERT_EQ(PlayMoves(capture, { "Nf3" }), -1);
    EXPECT_TRUE(capture.IsRepetitionDraw());

    // Castling rights are part of the position: after the kings' walk the
    // position after 2. ... e5 does not come back.
    CChessBoard rights;
    rights.SetupStartPosition();
    ASSERT_EQ(PlayMoves(rights, { "e4", "e5", "Ke2", "Ke7", "Ke1", "Ke8", "Ke2", "Ke7", "Ke1", "Ke8" }), -1);
    EXPECT_FALSE(rights.IsRepetitionDraw());
    ASSERT_EQ(PlayMoves(rights, { "Ke2" }), -1);
    EXPECT_FALSE(rights.IsRepetitionDraw()); // Black could still castle after the first Ke2
    ASSERT_EQ(PlayMoves(rights, { "Ke7" }), -1);
    EXPECT_TRUE(rights.IsRepetitionDraw());
}

// The repetition key names the en passant square only when the capture is
// legal; the FEN always names it.
TEST(Legality, RepetitionKeyNamesOnlyAPossibleCapture)
{
    struct SCase {
        const char* fen;
        const char* key;
    };
    const SCase cases[] = {
        { "4k3/2p5/8/KP6/8/8/8/8 b - - 0 1", "4k3/8/8/KPp5/8/8/8/8 w - c6" },
        // bxc6 would open the fifth rank to the rook.
        { "4k3/2p5/8/KP5r/8/8/8/8 b - - 0 1", "4k3/8/8/KPp4r/8/8/8/8 w - -" },
        // The pawn beside it is Black's own.
        { "4k3/2p5/8/Kp6/8/8/8/8 b - - 0 1", "4k3/8/8/Kpp5/8/8/8/8 w - -" },
    };
    for (const SCase& c : cases) {
        CChessBoard board = FromFen(c.fen);
        ASSERT_EQ(PlayMoves(board, { "c5" }), -1) << c.fen;
        Zorlin::CString key, fen;
        ASSERT_TRUE(board.GetFen(key, true));
        ASSERT_TRUE(board.GetFen(fen, false));
        EXPECT_EQ(std::string(key.GetText()), c.key) << c.fen;
        EXPECT_NE(std::string(fen.GetText()).find(" c6 "), std::string::npos) << fen.GetText();
    }
}

TEST(Legality, MateBeatsADrawRule)
{
    // Mate on the move that also completes the fifty moves is still mate.
    CChessBoard board = FromFen("7k/8/6K1/8/8/8/8/R7 w - - 99 120");
    ASSERT_EQ(PlayMoves(board, { "Ra8" }), -1);
    EXPECT_EQ(board.GetGameState(BLACK), STATE_CHECKMATE);
}

TEST(Legality, PromotionMovesCarryNoPiece)
{
    CChessBoard board = FromFen("1n5k/P7/8/8/8/8/8/7K w - - 0 1");
    Zorlin::CArray<CMove> moves;
    board.GetPieceAt(0, 6).GetLegalMoves(moves, board);
    ASSERT_EQ(moves.GetCount(), 2);
    for (int i = 0; i < moves.GetCount(); ++i)
        EXPECT_EQ(moves.GetAt(i)->m_promotion, PIECE_NONE);
    EXPECT_EQ(board.Perft(1), 8u + 3u); // two pawn moves, four pieces each, and three king moves
}
