#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chess/Pgn.h"
#include "foundation/AssocArray.h"
#include "foundation/MemFile.h"
#include "support/pgn_oracle.h"

using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

struct SListedGame {
    std::vector<std::pair<std::string, std::string>> tags; // in insertion order
    std::string moveText;
    std::string error;
    unsigned end = 0; // file position after the game

    std::string Tag(const char* name) const
    {
        for (const auto& t : tags)
            if (Zorlin::KeysEqualNoCase(CString(t.first.c_str()), CString(name)))
                return t.second;
        return "(none)";
    }
};

std::vector<SListedGame> ListGames(CFile& f)
{
    std::vector<SListedGame> games;
    CAssocArray<CString> tags;
    CString error;
    CString moveText;
    // A game takes at least one byte, so this bound is never what stops a sound reader.
    for (unsigned bound = f.GetSize() + 1; bound > 0; --bound) {
        if (!ReadPgnGame(f, tags, error, moveText))
            break;
        SListedGame game;
        tags.ForEach([&](const CString& key, const CString& value) {
            game.tags.emplace_back(key.GetText(), value.GetText());
        });
        game.moveText = moveText.GetText();
        game.error = error.GetText();
        game.end = f.GetPosition();
        games.push_back(game);
    }
    return games;
}

std::vector<SListedGame> ListGames(const std::string& bytes)
{
    CMemFile f;
    FillMemFile(f, bytes);
    return ListGames(f);
}

std::vector<SListedGame> ListTestFile(const char* name)
{
    const std::string bytes = ReadWholeFile(PgnTestFile(name));
    EXPECT_FALSE(bytes.empty()) << name;
    return ListGames(bytes);
}

} // namespace

TEST(PgnReader, TwoGamesSeparatedByAnEmptyLine)
{
    const std::string second = "[Event \"B\"]\n[Site \"b\"]\n\n1. d4 d5 1/2-1/2\n";
    const std::string text = "[Event \"A\"]\n[Annotator \"x\"]\n\n1. e4 e5\n2. Nf3 Nc6 *\n\n" + second;
    const std::vector<SListedGame> games = ListGames(text);
    ASSERT_EQ(games.size(), 2u);
    EXPECT_EQ(games[0].Tag("Event"), "A");
    EXPECT_EQ(games[0].Tag("annotator"), "x");
    // The opening move number is not part of the collected text.
    EXPECT_EQ(games[0].moveText, ". e4 e5\n2. Nf3 Nc6 *\n");
    // The second call starts at the second game's first tag, and the first
    // game's tags are not carried over.
    EXPECT_EQ(text.find("[Event \"B\"", games[0].end), text.find("\n[Event \"B\"") + 1);
    ASSERT_EQ(games[1].tags.size(), 2u);
    EXPECT_EQ(games[1].Tag("Annotator"), "(none)");
    EXPECT_EQ(games[1].moveText, ". d4 d5 1/2-1/2\n");
    EXPECT_EQ(games[1].end, text.size());
}

TEST(PgnReader, TagPairsAsRealFilesWriteThem)
{
    const std::vector<SListedGame> games = ListGames(
        "[White \"W\"][Black \"B\"]\n"        // glued on one line
        "[Round \"1\"]  [Date \"2024\"]\n"     // two on one line
        "[Event \"Say \\\"hi\\\" \\\\o/\"]\n"  // escaped quotes and backslash
        "[Site \"x\" words dropped]  \n"       // words inside the brackets
        "[ECO \"A00\"\n"                       // no closing bracket
        "[Result \"*\"]\n\n*\n");
    ASSERT_EQ(games.size(), 1u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"White", "W"}, {"Black", "B"}, {"Round", "1"}, {"Date", "2024"},
        {"Event", "Say \"hi\" \\o/"}, {"Site", "x"}, {"ECO", "A00"}, {"Result", "*"},
    };
    EXPECT_EQ(games[0].tags, expected);
    EXPECT_EQ(games[0].error, "");
}

TEST(PgnReader, WhereAGameEnds)
{
    // Glued games, a game without a result, a result inside a comment or a
    // variation, comment lines that begin with "[", and an empty line inside
    // the move text.
    const std::string text =
        "[Event \"1\"]\n\n1. e4 e5 *[Event \"2\"]\n\n"
        "1. d4 d5\n[Event \"3\"]\n\n"
        "1. c4 {White wins 1-0 here?\n[%clk 0:01:00] [%cal Ge2e4]\n} e5 (1... c5 0-1) ; 1/2-1/2\n"
        "\n2. Nc3 Nf6 1-0 {final}\n"
        "[Event \"4\"]\n1. Nf3 *";
    const std::vector<SListedGame> games = ListGames(text);
    ASSERT_EQ(games.size(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(games[i].Tag("Event"), std::to_string(i + 1));
    EXPECT_EQ(games[0].moveText, ". e4 e5 *\n");
    EXPECT_EQ(games[1].moveText, ". d4 d5\n");
    EXPECT_EQ(games[2].moveText,
              ". c4 {White wins 1-0 here?\n[%clk 0:01:00] [%cal Ge2e4]\n} e5 (1... c5 0-1) ; 1/2-1/2\n"
              "2. Nc3 Nf6 1-0 {final}\n");
    EXPECT_EQ(games[3].moveText, ". Nf3 *\n");
}

TEST(PgnReader, DamagedGamesDoNotSwallowTheNextOnes)
{
    // A malformed tag pair, an unclosed comment and an unclosed variation:
    // each is read up to the next game's tags, which are read in full.
    const std::vector<SListedGame> games = ListGames(
        "[Event x]\n[Site \"s\"]\n\n1. e4 *\n\n"
        "[Event \"open comment\"]\n\n1. e4 {never closed\n\n"
        "[Event \"open variation\"]\n\n1. e4 (1. d4 d5\n\n"
        "[Event \"last\"]\n\n1. e4 *\n");
    ASSERT_EQ(games.size(), 4u);
    EXPECT_EQ(games[0].error, "Event");
    EXPECT_EQ(games[0].Tag("Event"), "(none)");
    EXPECT_EQ(games[0].Tag("Site"), "s");
    EXPECT_EQ(games[1].Tag("Event"), "open comment");
    EXPECT_EQ(games[2].Tag("Event"), "open variation");
    EXPECT_EQ(games[3].Tag("Event"), "last");
    EXPECT_EQ(games[3].error, "");
}

TEST(PgnReader, EndOfInput)
{
    EXPECT_TRUE(ListGames("").empty());
    EXPECT_TRUE(ListGames("\n\r\n  \n% escape only\n; comment only\n").empty());
    const std::vector<SListedGame> tagsOnly = ListGames("[Event \"x\"]");
    ASSERT_EQ(tagsOnly.size(), 1u);
    EXPECT_EQ(tagsOnly[0].moveText, "");
    const std::vector<SListedGame> truncated = ListGames("[Event \"x\"]\n\n1. e4 {cut");
    ASSERT_EQ(truncated.size(), 1u);
    EXPECT_EQ(truncated[0].moveText, ". e4 {cut\n");
}

TEST(PgnReader, RealFilesGameCounts)
{
    // The engine file's events run "selfplay 1" to "selfplay 800": nothing
    // merged, split or skipped.
    const std::vector<SListedGame> engine = ListTestFile("engine-games-800.pgn");
    ASSERT_EQ(engine.size(), 800u);
    for (size_t i = 0; i < engine.size(); ++i)
        ASSERT_EQ(engine[i].Tag("Event"), "selfplay " + std::to_string(i + 1)) << i;

    const std::vector<SListedGame> match = ListTestFile("kasparov-deep-blue-1997.pgn");
    ASSERT_EQ(match.size(), 6u);
    for (size_t i = 0; i < match.size(); ++i) {
        EXPECT_EQ(match[i].Tag("Site"), "0" + std::to_string(i + 1));
        EXPECT_EQ(match[i].tags.size(), 12u);
    }

    // The byte-order mark does not spoil the first tag's name.
    const std::vector<SListedGame> bom = ListTestFile("utf8-bom.pgn");
    ASSERT_EQ(bom.size(), 2u);
    EXPECT_EQ(bom[0].Tag("Event"), "A");
    EXPECT_EQ(bom[1].Tag("Event"), "B");
    EXPECT_EQ(bom[0].Tag("PlyCount"), "0");

    // An empty line between the first tag and the others keeps one game.
    const std::vector<SListedGame> empty = ListTestFile("chessbase-empty-line.pgn");
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].tags.size(), 11u);
    EXPECT_EQ(empty[0].Tag("Event"), "AlphaZero vs. Stockfish");
    EXPECT_EQ(empty[0].Tag("BlackFideId"), "deepmind");

    EXPECT_EQ(ListTestFile("antichess-programfox.pgn").size(), 2u);
    EXPECT_EQ(ListTestFile("molinari-bordais-1979.pgn").size(), 1u);
    EXPECT_EQ(ListTestFile("anastasian-lewis.pgn").size(), 1u);
}

TEST(PgnReader, CommentHeavyGameKeepsItsWholeMoveText)
{
    const std::string bytes = ReadWholeFile(PgnTestFile("stockfish-learning.pgn"));
    const std::vector<SListedGame> games = ListGames(bytes);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].Tag("TimeControl"), "900+5");
    // Every comment of the file is in the move text, and it ends with the result.
    const auto count = [](const std::string& s, char c) { return std::count(s.begin(), s.end(), c); };
    EXPECT_EQ(count(games[0].moveText, '{'), count(bytes, '{'));
    EXPECT_EQ(count(games[0].moveText, '}'), count(bytes, '}'));
    const std::string& text = games[0].moveText;
    EXPECT_EQ(text.substr(text.size() - 5), " 1-0\n");
}

// What a paste takes for PGN: a tag, or a token written like a move.
TEST(PgnReader, PgnIsTagsOrMovesNotProse)
{
    const struct {
        const char* text;
        bool pgn;
    } cases[] = {
        {"Meeting at noon in the library.\nBring 2 copies.", false},
        {"{Just a comment} 1. 2. 1-0\n\n; and a line comment with e4 in it\n", false},
        {"", false},
        {"1. e4 e5 2. Nf3", true},
        {"Meeting at noon, e4 was played", true},
        {"[Event \"Club\"]", true},
        {"Notes first\n\n[Event \"Club\"]\n\nhello *", true},
        {"Notes first\n\nthen 1. d4 *", true},
    };
    for (const auto& c : cases) {
        CMemFile f;
        FillMemFile(f, c.text);
        EXPECT_EQ(HoldsPgn(f), c.pgn) << c.text;
    }
    // Every real file is PGN.
    for (const char* name : {"kasparov-deep-blue-1997.pgn", "utf8-bom.pgn", "chessbase-empty-line.pgn"}) {
        CMemFile f;
        FillMemFile(f, ReadWholeFile(PgnTestFile(name)));
        EXPECT_TRUE(HoldsPgn(f)) << name;
    }
}
