#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "chess/ChessBoard.h"
#include "foundation/Array.h"
#include "foundation/AssocArray.h"
#include "foundation/MemFile.h"
#include "support/pgn_oracle.h"

using Zorlin::CArray;
using Zorlin::CAssocArray;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

const char* const kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

std::string Fen(const CChessBoard& board, bool repetitionKey = false)
{
    CString fen;
    EXPECT_TRUE(board.GetFen(fen, repetitionKey));
    return fen.GetText();
}

// The position after the moves of a PGN move text.
std::string FenAfter(const std::string& moveText)
{
    CMemFile f;
    FillMemFile(f, moveText);
    CChessBoard board;
    CAssocArray<CString> tags;
    CString error;
    EXPECT_TRUE(board.LoadPgnGame(f, tags, error)) << error.GetText();
    return Fen(board);
}

} // namespace

TEST(Fen, StartPositionAndFirstMove)
{
    CChessBoard board;
    board.SetupStartPosition();
    EXPECT_EQ(Fen(board), kStart);
    CString out("prefix ");
    ASSERT_TRUE(board.GetFen(out, false));
    EXPECT_EQ(std::string(out.GetText()), std::string("prefix ") + kStart); // appended, not replaced

    EXPECT_EQ(FenAfter("1. e4"), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    CMemFile f;
    FillMemFile(f, "1. e4");
    CAssocArray<CString> tags;
    CString error;
    ASSERT_TRUE(board.LoadPgnGame(f, tags, error));
    // No black pawn can take on e3, so the repetition key leaves it out.
    EXPECT_EQ(Fen(board, true), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");
}

TEST(Fen, CastlingAndEnPassantFields)
{
    // A rook taken on its corner takes the right with it; the en passant
    // square follows every double step, whether or not a pawn could take.
    EXPECT_EQ(FenAfter("1. b3 g6 2. Bb2 Nc6 3. Bxh8"), "r1bqkbnB/pppppp1p/2n3p1/8/8/1P6/P1PPPPPP/RN1QKBNR b KQq - 0 3");
    EXPECT_EQ(FenAfter("1. e4 d5"), "rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2");
    EXPECT_EQ(FenAfter("1. e4 d5 2. e5 f5 3. exf6"), "rnbqkbnr/ppp1p1pp/5P2/3p4/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 3");
}

TEST(Fen, NoFenWithoutBothKings)
{
    CChessBoard board;
    board.Clear();
    ASSERT_TRUE(board.AddPiece(BLACK, PIECE_KING, 4, 7, false));
    ASSERT_TRUE(board.AddPiece(WHITE, PIECE_ROOK, 0, 0, false));
    CString out;
    EXPECT_FALSE(board.GetFen(out, false));
    EXPECT_EQ(std::string(out.GetText()), "4k3/8/8/8/8/8/8/R7 w "); // what was written stays

    board.Clear();
    ASSERT_TRUE(board.AddPiece(WHITE, PIECE_KING, 4, 0, false));
    out = CString();
    EXPECT_FALSE(board.GetFen(out, true));
}

// Random games made with our move generator, then chess.js asked for the
// position after each move: placement, castling, en passant, both clocks
// and the SAN must all agree, and chess.js must accept every move.
TEST(Fen, RandomGamesMatchChessJs)
{
    const std::string missing = OracleMissing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    std::mt19937 random(20240425);
    const int kGames = 120;
    const int kMaxPlies = 180;
    std::vector<std::vector<std::string>> fens(kGames);
    std::vector<std::vector<std::string>> sans(kGames);
    std::string input;
    int castlings = 0, enPassants = 0, promotions = 0;
    for (int g = 0; g < kGames; ++g) {
        CChessBoard board;
        board.SetupStartPosition();
        for (int ply = 0; ply < kMaxPlies; ++ply) {
            CArray<CMove> legal;
            if (board.GetLegalMoves(legal) == 0)
                break;
            CMove move = *legal.GetAt(int(random() % unsigned(legal.GetCount())));
            const CPiece& mover = board.GetPieceAt(move.m_from);
            if (mover.m_type == PIECE_PAWN && (move.m_to.y == 0 || move.m_to.y == 7)) {
                static const PieceType kPromotions[] = {PIECE_QUEEN, PIECE_ROOK, PIECE_BISHOP, PIECE_KNIGHT};
                move.m_promotion = kPromotions[random() % 4];
            }
            CString coordinates;
            move.ToCoordinateText(coordinates);
            input += coordinates.GetText();
            input += ' ';
            castlings += move.IsCastling();
            enPassants += move.m_kind == MOVE_EN_PASSANT;
            promotions += move.m_promotion != PIECE_NONE;
            ASSERT_TRUE(board.MakeMove(move, 0.0));
            sans[g].push_back(move.m_text.GetText());
            fens[g].push_back(Fen(board));
        }
        input += '\n';
    }
    // The sample reaches the positions where FEN has most to say.
    EXPECT_GT(castlings, 0);
    EXPECT_GT(enPassants, 0);
    EXPECT_GT(promotions, 0);
    const std::string path = WriteTempFile(input, ".txt");
    ASSERT_FALSE(path.empty());
    std::vector<SOracleGame> theirs;
    const bool ran = RunOracle("moves", path, theirs);
    std::remove(path.c_str());
    ASSERT_TRUE(ran);
    ASSERT_EQ(theirs.size(), size_t(kGames));
    for (int g = 0; g < kGames; ++g) {
        SCOPED_TRACE("game " + std::to_string(g + 1));
        ASSERT_TRUE(theirs[g].ok) << "chess.js refused " << theirs[g].badMove;
        ASSERT_EQ(theirs[g].fens.size(), fens[g].size());
        for (size_t p = 0; p < fens[g].size(); ++p) {
            ASSERT_EQ(fens[g][p], theirs[g].fens[p]) << "after ply " << p + 1;
            std::string theirSan = theirs[g].sans[p];
            while (!theirSan.empty() && (theirSan.back() == '+' || theirSan.back() == '#'))
                theirSan.pop_back();
            ASSERT_EQ(sans[g][p], theirSan) << "ply " << p + 1;
        }
    }
}
