// The text work of the PGN and FEN commands: export files written and
// appended (read back by our reader and by pgn-extract), failures that
// leave the old file alone, the display page and the proposed file name.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/wait.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "chess/Pgn.h"
#include "client/core/Game.h"
#include "client/core/PGNGame.h"
#include "client/core/PgnCommands.h"
#include "client/core/PgnExport.h"
#include "foundation/AssocArray.h"
#include "foundation/AtomicFile.h"
#include "foundation/BufferFile.h"
#include "foundation/Win32File.h"

using Zorlin::CAssocArray;
using Zorlin::CString;

namespace {

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A game of two local players with these moves made on its board.
CGame* GameWith(const std::vector<const char*>& sans)
{
    CGame* game = new CGame();
    game->Setup();
    for (const char* san : sans) {
        CMove move;
        EXPECT_TRUE(game->GetBoard().ParseSan(san, move, true)) << san;
        EXPECT_TRUE(game->GetBoard().MakeMove(move, 0.0)) << san;
    }
    return game;
}

// Every game of the file through our own reader: the moves of each as
// LoadPgnGame plays them, in SAN without check marks.
std::vector<std::vector<std::string>> OurGames(const std::string& path)
{
    std::vector<std::vector<std::string>> games;
    Zorlin::CWin32File file(path.c_str(), 1);
    EXPECT_TRUE(file.IsOpen());
    CAssocArray<CString> tags;
    CString error, moveText;
    while (ReadPgnGame(file, tags, error, moveText)) {
        CString text;
        const CString* white = tags.Find("White");
        text.AppendFormat("[White \"%s\"]\n\n1. ", white ? white->GetText() : "");
        text.Append(moveText);
        Zorlin::CBufferFile game(text);
        CChessBoard board;
        CAssocArray<CString> gameTags;
        CString gameError;
        EXPECT_TRUE(board.LoadPgnGame(game, gameTags, gameError)) << gameError.GetText();
        std::vector<std::string> moves;
        for (int i = 0; i < board.GetHistory().GetCount(); ++i) {
            std::string san = board.GetHistory().GetAt(i)->m_shortText;
            while (!san.empty() && (san.back() == '+' || san.back() == '#'))
                san.pop_back();
            moves.push_back(san);
        }
        games.push_back(moves);
    }
    return games;
}

std::string PgnExtract()
{
    for (const char* path : {"/usr/games/pgn-extract", "/usr/bin/pgn-extract"})
        if (access(path, X_OK) == 0)
            return path;
    return std::string();
}

// pgn-extract's reading of the file: one line of SAN moves (and the result)
// per game.
// What a shell command writes to its standard output.
std::string CommandOutput(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char block[4096];
    size_t n;
    while ((n = fread(block, 1, sizeof block, pipe)) > 0)
        out.append(block, n);
    pclose(pipe);
    return out;
}

std::vector<std::string> ExtractedGames(const std::string& path)
{
    std::vector<std::string> games;
    const std::string out =
        CommandOutput(PgnExtract() + " -s --notags --nomovenumbers -w 10000 '" + path + "' 2>/dev/null");
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty())
            games.push_back(line);
    return games;
}

std::string Joined(const std::vector<std::string>& moves)
{
    std::string out;
    for (const std::string& m : moves)
        out += m + " ";
    return out;
}

std::string ChessJs() { return std::string(ROOKWELL_ORACLE) + "/chess.js"; }

bool HasChessJs()
{
    return access((ChessJs() + "/package.json").c_str(), R_OK) == 0 && std::system("node --version >/dev/null 2>&1") == 0;
}

// chess.js's reading of the first game of a PGN file: the SAN of every
// move as chess.js writes it, and the final position. False when chess.js
// refused a move (or could not be run).
bool ChessJsReading(const std::string& path, std::vector<std::string>& sans, std::string& finalFen)
{
    const std::string out = CommandOutput("node '" + std::string(ROOKWELL_SOURCE) +
                                          "/chess/tests/support/pgn_oracle.js' '" + ChessJs() + "' games '" + path +
                                          "' 1 2>/dev/null");
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("M ", 0) == 0)
            sans.push_back(line.substr(2, line.find(' ', 2) - 2));
        else if (line.rfind("F ", 0) == 0)
            finalFen = line.substr(2);
        else if (line.rfind("END", 0) == 0)
            return line == "END ok";
    }
    return false;
}

// chess.js's reading of a PGN text, written to a file in folder first.
bool ChessJsReadingText(const std::string& folder, const std::string& text, std::vector<std::string>& sans,
                        std::string& finalFen)
{
    const std::string path = folder + "/read-back.pgn";
    WriteAll(path, text);
    return ChessJsReading(path, sans, finalFen);
}

// The move text of a PGN: its lines after the first empty one, joined.
std::string MoveText(const std::string& pgn)
{
    const size_t start = pgn.find("\r\n\r\n");
    std::string moves;
    std::istringstream lines(start == std::string::npos ? std::string() : pgn.substr(start + 4));
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        moves += (moves.empty() ? "" : " ") + line;
    }
    return moves;
}

class PgnExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/rookwell-pgnexport-XXXXXX";
        folder = mkdtemp(name);
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }
    std::string folder;
};

} // namespace

TEST_F(PgnExportTest, AppendedTwiceEveryReaderSeesThreeGames)
{
    if (PgnExtract().empty())
        GTEST_SKIP() << "pgn-extract is not installed";
    CGame* first = GameWith({"e4", "e5", "Nf3", "Nc6", "Bb5", "a6"});
    CGame* second = GameWith({"d4", "d5", "c4", "dxc4"});
    CGame* third = GameWith({});
    const std::string path = folder + "/Club.pgn";

    ASSERT_TRUE(WritePgnExport(path.c_str(), CPgnCommands::GamePgnText(*first, true, "game.pgn"), false));
    ASSERT_TRUE(WritePgnExport(path.c_str(), CPgnCommands::GamePgnText(*second, true, "game.pgn"), true));
    ASSERT_TRUE(WritePgnExport(path.c_str(), CPgnCommands::GamePgnText(*third, true, "game.pgn"), true));

    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("a6 *\r\n\r\n[Event \"Rookwell\"]"), std::string::npos) << "an empty line between games";

    std::vector<std::vector<std::string>> ours = OurGames(path);
    ASSERT_EQ(ours.size(), 3u);
    EXPECT_EQ(Joined(ours[0]), "e4 e5 Nf3 Nc6 Bb5 a6 ");
    EXPECT_EQ(Joined(ours[1]), "d4 d5 c4 dxc4 ");
    EXPECT_TRUE(ours[2].empty());

    std::vector<std::string> theirs = ExtractedGames(path);
    ASSERT_EQ(theirs.size(), 3u) << text;
    EXPECT_EQ(theirs[0], "e4 e5 Nf3 Nc6 Bb5 a6 *");
    EXPECT_EQ(theirs[1], "d4 d5 c4 dxc4 *");
    EXPECT_EQ(theirs[2], "*");

    // Overwrite leaves one game.
    ASSERT_TRUE(WritePgnExport(path.c_str(), CPgnCommands::GamePgnText(*second, true, "game.pgn"), false));
    EXPECT_EQ(ExtractedGames(path).size(), 1u);
    first->Destroy();
    second->Destroy();
    third->Destroy();
}

TEST_F(PgnExportTest, AppendingToAFileOfAnotherProgramStartsANewGame)
{
    if (PgnExtract().empty())
        GTEST_SKIP() << "pgn-extract is not installed";
    CGame* game = GameWith({"c4", "e5"});
    const CString pgn = CPgnCommands::GamePgnText(*game, true, "game.pgn");
    game->Destroy();

    // No line end after the last result, LF lines.
    const std::string bare = folder + "/bare.pgn";
    WriteAll(bare, "[Event \"Club\"]\n[White \"A\"]\n[Black \"B\"]\n[Result \"1-0\"]\n\n1. f3 e5 2. g4 Qh4# 0-1");
    ASSERT_TRUE(WritePgnExport(bare.c_str(), pgn, true));
    EXPECT_NE(ReadAll(bare).find("0-1\r\n\r\n[Event \"Rookwell\"]"), std::string::npos);
    std::vector<std::string> theirs = ExtractedGames(bare);
    ASSERT_EQ(theirs.size(), 2u);
    EXPECT_EQ(theirs[0], "f3 e5 g4 Qh4# 0-1");
    EXPECT_EQ(theirs[1], "c4 e5 *");
    EXPECT_EQ(OurGames(bare).size(), 2u);

    // An empty file gets no empty line in front.
    const std::string empty = folder + "/empty.pgn";
    WriteAll(empty, "");
    ASSERT_TRUE(WritePgnExport(empty.c_str(), pgn, true));
    EXPECT_EQ(ReadAll(empty), std::string(pgn.GetText()));
}

// A game read from a file that spells its moves its own way (zero castling,
// coordinates with and without a hyphen, a pawn letter, a check without its
// "+", a mate without "#") is written in SAN made from the moves, and
// chess.js reads the export back to the same position. Comments,
// variations and NAGs are not written, as before.
TEST_F(PgnExportTest, MovesLoadedInAnySpellingAreExportedAsSan)
{
    const std::string source =
        "[Event \"Spellings\"]\n[White \"A\"]\n[Black \"B\"]\n[Result \"*\"]\n\n"
        "1. c2-c4 e7e5 2. b2b3 Pd5 {a comment} 3. cxd5 Qxd5 (3... Nf6 4. Nc3) 4. Nc3 Qd8 $1\n"
        "5. Qc2 Bb4 6. a3 Bxc3 7. Qxc3 Nf6 8. Qxe5 Be6 9. Qxc7 0-0 10. Pe3 Qxc7 *\n";
    CGame* game = GameWith({});
    CString message;
    ASSERT_TRUE(CPGNGame::ShowPgnText(*game, source.c_str(), 1, false, message)) << message.GetText();
    const std::string exported = CPgnCommands::GamePgnText(*game, false, "game.pgn").GetText();
    EXPECT_EQ(MoveText(exported), "1. c4 e5 2. b3 d5 3. cxd5 Qxd5 4. Nc3 Qd8 5. Qc2 Bb4 6. a3 Bxc3 7. Qxc3 Nf6 "
                                  "8. Qxe5+ Be6 9. Qxc7 O-O 10. e3 Qxc7 *");
    EXPECT_NE(exported.find("[Event \"Spellings\"]"), std::string::npos) << exported;

    CGame* mated = GameWith({});
    ASSERT_TRUE(CPGNGame::ShowPgnText(*mated, "[Result \"0-1\"]\n\n1. f2f3 e7-e5 2. Pg4 Qd8h4 0-1", 1, false, message))
        << message.GetText();
    const std::string mate = CPgnCommands::GamePgnText(*mated, false, "game.pgn").GetText();
    EXPECT_EQ(MoveText(mate), "1. f3 e5 2. g4 Qh4# 0-1");

    for (const std::string& text : {exported, mate}) {
        if (!HasChessJs())
            break;
        std::vector<std::string> sans;
        std::string finalFen;
        ASSERT_TRUE(ChessJsReadingText(folder, text, sans, finalFen)) << "chess.js reads the export back: " << text;
        CGame* back = text == exported ? game : mated;
        ASSERT_EQ(int(sans.size()), back->GetBoard().GetPly());
        for (size_t i = 0; i < sans.size(); ++i)
            EXPECT_EQ(sans[i], back->GetBoard().GetHistory().GetAt(int(i))->m_shortText) << "ply " << i + 1;
        CString fen;
        ASSERT_TRUE(back->GetBoard().GetFen(fen, false));
        EXPECT_EQ(finalFen, fen.GetText());
    }

    // What the program wrote itself reads back to the very same bytes.
    CGame* played = GameWith({"e4", "e5", "Qh5", "Nc6", "Bc4", "Nf6", "Qxf7"});
    SHistoryEntry& last = *played->GetBoard().GetHistory().GetAt(-1);
    last.SetText(CString(last.m_shortText) + played->GetBoard().GetCheckMark()); // as the board canvas marks it
    const CString own = CPgnCommands::GamePgnText(*played, false, "game.pgn");
    CGame* reread = GameWith({});
    ASSERT_TRUE(CPGNGame::ShowPgnText(*reread, own, 1, false, message)) << message.GetText();
    EXPECT_STREQ(CPgnCommands::GamePgnText(*reread, false, "game.pgn").GetText(), own.GetText());
    for (CGame* g : {game, mated, played, reread})
        g->Destroy();
}

// The tag lines of a PGN text, as written.
std::vector<std::string> TagLines(const std::string& pgn)
{
    std::vector<std::string> tags;
    std::istringstream lines(pgn);
    std::string line;
    while (std::getline(lines, line) && line.rfind("[", 0) == 0)
        tags.push_back(line.substr(0, line.size() - (!line.empty() && line.back() == '\r')));
    return tags;
}

// Whatever the source held, a written game begins with the Seven Tag Roster
// in the standard's order, "?" for what it lacked, then its other tags in
// their own order; chess.js reads every one back without a complaint.
TEST_F(PgnExportTest, EveryGameBeginsWithTheSevenTagRoster)
{
    const std::vector<std::string> unknown = {
        "[Event \"?\"]", "[Site \"?\"]", "[Date \"????.??.??\"]", "[Round \"?\"]",
        "[White \"?\"]", "[Black \"?\"]",
    };
    struct SCase {
        const char* source;
        std::vector<std::string> tags;
    };
    const SCase cases[] = {
        {"1. e4 e5 2. Nf3 Nc6 *", {unknown[0], unknown[1], unknown[2], unknown[3], unknown[4], unknown[5],
                                   "[Result \"*\"]"}},
        // A site's export: no Round, its own tags after the roster's.
        {"[Event \"Rated Blitz game\"]\n[Site \"https://example.org/q8Zt3mWd\"]\n[Date \"2024.03.09\"]\n"
         "[White \"ann_k\"]\n[Black \"bob77\"]\n[Result \"0-1\"]\n[UTCDate \"2024.03.09\"]\n[WhiteElo \"1512\"]\n"
         "[TimeControl \"180+2\"]\n[ECO \"C20\"]\n[Termination \"Normal\"]\n\n"
         "1. e4 e5 2. Qh5 Nc6 3. Bc4 g6 4. Qf3 Nf6 5. Qb3 Bc5 6. Bxf7+ Ke7 7. Bxg6 hxg6 0-1\n",
         {"[Event \"Rated Blitz game\"]", "[Site \"https://example.org/q8Zt3mWd\"]", "[Date \"2024.03.09\"]",
          unknown[3], "[White \"ann_k\"]", "[Black \"bob77\"]", "[Result \"0-1\"]", "[UTCDate \"2024.03.09\"]",
          "[WhiteElo \"1512\"]", "[TimeControl \"180+2\"]", "[ECO \"C20\"]", "[Termination \"Normal\"]"}},
        // Out of order, lower case, an empty value.
        {"[Annotator \"Me\"]\n[result \"1/2-1/2\"]\n[Black \"B\"]\n[Date \"\"]\n[White \"A\"]\n\n1. d4 d5 1/2-1/2",
         {unknown[0], unknown[1], unknown[2], unknown[3], "[White \"A\"]", "[Black \"B\"]",
          "[Result \"1/2-1/2\"]", "[Annotator \"Me\"]"}},
    };
    int read = 0;
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.source);
        CGame* game = GameWith({});
        CString message;
        ASSERT_TRUE(CPGNGame::ShowPgnText(*game, c.source, 1, false, message)) << message.GetText();
        const std::string text = CPgnCommands::GamePgnText(*game, false, "game.pgn").GetText();
        const int plies = game->GetBoard().GetPly();
        game->Destroy();
        EXPECT_EQ(TagLines(text), c.tags) << text;
        if (!HasChessJs())
            continue;
        std::vector<std::string> sans;
        std::string finalFen;
        EXPECT_TRUE(ChessJsReadingText(folder, text, sans, finalFen)) << text;
        EXPECT_EQ(int(sans.size()), plies);
        ++read;
    }

    // The program's own games keep what they always had.
    CGame* own = GameWith({"e4"});
    const std::vector<std::string> tags = TagLines(CPgnCommands::GamePgnText(*own, true, "game.pgn").GetText());
    own->Destroy();
    ASSERT_EQ(tags.size(), 9u);
    EXPECT_EQ(tags[0], "[Event \"Rookwell\"]");
    EXPECT_EQ(tags[3], "[Round \"-\"]");
    EXPECT_EQ(tags[6], "[Result \"*\"]");
    EXPECT_EQ(tags[7].rfind("[TimeControl ", 0), 0u);
    EXPECT_EQ(tags[8].rfind("[Software ", 0), 0u);
    if (read == 0)
        GTEST_SKIP() << "chess.js is not installed; the texts were checked without it";
}

TEST_F(PgnExportTest, FailedWritesSayFalseAndKeepTheOldFile)
{
    EXPECT_FALSE(WritePgnExport((folder + "/no such folder/x.pgn").c_str(), "[Event \"x\"]\r\n", false));
    // A folder in the way of the target.
    const std::string blocked = folder + "/taken.pgn";
    mkdir(blocked.c_str(), 0755);
    EXPECT_FALSE(WritePgnExport(blocked.c_str(), "[Event \"x\"]\r\n", false));
    EXPECT_FALSE(WritePgnExport(blocked.c_str(), "[Event \"x\"]\r\n", true));
    // A file that cannot be replaced: its folder takes no new files.
    EXPECT_FALSE(WritePgnExport("/proc/version", "[Event \"x\"]\r\n", true));
    EXPECT_FALSE(WritePgnExport("/proc/version", "[Event \"x\"]\r\n", false));
    EXPECT_EQ(ReadAll("/proc/version").find("[Event"), std::string::npos);
    // Appending to a file that is gone is no silent new file.
    EXPECT_FALSE(WritePgnExport((folder + "/gone.pgn").c_str(), "[Event \"x\"]\r\n", true));
    EXPECT_NE(access((folder + "/gone.pgn").c_str(), F_OK), 0);
}

// An export killed half-way leaves its full-size temporary beside the
// collection; the next export of the same file removes it.
TEST_F(PgnExportTest, AnInterruptedExportLeavesNothingAfterTheNext)
{
    const std::string path = folder + "/Club.pgn";
    ASSERT_TRUE(WritePgnExport(path.c_str(), "[Event \"first\"]\r\n\r\n*\r\n", false));
    const std::string big(1 << 20, 'x');
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The export of the child stops dead before its rename, as a kill
        // or a power cut stops it.
        Zorlin::CAtomicFile out;
        if (out.Open(path.c_str()) && out.Write(big.data(), big.size()))
            _exit(0);
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    auto strays = [&] {
        std::vector<std::string> found;
        if (DIR* dir = opendir(folder.c_str())) {
            while (dirent* entry = readdir(dir))
                if (std::string(entry->d_name).rfind(".Club.pgn.tmp-", 0) == 0)
                    found.push_back(entry->d_name);
            closedir(dir);
        }
        return found;
    };
    ASSERT_EQ(strays().size(), 1u) << "the interrupted export's temporary";

    ASSERT_TRUE(WritePgnExport(path.c_str(), "[Event \"second\"]\r\n\r\n*\r\n", true));
    EXPECT_TRUE(strays().empty());
    EXPECT_NE(ReadAll(path).find("second"), std::string::npos);
    EXPECT_EQ(ReadAll(path).find('x'), std::string::npos);
}

TEST(PgnDisplay, TagsAndMoveNumbersAreBoldAndEverythingIsEscaped)
{
    const CString html = MakePgnDisplayHtml("[White \"<b>Ann</b> & Co\"]\r\n[Black \"Bob\"]\r\n\r\n"
                                            "1. e4 e5 2. Nf3 <script> *\r\n");
    EXPECT_STREQ(html.GetText(),
                 "<code><b>&#91;White &quot;&lt;b&gt;Ann&lt;/b&gt; &amp; Co&quot;]</b></code><br>"
                 "<code><b>&#91;Black &quot;Bob&quot;]</b></code><br>"
                 "<font size=\"-1\"><b>1. </b>e4 e5 <b>2. </b>Nf3 &lt;script&gt; * </font>");
    EXPECT_STREQ(MakePgnDisplayHtml("\r\n\r\n").GetText(), "");
}

TEST(PgnExportText, MessagesShowAShortPrintableExcerpt)
{
    EXPECT_STREQ(ShortMessageText("Nf\x01\x02", 40).GetText(), "Nf  ");
    EXPECT_STREQ(ShortMessageText("abcdef", 3).GetText(), "abc...");
}

TEST(PgnExportText, AGameThatCannotBeShownIsNamedWithTheReason)
{
    CAssocArray<CString> tags;
    tags["White"] = "Ann";
    EXPECT_STREQ(PgnGameProblemText(3, tags, "Nf", 2).GetText(),
                 "Illegal move: Nf\n\nGame 3 (Ann vs unknown), move 2 (White).");
    EXPECT_STREQ(PgnGameProblemText(1, tags, "Qxz9\x01", 5).GetText(),
                 "Illegal move: Qxz9 \n\nGame 1 (Ann vs unknown), move 3 (Black).");

    tags["Black"] = "Puzzle\n12";
    tags["SetUp"] = "1";
    tags["FEN"] = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
    EXPECT_STREQ(PgnGameProblemText(7, tags, "FEN 4k3/8/8/8/8/8/8/4K3 w - - 0 1 (games from a set-up position are "
                                             "not supported)", 0).GetText(),
                 "Game 7 (Ann vs Puzzle 12) cannot be shown: games from a set-up position are not supported.");
    tags["Variant"] = std::string(100, 'V').c_str();
    EXPECT_STREQ(PgnGameProblemText(2, tags, "x", 0).GetText(),
                 ("Game 2 (Ann vs Puzzle 12) cannot be shown: the variant " + std::string(40, 'V') +
                  "... is not supported.").c_str());

    CAssocArray<CString> none;
    EXPECT_STREQ(PgnGameProblemText(4, none, "", 0).GetText(), "Game 4 (unknown vs unknown) cannot be shown.");
}
