// Legal moves, SAN, move reading and check, mate and stalemate compared with
// chess.js on seeded random games, from the start and from tricky positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "chess/ChessBoard.h"
#include "support/board_builder.h"
#include "support/rules_oracle.h"

namespace {

const char kStartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const char kStalemate[] = "Stalemate (king is not in check, but there are no legal moves)";

// Our legal moves with promotions spelled out, each with its SAN and the
// check mark the board view would add.
std::map<std::string, std::string> OurMoves(const CChessBoard& board)
{
    std::map<std::string, std::string> result;
    Zorlin::CArray<CMove> moves;
    board.GetLegalMoves(moves);
    static const PieceType kPromotions[4] = { PIECE_QUEEN, PIECE_ROOK, PIECE_BISHOP, PIECE_KNIGHT };
    for (int i = 0; i < moves.GetCount(); ++i) {
        const CMove& move = *moves.GetAt(i);
        bool promotion = board.GetPieceAt(move.m_from).m_type == PIECE_PAWN && (move.m_to.y == 0 || move.m_to.y == 7);
        for (int p = 0; p < (promotion ? 4 : 1); ++p) {
            CMove played = move;
            if (promotion)
                played.m_promotion = kPromotions[p];
            Zorlin::CString san;
            board.MakeSan(played, san);
            CChessBoard after(board);
            EXPECT_TRUE(after.MakeMove(played, 0.0));
            std::string text = san.GetText();
            Colour next = after.GetSideToMove();
            if (after.GetGameState(next) == STATE_CHECKMATE)
                text += "#";
            else if (after.IsInCheck(next))
                text += "+";
            result[BoardBuilder::Coordinates(played)] = text;
        }
    }
    return result;
}

std::vector<std::string> OracleFens()
{
    std::vector<std::string> fens;
    std::ifstream in(ROOKWELL_TESTDATA "/perft/tricky.perft");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("epd ", 0) != 0)
            continue;
        std::string epd = line.substr(4);
        if (BoardBuilder::HasStandardCastling(epd))
            fens.push_back(epd + " 0 1");
    }
    return fens;
}

void CheckGame(const RulesOracle::SGame& game, int& positions)
{
    CChessBoard board;
    if (game.fen == kStartFen)
        board.SetupStartPosition();
    else
        ASSERT_TRUE(BoardBuilder::SetupFromFen(board, game.fen)) << game.fen;

    for (size_t ply = 0; ply < game.positions.size(); ++ply) {
        const RulesOracle::SPosition& expected = game.positions[ply];
        SCOPED_TRACE(game.fen + " ply " + std::to_string(ply));
        ++positions;

        std::map<std::string, std::string> ours = OurMoves(board);
        std::map<std::string, std::string> theirs;
        for (const RulesOracle::SLegalMove& m : expected.moves)
            theirs[m.lan] = m.san;
        ASSERT_EQ(ours, theirs);

        Colour side = board.GetSideToMove();
        Zorlin::CString reason;
        GameState state = board.GetGameState(side, &reason);
        EXPECT_EQ(board.IsInCheck(side), expected.inCheck);
        EXPECT_EQ(state == STATE_CHECKMATE, expected.checkmate);
        EXPECT_EQ(state == STATE_DRAW && reason == kStalemate, expected.stalemate);

        // Every SAN chess.js writes reads back as the same move.
        for (const RulesOracle::SLegalMove& m : expected.moves) {
            CMove read;
            ASSERT_TRUE(board.ParseMove(Zorlin::CString(m.san.c_str()), read, true)) << m.san;
            EXPECT_EQ(BoardBuilder::Coordinates(read), m.lan) << m.san;
        }
        if (expected.played.empty())
            break;
        CMove move;
        ASSERT_TRUE(board.ParseMove(Zorlin::CString(expected.played.c_str()), move, true)) << expected.played;
        ASSERT_TRUE(board.MakeMove(move, 0.0));
    }
}

} // namespace

TEST(RulesOracle, RandomGamesFromTheStart)
{
    std::string missing = RulesOracle::Missing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    std::vector<RulesOracle::SGame> games;
    ASSERT_TRUE(RulesOracle::Run(20240611, 6, 220, { kStartFen }, games));
    int positions = 0;
    for (const RulesOracle::SGame& game : games)
        CheckGame(game, positions);
    EXPECT_GT(positions, 1000);
}

TEST(RulesOracle, RandomGamesFromTrickyPositions)
{
    std::string missing = RulesOracle::Missing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    std::vector<std::string> fens = OracleFens();
    ASSERT_GE(fens.size(), 13u);
    std::vector<RulesOracle::SGame> games;
    ASSERT_TRUE(RulesOracle::Run(77, 2, 40, fens, games));
    int positions = 0;
    for (const RulesOracle::SGame& game : games)
        CheckGame(game, positions);
    EXPECT_GT(positions, 500);
}

// Few pieces, so random play ends in mates and stalemates.
TEST(RulesOracle, RandomEndgames)
{
    std::string missing = RulesOracle::Missing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    const std::vector<std::string> fens = {
        "8/8/8/4k3/8/8/8/4K2Q w - - 0 1",
        "7k/8/5K2/6Q1/8/8/8/8 w - - 0 1",
        "k7/8/2K5/8/8/8/1Q6/8 w - - 0 1",
        "8/8/8/8/8/2k5/1p6/3K4 b - - 0 1",
        "8/5P1k/8/8/8/8/6K1/8 w - - 0 1",
    };
    std::vector<RulesOracle::SGame> games;
    ASSERT_TRUE(RulesOracle::Run(5, 6, 80, fens, games));
    int positions = 0, mates = 0, stalemates = 0;
    for (const RulesOracle::SGame& game : games) {
        CheckGame(game, positions);
        mates += game.positions.back().checkmate;
        stalemates += game.positions.back().stalemate;
    }
    EXPECT_GT(mates, 3);
    EXPECT_GT(stalemates, 0);
}

// The draw by repetition comes on the same ply as chess.js's: after double
// steps that no pawn can answer en passant, and after ones it can.
TEST(RulesOracle, RepetitionOnTheSamePly)
{
    std::string missing = RulesOracle::Missing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    const std::vector<std::string> lines = {
        "e4 e5 Nf3 Nf6 Ng1 Ng8 Nf3 Nf6 Ng1 Ng8",
        "Nf3 d5 Ng1 Nf6 Nf3 Ng8 Ng1 Nf6 Nf3 Ng8",
        "e4 Nf6 e5 d5 Nf3 Nc6 Ng1 Nb8 Nf3 Nc6 Ng1 Nb8 Nf3",
        "d4 Nf6 d5 e5 Nc3 Nc6 Nb1 Nb8 Nc3 Nc6 Nb1 Nb8 Nc3",
    };
    std::vector<RulesOracle::SRepetitionGame> games;
    ASSERT_TRUE(RulesOracle::Repetitions(31, 25, 120, lines, games));
    ASSERT_EQ(games.size(), lines.size() + 25);
    EXPECT_EQ(games[0].firstDraw, 10);
    EXPECT_EQ(games[1].firstDraw, 10);
    EXPECT_EQ(games[2].firstDraw, 13);
    int draws = 0;
    for (size_t g = 0; g < games.size(); ++g) {
        const RulesOracle::SRepetitionGame& game = games[g];
        SCOPED_TRACE("game " + std::to_string(g));
        CChessBoard board;
        board.SetupStartPosition();
        int first = 0;
        for (size_t ply = 0; ply < game.lans.size() && first == 0; ++ply) {
            CMove move;
            ASSERT_TRUE(board.ParseMove(Zorlin::CString(game.lans[ply].c_str()), move, true)) << game.lans[ply];
            ASSERT_TRUE(board.MakeMove(move, 0.0));
            if (board.IsRepetitionDraw())
                first = int(ply) + 1;
        }
        EXPECT_EQ(first, game.firstDraw);
        draws += first > 0;
    }
    EXPECT_GT(draws, 15);
}
