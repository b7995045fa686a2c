// SAN writing and reading, coordinate text and the spoken move text.
#include <gtest/gtest.h>

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

// The move a text reads as, in coordinates, or "" when it does not read.
std::string Read(const CChessBoard& board, const char* text, bool legalOnly = true)
{
    CMove move;
    if (!board.ParseMove(text, move, legalOnly))
        return "";
    return Coordinates(move);
}

CMove ReadMove(const CChessBoard& board, const char* text)
{
    CMove move;
    EXPECT_TRUE(board.ParseMove(text, move, true)) << text;
    return move;
}

std::string San(const CChessBoard& board, const char* coordinates)
{
    CMove move = ReadMove(board, coordinates);
    Zorlin::CString san;
    board.MakeSan(move, san);
    EXPECT_EQ(move.m_text, san);
    return san.GetText();
}

std::string Spoken(const CChessBoard& board, const char* text)
{
    CMove move = ReadMove(board, text);
    Zorlin::CString out("");
    board.DescribeMove(move, out);
    return out.GetText();
}

} // namespace

TEST(Notation, PawnCaptureSpellings)
{
    CChessBoard board = AfterMoves({ "e4", "d5" });
    for (const char* text : { "exd5", "ed5", "e4xd5", "exd5+", "e4d5", "Pe4xd5" }) {
        CMove move = ReadMove(board, text);
        EXPECT_EQ(Coordinates(move), "e4d5") << text;
        EXPECT_EQ(move.m_kind, MOVE_CAPTURE) << text;
        EXPECT_EQ(move.m_captured, SSquare(3, 4)) << text;
    }
    EXPECT_EQ(San(board, "e4d5"), "exd5");
}

TEST(Notation, Disambiguation)
{
    CChessBoard two = FromFen("rnbqkb1r/ppp1pppp/5n2/3p4/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(Read(two, "Nbd7"), "b8d7");
    EXPECT_EQ(Read(two, "Nfd7"), "f6d7");
    EXPECT_EQ(Read(two, "Nd7"), "");
    EXPECT_EQ(San(two, "b8d7"), "Nbd7");

    CChessBoard file = FromFen("4k3/8/8/8/8/1N6/8/1N2K3 w - - 0 1");
    EXPECT_EQ(Read(file, "N1d2"), "b1d2");
    EXPECT_EQ(Read(file, "N3d2"), "b3d2");
    EXPECT_EQ(San(file, "b1d2"), "N1d2");

    // Only pieces that can reach the target count: the b5 knight does not
    // make the file ambiguous, even though it stands on it.
    CChessBoard three = FromFen("4k3/8/8/1N6/8/5N2/8/1N2K3 w - - 0 1");
    EXPECT_EQ(San(three, "b1d2"), "Nbd2");
    EXPECT_EQ(San(three, "f3d2"), "Nfd2");
    EXPECT_EQ(Read(three, "Nbd2"), "b1d2");
    EXPECT_FALSE(three.IsOnlyOneOnFile(three.GetPieceAt(1, 0)));
    EXPECT_TRUE(three.IsOnlyOneOnRank(three.GetPieceAt(1, 0)));

    CChessBoard rooks = FromFen("4k3/8/8/R7/8/7K/8/R6R w - - 0 1");
    EXPECT_EQ(San(rooks, "a1a3"), "R1a3");
    EXPECT_EQ(San(rooks, "a1d1"), "Rad1");
    EXPECT_EQ(San(rooks, "h1f1"), "Rhf1");
    EXPECT_EQ(San(rooks, "a5b5"), "Rb5");

    // Three queens: file and rank both needed, and read back.
    CChessBoard queens = FromFen("8/k7/8/8/4Q2Q/1K6/8/7Q w - - 0 1");
    EXPECT_EQ(San(queens, "h4e1"), "Qh4e1");
    EXPECT_EQ(Read(queens, "Qh4e1"), "h4e1");
    EXPECT_EQ(Read(queens, "Qh4xe1"), "h4e1");
    EXPECT_EQ(San(queens, "h1e1"), "Q1e1");
    EXPECT_EQ(San(queens, "e4e1"), "Qee1");
}

TEST(Notation, PinnedPieceIsNoRival)
{
    // The f3 knight is pinned to the h1 king by the d5 bishop.
    CChessBoard board = FromFen("4k3/8/8/3b4/8/5N2/8/1N5K w - - 0 1");
    EXPECT_EQ(Read(board, "Nd2"), "b1d2");
    EXPECT_EQ(Read(board, "Nd2", false), ""); // without legality both knights reach d2
    EXPECT_EQ(San(board, "b1d2"), "Nd2");
    EXPECT_TRUE(board.IsUniqueMover(ReadMove(board, "Nd2")));
    EXPECT_EQ(Read(board, "Nfd2"), "");
}

TEST(Notation, Promotions)
{
    CChessBoard board = FromFen("3r3k/4P3/8/8/8/8/8/4K1N1 w - - 0 1");
    CMove queen = ReadMove(board, "e8");
    EXPECT_EQ(queen.m_promotion, PIECE_QUEEN);
    EXPECT_EQ(ReadMove(board, "e8=N").m_promotion, PIECE_KNIGHT);
    EXPECT_EQ(ReadMove(board, "e8N").m_promotion, PIECE_KNIGHT);
    EXPECT_EQ(ReadMove(board, "e7e8").m_promotion, PIECE_QUEEN);
    EXPECT_EQ(ReadMove(board, "e7e8r").m_promotion, PIECE_ROOK);
    CMove capture = ReadMove(board, "exd8=B");
    EXPECT_EQ(capture.m_promotion, PIECE_BISHOP);
    EXPECT_EQ(capture.m_kind, MOVE_CAPTURE);
    EXPECT_EQ(Read(board, "Nf3=Q"), "");
    EXPECT_EQ(Read(board, "Nf3"), "g1f3");
    // Nothing becomes a king or stays a pawn, read for play or not.
    for (const char* text : { "e8=K", "e8=P", "e7e8k", "e7e8p", "e8K" }) {
        EXPECT_EQ(Read(board, text), "") << text;
        EXPECT_EQ(Read(board, text, false), "") << text;
    }
    EXPECT_EQ(Read(board, "g1f3q"), "");

    CMove knight = ReadMove(board, "e8=N");
    Zorlin::CString san;
    board.MakeSan(knight, san);
    EXPECT_EQ(san, "e8=N");
    CMove bishop = ReadMove(board, "exd8=B");
    board.MakeSan(bishop, san);
    EXPECT_EQ(san, "exd8=B");
}

TEST(Notation, CastlingTexts)
{
    CChessBoard board = FromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    for (const char* text : { "0-0-0", "O-O-O", "OOO", "O-O-O+", "e1c1", "Kc1" }) {
        CMove move = ReadMove(board, text);
        EXPECT_EQ(move.m_kind, MOVE_CASTLE_QUEENSIDE) << text;
        EXPECT_EQ(move.m_rookFrom, SSquare(0, 0)) << text;
        EXPECT_EQ(move.m_rookTo, SSquare(3, 0)) << text;
    }
    EXPECT_EQ(ReadMove(board, "O-O").m_kind, MOVE_CASTLE_KINGSIDE);
    EXPECT_EQ(ReadMove(board, "e1g1").m_kind, MOVE_CASTLE_KINGSIDE);
    EXPECT_EQ(Read(board, "o-o"), "");
    EXPECT_EQ(San(board, "e1g1"), "O-O");
    EXPECT_EQ(San(board, "e1c1"), "O-O-O");
}

TEST(Notation, ReadingForPlayRefusesIllegalMoves)
{
    CChessBoard start = AfterMoves({});
    for (const char* text : { "e2e5", "e1g1", "O-O", "O-O-O", "Ke2", "e7e5", "Nd2", "e2e4q", "a1a3", "e3e4", "zz" })
        EXPECT_EQ(Read(start, text), "") << text;
    // Without the check the castling text still reads, as before.
    CMove castle;
    EXPECT_TRUE(start.ParseMove("O-O", castle, false));
    EXPECT_EQ(castle.m_kind, MOVE_CASTLE_KINGSIDE);

    // Castling through an attacked square, and into check, are refused.
    CChessBoard attacked = FromFen("4k3/8/8/8/8/5b2/8/R3K2R w KQ - 0 1");
    EXPECT_EQ(Read(attacked, "O-O-O"), "");
    EXPECT_EQ(Read(attacked, "e1c1"), "");
    EXPECT_EQ(Read(attacked, "O-O"), "e1g1");
    // A move that leaves the own king in check is refused, by SAN or square.
    CChessBoard pinned = FromFen("4k3/8/8/8/8/8/4r3/3NK3 w - - 0 1");
    EXPECT_EQ(Read(pinned, "Nc3"), "");
    EXPECT_EQ(Read(pinned, "d1c3"), "");
    EXPECT_EQ(Read(pinned, "Kxe2"), "e1e2");

    // The reader keeps the caller's text.
    CMove kept;
    kept.m_text = "keep";
    EXPECT_TRUE(start.ParseMove("Nf3", kept, true));
    EXPECT_EQ(kept.m_text, "keep");
    CMove coordinate;
    coordinate.m_text = "also";
    EXPECT_TRUE(start.ParseMove("g1f3", coordinate, true));
    EXPECT_EQ(coordinate.m_text, "also");
}

TEST(Notation, EnPassantReadAndWritten)
{
    CChessBoard board = AfterMoves({ "e4", "a6", "e5", "d5" });
    CMove move = ReadMove(board, "exd6");
    EXPECT_EQ(move.m_kind, MOVE_EN_PASSANT);
    EXPECT_EQ(move.m_captured, SSquare(3, 4));
    EXPECT_EQ(Read(board, "e5d6"), "e5d6");
    EXPECT_EQ(San(board, "e5d6"), "exd6");
    ASSERT_TRUE(board.MakeMove(move, 0.0));
    EXPECT_EQ(board.GetPieceAt(3, 4).m_type, PIECE_NONE);
    EXPECT_EQ(board.GetCapturedBy(WHITE).GetCount(), 1);
}

TEST(Notation, TextAlreadyGivenIsKept)
{
    CChessBoard board = AfterMoves({});
    CMove move = ReadMove(board, "e4");
    move.m_text = "whatever";
    Zorlin::CString san;
    board.MakeSan(move, san);
    EXPECT_EQ(san, "whatever");
}

TEST(Notation, SpokenText)
{
    CChessBoard start = AfterMoves({});
    EXPECT_EQ(Spoken(start, "e4"), "Pawn to e 4 ");

    CChessBoard knight = FromFen("4k3/8/8/3p4/8/4N3/8/4K3 w - - 0 1");
    EXPECT_EQ(Spoken(knight, "Nxd5"), "Knight takes Pawn ");

    CChessBoard two = FromFen("4k3/8/8/8/8/1N6/8/1N2K3 w - - 0 1");
    EXPECT_EQ(Spoken(two, "N1d2"), "Knight b 1 to d 2 ");

    CChessBoard ep = AfterMoves({ "e4", "a6", "e5", "d5" });
    EXPECT_EQ(Spoken(ep, "exd6"), "Pawn takes Pawn enpassant");
    // Another pawn could also take a pawn: the taken square is named.
    CChessBoard choice = AfterMoves({ "e4", "c6", "c4", "a6", "e5", "d5" });
    EXPECT_EQ(Spoken(choice, "exd6"), "Pawn takes Pawn d 5 enpassant");
    EXPECT_EQ(Spoken(choice, "cxd5"), "Pawn takes Pawn d 5 ");

    CChessBoard promote = FromFen("k7/4P3/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(Spoken(promote, "e8=Q"), "Pawn to e 8 Pawn becomes Queen");

    CChessBoard castle = FromFen("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1");
    EXPECT_EQ(Spoken(castle, "O-O"), "castle kingside ");
    EXPECT_EQ(Spoken(castle, "O-O-O"), "castle queenside ");

    // Appends to what the caller has.
    CMove move = ReadMove(start, "Nf3");
    Zorlin::CString out("White: ");
    start.DescribeMove(move, out);
    EXPECT_EQ(out, "White: Knight to f 3 ");
}

TEST(Notation, TextHelpers)
{
    Zorlin::CString text("Nbxd7+!? \xe9\x80");
    CChessBoard::CleanMoveText(text);
    EXPECT_EQ(text, "Nbd7");
    Zorlin::CString castle("0-0-0!!");
    CChessBoard::CleanMoveText(castle);
    EXPECT_EQ(castle, "000");

    CMove move;
    move.m_from = SSquare(4, 6);
    move.m_to = SSquare(4, 7);
    move.m_promotion = PIECE_QUEEN;
    Zorlin::CString coordinates("go ");
    move.ToCoordinateText(coordinates);
    EXPECT_EQ(coordinates, "go e7e8q");
    EXPECT_TRUE(move.IsValid());
    EXPECT_FALSE(CMove().IsValid());

    EXPECT_EQ(SquareText(SSquare(0, 0)), "a1");
    EXPECT_EQ(SquareText(SSquare(7, 7)), "h8");
    SSquare square;
    EXPECT_TRUE(ParseSquare("E4", square));
    EXPECT_EQ(square, SSquare(4, 3));
    EXPECT_FALSE(ParseSquare("i1", square));
    EXPECT_FALSE(ParseSquare("e9", square));
    EXPECT_FALSE(ParseSquare("e", square));

    // The repetition keys of stored games were hashed with these values.
    EXPECT_EQ(HashText(""), 5381u);
    EXPECT_EQ(HashText("a"), 177670u);
    EXPECT_EQ(HashText("\xff"), 177572u); // bytes count as signed
    EXPECT_EQ(HashText("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"), 0x5ea4e84au);
}

TEST(Notation, MoveShapedWordsAreMovesInEitherNotationLegalOrNot)
{
    for (const char* word : { "e2e4", "e7e8q", "e7e8Q", "b2b1r", "e2-e4", "e4", "exd5", "Nf3", "Nbd7", "R1e2",
                              "Qh4xe1", "e8=Q", "exd8=N+", "Bb5+", "Qxf7#", "O-O", "O-O-O", "0-0", "o-o-o+",
                              "e2e5", "a1h8", "Ke2!?", "a1", "Pe4", "bxa1N", "Ng1-f3!?", "e5:d6" }) {
        EXPECT_TRUE(IsMoveShapedWord(Zorlin::CString(word))) << word;
    }
    // What engines print after "move" besides moves, and prose: statistics,
    // words, numbers, squares off the board.
    for (const char* word : { "0.000000%", "90.023750%", "ordering", ":", "...", "", "16384", "zz99", "e9e4",
                              "i2i4", "e2e4e5", "Xe4", "=Q", "O-O-O-O", "e4:", "@@@@", "move", "Meeting", "noon", "B4",
                              "12:30", "Nf", "1-0", "Kxe4e5" }) {
        EXPECT_FALSE(IsMoveShapedWord(Zorlin::CString(word))) << word;
    }
}
