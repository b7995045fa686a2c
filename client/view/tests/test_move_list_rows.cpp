// The move list's rows: label and column by row index, the row colours, and
// the rows of a real game read from a PGN file.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "chess/ChessBoard.h"
#include "client/view/MoveListRows.h"
#include "foundation/AssocArray.h"
#include "foundation/Win32File.h"

using Zorlin::CString;

namespace {

const std::string kGameFile = std::string(ROOKWELL_TESTDATA) + "/pgn/kasparov-deep-blue-1997.pgn";

// The first game's moves, read straight from the file's text: a second
// reading of the notation that shares nothing with the chess library.
std::vector<std::string> FirstGameSans(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    std::string text = all.str();
    size_t start = text.find("\n\n");
    size_t end = text.find("[Event", start);
    std::string moves = text.substr(start, end - start);
    moves = std::regex_replace(moves, std::regex("\\{[^}]*\\}"), " ");
    std::vector<std::string> sans;
    std::istringstream words(moves);
    std::string word;
    while (words >> word) {
        word = std::regex_replace(word, std::regex("^[0-9]+\\.+"), "");
        if (word.empty() || word == "1-0" || word == "0-1" || word == "1/2-1/2" || word == "*")
            continue;
        sans.push_back(word);
    }
    return sans;
}

std::string Strip(std::string san)
{
    while (!san.empty() && (san.back() == '+' || san.back() == '#'))
        san.pop_back();
    return san;
}

} // namespace

TEST(MoveListRows, TheOpeningMovesFillAlternateColumns)
{
    const char* sans[] = {"e4", "e5", "Nf3"};
    SMoveListRow rows[3];
    for (int n = 1; n <= 3; ++n)
        rows[n - 1] = MakeMoveListRow(n, sans[n - 1]);
    EXPECT_EQ(rows[0].m_label, "1.");
    EXPECT_EQ(rows[0].m_white, "e4");
    EXPECT_TRUE(rows[0].m_black.IsEmpty());
    EXPECT_TRUE(rows[1].m_label.IsEmpty());
    EXPECT_TRUE(rows[1].m_white.IsEmpty());
    EXPECT_EQ(rows[1].m_black, "e5");
    EXPECT_EQ(rows[2].m_label, "2.");
    EXPECT_EQ(rows[2].m_white, "Nf3");
    // The index alone decides: row 90 is Black's, row 99 White's 50th.
    EXPECT_EQ(MakeMoveListRow(90, "Kg7").m_black, "Kg7");
    EXPECT_EQ(MakeMoveListRow(99, "Qh5").m_label, "50.");
}

TEST(MoveListRows, ColoursMixMenuAndWindowAndTintWithTheGame)
{
    SRowColour menu = {200, 100, 0}, window = {255, 255, 255};
    SRowColour white1 = MoveListRowColour(1, menu, window);
    SRowColour black2 = MoveListRowColour(2, menu, window);
    // Row 1: 0.1 menu + 0.9 window, then 0.2 % green: t = 0.002.
    EXPECT_EQ(white1.r, 250); // 20 + 230 = 250 -> 250*0.998 + 50*0.002 = 249.5 + 0.1
    EXPECT_EQ(white1.g, 240); // 10 + 230 = 240 -> 239.52 + 0.2
    EXPECT_EQ(white1.b, 230); // 0 + 230 = 230 -> 229.54 + 0.1
    // Row 2: 0.4 menu + 0.6 window = (233, 193, 153), t = 0.004.
    EXPECT_EQ(black2.r, 232);
    EXPECT_EQ(black2.g, 192);
    EXPECT_EQ(black2.b, 152);
    // From row 100 on the tint stays at a fifth.
    SRowColour late = MoveListRowColour(101, {0, 0, 0}, {0, 0, 0});
    EXPECT_EQ(late.r, 10);
    EXPECT_EQ(late.g, 20);
    EXPECT_EQ(late.b, 10);
    SRowColour later = MoveListRowColour(301, {0, 0, 0}, {0, 0, 0});
    EXPECT_EQ(later.g, 20);
    // The mix saturates at 255 before the tint (26 + 230 would be 256,
    // which would come out as 255 after it).
    SRowColour bright = MoveListRowColour(1, {255, 255, 255}, {255, 255, 255});
    EXPECT_EQ(bright.g, 254);
}

TEST(MoveListRows, ARealGameGivesOneRowPerPlyInItsOwnColumn)
{
    std::vector<std::string> expected = FirstGameSans(kGameFile);
    ASSERT_EQ(expected.size(), 89u);

    Zorlin::CWin32File file;
    ASSERT_TRUE(file.Open(kGameFile.c_str(), Zorlin::CFile::kModeRead));
    CChessBoard board;
    Zorlin::CAssocArray<CString> tags;
    CString error;
    ASSERT_TRUE(board.LoadPgnGame(file, tags, error)) << error.GetText();
    const Zorlin::CArray<SHistoryEntry>& history = board.GetHistory();
    ASSERT_EQ(history.GetCount(), 89);

    for (int ply = 1; ply <= history.GetCount(); ++ply) {
        SMoveListRow row = MakeMoveListRow(ply, history.GetAt(ply - 1)->m_shortText);
        const std::string& san = expected[size_t(ply - 1)];
        if (ply % 2 == 1) {
            EXPECT_EQ(row.m_label.GetText(), std::to_string((ply + 1) / 2) + ".") << ply;
            EXPECT_EQ(Strip(row.m_white.GetText()), Strip(san)) << ply;
            EXPECT_TRUE(row.m_black.IsEmpty()) << ply;
        } else {
            EXPECT_TRUE(row.m_label.IsEmpty()) << ply;
            EXPECT_EQ(Strip(row.m_black.GetText()), Strip(san)) << ply;
            EXPECT_TRUE(row.m_white.IsEmpty()) << ply;
        }
    }
    // White's 45th move is the last row.
    EXPECT_EQ(MakeMoveListRow(89, history.GetAt(88)->m_shortText).m_label, "45.");
}
