#include <gtest/gtest.h>

#include <cstdio>
#include <future>
#include <regex>
#include <string>
#include <vector>

#include "chess/ChessBoard.h"
#include "chess/Pgn.h"
#include "foundation/AssocArray.h"
#include "foundation/MemFile.h"
#include "foundation/Win32File.h"
#include "support/pgn_oracle.h"

using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

struct SLoadedGame {
    bool ok = false;
    std::string error;
    std::vector<std::string> texts; // each history entry's text, as read
    std::vector<std::string> sans;  // MakeSan of each move, computed afresh
    std::vector<std::string> fens;  // after each ply
    std::string finalFen;
    std::string Tag(const char* name) const
    {
        const CString* value = tags.Find(name);
        return value ? value->GetText() : "(none)";
    }
    CAssocArray<CString> tags;
    unsigned end = 0;
};

std::string Fen(const CChessBoard& board)
{
    CString fen;
    EXPECT_TRUE(board.GetFen(fen, false));
    return fen.GetText();
}

// Replays the loaded history on a fresh board, asking each position for
// its FEN and each move for its SAN.
void Describe(const CChessBoard& board, SLoadedGame& game)
{
    CChessBoard replay;
    replay.SetupStartPosition();
    const Zorlin::CArray<SHistoryEntry>& history = board.GetHistory();
    for (int i = 0; i < history.GetCount(); ++i) {
        CMove move = history.GetAt(i)->m_move;
        game.texts.push_back(move.m_text.GetText());
        CMove bare = move;
        bare.m_text = CString();
        CString san;
        replay.MakeSan(bare, san);
        game.sans.push_back(san.GetText());
        replay.MakeMove(move, 0.0);
        game.fens.push_back(Fen(replay));
    }
    game.finalFen = Fen(board);
}

// Successive LoadPgnGame calls until one answers false without an error.
std::vector<SLoadedGame> LoadAll(CFile& f)
{
    std::vector<SLoadedGame> games;
    CChessBoard board;
    for (unsigned bound = f.GetSize() + 1; bound > 0; --bound) {
        SLoadedGame game;
        CString error;
        game.ok = board.LoadPgnGame(f, game.tags, error);
        game.error = error.GetText();
        if (!game.ok && game.error.empty())
            break;
        game.end = f.GetPosition();
        Describe(board, game);
        games.push_back(std::move(game));
    }
    return games;
}

std::vector<SLoadedGame> LoadAll(const std::string& bytes)
{
    CMemFile f;
    FillMemFile(f, bytes);
    return LoadAll(f);
}

SLoadedGame LoadOne(const std::string& bytes)
{
    std::vector<SLoadedGame> games = LoadAll(bytes);
    EXPECT_EQ(games.size(), 1u);
    return games.empty() ? SLoadedGame() : std::move(games[0]);
}

std::string StripCheckMarks(std::string san)
{
    while (!san.empty() && (san.back() == '+' || san.back() == '#'))
        san.pop_back();
    return san;
}

// Our games against chess.js's reading of the same file: the same games,
// the same moves, the same refusals, the same final positions, and for the
// games it describes ply by ply every position and every SAN alike.
void CompareWithOracle(const std::vector<SLoadedGame>& ours, const std::vector<SOracleGame>& theirs)
{
    ASSERT_EQ(ours.size(), theirs.size());
    for (size_t g = 0; g < ours.size(); ++g) {
        SCOPED_TRACE("game " + std::to_string(g + 1));
        EXPECT_EQ(ours[g].ok, theirs[g].ok) << ours[g].error;
        EXPECT_EQ(ours[g].error, theirs[g].ok ? "" : theirs[g].badMove);
        ASSERT_EQ(ours[g].fens.size(), theirs[g].plies);
        EXPECT_EQ(ours[g].finalFen, theirs[g].finalFen);
        if (theirs[g].fens.size() != theirs[g].plies)
            continue;
        for (size_t p = 0; p < ours[g].fens.size(); ++p) {
            ASSERT_EQ(ours[g].fens[p], theirs[g].fens[p]) << "after ply " << p + 1;
            ASSERT_EQ(ours[g].sans[p], StripCheckMarks(theirs[g].sans[p])) << "ply " << p + 1;
        }
    }
}

const char* const kStartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

} // namespace

TEST(PgnLoad, MoveTextWithCommentsVariationsAndNags)
{
    EXPECT_EQ(LoadOne("1. e4 e5 2. Nf3 Nc6 *").texts, (std::vector<std::string>{"e4", "e5", "Nf3", "Nc6"}));
    EXPECT_EQ(LoadOne("1. e4 {best by test} e5 (1... c5 2. Nf3) 2. Nf3 1-0").texts,
              (std::vector<std::string>{"e4", "e5", "Nf3"}));
    EXPECT_EQ(LoadOne("1. e4 $1 e5").texts, (std::vector<std::string>{"e4", "e5"}));
    // Nested variations with NAGs and comments holding brackets.
    EXPECT_EQ(LoadOne("1. e4 (1. d4 $2 (1. c4!? {a (b} c5) d5) <reserved> e5!? {x ) y} 2. Nf3 *").texts,
              (std::vector<std::string>{"e4", "e5", "Nf3"}));
    // ";" comments to the end of its line wherever it stands.
    EXPECT_EQ(LoadOne("1. e4 ; e5 would be wrong\n1... c5 *").texts, (std::vector<std::string>{"e4", "c5"}));
    // "%" lines and a comment before the first move.
    EXPECT_EQ(LoadOne("[Event \"x\"]\n\n%escape 1. d4\n{intro}{second}\n1. e4 *").texts,
              (std::vector<std::string>{"e4"}));
}

TEST(PgnLoad, MoveFormsAndTheTextKept)
{
    // No blanks after move numbers, zero castling, check marks and
    // annotations glued on: the move is the legal one, and its text is
    // its SAN whatever the file spelled.
    const SLoadedGame game = LoadOne("1.e4 e5 2.Nf3 Nc6 3.Bc4 Bc5 4.0-0 Nf6 5.d3 O-O! *");
    EXPECT_TRUE(game.ok) << game.error;
    EXPECT_EQ(game.texts, (std::vector<std::string>{"e4", "e5", "Nf3", "Nc6", "Bc4", "Bc5", "O-O", "Nf6", "d3", "O-O"}));
    EXPECT_EQ(game.finalFen, "r1bq1rk1/pppp1ppp/2n2n2/2b1p3/2B1P3/3P1N2/PPP2PPP/RNBQ1RK1 w - - 1 6");
    EXPECT_EQ(game.sans[6], "O-O");
}

TEST(PgnLoad, PromotionsMustBeToARealPiece)
{
    const std::string opening = "1. a4 b5 2. axb5 a6 3. bxa6 Bb7 4. axb7 Nc6 5. ";
    EXPECT_EQ(LoadOne(opening + "bxa8=N *").finalFen, "N2qkbnr/2pppppp/2n5/8/8/8/1PPPPPPP/RNBQKBNR b KQk - 0 5");
    // Without a letter the pawn becomes a queen.
    EXPECT_EQ(LoadOne(opening + "bxa8 *").finalFen, "Q2qkbnr/2pppppp/2n5/8/8/8/1PPPPPPP/RNBQKBNR b KQk - 0 5");
    for (const char* bad : {"bxa8=K", "bxa8=P", "e4=Q", "bxc8=Q"}) {
        const SLoadedGame game = LoadOne(opening + bad + " *");
        EXPECT_FALSE(game.ok) << bad;
        EXPECT_EQ(game.error, bad);
        EXPECT_EQ(game.fens.size(), 8u) << bad;
    }
}

TEST(PgnLoad, ABadMoveStopsItsGameAndTheNextGameStillLoads)
{
    const std::vector<SLoadedGame> games = LoadAll(
        "[Event \"1\"]\n\n1. e4 d5 2. Bb5+ e5 3. Nf3 *\n\n"   // e5 ignores the check
        "[Event \"2\"]\n\n1. d4 Z0 2. c4 *\n\n"               // a null move cannot be played
        "[Event \"3\"]\n\n1. e4 e5 2. Ke2 Qh4 3. Ke3 Bc5+ 4. Kf4 *\n\n" // into check
        "[Event \"4\"]\n\n1. Nf3 *\n");
    ASSERT_EQ(games.size(), 4u);
    EXPECT_FALSE(games[0].ok);
    EXPECT_EQ(games[0].error, "e5");
    EXPECT_EQ(games[0].fens.size(), 3u); // the moves before it stay on the board
    EXPECT_FALSE(games[1].ok);
    EXPECT_EQ(games[1].error, "Z0");
    EXPECT_EQ(games[1].fens.size(), 1u);
    EXPECT_FALSE(games[2].ok);
    EXPECT_EQ(games[2].error, "Kf4");
    EXPECT_EQ(games[2].fens.size(), 6u);
    EXPECT_TRUE(games[3].ok);
    EXPECT_EQ(games[3].Tag("Event"), "4");
    EXPECT_EQ(games[3].texts, (std::vector<std::string>{"Nf3"}));
}

TEST(PgnLoad, GamesWithoutResultsGluedGamesAndOddBytes)
{
    const std::vector<SLoadedGame> games = LoadAll(
        "[Event \"1\"]\n\n1. e4 e5\n[Event \"2\"]\n1. d4 d5 *[Event \"3\"]\r\n\r\n"
        "[White \"M\xFCller\"]\r\n{Latin-1 \xE9t\xE9} 1. c4 Nf6+++++++++++++ *\r\n");
    ASSERT_EQ(games.size(), 3u);
    EXPECT_EQ(games[0].texts, (std::vector<std::string>{"e4", "e5"}));
    EXPECT_EQ(games[1].texts, (std::vector<std::string>{"d4", "d5"}));
    EXPECT_EQ(games[2].Tag("Event"), "3");
    EXPECT_EQ(games[2].Tag("White"), "M\xFCller"); // bytes kept as they are
    // A token too long for the history's short text gets the computed SAN.
    EXPECT_TRUE(games[2].ok);
    EXPECT_EQ(games[2].texts, (std::vector<std::string>{"c4", "Nf6"}));
}

TEST(PgnLoad, OnlyStandardGamesFromTheStartPosition)
{
    const std::vector<SLoadedGame> games = LoadAll(
        "[SetUp \"1\"]\n[FEN \"4k3/8/8/8/8/8/8/4K3 w - - 0 1\"]\n\n1. Kd2 *\n\n"
        "[Variant \"Antichess\"]\n\n1. e3 b5 2. Bxb5 *\n\n"
        "[Variant \"Standard\"]\n[SetUp \"1\"]\n[FEN \"" + std::string(kStartFen) + "\"]\n\n1. e4 *\n\n"
        "[Annotator \"x\"]\n\n1. d4 *\n");
    ASSERT_EQ(games.size(), 4u);
    EXPECT_FALSE(games[0].ok);
    EXPECT_NE(games[0].error.find("FEN 4k3/8/8/8/8/8/8/4K3 w - - 0 1"), std::string::npos) << games[0].error;
    EXPECT_TRUE(games[0].fens.empty());
    EXPECT_FALSE(games[1].ok);
    EXPECT_NE(games[1].error.find("Antichess"), std::string::npos) << games[1].error;
    EXPECT_TRUE(games[2].ok) << games[2].error;
    EXPECT_EQ(games[2].texts, (std::vector<std::string>{"e4"}));
    EXPECT_TRUE(games[3].ok);
    EXPECT_EQ(games[3].Tag("Variant"), "(none)");
    EXPECT_EQ(games[3].Tag("FEN"), "(none)");
    EXPECT_EQ(games[3].Tag("Annotator"), "x");
}

// Where ReadPgnGame ends each game of a file.
std::vector<unsigned> ListedGameEnds(const std::string& bytes)
{
    CMemFile f;
    FillMemFile(f, bytes);
    std::vector<unsigned> ends;
    CAssocArray<CString> tags;
    CString error;
    CString moveText;
    while (ReadPgnGame(f, tags, error, moveText))
        ends.push_back(f.GetPosition());
    return ends;
}

TEST(PgnLoad, RealFiles)
{
    struct SFile {
        const char* name;
        size_t games;
        size_t pliesOfFirst;
        int step; // chess.js is slow: only every step-th game ply by ply
    };
    // Ply counts from the files' own PlyCount tags; the ChessBase game stops
    // at its null move Z0 after 81 plies.
    const std::vector<SFile> files = {
        {"engine-games-800.pgn", 800, 73, 8}, {"kasparov-deep-blue-1997.pgn", 6, 89, 1},
        {"stockfish-learning.pgn", 1, 154, 1}, {"utf8-bom.pgn", 2, 0, 1},
        {"chessbase-empty-line.pgn", 1, 134, 1}, {"molinari-bordais-1979.pgn", 1, 10, 1},
        {"anastasian-lewis.pgn", 1, 81, 1},
    };
    const std::string missing = OracleMissing();
    std::vector<std::future<std::vector<SOracleGame>>> oracles;
    for (const SFile& file : files) {
        if (!missing.empty())
            break;
        oracles.push_back(std::async(std::launch::async, [&file] {
            std::vector<SOracleGame> games;
            if (!RunOracle("games", PgnTestFile(file.name), games, file.step))
                games.clear();
            return games;
        }));
    }
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].name);
        const std::string bytes = ReadWholeFile(PgnTestFile(files[i].name));
        const std::vector<SLoadedGame> ours = LoadAll(bytes);
        ASSERT_EQ(ours.size(), files[i].games);
        EXPECT_EQ(ours[0].fens.size(), files[i].pliesOfFirst);
        // The game list and the loader agree on where every game ends.
        std::vector<unsigned> loadedEnds;
        for (const SLoadedGame& game : ours)
            loadedEnds.push_back(game.end);
        EXPECT_EQ(ListedGameEnds(bytes), loadedEnds);
        if (!oracles.empty())
            CompareWithOracle(ours, oracles[i].get());
    }
    if (!missing.empty())
        GTEST_SKIP() << "not compared with chess.js: " << missing;
}

TEST(PgnLoad, DiskFileLoadsLikeMemory)
{
    const std::string path = PgnTestFile("kasparov-deep-blue-1997.pgn");
    Zorlin::CWin32File disk(path.c_str(), CFile::kModeRead);
    ASSERT_TRUE(disk.IsOpen());
    const std::vector<SLoadedGame> fromDisk = LoadAll(disk);
    const std::vector<SLoadedGame> fromMemory = LoadAll(ReadWholeFile(path));
    ASSERT_EQ(fromDisk.size(), 6u);
    ASSERT_EQ(fromMemory.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(fromDisk[i].ok);
        EXPECT_EQ(fromDisk[i].fens, fromMemory[i].fens);
    }
}

TEST(PgnLoad, AntichessIsRefusedAndStopsCleanlyWithoutItsTag)
{
    const std::string bytes = ReadWholeFile(PgnTestFile("antichess-programfox.pgn"));
    const std::vector<SLoadedGame> refused = LoadAll(bytes);
    ASSERT_EQ(refused.size(), 2u);
    for (const SLoadedGame& game : refused) {
        EXPECT_FALSE(game.ok);
        EXPECT_NE(game.error.find("Antichess"), std::string::npos);
        EXPECT_TRUE(game.fens.empty());
    }

    // Read by the rules of chess, the first game breaks them where chess.js
    // says; the second promotes to a king, which we refuse and chess.js lets
    // through, so we stop on that move.
    const std::string untagged = std::regex_replace(bytes, std::regex("\\[Variant \"Antichess\"\\]\n"), "[Event \"?\"]\n");
    const std::vector<SLoadedGame> ours = LoadAll(untagged);
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(ours[0].error, "Ra3");
    EXPECT_EQ(ours[1].error, "fxe8=K");
    const std::string missing = OracleMissing();
    if (!missing.empty())
        GTEST_SKIP() << missing;
    const std::string path = WriteTempFile(untagged, ".pgn");
    ASSERT_FALSE(path.empty());
    std::vector<SOracleGame> theirs;
    const bool ran = RunOracle("games", path, theirs);
    std::remove(path.c_str());
    ASSERT_TRUE(ran);
    ASSERT_EQ(theirs.size(), 2u);
    EXPECT_EQ(theirs[0].badMove, "Ra3");
    EXPECT_EQ(ours[0].fens, theirs[0].fens);
    const std::vector<std::string> theirPrefix(theirs[1].fens.begin(), theirs[1].fens.begin() + ours[1].fens.size());
    EXPECT_EQ(ours[1].fens, theirPrefix);
    EXPECT_EQ(theirs[1].sans[ours[1].fens.size()].substr(0, 4), "fxe8");
}

// Knights out and back: any number of legal plies, as a hostile file may
// hold far more of them than any game the rules allow.
std::string ShuffleGame(int plies)
{
    static const char* const kCycle[] = {"Nf3", "Nf6", "Ng1", "Ng8"};
    std::string text = "[Event \"long\"]\n\n";
    for (int ply = 0; ply < plies; ++ply) {
        if (ply % 2 == 0)
            text += std::to_string(ply / 2 + 1) + ". ";
        text += kCycle[ply % 4];
        text += ply % 16 == 15 ? "\n" : " ";
    }
    return text + " *\n\n";
}

TEST(PgnLoad, GamesLongerThanTheRulesAllowAreRefusedAndTheNextStillLoads)
{
    const std::string bytes = ShuffleGame(kPgnMaxPlies) + ShuffleGame(kPgnMaxPlies + 1) +
                              ShuffleGame(3 * kPgnMaxPlies) + "[Event \"next\"]\n\n1. e4 e5 *\n";
    CMemFile f;
    FillMemFile(f, bytes);
    CChessBoard board;
    CAssocArray<CString> tags;
    CString error;
    ASSERT_TRUE(board.LoadPgnGame(f, tags, error)) << error.GetText();
    EXPECT_EQ(board.GetPly(), kPgnMaxPlies);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(board.LoadPgnGame(f, tags, error));
        EXPECT_NE(std::string(error.GetText()).find(std::to_string(kPgnMaxPlies) + " plies"), std::string::npos)
            << error.GetText();
        EXPECT_EQ(board.GetPly(), kPgnMaxPlies);
    }
    ASSERT_TRUE(board.LoadPgnGame(f, tags, error)) << error.GetText();
    EXPECT_EQ(board.GetPly(), 2);
    EXPECT_EQ(std::string(tags.Find("Event")->GetText()), "next");
}
