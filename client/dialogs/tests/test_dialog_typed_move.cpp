// Typed moves against the real rules: every legal move chess.js lists in
// seeded random games must be found again from the ways a user types it,
// and nothing else may be accepted.

#include <gtest/gtest.h>

#include <cctype>

#include "chess/ChessBoard.h"
#include "client/dialogs/TypedMove.h"
// The rules' own second opinion and position builder, shared with the chess tests.
#include "chess/tests/support/board_builder.cpp"
#include "chess/tests/support/rules_oracle.cpp"

using Zorlin::CString;

namespace {

const char kStartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

std::string Read(const CChessBoard& board, const char* typed)
{
    CMove move;
    if (!ReadTypedMove(board, CString(typed), move))
        return "refused";
    return BoardBuilder::Coordinates(move);
}

CChessBoard Board(const char* fen)
{
    CChessBoard board;
    EXPECT_TRUE(BoardBuilder::SetupFromFen(board, fen)) << fen;
    return board;
}

std::string WithoutMarks(std::string san)
{
    while (!san.empty() && (san.back() == '+' || san.back() == '#'))
        san.pop_back();
    return san;
}

std::string Cased(std::string text, int (*f)(int))
{
    for (char& c : text)
        c = char(f(static_cast<unsigned char>(c)));
    return text;
}

// The spellings of one legal move that must all read as that move.
std::vector<std::string> Spellings(const RulesOracle::SLegalMove& m)
{
    std::string san = WithoutMarks(m.san);
    std::vector<std::string> out = {san, m.lan, "  " + san + " "};
    if (m.lan[0] != 'b')
        out.push_back(Cased(m.lan, toupper));
    if (san[0] != 'B')
        out.push_back(Cased(san, tolower));
    size_t equals = san.find("=Q");
    if (equals != std::string::npos)
        out.push_back(san.substr(0, equals)); // "e8": the queen by default
    return out;
}

} // namespace

TEST(TypedMove, NormalisesPieceAndFileLetters)
{
    const std::pair<const char*, const char*> cases[] = {
        {"E2E4", "e2e4"}, {"nf3", "Nf3"}, {"e8=q", "e8=Q"}, {"b4", "b4"}, {"Bb5", "Bb5"},
        {"kxh8", "Kxh8"}, {"RAE1", "Rae1"}, {"o-o", "O-O"}, {"", ""}};
    for (const auto& c : cases) {
        CString text(c.first);
        NormaliseMoveText(text);
        EXPECT_STREQ(text.GetText(), c.second) << c.first;
    }
}

TEST(TypedMove, SpellingsFromTheStart)
{
    CChessBoard board = Board(kStartFen);
    EXPECT_EQ(Read(board, "E2E4"), "e2e4");
    EXPECT_EQ(Read(board, "nf3"), "g1f3");
    EXPECT_EQ(Read(board, "b4"), "b2b4");
    EXPECT_EQ(Read(board, " e4 "), "e2e4");
    for (const char* wrong : {"", "   ", "e5", "e2e5", "Nf6", "Ke2", "zz", "Bc4", "b5", "0-0"})
        EXPECT_EQ(Read(board, wrong), "refused") << wrong;
}

TEST(TypedMove, LowerCaseBIsAFileFirstAndABishopSecond)
{
    // Both the b-pawn and the bishop can take on c3.
    CChessBoard both = Board("4k3/8/8/4B3/8/2n5/1P6/4K3 w - - 0 1");
    EXPECT_EQ(Read(both, "bxc3"), "b2c3");
    EXPECT_EQ(Read(both, "Bxc3"), "e5c3");
    // No pawn can reach b5, so "bb5" is read again as a bishop move.
    CChessBoard open = Board("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
    EXPECT_EQ(Read(open, "bb5"), "f1b5");
    EXPECT_EQ(Read(open, "bc4"), "f1c4");
}

TEST(TypedMove, PromotionNamesItsPieceOrBecomesAQueen)
{
    CChessBoard board = Board("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(Read(board, "a8"), "a7a8q");
    EXPECT_EQ(Read(board, "a7a8"), "a7a8q");
    EXPECT_EQ(Read(board, "a8=n"), "a7a8n");
    EXPECT_EQ(Read(board, "A7A8R"), "a7a8r");
    EXPECT_EQ(Read(board, "axb8=Q"), "a7b8q");
    EXPECT_EQ(Read(board, "axb8"), "a7b8q");
    EXPECT_EQ(Read(board, "a8=K"), "refused");
}

TEST(TypedMove, EveryLegalMoveOfRandomGamesComesBack)
{
    std::string missing = RulesOracle::Missing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    std::vector<RulesOracle::SGame> games;
    ASSERT_TRUE(RulesOracle::Run(1913, 4, 160, {kStartFen, "8/2P2k2/8/8/8/8/5Kp1/8 w - - 0 1"}, games));
    int checked = 0;
    for (const RulesOracle::SGame& game : games) {
        CChessBoard board = Board(game.fen.c_str());
        for (const RulesOracle::SPosition& position : game.positions) {
            for (const RulesOracle::SLegalMove& m : position.moves)
                for (const std::string& typed : Spellings(m)) {
                    EXPECT_EQ(Read(board, typed.c_str()), m.lan) << "typed \"" << typed << "\" in " << game.fen;
                    ++checked;
                }
            if (position.played.empty())
                break;
            ASSERT_EQ(BoardBuilder::PlayMoves(board, {position.played}), -1);
        }
    }
    EXPECT_GT(checked, 5000);
}
