// The frame's game files on the real client in a temporary program folder
// under a private X server: games against a real engine saved and opened
// again as White and as Black, failed saves, replacing a file, saved games
// of other kinds, restored games that are already over, dropped files and
// board snapshots. The tests run in order on one running client.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <wx/filedlg.h>
#include <wx/statusbr.h>

#include "client/core/AIGame.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ComputerPlayer.h"
#include "client/core/EngineProcess.h"
#include "client/core/FrameDropTarget.h"
#include "client/core/GameEndText.h"
#include "client/core/GameFileRules.h"
#include "client/core/PGNGame.h"
#include "client/core/Player.h"
#include "client/core/WxText.h"
#include "client/dialogs/MenuBar.h"
#include "client/view/BoardScene.h"
#include "client/view/ChessWindow.h"
#include "client/view/GamePanel.h"
#include "client/view/MoveList.h"
#include "foundation/Config.h"
#include "foundation/Win32File.h"
#include "support/AppHarness.h"
#include "support/ClientEnvironment.h"
#include "client/view/tests/support/GuiLeaks.h"

using AppTest::CHarness;
using AppTest::g_client;
using AppTest::g_skip;
using Zorlin::CString;

namespace {

// Whatever game is left may go without being saved.
::testing::Environment* const g_environment =
    AppTest::AddClientEnvironment(nullptr, [](CHarness& client) {
        client.GetPrompt().SetResponder([](const CScriptedPrompt::SQuestion&) {
            CScriptedPrompt::SAnswer answer;
            answer.code = wxNO;
            return answer;
        });
    });

const char* const kEngine = "Fairy-Max";

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> ListFolder(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir))
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                names.push_back(entry->d_name);
        closedir(dir);
    }
    return names;
}

std::string RunCommand(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

// A saved game of that type with these moves (a second apart) and further
// keys.
void WriteSavedGame(const std::string& path, const char* type, std::initializer_list<const char*> moves,
                    std::initializer_list<std::pair<const char*, const char*>> keys = {})
{
    Zorlin::CConfig saved;
    saved.GetValue("game.type") = type;
    for (const auto& key : keys)
        saved.GetValue(key.first) = key.second;
    int n = 0;
    for (const char* move : moves) {
        CString frame;
        frame.AppendFormat("moves.#%d.", n++);
        saved.GetValue(frame + "Move") = move;
        saved.GetValue(frame + "Time") = "1000";
    }
    ASSERT_TRUE(saved.WriteDiskFile(CString(path.c_str()), true)) << path;
}

// A saved game against the engine, the user playing localPlayer.
void WriteComputerGame(const std::string& path, const char* localPlayer, std::initializer_list<const char*> moves)
{
    WriteSavedGame(path, "AIGame", moves,
                   {{"game.engine", kEngine},
                    {"game.LocalPlayer", localPlayer},
                    {"game.timecontrol.type", "conventional"},
                    {"game.timecontrol.moves", "40"},
                    {"game.timecontrol.seconds", "20"}});
}

class FrameFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_skip.empty())
            GTEST_SKIP() << g_skip;
        ASSERT_TRUE(g_client->OnInitResult());
        m_app = g_client->GetApp();
        m_frame = m_app->m_frame;
        ASSERT_NE(m_frame, nullptr);
        ASSERT_NE(Canvas(), nullptr);
        Prompt().Clear();
    }
    void TearDown() override
    {
        if (!g_skip.empty())
            return;
        EXPECT_EQ(Prompt().GetUnexpectedCount(), 0);
        if (HasFailure())
            for (int i = 0; i < Prompt().GetCount(); ++i)
                ADD_FAILURE() << "asked: " << Prompt().GetQuestion(i).caption.GetText() << ": "
                              << Prompt().GetQuestion(i).text.GetText();
        // The next test starts from a game that may go without a question.
        if (CGame* game = m_frame->GetGame())
            game->SetSavedPly(game->GetBoard().GetPly());
    }

    CScriptedPrompt& Prompt() { return g_client->GetPrompt(); }
    CChessWindow* Canvas() { return m_frame->GetChessWindow(); }
    CGame* Game() { return m_frame->GetGame(); }
    std::string ActiveGames() { return g_client->Path("users/tester/active games"); }
    void Choose(int id)
    {
        wxCommandEvent event(wxEVT_MENU, id);
        event.SetEventObject(m_frame);
        m_frame->GetEventHandler()->ProcessEvent(event);
    }
    void QueueFile(const std::string& path) { Prompt().QueueText(CString(path.c_str()), true); }
    void QueueCancelledFile() { Prompt().QueueText(CString(), false); }
    const CScriptedPrompt::SQuestion* LastQuestion()
    {
        return Prompt().GetCount() ? &Prompt().GetQuestion(Prompt().GetCount() - 1) : nullptr;
    }

    // A game against the engine, started the way the new-game dialog does.
    CAIGame* StartComputerGame(int localColour)
    {
        CAIGame* game = new CAIGame(localColour, kEngine);
        if (!game->IsStarted()) {
            delete game;
            return nullptr;
        }
        game->SetTimeControl(TIME_CONVENTIONAL, 40, 20);
        game->SetPondering(false);
        game->SetDepth(2);
        game->GetBoard().SetupStartPosition();
        game->Start();
        Canvas()->ResetView(game, true, false);
        m_frame->ShowPosition();
        game->StartGame();
        return game;
    }
    bool Play(const char* san)
    {
        CMove move;
        return Game()->GetBoard().ParseSan(CString(san), move, true) && Canvas()->PlayMove(move, false);
    }
    bool WaitForPly(int ply)
    {
        return g_client->PumpUntil([&] { return Game()->GetBoard().GetPly() >= ply; });
    }
    static std::vector<std::string> History(CGame& game)
    {
        std::vector<std::string> texts;
        for (int i = 0; i < game.GetBoard().GetHistory().GetCount(); ++i)
            texts.push_back(game.GetBoard().GetHistory().GetAt(i)->m_shortText);
        return texts;
    }
    static std::string Fen(CGame& game)
    {
        CString fen;
        game.GetBoard().GetFen(fen, false);
        return fen.GetText();
    }
    // The move list's rows after the empty first one, one per half-move.
    std::vector<std::string> MoveListTexts()
    {
        std::vector<std::string> texts;
        CMoveList* list = m_frame->GetGamePanelWindow()->GetMoveList();
        for (int row = 1; row < list->GetRowCount(); ++row) {
            CString white = list->GetCellText(row, 1);
            texts.push_back((white.IsEmpty() ? list->GetCellText(row, 2) : white).GetText());
        }
        return texts;
    }

    struct SSnapshotOfGame {
        std::vector<std::string> history;
        std::string fen;
        double clocks[2];
    };
    static SSnapshotOfGame Remember(CGame& game)
    {
        return {History(game), Fen(game), {game.GetBoard().GetClock(WHITE), game.GetBoard().GetClock(BLACK)}};
    }
    // The restored game is that game again: moves, position, clocks, sides,
    // time control and the move list; it is in play and has nothing unsaved.
    void ExpectRestored(const SSnapshotOfGame& before, int localColour, const std::string& path)
    {
        CAIGame* game = dynamic_cast<CAIGame*>(Game());
        ASSERT_NE(game, nullptr);
        EXPECT_EQ(History(*game), before.history);
        EXPECT_EQ(Fen(*game), before.fen);
        for (Colour colour : {WHITE, BLACK}) {
            // Times are saved in whole milliseconds.
            double clock = game->GetBoard().GetClock(colour);
            EXPECT_NEAR(clock, before.clocks[colour == BLACK], 0.01) << colour;
            EXPECT_NEAR(game->GetDisplayClock(colour), clock * 1000.0, 1.0) << colour;
        }
        EXPECT_LT(game->GetBoard().GetClock(WHITE), 20.0);
        EXPECT_EQ(game->GetLocalColour(), localColour);
        ASSERT_NE(game->GetComputerPlayer(), nullptr);
        EXPECT_EQ(game->GetComputerPlayer()->GetColour(), localColour == WHITE ? BLACK : WHITE);
        EXPECT_TRUE(game->GetPlayer(localColour)->IsLocal());
        EXPECT_FALSE(game->GetPlayer(localColour == WHITE ? BLACK : WHITE)->IsLocal());
        EXPECT_EQ(game->GetMovesPerPeriod(), 40);
        EXPECT_DOUBLE_EQ(game->GetPeriodSeconds(), 20.0);
        EXPECT_EQ(game->GetSavedPath(), path.c_str());
        EXPECT_TRUE(game->IsInPlay());
        EXPECT_EQ(game->GetResult(), RESULT_NONE);
        EXPECT_EQ(MoveListTexts(), before.history);
        EXPECT_FALSE(m_frame->IsBrowserView());
        int asked = Prompt().GetCount();
        EXPECT_TRUE(game->QueryClose());
        EXPECT_EQ(Prompt().GetCount(), asked);
    }
    // End Game: the saved game goes without a question about saving.
    void EndGame()
    {
        Prompt().QueueButton(wxYES);
        Choose(ID_MENU_END_GAME);
        ASSERT_NE(Game(), nullptr);
        EXPECT_EQ(Game()->GetSettings().GetValueOr("type", ""), "Dummy");
    }
    CFrameDropTarget* DropTarget() { return dynamic_cast<CFrameDropTarget*>(m_frame->GetDropTarget()); }
    bool Drop(std::initializer_list<std::string> paths)
    {
        wxArrayString names;
        for (const std::string& path : paths)
            names.Add(ToWx(CString(path.c_str())));
        return DropTarget()->OnDropFiles(0, 0, names);
    }

    CChessApp* m_app = nullptr;
    CChessFrame* m_frame = nullptr;
};

TEST_F(FrameFiles, AGameAsWhiteComesBackWithItsPositionHistoryClocksAndSides)
{
    CAIGame* game = StartComputerGame(WHITE);
    ASSERT_NE(game, nullptr) << "the engine package did not start";
    ASSERT_TRUE(Play("e4"));
    ASSERT_TRUE(WaitForPly(2));
    ASSERT_TRUE(Play("Nf3"));
    ASSERT_TRUE(WaitForPly(4));
    const SSnapshotOfGame before = Remember(*game);

    // Never saved: Save asks where, proposing the players' names in the
    // active games folder; the chosen name gets its extension.
    const std::string path = ActiveGames() + "/white game.rwg";
    QueueFile(ActiveGames() + "/white game");
    ASSERT_TRUE(m_frame->SaveGame());
    const CScriptedPrompt::SQuestion* question = LastQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->kind, CScriptedPrompt::kFile);
    EXPECT_EQ(question->text, "Save game");
    EXPECT_EQ(question->file, MakeSavedGameName(game->GetPlayer(WHITE)->GetProperty("Name"), kEngine));
    EXPECT_NE(std::string(question->file.GetText()).find(" vs Fairy-Max.rwg"), std::string::npos);
    EXPECT_EQ(std::string(question->folder.GetText()).rfind(ActiveGames(), 0), 0u) << question->folder.GetText();
    EXPECT_EQ(game->GetSavedPath(), path.c_str());
    EXPECT_EQ(game->GetSavedPly(), 4);

    Zorlin::CConfig saved;
    Zorlin::CWin32File file(path.c_str(), Zorlin::CFile::kModeRead);
    ASSERT_TRUE(saved.Read(file));
    EXPECT_EQ(saved.GetValueOr(".game.type", ""), "AIGame");
    EXPECT_EQ(saved.GetValueOr(".game.LocalPlayer", ""), "white");
    EXPECT_EQ(saved.GetValueOr(".game.engine", ""), kEngine);
    EXPECT_EQ(saved.GetValueOr(".moves.#0.Move", ""), "e4");
    EXPECT_EQ(saved.GetValueOr(".moves.#2.Move", ""), "Nf3");

    EndGame();
    QueueFile(path);
    Choose(ID_MENU_OPEN_GAME);
    ASSERT_NO_FATAL_FAILURE(ExpectRestored(before, WHITE, path));
    EXPECT_EQ(LastQuestion()->text, "Select a game to open");
    // The engine was given the position: it answers the next move.
    ASSERT_TRUE(Play("d4"));
    EXPECT_TRUE(WaitForPly(6));
}

TEST_F(FrameFiles, AGameAsBlackComesBackAndTheEngineMovesOn)
{
    CAIGame* game = StartComputerGame(BLACK);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(WaitForPly(1));
    ASSERT_TRUE(Play("Nc6"));
    ASSERT_TRUE(WaitForPly(3));
    ASSERT_TRUE(Play("Nf6"));
    ASSERT_EQ(game->GetBoard().GetPly(), 4);
    const SSnapshotOfGame before = Remember(*game);

    const std::string path = ActiveGames() + "/black game.rwg";
    QueueFile(path);
    Choose(ID_MENU_SAVE_GAME_AS);
    EXPECT_EQ(LastQuestion()->text, "Save game");
    EXPECT_EQ(game->GetSavedPath(), path.c_str());
    // Save after the name is known writes there without asking.
    int asked = Prompt().GetCount();
    EXPECT_TRUE(m_frame->SaveGame());
    EXPECT_EQ(Prompt().GetCount(), asked);

    EndGame();
    QueueFile(path);
    Choose(ID_MENU_OPEN_GAME);
    ASSERT_NO_FATAL_FAILURE(ExpectRestored(before, BLACK, path));
    // White, the engine, is to move in the restored game.
    EXPECT_TRUE(WaitForPly(5));
}

TEST_F(FrameFiles, AFailedSaveKeepsTheOldFileAndSaysSo)
{
    CGame* game = Game();
    ASSERT_NE(dynamic_cast<CAIGame*>(game), nullptr);
    const std::string path = game->GetSavedPath().GetText();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(m_frame->SaveGame());
    const std::string old = ReadAll(path);
    ASSERT_GT(old.size(), 400u);
    std::vector<std::string> folderBefore = ListFolder(ActiveGames());
    const int savedPly = game->GetSavedPly();
    ASSERT_TRUE(Play(game->GetBoard().GetSideToMove() == BLACK ? "a6" : "a3"));

    // Files may not grow past 300 bytes while saving.
    struct rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    struct rlimit small = limit;
    small.rlim_cur = 300;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Prompt().QueueButton(wxOK);
    bool saved = m_frame->SaveGame();
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved);
    EXPECT_EQ(Prompt().CountText("Could not save!"), 1);
    EXPECT_EQ(LastQuestion()->caption, "Save");
    EXPECT_EQ(LastQuestion()->style & wxICON_ERROR, wxICON_ERROR);
    EXPECT_EQ(ReadAll(path), old);
    EXPECT_EQ(ListFolder(ActiveGames()), folderBefore) << "no temporary file stays behind";
    EXPECT_EQ(game->GetSavedPath(), path.c_str());
    EXPECT_EQ(game->GetSavedPly(), savedPly);

    // The unsaved move is still there to save: the close question asks.
    Prompt().QueueButton(wxCANCEL);
    EXPECT_FALSE(game->QueryClose());
    EXPECT_EQ(Prompt().GetUnexpectedCount(), 0);
    EXPECT_EQ(Prompt().CountText("Do you wish to save the current game?"), 1);
    // With room again the same Save succeeds.
    EXPECT_TRUE(m_frame->SaveGame());
    EXPECT_NE(ReadAll(path), old);
    EXPECT_EQ(game->GetSavedPly(), game->GetBoard().GetPly());
}

TEST_F(FrameFiles, AnotherGamesFileIsReplacedOnlyAfterAsking)
{
    CGame* game = Game();
    const std::string own = game->GetSavedPath().GetText();
    const std::string other = ActiveGames() + "/Ann vs Bob.rwg";
    WriteAll(other, "not to be lost\n");

    // No: back to the dialog, which is then cancelled.
    QueueFile(other);
    Prompt().QueueButton(wxNO);
    QueueCancelledFile();
    Choose(ID_MENU_SAVE_GAME_AS);
    EXPECT_EQ(Prompt().CountText("Ann vs Bob.rwg already exists.\n\nDo you want to replace it?"), 1);
    EXPECT_EQ(Prompt().GetQuestion(1).caption, "Save As");
    EXPECT_EQ(Prompt().GetQuestion(2).kind, CScriptedPrompt::kFile);
    EXPECT_EQ(ReadAll(other), "not to be lost\n");
    EXPECT_EQ(game->GetSavedPath(), own.c_str());

    // The game's own file is written over without a question.
    Prompt().Clear();
    QueueFile(own);
    Choose(ID_MENU_SAVE_GAME_AS);
    EXPECT_EQ(Prompt().GetCount(), 1);

    // Yes: replaced, and the game now lives there.
    Prompt().Clear();
    QueueFile(other);
    Prompt().QueueButton(wxYES);
    Choose(ID_MENU_SAVE_GAME_AS);
    EXPECT_NE(ReadAll(other).find("AIGame"), std::string::npos);
    EXPECT_EQ(game->GetSavedPath(), other.c_str());

    // A new game that is cancelled in the dialog: false, nothing written.
    game->SetSavedPath(CString());
    std::vector<std::string> before = ListFolder(ActiveGames());
    Prompt().Clear();
    QueueCancelledFile();
    EXPECT_FALSE(m_frame->SaveGame());
    EXPECT_EQ(ListFolder(ActiveGames()), before);
    EXPECT_TRUE(game->GetSavedPath().IsEmpty());
}

TEST_F(FrameFiles, SavedGamesOfOtherKindsAndBrokenFiles)
{
    CGame* current = Game();
    ASSERT_NE(current, nullptr);
    const std::string currentFen = Fen(*current);
    const std::string folder = g_client->Path("other");
    ASSERT_EQ(system(("mkdir -p '" + folder + "'").c_str()), 0);

    auto expectUnchanged = [&](const char* what) {
        EXPECT_EQ(Game(), current) << what;
        EXPECT_EQ(Fen(*Game()), currentFen) << what;
    };

    Prompt().QueueButton(wxOK);
    m_frame->OpenGameFile(CString((folder + "/missing.rwg").c_str()));
    EXPECT_EQ(Prompt().CountText("Could not open the game file."), 1);
    EXPECT_EQ(LastQuestion()->caption, "Open");
    expectUnchanged("missing");

    WriteAll(folder + "/broken.rwg", "game=\r\n{\r\n\ttype= AIGame\r\n}\r\n}\r\n}\r\n");
    Prompt().QueueButton(wxOK);
    m_frame->OpenGameFile(CString((folder + "/broken.rwg").c_str()));
    EXPECT_EQ(Prompt().CountText("Could not read the game file."), 1);
    expectUnchanged("broken");

    // A saved game cut short anywhere is refused, and the file stays as it
    // was (the next Save cannot write a shorter game over it).
    WriteComputerGame(folder + "/long.rwg", "white",
                      {"e4", "e5", "Nf3", "Nc6", "Bb5", "a6", "Ba4", "Nf6", "O-O", "Be7", "Re1", "b5"});
    const std::string long_ = ReadAll(folder + "/long.rwg");
    for (size_t cut : {long_.size() / 4, long_.size() / 2, long_.size() * 3 / 4, long_.size() - 3}) {
        const std::string part = long_.substr(0, cut);
        WriteAll(folder + "/cut.rwg", part);
        const int before = Prompt().CountText("Could not read the game file.");
        Prompt().QueueButton(wxOK);
        m_frame->OpenGameFile(CString((folder + "/cut.rwg").c_str()));
        EXPECT_EQ(Prompt().CountText("Could not read the game file."), before + 1) << "cut at " << cut;
        EXPECT_EQ(ReadAll(folder + "/cut.rwg"), part);
        expectUnchanged("cut");
    }

    WriteSavedGame(folder + "/banana.rwg", "Banana", {"e4"});
    Prompt().QueueButton(wxOK);
    m_frame->OpenGameFile(CString((folder + "/banana.rwg").c_str()));
    EXPECT_EQ(Prompt().CountText("Don't recognise a 'Banana' game type.\n\nVersion mis-match?"), 1);
    EXPECT_EQ(LastQuestion()->style & wxICON_ERROR, wxICON_ERROR);
    expectUnchanged("unknown type");

    WriteSavedGame(folder + "/network.rwg", "NetworkGame", {"e4"});
    Prompt().QueueButton(wxOK);
    m_frame->OpenGameFile(CString((folder + "/network.rwg").c_str()));
    EXPECT_EQ(Prompt().CountText("To restore this game please host or join a network game first.\n"), 1);
    EXPECT_STREQ(LastQuestion()->caption.GetText(), "Network Game");
    expectUnchanged("network game");

    // Viewed kinds replace the current game with a viewed one.
    const std::initializer_list<const char*> moves = {"e4", "e5", "Qh5", "Nc6", "Bc4", "Nf6", "Qxf7#"};
    WriteSavedGame(folder + "/email.rwg", "EmailGame", moves, {{"Tags.White", "Ann"}, {"Tags.Black", "Bob"}});
    Prompt().QueueButton(wxOK);
    m_frame->OpenGameFile(CString((folder + "/email.rwg").c_str()));
    EXPECT_EQ(Prompt().CountText(
                  "You can only view a saved email game.\n\nTo respond, open the last '.rwf' file you were sent."),
              1);
    CPGNGame* viewed = dynamic_cast<CPGNGame*>(Game());
    ASSERT_NE(viewed, nullptr);
    EXPECT_FALSE(viewed->IsInPlay());
    EXPECT_EQ(History(*viewed), (std::vector<std::string>{"e4", "e5", "Qh5", "Nc6", "Bc4", "Nf6", "Qxf7#"}));
    EXPECT_STREQ(viewed->GetTags()["White"].GetText(), "Ann");
    EXPECT_EQ(MoveListTexts(), History(*viewed));
    EXPECT_FALSE(m_frame->IsBrowserView());

    WriteSavedGame(folder + "/online.rwg", "gridmoorgame", moves);
    int asked = Prompt().GetCount();
    m_frame->OpenGameFile(CString((folder + "/online.rwg").c_str()));
    EXPECT_EQ(Prompt().GetCount(), asked);
    ASSERT_NE(dynamic_cast<CPGNGame*>(Game()), nullptr);
    EXPECT_NE(Game(), viewed);
    EXPECT_EQ(Game()->GetBoard().GetPly(), 7);
}

TEST_F(FrameFiles, RestoredGamesThatWereOverAreNotPlayedOn)
{
    const std::string folder = g_client->Path("other");
    WriteComputerGame(folder + "/mated.rwg", "white", {"f3", "e5", "g4", "Qh4#"});
    m_frame->OpenGameFile(CString((folder + "/mated.rwg").c_str()));
    CAIGame* mated = dynamic_cast<CAIGame*>(Game());
    ASSERT_NE(mated, nullptr);
    EXPECT_EQ(mated->GetResult(), RESULT_BLACK_WINS);
    EXPECT_FALSE(mated->IsInPlay());
    EXPECT_EQ(History(*mated).back(), "Qh4#");
    EXPECT_EQ(MoveListTexts().size(), 4u);

    // Only shown: the engine is not started for a finished game, and the
    // result is told.
    ASSERT_NE(mated->GetComputerPlayer(), nullptr);
    EXPECT_FALSE(mated->GetComputerPlayer()->GetEngineProcess()->IsRunning());
    const CString mateWords = GameEndText(mated->GetBoard(), RESULT_BLACK_WINS, "");
    ASSERT_FALSE(mateWords.IsEmpty());
    EXPECT_EQ(FromWx(m_frame->GetStatusBar()->GetStatusText(0)), mateWords);
    // Saved again, it keeps its result and opens finished once more.
    ASSERT_TRUE(m_frame->SaveGame());
    Zorlin::CConfig resaved;
    const std::string resavedText = ReadAll(folder + "/mated.rwg");
    ASSERT_TRUE(resaved.ReadText(resavedText.data(), int(resavedText.size())));
    EXPECT_EQ(resaved.GetValueOr(".game.result", ""), "0-1");
    m_frame->OpenGameFile(CString((folder + "/mated.rwg").c_str()));
    CAIGame* again = dynamic_cast<CAIGame*>(Game());
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, mated);
    EXPECT_EQ(again->GetResult(), RESULT_BLACK_WINS);
    EXPECT_FALSE(again->IsInPlay());
    EXPECT_FALSE(again->GetComputerPlayer()->GetEngineProcess()->IsRunning());
    // Play goes on from a reset: then the engine starts.
    Prompt().QueueButton(wxYES);
    Choose(ID_MENU_RESET_GAME);
    EXPECT_TRUE(Game()->IsInPlay());
    EXPECT_TRUE(again->GetComputerPlayer()->GetEngineProcess()->IsRunning());

    // A resignation leaves nothing on the board: the file's result stands.
    WriteSavedGame(folder + "/resigned.rwg", "AIGame", {"e4", "e5", "Nf3"},
                   {{"game.engine", kEngine}, {"game.LocalPlayer", "white"}, {"game.result", "1-0"},
                    {"game.end", "resigns"}});
    m_frame->OpenGameFile(CString((folder + "/resigned.rwg").c_str()));
    CAIGame* resigned = dynamic_cast<CAIGame*>(Game());
    ASSERT_NE(resigned, nullptr);
    EXPECT_EQ(resigned->GetResult(), RESULT_WHITE_WINS);
    EXPECT_FALSE(resigned->IsInPlay());
    EXPECT_FALSE(resigned->GetComputerPlayer()->GetEngineProcess()->IsRunning());
    EXPECT_EQ(FromWx(m_frame->GetStatusBar()->GetStatusText(0)),
              GameEndText(resigned->GetBoard(), RESULT_WHITE_WINS, "resigns"));
    for (int i = 0; i < 30; ++i)
        g_client->Pump();
    EXPECT_EQ(resigned->GetBoard().GetPly(), 3) << "Black, the engine, never moves in it";

    // The knights' dance: the start position three more times, White to move.
    WriteComputerGame(folder + "/repeated.rwg", "black",
                      {"Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8"});
    m_frame->OpenGameFile(CString((folder + "/repeated.rwg").c_str()));
    CAIGame* drawn = dynamic_cast<CAIGame*>(Game());
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->GetResult(), RESULT_DRAW);
    EXPECT_FALSE(drawn->IsInPlay());
    SRestoredEnd end = JudgeRestoredGame(drawn->GetBoard());
    ASSERT_FALSE(end.status.IsEmpty());
    ASSERT_NE(m_frame->GetStatusBar(), nullptr);
    EXPECT_EQ(FromWx(m_frame->GetStatusBar()->GetStatusText(0)), end.status);
    // The engine, White, is never asked to move in it.
    for (int i = 0; i < 30; ++i)
        g_client->Pump();
    EXPECT_EQ(drawn->GetBoard().GetPly(), 12);

    // A game still open clears the status field.
    WriteComputerGame(folder + "/open.rwg", "white", {"e4", "e5"});
    m_frame->OpenGameFile(CString((folder + "/open.rwg").c_str()));
    ASSERT_NE(dynamic_cast<CAIGame*>(Game()), nullptr);
    EXPECT_TRUE(Game()->IsInPlay());
    EXPECT_NE(FromWx(m_frame->GetStatusBar()->GetStatusText(0)), end.status);
}

TEST_F(FrameFiles, DroppedFilesGoWhereTheirKindBelongs)
{
    ASSERT_NE(DropTarget(), nullptr);
    const std::string folder = g_client->Path("dropped");
    ASSERT_EQ(system(("mkdir -p '" + folder + "'").c_str()), 0);
    const std::string pgn = folder + "/GAME.PGN";
    WriteAll(pgn, ReadAll(ROOKWELL_TESTDATA "/pgn/kasparov-deep-blue-1997.pgn"));
    WriteAll(folder + "/noext", "x");
    WriteAll(folder + "/notes.txt", "x");

    // An AI game in play with a move not saved yet.
    WriteComputerGame(folder + "/open.rwg", "white", {"e4", "e5"});
    ASSERT_TRUE(Drop({folder + "/open.rwg"}));
    CAIGame* game = dynamic_cast<CAIGame*>(Game());
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(game->GetSavedPath(), (folder + "/open.rwg").c_str());
    ASSERT_TRUE(Play("Nf3"));
    Prompt().Clear();

    EXPECT_FALSE(Drop({pgn, folder + "/open.rwg"}));
    EXPECT_FALSE(Drop({folder + "/noext"}));
    EXPECT_FALSE(Drop({folder + "/notes.txt"}));
    EXPECT_EQ(Prompt().GetCount(), 0);
    EXPECT_EQ(Game(), game);

    // Like Open, a drop asks about the unsaved move first; Cancel keeps it.
    Prompt().QueueButton(wxCANCEL);
    EXPECT_TRUE(Drop({pgn}));
    EXPECT_EQ(Prompt().CountText("Do you wish to save the current game?"), 1);
    EXPECT_EQ(Game(), game);
    Prompt().QueueButton(wxCANCEL);
    EXPECT_TRUE(Drop({folder + "/open.rwg"}));
    EXPECT_EQ(Prompt().CountText("Do you wish to save the current game?"), 2);
    EXPECT_EQ(Game(), game);

    // No: the PGN file is shown in the viewer game.
    Prompt().Clear();
    Prompt().QueueButton(wxNO);
    EXPECT_TRUE(Drop({pgn}));
    CPGNGame* viewed = dynamic_cast<CPGNGame*>(Game());
    ASSERT_NE(viewed, nullptr);
    EXPECT_GT(viewed->GetBoard().GetPly(), 10);
    EXPECT_EQ(viewed->GetGameCount(), 6);
    EXPECT_EQ(Prompt().GetUnexpectedCount(), 0);

    // A viewed game is not in play: the saved game opens at once.
    Prompt().Clear();
    EXPECT_TRUE(Drop({folder + "/open.rwg"}));
    ASSERT_NE(dynamic_cast<CAIGame*>(Game()), nullptr);
    EXPECT_EQ(History(*Game()), (std::vector<std::string>{"e4", "e5"}));
    EXPECT_EQ(Prompt().GetCount(), 0);

    // A transport file goes to the application's dispatch, which speaks for
    // itself; the frame opens nothing of its own.
    CGame* before = Game();
    WriteAll(folder + "/turn.RWF", "not an archive");
    Prompt().SetResponder([](const CScriptedPrompt::SQuestion& question) {
        CScriptedPrompt::SAnswer answer;
        answer.code = question.style & wxCANCEL ? wxCANCEL : wxOK;
        return answer;
    });
    EXPECT_TRUE(Drop({folder + "/turn.RWF"}));
    Prompt().SetResponder(nullptr);
    EXPECT_GE(Prompt().GetCount(), 1);
    EXPECT_EQ(Prompt().CountText("Could not open the game file."), 0);
    EXPECT_EQ(Prompt().CountText("Could not open PGN file."), 0);
    EXPECT_EQ(Game(), before);
}

// Yes to the question a drop asks saves the game in play through the save
// dialog before the file replaces it; a save dialog cancelled keeps it.
TEST_F(FrameFiles, YesToADroppedFilesQuestionSavesTheGameInPlayFirst)
{
    const std::string pgn = g_client->Path("dropped/yes.pgn");
    WriteAll(pgn, "[White \"Ann\"]\n[Black \"Bob\"]\n\n1. d4 d5 2. c4 1-0\n");
    CAIGame* game = StartComputerGame(WHITE);
    ASSERT_NE(game, nullptr) << "the engine package did not start";
    ASSERT_TRUE(Play("e4"));
    ASSERT_TRUE(WaitForPly(2));
    const std::vector<std::string> played = History(*game);

    Prompt().Clear();
    Prompt().QueueButton(wxYES);
    QueueCancelledFile();
    EXPECT_TRUE(Drop({pgn}));
    EXPECT_EQ(Prompt().CountText("Do you wish to save the current game?"), 1);
    EXPECT_EQ(Game(), game) << "the save was cancelled: the game stays";

    const std::string kept = ActiveGames() + "/kept before the drop.rwg";
    Prompt().Clear();
    Prompt().QueueButton(wxYES);
    QueueFile(kept);
    EXPECT_TRUE(Drop({pgn}));
    ASSERT_EQ(Prompt().GetCount(), 2);
    EXPECT_EQ(Prompt().GetQuestion(1).kind, CScriptedPrompt::kFile);
    Zorlin::CConfig saved;
    const std::string text = ReadAll(kept);
    ASSERT_TRUE(saved.ReadText(text.c_str(), int(text.size()))) << kept;
    EXPECT_EQ(std::string(saved.GetValueOr(".game.type", "").GetText()), "AIGame");
    EXPECT_EQ(std::string(saved.GetValueOr(".moves.#0.move", "").GetText()), played[0]);
    EXPECT_EQ(std::string(saved.GetValueOr(".moves.#1.move", "").GetText()), played[1]);
    CPGNGame* viewed = dynamic_cast<CPGNGame*>(Game());
    ASSERT_NE(viewed, nullptr);
    EXPECT_EQ(History(*viewed), (std::vector<std::string>{"d4", "d5", "c4"}));
}

TEST_F(FrameFiles, OpenRwfAsksOnTheDesktopAndHandsTheFileToTheDispatch)
{
    CGame* before = Game();
    QueueCancelledFile();
    Choose(ID_MENU_OPEN_TRANSPORT_FILE);
    ASSERT_EQ(Prompt().GetCount(), 1);
    EXPECT_STREQ(LastQuestion()->text.GetText(), "Select a RWF file to open");
    EXPECT_EQ(LastQuestion()->style & wxFD_FILE_MUST_EXIST, wxFD_FILE_MUST_EXIST);
    EXPECT_EQ(std::string(LastQuestion()->folder.GetText()).rfind(getenv("HOME"), 0), 0u)
        << LastQuestion()->folder.GetText();

    const std::string path = g_client->Path("dropped/menu.rwf");
    WriteAll(path, "not an archive");
    Prompt().Clear();
    QueueFile(path);
    Prompt().SetResponder([](const CScriptedPrompt::SQuestion& question) {
        CScriptedPrompt::SAnswer answer;
        answer.code = question.style & wxCANCEL ? wxCANCEL : wxOK;
        return answer;
    });
    Choose(ID_MENU_OPEN_TRANSPORT_FILE);
    Prompt().SetResponder(nullptr);
    // The dispatch speaks for itself about a file it cannot use.
    EXPECT_GE(Prompt().GetCount(), 2);
    EXPECT_EQ(Game(), before);
}

TEST_F(FrameFiles, ABoardSnapshotIsABitmapOfTheBoard)
{
    const std::string folder = g_client->Path("snapshots");
    ASSERT_EQ(system(("mkdir -p '" + folder + "'").c_str()), 0);

    // Cancelled: nothing is grabbed or written.
    QueueCancelledFile();
    Choose(ID_MENU_SAVE_SNAPSHOT);
    EXPECT_EQ(Prompt().GetCount(), 1);
    EXPECT_EQ(LastQuestion()->text, "Save Screen Image");
    EXPECT_TRUE(ListFolder(folder).empty());

    m_frame->ShowBrowser(false, true);
    ASSERT_TRUE(g_client->PumpUntil([&] { return Canvas()->IsShownOnScreen(); }));
    for (int i = 0; i < 20; ++i)
        g_client->Pump();
    CBoardScene* scene = dynamic_cast<CBoardScene*>(Canvas()->GetScene());
    ASSERT_NE(scene, nullptr);

    // No extension: the bitmap's is added.
    Prompt().Clear();
    QueueFile(folder + "/board");
    Choose(ID_MENU_SAVE_SNAPSHOT);
    EXPECT_EQ(Prompt().GetCount(), 1) << (Prompt().GetCount() > 1 ? LastQuestion()->text.GetText() : "");
    const std::string bitmap = folder + "/board.bmp";
    SWindowRect rect;
    ASSERT_TRUE(scene->GetGeometry().SnapshotRect(rect));
    EXPECT_EQ(RunCommand("identify -format '%m %w %h' '" + bitmap + "' 2>&1"),
              "BMP3 " + std::to_string(rect.width) + " " + std::to_string(rect.height));
    // A real picture of the board, not an empty one.
    EXPECT_GT(std::atoi(RunCommand("identify -format '%k' '" + bitmap + "' 2>&1").c_str()), 16);

    // A name whose kind no codec writes: the warning, and no file.
    Prompt().Clear();
    QueueFile(folder + "/board.txt");
    Prompt().QueueButton(wxOK);
    Choose(ID_MENU_SAVE_SNAPSHOT);
    EXPECT_EQ(Prompt().CountText("Could not write image."), 1);
    EXPECT_EQ(LastQuestion()->caption, "Screenshot");
    EXPECT_EQ(ListFolder(folder), std::vector<std::string>{"board.bmp"});

    // An existing picture is replaced only after asking.
    const std::string old = ReadAll(bitmap);
    Prompt().Clear();
    QueueFile(bitmap);
    Prompt().QueueButton(wxNO);
    QueueCancelledFile();
    Choose(ID_MENU_SAVE_SNAPSHOT);
    EXPECT_EQ(Prompt().CountText("board.bmp already exists.\n\nDo you want to replace it?"), 1);
    EXPECT_EQ(ReadAll(bitmap), old);
}

} // namespace

TEST_F(FrameFiles, AGameInPlayIsKeptWithoutAskingWhenTheSessionEnds)
{
    CAIGame* game = StartComputerGame(WHITE);
    ASSERT_NE(game, nullptr);
    ASSERT_TRUE(game->GetSavedPath().IsEmpty());
    const std::string stem = ActiveGames() + "/" + MakeSavedGameName(*game, "").GetText();
    // The name the save question offers already holds another game.
    WriteAll(stem + ".rwg", "another game");
    ASSERT_TRUE(Play("e4"));

    EXPECT_TRUE(m_frame->KeepUnsavedGame());
    EXPECT_EQ(Prompt().GetCount(), 0) << "nothing is asked";
    EXPECT_EQ(ReadAll(stem + ".rwg"), "another game");
    EXPECT_EQ(std::string(game->GetSavedPath().GetText()), stem + " (2).rwg");
    const std::string kept = ReadAll(game->GetSavedPath().GetText());
    Zorlin::CConfig saved;
    ASSERT_TRUE(saved.ReadText(kept.c_str(), int(kept.size())));
    EXPECT_EQ(std::string(saved.GetValueOr(".game.type", "").GetText()), "AIGame");
    EXPECT_EQ(game->GetSavedPly(), game->GetBoard().GetPly());
    EXPECT_TRUE(game->QueryClose()) << "kept: the close asks nothing more";

    // Kept under its own name from then on.
    ASSERT_TRUE(WaitForPly(2));
    ASSERT_TRUE(Play("d4"));
    EXPECT_TRUE(m_frame->KeepUnsavedGame());
    EXPECT_EQ(std::string(game->GetSavedPath().GetText()), stem + " (2).rwg");
    EXPECT_FALSE(std::ifstream(stem + " (3).rwg").good());
    EndGame();
}
