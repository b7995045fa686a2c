// The decisions behind the game-file commands: saved-game kinds, dropped
// file kinds, proposed names and how a restored game already stands.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <unistd.h>

#include "chess/ChessBoard.h"
#include "client/core/FileFilter.h"
#include "client/core/Game.h"
#include "client/core/GameFileRules.h"
#include "testsupport/TempFiles.h"

using Zorlin::CString;

namespace {

// The board after these moves, each of which must be legal.
CChessBoard Played(std::initializer_list<const char*> sans)
{
    CChessBoard board;
    board.SetupStartPosition();
    for (const char* san : sans) {
        CMove move;
        EXPECT_TRUE(board.ParseSan(CString(san), move, true)) << san;
        EXPECT_TRUE(board.MakeMove(move, 0.0)) << san;
    }
    return board;
}

} // namespace

TEST(GameFileRules, SavedGameTypesIgnoreCaseAndUnknownWordsStayUnknown)
{
    EXPECT_EQ(ClassifySavedGame("AIGame"), ESavedGameKind::kComputer);
    EXPECT_EQ(ClassifySavedGame("aigame"), ESavedGameKind::kComputer);
    EXPECT_EQ(ClassifySavedGame("NETWORKGAME"), ESavedGameKind::kNetwork);
    EXPECT_EQ(ClassifySavedGame("EmailGame"), ESavedGameKind::kEmail);
    EXPECT_EQ(ClassifySavedGame("PGNGame"), ESavedGameKind::kViewed);
    EXPECT_EQ(ClassifySavedGame("gridmoorgame"), ESavedGameKind::kViewed);
    for (const char* other : {"", "Dummy", "AIGame ", "AI", "PGNGames"})
        EXPECT_EQ(ClassifySavedGame(other), ESavedGameKind::kUnknown) << other;
}

TEST(GameFileRules, DroppedFilesGoByTheTextFromTheLastDot)
{
    EXPECT_EQ(ClassifyDroppedFile("/tmp/GAME.PGN"), EDroppedFile::kPgn);
    EXPECT_EQ(ClassifyDroppedFile("/tmp/a.b.pgn"), EDroppedFile::kPgn);
    EXPECT_EQ(ClassifyDroppedFile("/home/x/tester vs Fairy-Max.rwg"), EDroppedFile::kSavedGame);
    EXPECT_EQ(ClassifyDroppedFile("turn.RwF"), EDroppedFile::kTransport);
    EXPECT_EQ(ClassifyDroppedFile("/tmp/noext"), EDroppedFile::kRefused);
    EXPECT_EQ(ClassifyDroppedFile("/tmp/game.pgn.txt"), EDroppedFile::kRefused);
    EXPECT_EQ(ClassifyDroppedFile("/tmp/game.pgnx"), EDroppedFile::kRefused);
    // A dot in a folder name is not an extension of the file.
    EXPECT_EQ(ClassifyDroppedFile("/tmp/x.pgn/game"), EDroppedFile::kRefused);
    EXPECT_EQ(ClassifyDroppedFile(""), EDroppedFile::kRefused);
    // What the start-up shows the board for before the file is read.
    EXPECT_TRUE(OpensOnBoard("/tmp/GAME.PGN"));
    EXPECT_TRUE(OpensOnBoard("/home/x/tester vs Fairy-Max.rwg"));
    EXPECT_FALSE(OpensOnBoard("turn.rwf"));
    EXPECT_FALSE(OpensOnBoard("/tmp/x.rwg/game"));
    EXPECT_FALSE(OpensOnBoard(""));
    EXPECT_EQ(FileExtension("a.b.Pgn"), ".Pgn");
    EXPECT_EQ(FileExtension("abc"), "");
    EXPECT_EQ(FileExtension(".rwg"), ".rwg");
}

TEST(GameFileRules, ShortNamesAndDefaultExtensions)
{
    EXPECT_EQ(ShortFileName("/a/b/c.rwg"), "c.rwg");
    EXPECT_EQ(ShortFileName("C:\\games\\c.rwg"), "c.rwg");
    EXPECT_EQ(ShortFileName("c.rwg"), "c.rwg");
    EXPECT_EQ(WithDefaultExtension("/a/b/snap", ".bmp"), "/a/b/snap.bmp");
    EXPECT_EQ(WithDefaultExtension("/a/b/snap.png", ".bmp"), "/a/b/snap.png");
    EXPECT_EQ(WithDefaultExtension("/a.d/snap", ".bmp"), "/a.d/snap.bmp");
    EXPECT_EQ(WithDefaultExtension("/a/", ".bmp"), "/a/");
    EXPECT_EQ(WithDefaultExtension("/f/pos1", ".fen"), "/f/pos1.fen");
    EXPECT_EQ(WithDefaultExtension("/f/a.tar.gz", ".fen"), "/f/a.tar.gz");
    // A version number is not a file type.
    EXPECT_EQ(WithDefaultExtension("/f/Ann vs Engine 5.0", ".pgn"), "/f/Ann vs Engine 5.0.pgn");
    EXPECT_EQ(WithDefaultExtension("/f/Ann vs Mr. Bob", ".pgn"), "/f/Ann vs Mr. Bob.pgn");
    EXPECT_EQ(WithDefaultExtension("/f/x", ""), "/f/x");
}

TEST(GameFileRules, FiltersAreTrimmedAndMatchEitherCase)
{
    EXPECT_EQ(MakeFileFilter("Rookwell Game (*.rwg) | *.rwg"), "Rookwell Game (*.rwg)|*.[rR][wW][gG]");
    EXPECT_EQ(MakeFileFilter("PGN Files (*.PGN)|*.PGN"), "PGN Files (*.PGN)|*.[pP][gG][nN]");
    EXPECT_EQ(MakeFileFilter("PGN files | *.pgn"), "PGN files|*.[pP][gG][nN]");
    EXPECT_EQ(MakeFileFilter("Pictures | *.png ; *.jpg |All|*"),
              "Pictures|*.[pP][nN][gG];*.[jJ][pP][gG]|All|*");
    // Classes written by hand stay as they are; a pair without patterns goes.
    EXPECT_EQ(MakeFileFilter("Games|*.[rR]wg|Empty| "), "Games|*.[rR][wW][gG]");
    EXPECT_EQ(MakeFileFilter(""), "");
    EXPECT_EQ(MakeFileFilter("no pattern"), "");

    EXPECT_EQ(DefaultExtensionOf("FEN Files (*.FEN)|*.FEN"), ".fen");
    EXPECT_EQ(DefaultExtensionOf("Bitmap files (*.bmp) | *.bmp"), ".bmp");
    EXPECT_EQ(DefaultExtensionOf("Rookwell Game (*.rwg) | *.rwg;*.txt"), ".rwg");
    EXPECT_EQ(DefaultExtensionOf("All|*"), "");
    EXPECT_EQ(DefaultExtensionOf("All|*.*"), "");
    EXPECT_EQ(DefaultExtensionOf(""), "");
}

TEST(GameFileRules, ProposedNamesCannotLeaveTheFolder)
{
    EXPECT_EQ(MakeSavedGameName("Ann", "Fairy-Max"), "Ann vs Fairy-Max.rwg");
    EXPECT_EQ(MakeSavedGameName("Søren", "Bob"), "Søren vs Bob.rwg");
    EXPECT_STREQ(MakeSavedGameName("../../etc/x", "a\\b").GetText(), "__.._etc_x vs a_b.rwg");
    EXPECT_EQ(MakeSavedGameName("a:b*c?", "\"<|>\""), "a_b_c_ vs _____.rwg");
    EXPECT_EQ(MakeSavedGameName("tab\there", "new\nline"), "tab_here vs new_line.rwg");
    EXPECT_EQ(MakeSavedGameName("..", "x"), "_ vs x.rwg");
    EXPECT_EQ(MakeSavedGameName("", ""), " vs .rwg");
}

TEST(GameFileRules, RestoredGamesThatAreOverSayHow)
{
    SRestoredEnd open = JudgeRestoredGame(Played({"e4", "e5", "Nf3"}));
    EXPECT_EQ(open.result, RESULT_NONE);
    EXPECT_TRUE(open.status.IsEmpty());

    SRestoredEnd foolsMate = JudgeRestoredGame(Played({"f3", "e5", "g4", "Qh4#"}));
    EXPECT_EQ(foolsMate.result, RESULT_BLACK_WINS);
    EXPECT_TRUE(foolsMate.status.IsEmpty());

    SRestoredEnd scholarsMate = JudgeRestoredGame(Played({"e4", "e5", "Bc4", "Nc6", "Qh5", "Nf6", "Qxf7#"}));
    EXPECT_EQ(scholarsMate.result, RESULT_WHITE_WINS);

    // The start position three more times.
    SRestoredEnd repeated = JudgeRestoredGame(
        Played({"Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8"}));
    EXPECT_EQ(repeated.result, RESULT_DRAW);
    EXPECT_FALSE(repeated.status.IsEmpty());

    // The shortest known stalemate: Black to move has none.
    CChessBoard stalemate = Played({"e3", "a5", "Qh5", "Ra6", "Qxa5", "h5", "h4", "Rah6", "Qxc7", "f6", "Qxd7+",
                                    "Kf7", "Qxb7", "Qd3", "Qxb8", "Qh7", "Qxc8", "Kg6", "Qe6"});
    SRestoredEnd stale = JudgeRestoredGame(stalemate);
    EXPECT_EQ(stale.result, RESULT_DRAW);
    CString reason;
    EXPECT_EQ(stalemate.GetGameState(BLACK, &reason), STATE_DRAW);
    EXPECT_EQ(stale.status, reason);
}

TEST(GameFileRules, OnlyAFileDirectlyInTheFolderCountsAsTheClientsCopy)
{
    std::string base = RookwellTest::MakeTempFolder("kept-copy");
    ASSERT_FALSE(base.empty());
    std::string active = base + "/user/active games";
    RookwellTest::WriteWholeFile(active + "/Ann vs Bob.rwg", "saved");
    RookwellTest::WriteWholeFile(active + "/sub/deeper.rwg", "saved");
    RookwellTest::WriteWholeFile(base + "/my games/mine.rwg", "saved");
    ASSERT_EQ(symlink((base + "/my games/mine.rwg").c_str(), (active + "/link.rwg").c_str()), 0);
    ASSERT_EQ(symlink(active.c_str(), (base + "/shortcut").c_str()), 0);

    auto in = [&](const std::string& path) { return IsFileInFolder(path.c_str(), active.c_str()); };
    EXPECT_TRUE(in(active + "/Ann vs Bob.rwg"));
    EXPECT_TRUE(in(base + "/shortcut/Ann vs Bob.rwg")) << "the same folder reached through a link";
    EXPECT_TRUE(IsFileInFolder((active + "/Ann vs Bob.rwg").c_str(), (active + "/").c_str()));
    EXPECT_FALSE(in(base + "/my games/mine.rwg")) << "a file the user keeps elsewhere";
    EXPECT_FALSE(in(active + "/../../my games/mine.rwg"));
    EXPECT_FALSE(in(active + "/link.rwg")) << "a link in the folder to the user's own file";
    EXPECT_FALSE(in(active + "/sub/deeper.rwg"));
    EXPECT_FALSE(in(active + "/missing.rwg"));
    EXPECT_FALSE(in(""));
    EXPECT_FALSE(IsFileInFolder((active + "/Ann vs Bob.rwg").c_str(), ""));
    RookwellTest::RemoveTree(base);
}
