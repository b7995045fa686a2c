// The base game and the player model: players, tags and PGN, clocks and
// periods, take-backs, saved moves, closing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include "client/core/Game.h"
#include "client/core/LocalPlayer.h"
#include "client/core/tests/support/GameFixture.h"
#include "foundation/AssocArray.h"
#include "foundation/MemFile.h"

using namespace EngineTest;
using Zorlin::CAutoPointer;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

int g_destroyed = 0;

class CCountingPlayer : public CLocalPlayer {
public:
    void Destroy() override
    {
        ++g_destroyed;
        CLocalPlayer::Destroy();
    }
};

// A base game whose players count their ends.
class CCountedGame : public CGame {
public:
    bool Setup() override
    {
        CGame::Setup();
        DestroyPlayers();
        CPlayer* white = new CCountingPlayer();
        CPlayer* black = new CCountingPlayer();
        white->SetColour(WHITE);
        black->SetColour(BLACK);
        SetPlayers(black, white); // not ordered by colour
        return true;
    }
};

class GameTest : public ::testing::Test {
protected:
    void SetUp() override { g_destroyed = 0; }

    CGame* NewGame()
    {
        CGame* game = new CGame();
        game->Setup();
        game->Start();
        View().ResetView(game, false, false);
        return game;
    }
    CFakeChessView& View() { return m_services.m_frame.m_view; }
    void Play(std::initializer_list<const char*> moves)
    {
        for (const char* move : moves)
            ASSERT_TRUE(View().PlayText(move)) << move;
    }
    std::string Pgn(CGame& game, bool refresh)
    {
        Zorlin::CMemFile file;
        file.Open("game.pgn", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        file.SetLineStyle(CFile::kLineLf);
        game.WritePgn(file, refresh);
        std::string text(file.GetSize(), '\0');
        file.Seek(0, CFile::kSeekStart);
        file.Read(&text[0], unsigned(text.size()));
        return text;
    }
    std::vector<std::string> Lines(const std::string& text)
    {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    CTestServices m_services;
};

} // namespace

TEST_F(GameTest, PlayersStartAsDummiesAndLocalOnesReadTheProfile)
{
    CPlayer player;
    EXPECT_EQ(player.GetProperty("ID"), "0");
    EXPECT_EQ(player.GetProperty("type"), "Dummy");
    EXPECT_EQ(player.GetColour(), COLOUR_NONE);
    EXPECT_FALSE(player.IsLocal());

    CLocalPlayer local;
    EXPECT_TRUE(local.IsLocal());
    EXPECT_EQ(local.GetProperty("name"), "Tess Tester");
    EXPECT_EQ(local.GetProperty("link"), "mailto:tess@example.org");
    EXPECT_EQ(local.GetProperty("id"), "TESS1");
    EXPECT_EQ(local.GetProperty("type"), "CLocalPlayer");
    local.StartGame(nullptr, BLACK);
    EXPECT_EQ(local.GetColour(), BLACK);
    CMove move;
    EXPECT_FALSE(local.HasMove());
    EXPECT_FALSE(local.GetMove(move));

    m_services.m_userSettings.GetValue("profile.email") = "";
    CLocalPlayer noMail;
    EXPECT_EQ(noMail.GetProperty("link"), "mailto:");
    // Made by the toolkit from the class name, as saved games name them.
    wxObject* made = wxCreateDynamicObject("CLocalPlayer");
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(static_cast<CPlayer*>(made)->IsLocal());
    static_cast<CPlayer*>(made)->Destroy();
}

TEST_F(GameTest, PhotosFallBackToTheDefaultPicture)
{
    std::string standard = ReadWholeFile(DataFolder() + "/assets/images/misc/nophoto.bmp");
    ASSERT_FALSE(standard.empty());
    auto read = [](CPlayer& player) {
        CAutoPointer<CFile> photo;
        player.GetPhoto(photo);
        if (!photo || !photo->IsOpen())
            return std::string("(none)");
        std::string bytes(photo->GetSize(), '\0');
        photo->Read(&bytes[0], unsigned(bytes.size()));
        return bytes;
    };
    CLocalPlayer local;
    EXPECT_EQ(read(local), standard);
    WriteWholeFile(m_services.m_userFolder + "/photo.bmp", "BMmine");
    EXPECT_EQ(read(local), "BMmine");
    // No default picture either: a file that is not open.
    std::remove((m_services.m_programFolder + "/assets/images/misc/nophoto.bmp").c_str());
    CPlayer base;
    EXPECT_EQ(read(base), "(none)");
}

TEST_F(GameTest, PlayersAreFoundByColourAndEndedOnce)
{
    CCountedGame* game = new CCountedGame();
    game->Setup();
    game->Start();
    EXPECT_EQ(game->GetPlayer(WHITE)->GetColour(), WHITE);
    EXPECT_EQ(game->GetPlayer(BLACK)->GetColour(), BLACK);
    EXPECT_EQ(game->GetPlayer(SIDE_TO_MOVE), game->GetPlayer(WHITE));
    CPlayer* local = nullptr;
    ASSERT_TRUE(game->FindLocalPlayer(local));
    EXPECT_EQ(local, game->GetPlayer(WHITE));
    CPlayer* remote = nullptr;
    EXPECT_FALSE(game->FindRemotePlayer(remote));
    game->End();
    EXPECT_EQ(g_destroyed, 2);
    EXPECT_FALSE(game->IsInPlay());
    game->Destroy();
    EXPECT_EQ(g_destroyed, 2);

    CCountedGame* again = new CCountedGame();
    again->Reset(); // End, Setup, Start
    EXPECT_TRUE(again->IsInPlay());
    delete again;
    EXPECT_EQ(g_destroyed, 4);
}

TEST_F(GameTest, NewGamePgnHasTheTagsAnEmptyLineAndTheResult)
{
    CGame* game = NewGame();
    std::vector<std::string> lines = Lines(Pgn(*game, true));
    const char* names[] = { "Event", "Site", "Date", "Round", "White", "Black", "Result", "TimeControl", "Software" };
    ASSERT_EQ(lines.size(), 11u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(lines[i].compare(0, strlen(names[i]) + 3, std::string("[") + names[i] + " \""), 0) << lines[i];
    EXPECT_EQ(lines[0], "[Event \"Rookwell\"]");
    EXPECT_EQ(lines[3], "[Round \"-\"]");
    EXPECT_EQ(lines[4], "[White \"Tess Tester\"]");
    EXPECT_EQ(lines[6], "[Result \"*\"]");
    EXPECT_EQ(lines[8], "[Software \"https://www.pemberlode.example/rookwell/\"]");
    EXPECT_EQ(lines[2].size(), std::string("[Date \"2024.01.01\"]").size());
    EXPECT_EQ(lines[9], "");
    EXPECT_EQ(lines[10], "*");
}

TEST_F(GameTest, TimeControlTagIsInSecondsForATimedGame)
{
    CGame* game = NewGame();
    EXPECT_NE(Pgn(*game, true).find("[TimeControl \"-\"]"), std::string::npos) << "no clock";
    game->SetTimeControl(TIME_CONVENTIONAL, 0, 300);
    EXPECT_NE(Pgn(*game, true).find("[TimeControl \"300\"]"), std::string::npos) << Pgn(*game, true);
    game->SetTimeControl(TIME_CONVENTIONAL, 40, 7200);
    EXPECT_NE(Pgn(*game, true).find("[TimeControl \"40/7200\"]"), std::string::npos);
    game->SetTimeControl(TIME_BLITZ, 40, 180);
    EXPECT_NE(Pgn(*game, true).find("[TimeControl \"180\"]"), std::string::npos) << "blitz has no periods";

    EXPECT_STREQ(TimeControlTag(TIME_NONE, 40, 300).GetText(), "-");
    EXPECT_STREQ(TimeControlTag(TIME_CONVENTIONAL, 0, 0).GetText(), "-");
    EXPECT_STREQ(TimeControlTag(TIME_CONVENTIONAL, 0, 299.6).GetText(), "300");
    EXPECT_STREQ(TimeControlTag(TIME_CONVENTIONAL, -3, 60).GetText(), "60");
    EXPECT_STREQ(TimeControlTag(TIME_CONVENTIONAL, 0, 1e300).GetText(), "-") << "a hostile saved game";
}

TEST_F(GameTest, LongGamesWrapAndReadBack)
{
    CGame* game = NewGame();
    // A name that needs escaping, and a game long enough to wrap.
    game->GetPlayer(WHITE)->GetProperties().GetValue("name") = "Tess \"Quick\" T\\ester";
    const char* moves[] = { "e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6", "O-O", "Be7", "Re1", "b5",
                            "Bb3", "d6", "c3", "O-O", "h3", "Nb8", "d4", "Nbd7", "c4", "c6", "cxb5", "axb5",
                            "Nc3", "Bb7", "Bg5", "b4", "Nb1", "h6", "Bh4", "c5", "dxe5", "Nxe4", "Bxe7", "Qxe7",
                            "exd6", "Qf6", "Nbd2", "Nxd6", "Nc4", "Nxc4", "Bxc4", "Nb6", "Ne5", "Rae8" };
    for (const char* move : moves)
        ASSERT_TRUE(View().PlayText(move)) << move;
    ASSERT_TRUE(View().PlayText("Bxf7+"));
    std::string text = Pgn(*game, true);
    std::vector<std::string> lines = Lines(text);
    size_t moveLines = 0;
    for (size_t i = 10; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 80u) << lines[i];
        ++moveLines;
    }
    EXPECT_GE(moveLines, 3u);
    EXPECT_NE(text.find("24. Bxf7+ *"), std::string::npos);

    Zorlin::CMemFile file;
    file.Open("game.pgn", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    file.Write(text.data(), unsigned(text.size()));
    file.Seek(0, CFile::kSeekStart);
    CChessBoard reread;
    Zorlin::CAssocArray<CString> tags;
    CString error;
    ASSERT_TRUE(reread.LoadPgnGame(file, tags, error)) << error.GetText();
    EXPECT_EQ(reread.GetPly(), game->GetBoard().GetPly());
    EXPECT_EQ(*tags.Find("White"), "Tess \"Quick\" T\\ester");
    CString a, b;
    reread.GetFen(a, false);
    game->GetBoard().GetFen(b, false);
    EXPECT_EQ(a, b);

    // pgn-extract takes it as it is.
    std::string path = m_services.m_programFolder + "/long.pgn";
    WriteWholeFile(path, text);
    std::string log = m_services.m_programFolder + "/long.log";
    std::string out = m_services.m_programFolder + "/long.out";
    ASSERT_EQ(std::system(("/usr/games/pgn-extract -s -l '" + log + "' -o '" + out + "' '" + path + "'").c_str()), 0);
    EXPECT_EQ(ReadWholeFile(log), "");
    EXPECT_NE(ReadWholeFile(out).find("Bxf7+"), std::string::npos);
}

TEST_F(GameTest, PeriodsRefillAfterBlacksLastMove)
{
    CGame* game = NewGame();
    game->SetTimeControl(TIME_CONVENTIONAL, 4, 60);
    const char* cycle[] = { "Nf3", "Nf6", "Ng1", "Ng8" };
    CChessBoard& board = game->GetBoard();
    for (int ply = 0; ply < 16; ++ply) {
        if (ply % 8 == 6 || ply % 8 == 7)
            usleep(3000); // so the clocks visibly run before a period ends
        double ms = game->UpdateClock();
        CMove move;
        ASSERT_TRUE(board.ParseMove(cycle[ply % 4], move, true));
        ASSERT_TRUE(board.MakeMove(move, ms));
        bool blacksLastOfPeriod = ply % 8 == 7;
        if (blacksLastOfPeriod) {
            EXPECT_EQ(game->GetDisplayClock(WHITE), 60000.0) << ply;
            EXPECT_EQ(game->GetDisplayClock(BLACK), 60000.0) << ply;
        } else if (ply % 8 == 6) {
            EXPECT_LT(game->GetDisplayClock(WHITE), 60000.0) << ply;
        }
    }
    CFakeClock& clock = m_services.m_frame.m_clock;
    EXPECT_EQ(clock.m_whiteMs, game->GetDisplayClock(WHITE));

    // No moves per period: one period for the game, and no division by zero.
    game->SetTimeControl(TIME_CONVENTIONAL, 0, 60);
    board.SetupStartPosition();
    board.SetTimeControl(0, 60);
    for (int ply = 0; ply < 8; ++ply) {
        double ms = game->UpdateClock();
        CMove move;
        ASSERT_TRUE(board.ParseMove(cycle[ply % 4], move, true));
        ASSERT_TRUE(board.MakeMove(move, ms));
    }
    // Without a time control the clock is not run at all.
    game->SetTimeControl(TIME_NONE, 0, 0);
    EXPECT_EQ(game->UpdateClock(), 0.0);
    EXPECT_EQ(game->GetSettings().GetValueOr("timecontrol.type", ""), "none");
}

TEST_F(GameTest, TakeBackRestoresTheBoardClocks)
{
    CGame* game = NewGame();
    game->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
    Play({ "e4", "e5" });
    usleep(20000);
    Play({ "Nf3", "Nc6", "Bb5" });
    CChessBoard& board = game->GetBoard();
    double whiteAfterThree = board.GetClock(WHITE);
    ASSERT_LT(whiteAfterThree, 300.0);
    game->SetResult(RESULT_DRAW);
    game->SetInPlay(false);
    CFakeClock& clock = m_services.m_frame.m_clock;
    int syncs = View().m_syncs;
    game->TakeBackTo(2);
    EXPECT_EQ(board.GetPly(), 2);
    EXPECT_EQ(game->GetDisplayClock(WHITE), board.GetClock(WHITE) * 1000.0);
    EXPECT_EQ(game->GetDisplayClock(BLACK), board.GetClock(BLACK) * 1000.0);
    EXPECT_EQ(board.GetClock(WHITE), 300.0); // White's only move took no time
    EXPECT_EQ(clock.m_whiteMs, game->GetDisplayClock(WHITE));
    EXPECT_EQ(clock.m_blackMs, game->GetDisplayClock(BLACK));
    EXPECT_EQ(clock.m_side, WHITE);
    EXPECT_TRUE(clock.m_running);
    EXPECT_FALSE(clock.m_reminders.empty());
    EXPECT_TRUE(game->IsInPlay());
    EXPECT_EQ(game->GetResult(), RESULT_NONE);
    EXPECT_EQ(View().m_syncs, syncs + 1);
    game->TakeBackTo(0);
    EXPECT_FALSE(clock.m_running); // nothing to run before the first move
}

TEST_F(GameTest, SavedMovesKeepTheirMarksAndStopAtDamage)
{
    CGame* game = NewGame();
    game->SetTimeControl(TIME_CONVENTIONAL, 40, 300);
    Play({ "f3", "e5", "g4", "Qh4" });
    ASSERT_EQ(View().m_sans.back(), "Qh4#");
    Zorlin::CConfig saved;
    game->Save(saved);
    EXPECT_EQ(saved.GetValueOr("game.type", ""), "Dummy");
    EXPECT_EQ(saved.GetValueOr("game.timecontrol.type", ""), "conventional");
    EXPECT_EQ(saved.GetValueOr("Moves.#3.Move", ""), "Qh4#");
    EXPECT_EQ(saved.GetValueOr("White.name", ""), "Tess Tester");
    EXPECT_EQ(saved.GetValueOr("Tags.Event", "?"), "");
    EXPECT_FALSE(saved.GetValueOr("Moves.#1.Time", "").IsEmpty());

    CGame loaded;
    loaded.GetBoard().SetupStartPosition();
    saved.GetValue("Tags.Event") = "Club night";
    saved.GetValue("Tags.Unknown") = "dropped";
    EXPECT_EQ(loaded.LoadMoves(saved, true), 4);
    EXPECT_EQ(std::string(loaded.GetBoard().GetHistory().GetAt(3)->m_shortText), "Qh4#");
    EXPECT_EQ(loaded.GetBoard().GetGameState(WHITE), STATE_CHECKMATE);
    EXPECT_EQ(*loaded.GetTags().Find("Event"), "Club night");
    EXPECT_EQ(loaded.GetTags().Find("Unknown"), nullptr);

    CGame allButLast;
    allButLast.GetBoard().SetupStartPosition();
    EXPECT_EQ(allButLast.LoadMoves(saved, false), 3);

    // A damaged file: an illegal move ends the replay; what came before stays.
    saved.GetValue("Moves.#2.Move") = "Ke3";
    CGame damaged;
    damaged.GetBoard().SetupStartPosition();
    EXPECT_EQ(damaged.LoadMoves(saved, true), 2);
    EXPECT_EQ(damaged.GetBoard().GetPly(), 2);
    // Garbage texts and negative times never reach the board.
    saved.GetValue("Moves.#0.Move") = "e4!!!!!!!!!!!!";
    saved.GetValue("Moves.#0.Time") = "-500";
    saved.GetValue("Moves.#1.Move") = "";
    CGame garbled;
    garbled.GetBoard().SetupStartPosition();
    EXPECT_EQ(garbled.LoadMoves(saved, true), 1);
    EXPECT_EQ(std::string(garbled.GetBoard().GetHistory().GetAt(0)->m_shortText), "e4");
    EXPECT_EQ(garbled.GetBoard().GetHistory().GetAt(0)->m_timeSpent, 0.0);
}

TEST_F(GameTest, ClosingAsksOnlyAboutUnsavedMoves)
{
    CGame* game = NewGame();
    CScriptedPrompt& prompt = m_services.m_prompt;
    // Never saved: even a game without moves counts as unsaved.
    prompt.QueueButton(wxNO);
    EXPECT_TRUE(game->QueryClose());
    EXPECT_EQ(prompt.GetCount(), 1);
    prompt.Clear();
    Play({ "e4" });
    game->SetSavedPly(1);
    EXPECT_TRUE(game->QueryClose());
    EXPECT_EQ(prompt.GetCount(), 0);

    Play({ "e5" });
    prompt.QueueButton(wxCANCEL);
    EXPECT_FALSE(game->QueryClose());
    ASSERT_EQ(prompt.GetCount(), 1);
    EXPECT_EQ(prompt.GetQuestion(0).text, "Do you wish to save the current game?");
    EXPECT_EQ(prompt.GetQuestion(0).caption, "End Game");
    prompt.QueueButton(wxNO);
    EXPECT_TRUE(game->QueryClose());
    prompt.QueueButton(wxYES);
    m_services.m_frame.m_saveAnswer = false;
    EXPECT_FALSE(game->QueryClose());
    prompt.QueueButton(wxYES);
    m_services.m_frame.m_saveAnswer = true;
    EXPECT_TRUE(game->QueryClose());
    EXPECT_EQ(m_services.m_frame.m_saves, 2);

    game->SetInPlay(false);
    prompt.Clear();
    EXPECT_TRUE(game->QueryClose());
    EXPECT_EQ(prompt.GetCount(), 0);
}

TEST_F(GameTest, AGameDecidedOnTheBoardIsNotOfferedForSaving)
{
    CGame* game = NewGame();
    Play({ "f3", "e5", "g4", "Qh4" });
    // The board canvas's end test gives the result and leaves the game in
    // play for Game Over.
    game->SetInPlay(true);
    game->SetResult(RESULT_BLACK_WINS);
    EXPECT_TRUE(game->QueryClose());
    EXPECT_EQ(m_services.m_prompt.GetCount(), 0);
    game->SetResult(RESULT_NONE);
    m_services.m_prompt.QueueButton(wxNO);
    EXPECT_TRUE(game->QueryClose());
    EXPECT_EQ(m_services.m_prompt.GetCount(), 1) << "undecided, the moves are unsaved";
}

TEST_F(GameTest, PicturesGoIntoTheUserFolderNeverTheProgramFolder)
{
    CGame* game = NewGame();
    WriteWholeFile(m_services.m_userFolder + "/photo.bmp", "BMuser");
    game->WritePlayerPictures();
    EXPECT_EQ(ReadWholeFile(m_services.m_userFolder + "/white.bmp"), "BMuser");
    EXPECT_EQ(ReadWholeFile(m_services.m_userFolder + "/black.bmp"), "BMuser");
    // The language setting names no folder for them: the program folder stays as it was.
    m_services.m_userSettings.GetValue("preferences.language") = "../../escape";
    WriteWholeFile(m_services.m_userFolder + "/photo.bmp", "BMother");
    game->WritePlayerPictures();
    EXPECT_EQ(ReadWholeFile(m_services.m_userFolder + "/white.bmp"), "BMother");
    EXPECT_EQ(ReadWholeFile(m_services.m_programFolder + "/html/english/white.bmp"), "");
    EXPECT_EQ(ReadWholeFile(m_services.m_programFolder + "/html/english/black.bmp"), "");
}
