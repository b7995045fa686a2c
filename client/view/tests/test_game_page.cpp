// The game page's fields: captured pieces and their material, the players'
// names and the PGN tags, all as the page will show them.

#include <gtest/gtest.h>

#include <string>

#include "chess/ChessBoard.h"
#include "client/core/Game.h"
#include "client/core/Player.h"
#include "client/view/GamePage.h"
#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

CConfig Settings(const char* text)
{
    CConfig config;
    EXPECT_TRUE(config.ReadText(text, int(std::char_traits<char>::length(text))));
    return config;
}

const char* const kMaterial = "Material = {\n Pawn = 1\n Knight = 3\n Bishop = 3.25\n Rook = 5\n Queen = 9\n King = 0\n}\n";

void Play(CChessBoard& board, const char* moves)
{
    std::string all(moves);
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find(' ', at);
        if (end == std::string::npos)
            end = all.size();
        CMove move;
        ASSERT_TRUE(board.ParseSan(all.substr(at, end - at).c_str(), move, true)) << all.substr(at, end - at);
        ASSERT_TRUE(board.MakeMove(move, 0.0));
        at = end + 1;
    }
}

int Count(const CString& text, const char* what)
{
    int n = 0;
    for (size_t at = std::string(text.GetText()).find(what); at != std::string::npos;
         at = std::string(text.GetText()).find(what, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(GamePage, ACapturedPromotedPawnCountsAsAPawn)
{
    CConfig settings = Settings(kMaterial);
    CChessBoard board;
    board.SetupStartPosition();
    // White's a-pawn eats its way to a8 and promotes; the queen on a8 is
    // taken at once.
    Play(board, "a4 b5 axb5 a6 bxa6 Bb7 axb7 Nc6 bxa8=Q Qxa8");

    CHtmlText whiteTakes, blackTakes;
    double whiteScore = -1.0, blackScore = -1.0;
    DescribeCaptures(board, WHITE, settings, whiteTakes, whiteScore);
    DescribeCaptures(board, BLACK, settings, blackTakes, blackScore);
    EXPECT_DOUBLE_EQ(whiteScore, 1 + 1 + 3.25 + 5);
    EXPECT_DOUBLE_EQ(blackScore, 1.0) << "not the queen's 9";
    // In the order taken, each 20 x 20.
    std::string white = whiteTakes.GetText();
    size_t pawn = white.find("../images/BP.gif"), bishop = white.find("../images/BB.gif"),
           rook = white.find("../images/BR.gif");
    ASSERT_NE(pawn, std::string::npos);
    EXPECT_LT(pawn, bishop);
    EXPECT_LT(bishop, rook);
    EXPECT_EQ(Count(whiteTakes, "../images/BP.gif"), 2);
    EXPECT_EQ(Count(whiteTakes, "width= \"20\" height= \"20\""), 4);
    EXPECT_EQ(Count(blackTakes, "<img"), 1);
    EXPECT_EQ(Count(blackTakes, "../images/WQ.gif"), 1);
}

TEST(GamePage, MissingMaterialCountsZeroAndScoresUseTenDigits)
{
    CConfig settings = Settings("Material = {\n Pawn = 0.1\n Rook = lots\n}\n");
    CChessBoard board;
    board.SetupStartPosition();
    Play(board, "a4 b5 axb5 a6 bxa6 Bb7 axb7 Nc6 bxa8=Q Qxa8");
    CHtmlVariables fields;
    FillGamePageVariables(nullptr, &board, nullptr, nullptr, settings, fields);
    // 0.1 + 0.1 + bishop (absent) + rook (unreadable).
    EXPECT_EQ(fields["WHITE_SCORE"], "0.2");
    EXPECT_EQ(fields["BLACK_SCORE"], "0.1");
    EXPECT_EQ(fields["BodyScroll"], "Auto");
    EXPECT_TRUE(fields["WHITE_NAME"].IsEmpty());
    EXPECT_TRUE(fields["PGN_EVENT"].IsEmpty());
}

TEST(GamePage, NamesAddressesAndTagsFromOutsideAreEscaped)
{
    CConfig settings = Settings(kMaterial);
    CGame game;
    game.Setup();
    CPlayer* white = game.GetPlayer(WHITE);
    CPlayer* black = game.GetPlayer(BLACK);
    ASSERT_NE(white, nullptr);
    ASSERT_NE(black, nullptr);
    white->GetProperties().GetValue("name") = "<b>&";
    white->GetProperties().GetValue("email") = "a\"onclick=\"x@y.org";
    black->GetProperties().GetValue("name") = "Plain";
    black->GetProperties().GetValue("email") = "";
    game.GetTags()["Event"] = "<script>";
    game.GetTags()["White"] = "O'Kelly & co";
    game.GetTags()["Result"] = "1-0";

    CHtmlVariables fields;
    FillGamePageVariables(&game, &game.GetBoard(), white, black, settings, fields);
    EXPECT_EQ(fields["WHITE_NAME"], "<a href=\"mailto:a&quot;onclick=&quot;x@y.org\">&lt;b&gt;&amp;</a>");
    EXPECT_EQ(fields["BLACK_NAME"], "Plain");
    EXPECT_EQ(fields["PGN_EVENT"], "&lt;script&gt;");
    EXPECT_EQ(fields["PGN_WHITE"], "O&#39;Kelly &amp; co");
    EXPECT_EQ(fields["PGN_RESULT"], "1-0");
    EXPECT_TRUE(fields["PGN_SITE"].IsEmpty()) << "a tag the game lacks";
    EXPECT_EQ(fields["WHITE_SCORE"], "0");
    EXPECT_TRUE(fields["WHITE_TAKES"].IsEmpty());
}
