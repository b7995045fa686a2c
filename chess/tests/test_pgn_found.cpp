// PGN as files are found: text outside any game, move text on the tag
// line, a start position written as a FEN with its move number, the
// program's own bench reader, and the whole of pgn-extract's ECO file.
// Each game list is checked against chess.js's reading of the same text:
// the number of games, their tags, their plies and final positions.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "chess/ChessBoard.h"
#include "chess/Pgn.h"
#include "foundation/AssocArray.h"
#include "foundation/MemFile.h"
#include "support/pgn_oracle.h"

using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

const char* const kEcoFile = "/usr/share/pgn-extract/eco.pgn";
const char* const kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

struct SGame {
    bool ok = false;
    std::string error;
    std::vector<std::pair<std::string, std::string>> tags;
    int plies = 0;
    std::string finalFen;
    std::string moves; // the history's texts, space-separated

    std::string Tag(const char* name) const
    {
        for (const auto& tag : tags)
            if (tag.first == name)
                return tag.second;
        return "(none)";
    }
};

// Successive LoadPgnGame calls until one says false without a word.
std::vector<SGame> LoadAll(const std::string& bytes)
{
    CMemFile f;
    FillMemFile(f, bytes);
    std::vector<SGame> games;
    CChessBoard board;
    for (size_t bound = bytes.size() + 1; bound > 0; --bound) {
        SGame game;
        CAssocArray<CString> tags;
        CString error;
        game.ok = board.LoadPgnGame(f, tags, error);
        if (!game.ok && error.IsEmpty())
            break;
        game.error = error.GetText();
        tags.ForEach([&](const CString& name, const CString& value) {
            game.tags.emplace_back(name.GetText(), value.GetText());
        });
        game.plies = board.GetPly();
        CString fen;
        board.GetFen(fen, false);
        game.finalFen = fen.GetText();
        for (int i = 0; i < board.GetHistory().GetCount(); ++i)
            game.moves += std::string(i ? " " : "") + board.GetHistory().GetAt(i)->m_shortText;
        games.push_back(std::move(game));
    }
    return games;
}

// The games the viewer's list would show, by ReadPgnGame.
size_t ListedCount(const std::string& bytes)
{
    CMemFile f;
    FillMemFile(f, bytes);
    CAssocArray<CString> tags;
    CString error, moveText;
    size_t count = 0;
    while (count <= bytes.size() && ReadPgnGame(f, tags, error, moveText))
        ++count;
    return count;
}

// chess.js's reading of the same bytes, every game ply by ply.
bool Oracle(const std::string& bytes, std::vector<SOracleGame>& theirs)
{
    const std::string path = WriteTempFile(bytes, ".pgn");
    if (path.empty())
        return false;
    const bool ran = RunOracle("games", path, theirs, 1);
    std::remove(path.c_str());
    return ran;
}

// Ours against chess.js, game by game. chess.js adds a Result tag from the
// game's end marker when the file has none, and drops SetUp and FEN when
// they name the start position.
void ExpectSameAsOracle(const std::vector<SGame>& ours, const std::vector<SOracleGame>& theirs)
{
    ASSERT_EQ(ours.size(), theirs.size());
    for (size_t g = 0; g < ours.size(); ++g) {
        SCOPED_TRACE("game " + std::to_string(g + 1));
        EXPECT_EQ(ours[g].ok, theirs[g].ok) << ours[g].error;
        EXPECT_EQ(size_t(ours[g].plies), theirs[g].plies);
        EXPECT_EQ(ours[g].finalFen, theirs[g].finalFen);
        std::vector<std::pair<std::string, std::string>> ourTags, theirTags;
        for (const auto& tag : ours[g].tags)
            if (ours[g].Tag("FEN") != kStart || (tag.first != "SetUp" && tag.first != "FEN"))
                ourTags.push_back(tag);
        for (const auto& tag : theirs[g].tags)
            if (tag.first != "Result" || ours[g].Tag("Result") != "(none)")
                theirTags.push_back(tag);
        EXPECT_EQ(ourTags, theirTags);
    }
}

// Both readers of ours agree on the count, and chess.js on everything.
void CheckAgainstOracle(const std::string& bytes, size_t games)
{
    const std::vector<SGame> ours = LoadAll(bytes);
    ASSERT_EQ(ours.size(), games);
    EXPECT_EQ(ListedCount(bytes), games);
    const std::string missing = OracleMissing();
    if (!missing.empty())
        GTEST_SKIP() << "not compared with chess.js: " << missing;
    std::vector<SOracleGame> theirs;
    ASSERT_TRUE(Oracle(bytes, theirs));
    ExpectSameAsOracle(ours, theirs);
}

} // namespace

TEST(PgnFound, TextBeforeTheFirstGameIsNoGame)
{
    // As pgn-extract's ECO file begins: a comment over several lines, then
    // the games; a comment and blank lines at the end of the file too.
    const std::string games = "[ECO \"A00\"]\n[Opening \"Polish\"]\n\n1. b4 *\n\n"
                              "[ECO \"A01\"]\n[Opening \"Nimzovich-Larsen attack\"]\n\n1. b3 *\n\n"
                              "[ECO \"A02\"]\n\n1. f4 e5 2. fxe5 d6 *\n";
    CheckAgainstOracle("{\nA PGN file of ECO classifications [with brackets]\n(and parentheses)\n}\n\n" + games +
                           "\n{ the end }\n\n",
                       3);
    CheckAgainstOracle("\r\n\r\n" + games, 3);

    // Lines and remarks between games, and a lone result, carry no game
    // either (chess.js reads none of these, so only ours is asked).
    const std::vector<SGame> ours =
        LoadAll("% made by hand\n; a remark\n{intro} *\n\n" + games + "\n{ between }\n1-0\n\n" + games + "{");
    ASSERT_EQ(ours.size(), 6u);
    for (const SGame& game : ours)
        EXPECT_TRUE(game.ok) << game.error;
    EXPECT_EQ(ours[0].Tag("ECO"), "A00");
    EXPECT_EQ(ours[3].Tag("ECO"), "A00");
    EXPECT_EQ(ours[5].moves, "f4 e5 fxe5 d6");

    // A game without tags is still a game when it holds moves.
    const std::vector<SGame> bare = LoadAll("{intro}\n1. e4 e5 *\n");
    ASSERT_EQ(bare.size(), 1u);
    EXPECT_EQ(bare[0].plies, 2);
    EXPECT_EQ(ListedCount("{intro}\n1. e4 e5 *\n"), 1u);
}

TEST(PgnFound, MoveTextOnTheTagLine)
{
    // The import format: tags run together, and the move text (or the
    // result alone) right after the last tag on its line.
    const std::string text = "[Event \"1\"][White \"Ann\"] *\n"
                             "[Event \"2\"] [Result \"1-0\"] 1. e4 e5 1-0\n"
                             "[Event \"3\"][White \"Bob\"][Black \"Cy\"] 1. d4 d5 2. c4 *\n"
                             "[Event \"4\"]\n[Result \"0-1\"] {a comment first} 1. f3 e5 2. g4 Qh4# 0-1\n"
                             "[Event \"5\"]\n[Round \"2\"]\n\n1. c4 *\n"
                             "[Event \"6\"][White \"Dee\"] 1. Nf3\n2. Nc3 *\n"
                             "[Event \"7\"] [White \"Eve\"] [Black \"Finn\"] 1. e4 e5 2. Nf3 Nc6 0-1\n"
                             "[Event \"8\"][Result \"*\"]*\n"
                             "[Event \"9\"]\t1.e4 *\n";
    const std::vector<SGame> ours = LoadAll(text);
    ASSERT_EQ(ours.size(), 9u);
    for (size_t i = 0; i < ours.size(); ++i)
        EXPECT_EQ(ours[i].Tag("Event"), std::to_string(i + 1));
    EXPECT_EQ(ours[2].moves, "d4 d5 c4");
    EXPECT_EQ(ours[3].moves, "f3 e5 g4 Qh4#");
    // Each game keeps its own tags: Eve and Finn's game is not shown under
    // the next game's, nor the next game under theirs.
    EXPECT_EQ(ours[6].Tag("White"), "Eve");
    EXPECT_EQ(ours[6].Tag("Black"), "Finn");
    EXPECT_EQ(ours[6].plies, 4);
    EXPECT_EQ(ours[7].Tag("White"), "(none)");
    EXPECT_EQ(ours[7].plies, 0);
    CheckAgainstOracle(text, 9);
}

TEST(PgnFound, AStartPositionFenMustBeMoveOne)
{
    const std::string start = "[SetUp \"1\"]\n[FEN \"" + std::string(kStart) + "\"]\n\n1. e4 e5 *\n\n";
    const std::string moveThree = "[SetUp \"1\"]\n[FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 3\"]"
                                  "\n\n3. e4 e5 *\n\n";
    const std::string clocksLeftOut = "[SetUp \"1\"]\n[FEN \"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -\"]"
                                      "\n\n1. e4 e5 *\n\n";
    const std::vector<SGame> ours = LoadAll(start + moveThree + clocksLeftOut);
    ASSERT_EQ(ours.size(), 3u);
    EXPECT_TRUE(ours[0].ok) << ours[0].error;
    EXPECT_TRUE(ours[2].ok) << ours[2].error;
    EXPECT_EQ(ours[2].finalFen, ours[0].finalFen);
    // Counted from 1 its FEN and move numbers would be wrong: refused as
    // a set-up position, with nothing played.
    EXPECT_FALSE(ours[1].ok);
    EXPECT_NE(ours[1].error.find("set-up position"), std::string::npos) << ours[1].error;
    EXPECT_EQ(ours[1].plies, 0);
    CAssocArray<CString> tags;
    tags["SetUp"] = "1";
    tags["FEN"] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 3";
    EXPECT_STREQ(PgnGameRefusal(tags).GetText(), "games from a set-up position are not supported");
    tags["FEN"] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 5 1";
    EXPECT_FALSE(PgnGameRefusal(tags).IsEmpty()) << "a half-move clock the start cannot have";
    tags["FEN"] = std::string(kStart).c_str();
    EXPECT_TRUE(PgnGameRefusal(tags).IsEmpty());
    tags["Variant"] = "Antichess";
    EXPECT_STREQ(PgnGameRefusal(tags).GetText(), "the variant Antichess is not supported");

    // chess.js agrees on the move-one game and reads the other as move 3.
    CheckAgainstOracle(start, 1);
    const std::string missing = OracleMissing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    std::vector<SOracleGame> theirs;
    ASSERT_TRUE(Oracle(moveThree, theirs));
    ASSERT_EQ(theirs.size(), 1u);
    EXPECT_EQ(theirs[0].finalFen, "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 4");
}

TEST(PgnFound, TheBenchReaderCountsOnlyGames)
{
    const std::string game = "[Event \"x\"]\n\n1. e4 e5 *\n";
    for (const std::string& text : {game + "\n", game + "\n\n\n", "{intro}\n\n" + game + "\r\n\r\n{end}\n"}) {
        const std::string path = WriteTempFile(text, ".pgn");
        ASSERT_FALSE(path.empty());
        FILE* pipe = popen(("'" + std::string(ROOKWELL_HOSTILE_READ) + "' pgn '" + path + "'").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char line[256] = {};
        const bool read = fgets(line, sizeof line, pipe) != nullptr;
        EXPECT_EQ(pclose(pipe), 0);
        std::remove(path.c_str());
        ASSERT_TRUE(read);
        EXPECT_STREQ(line, "games 1 refused 0 plies 2\n");
        CheckAgainstOracle(text, 1);
    }
}

// Every game of pgn-extract's ECO file, which scripts/install-deps puts on
// the machine: listed once with its own tags and loaded to chess.js's
// final position.
TEST(PgnFound, EveryGameOfTheEcoFile)
{
    const std::string bytes = ReadWholeFile(kEcoFile);
    if (bytes.empty())
        GTEST_SKIP() << kEcoFile << " is not installed";
    const std::vector<SGame> ours = LoadAll(bytes);
    ASSERT_EQ(ours.size(), 2014u);
    EXPECT_EQ(ListedCount(bytes), 2014u);
    EXPECT_EQ(ours[0].Tag("ECO"), "A00");
    EXPECT_EQ(ours[0].moves, "b4");
    for (const SGame& game : ours)
        ASSERT_TRUE(game.ok) << game.Tag("ECO") << " " << game.error;
    const std::string missing = OracleMissing();
    if (!missing.empty())
        GTEST_SKIP() << "not compared with chess.js: " << missing;
    std::vector<SOracleGame> theirs;
    ASSERT_TRUE(RunOracle("games", kEcoFile, theirs, 1));
    ExpectSameAsOracle(ours, theirs);
}
