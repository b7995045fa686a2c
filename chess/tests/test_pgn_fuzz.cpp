#include <gtest/gtest.h>

#include <random>
#include <string>
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

// Every feature of the move text in a few games.
const char* const kTricky =
    "\xEF\xBB\xBF[Event \"a \\\"q\\\" b\"][Site \"s\"]\r\n[Round \"1\"]\r\n\r\n"
    "{intro} 1.e4 $1 e5!? (1... c5 {x (y} (1... e6 2. d4) 2. Nf3) 2. Nf3 ; rest\r\n"
    "%escape\r\n2... Nc6 3. Bb5 a6 {[%clk 0:01:00]\r\n[%cal Ge2e4]} 4. Ba4 Nf6 5. 0-0 Be7 *[Event \"2\"]\n"
    "\n1. d4 d5 2. c4 dxc4 3. e4 b5 4. a4 c6 5. axb5 cxb5 6. Qf3 1/2-1/2 {end}\n"
    "[Event \"3\"]\n1. e4 {open\n\n[Event \"4\"]\n[SetUp \"1\"]\n[FEN \"8/8/8/8/8/8/8/K6k w - - 0 1\"]\n\n1. Kb1 *\n"
    "[Event \"5\"]\n\n1. a4 b5 2. axb5 a6 3. bxa6 Bb7 4. axb7 Nc6 5. bxa8=Q e5 6. Qxd8+ Kxd8 0-1";

const char* const kSnippets[] = {
    "{", "}", "(", ")", "[", "]", "\"", "\\", ";", "%", "\n", "\r", "\r\n", "$", "$9", "*", ".", "1-0",
    "1/2-1/2", "\n\n", "[Event \"", "\"]\n", "e8=K", "O-O-O", "0-0", "Nf3", "<", ">", "\xEF\xBB\xBF", "\x80",
};

std::string Mutate(std::string text, std::mt19937& random)
{
    const int steps = 1 + int(random() % 8);
    for (int i = 0; i < steps; ++i) {
        const size_t pos = text.empty() ? 0 : random() % (text.size() + 1);
        switch (random() % 5) {
        case 0: // overwrite a byte
            if (pos < text.size())
                text[pos] = char(random() % 3 == 0 ? random() % 256 : kSnippets[random() % std::size(kSnippets)][0]);
            break;
        case 1: // insert a piece of syntax
            text.insert(pos, kSnippets[random() % std::size(kSnippets)]);
            break;
        case 2: // cut a run
            text.erase(pos, random() % 24);
            break;
        case 3: // repeat a run
            text.insert(pos, text.substr(pos, random() % 64));
            break;
        default: // truncate
            text.resize(pos);
            break;
        }
    }
    return text;
}

// Both readers must end, advance on every game, never read past the end,
// and agree on where each game ends; every loaded board stays sound.
void CheckReaders(const std::string& bytes)
{
    CMemFile f;
    FillMemFile(f, bytes);
    const unsigned size = f.GetSize();
    CAssocArray<CString> tags;
    CString error;
    CString moveText;

    std::vector<unsigned> listed;
    unsigned last = 0;
    bool ended = false;
    for (unsigned bound = size + 2; bound > 0 && !ended; --bound) {
        if (!ReadPgnGame(f, tags, error, moveText)) {
            ended = true;
            break;
        }
        const unsigned pos = f.GetPosition();
        ASSERT_GT(pos, last) << "a listed game took no bytes";
        ASSERT_LE(pos, size);
        ASSERT_LE(moveText.GetLength(), kPgnMaxMoveText);
        listed.push_back(pos);
        last = pos;
    }
    ASSERT_TRUE(ended) << "listing did not end";

    ASSERT_TRUE(f.Seek(0, CFile::kSeekStart));
    std::vector<unsigned> loaded;
    CChessBoard board;
    ended = false;
    last = 0;
    for (unsigned bound = size + 2; bound > 0 && !ended; --bound) {
        const bool ok = board.LoadPgnGame(f, tags, error);
        if (!ok && error.IsEmpty()) {
            ended = true;
            break;
        }
        const unsigned pos = f.GetPosition();
        ASSERT_GT(pos, last) << "a loaded game took no bytes";
        loaded.push_back(pos);
        last = pos;
        ASSERT_EQ(board.GetHistory().GetCount(), board.GetPly());
        CString fen;
        ASSERT_TRUE(board.GetFen(fen, false)); // legal play never loses a king
        for (int i = 0; i < board.GetHistory().GetCount(); ++i)
            ASSERT_EQ(board.GetHistory().GetAt(i)->m_shortText[11], 0);
    }
    ASSERT_TRUE(ended) << "loading did not end";
    EXPECT_EQ(listed, loaded);

    // What a paste takes for PGN has a game to show.
    ASSERT_TRUE(f.Seek(0, CFile::kSeekStart));
    if (HoldsPgn(f)) {
        EXPECT_FALSE(listed.empty());
    }
}

std::vector<std::string> Seeds()
{
    std::vector<std::string> seeds = {kTricky};
    for (const char* name : {"kasparov-deep-blue-1997.pgn", "stockfish-learning.pgn", "utf8-bom.pgn",
                             "chessbase-empty-line.pgn", "antichess-programfox.pgn", "anastasian-lewis.pgn"})
        seeds.push_back(ReadWholeFile(PgnTestFile(name)));
    seeds.push_back(ReadWholeFile(PgnTestFile("engine-games-800.pgn")).substr(0, 8000));
    return seeds;
}

} // namespace

TEST(PgnFuzz, TrickyTextReadsAsExpected)
{
    // The seed itself: five games, the third cut short by its open comment,
    // the fourth refused for its set-up position.
    CMemFile f;
    FillMemFile(f, kTricky);
    CChessBoard board;
    CAssocArray<CString> tags;
    CString error;
    std::vector<std::pair<bool, int>> results;
    for (int i = 0; i < 10; ++i) {
        const bool ok = board.LoadPgnGame(f, tags, error);
        if (!ok && error.IsEmpty())
            break;
        results.emplace_back(ok, board.GetPly());
    }
    const std::vector<std::pair<bool, int>> expected = {{true, 10}, {true, 11}, {true, 1}, {false, 0}, {true, 12}};
    EXPECT_EQ(results, expected);
    CheckReaders(kTricky);
}

TEST(PgnFuzz, EveryTruncationOfTheTrickyText)
{
    const std::string text = kTricky;
    for (size_t n = 0; n <= text.size(); ++n) {
        SCOPED_TRACE(n);
        CheckReaders(text.substr(0, n));
        if (HasFatalFailure())
            return;
    }
}

TEST(PgnFuzz, RandomMutationsOfRealFiles)
{
    std::mt19937 random(7);
    const std::vector<std::string> seeds = Seeds();
    for (int i = 0; i < 1000; ++i) {
        const std::string text = Mutate(seeds[size_t(i) % seeds.size()], random);
        SCOPED_TRACE("mutation " + std::to_string(i));
        CheckReaders(text);
        if (HasFatalFailure())
            return;
    }
}

TEST(PgnFuzz, RandomBytes)
{
    std::mt19937 random(11);
    for (int i = 0; i < 500; ++i) {
        std::string text(random() % 2000, '\0');
        for (char& c : text)
            c = random() % 2 ? kSnippets[random() % std::size(kSnippets)][0] : char(random() % 256);
        SCOPED_TRACE("input " + std::to_string(i));
        CheckReaders(text);
        if (HasFatalFailure())
            return;
    }
}
