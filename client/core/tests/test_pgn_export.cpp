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
std::vector<std::string> ExtractedGames(const std::string& path)
{
    std::vector<std::string> games;
    std::string command = PgnExtract() + " -s --notags --nomovenumbers -w 10000 '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return games;
    std::string out;
    char block[4096];
    size_t n;
    while ((n = fread(block, 1, sizeof block, pipe)) > 0)
        out.append(block, n);
    pclose(pipe);
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
