#include "client/core/AIGame.h"

#include <cstdlib>

#include <wx/defs.h>

#include "client/core/AppServices.h"
#include "client/core/ChessView.h"
#include "client/core/ClockView.h"
#include "client/core/ComputerPlayer.h"
#include "client/core/Console.h"
#include "client/core/EngineProcess.h"
#include "client/core/FrameView.h"
#include "client/core/GameFileRules.h"
#include "client/core/LocalPlayer.h"
#include "client/core/Prompt.h"
#include "client/core/XboardText.h"
#include "foundation/Drive.h"
#include "foundation/URL.h"
#include "foundation/NameText.h"

using Zorlin::CConfig;
using Zorlin::CString;

const char* const CAIGame::kLaunchFailure = "Unable to launch the chess engine.";
const char* const CAIGame::kStartFailure = "There was a problem starting the engine.";

CAIGame::CAIGame(int localColour, const CString& engine, bool launch)
    : m_started(false), m_localColour(localColour == BLACK ? BLACK : WHITE)
{
    m_console.reset(GetAppServices().CreateConsole("AI Game - Console"));
    m_settings.GetValue("type") = "AIGame";
    m_board.SetupStartPosition();

    // The name may come from a saved game: it must name a package folder,
    // not a path to a program elsewhere.
    if (!Zorlin::CURL::IsPlainName(engine))
        return;
    Zorlin::CDrive& drive = GetAppServices().GetProgramDrive();
    drive.PushDirectory();
    CString folder;
    folder.AppendFormat("/engines/%s/", engine.GetText());
    CComputerPlayer* computer = nullptr;
    if (drive.ChangeDirectory(folder)) {
        computer = new CComputerPlayer();
        CEngineProcess* process = computer->GetEngineProcess();
        computer->GetProperties().GetValue("name") = engine;
        // A program that cannot be started leaves no half-made game.
        if (!process->Load(drive) || (launch && !process->Start())) {
            if (m_console)
                m_console->Write((CString("Engine not started: ") + Zorlin::EscapeForLog(process->GetLastError()) + "\n").GetText());
            computer->Destroy();
            computer = nullptr;
        }
    }
    drive.PopDirectory();
    if (!computer)
        return;
    SetPlayers(computer, new CLocalPlayer());
    m_settings.GetValue("engine") = engine;
    m_started = true;
}

CAIGame::~CAIGame()
{
    EndGame();
    m_console.reset();
}

CComputerPlayer* CAIGame::GetComputerPlayer() const
{
    return static_cast<CComputerPlayer*>(m_players[0]);
}

void CAIGame::Log(const char* text)
{
    if (m_console)
        m_console->Write(text);
}

void CAIGame::ReportLaunchFailure(const char* text)
{
    CFrameView* frame = GetFrame();
    GetPrompt().ShowMessage(text, "Error", wxOK | wxICON_ERROR, frame ? frame->GetWindow() : nullptr);
}

void CAIGame::ReadTimeControl(int& moves, double& seconds)
{
    moves = ReadSettingNumber(m_settings.GetValueOr("timecontrol.moves", ""));
    seconds = std::strtod(m_settings.GetValueOr("timecontrol.seconds", "").GetText(), nullptr);
    if (!(seconds > 0.0))
        seconds = 0.0;
}

bool CAIGame::Setup()
{
    m_inPlay = false;
    return true;
}

void CAIGame::Start()
{
    NewGame();
}

void CAIGame::End()
{
    EndGame();
}

void CAIGame::Reset()
{
    ResetGame();
}

void CAIGame::OfferDraw(int side)
{
    CPlayer* other = GetPlayer(side == BLACK ? WHITE : BLACK);
    if (other && other->GetColour() != side)
        other->OfferDraw();
}

void CAIGame::Resign(int side)
{
    CPlayer* other = GetPlayer(side == BLACK ? WHITE : BLACK);
    if (other && other->GetColour() != side)
        other->Resign();
}

void CAIGame::GetStatusPage(CString& out)
{
    out = "inplay.htm";
}

void CAIGame::SetPondering(bool pondering)
{
    m_settings.GetValue("pondering") = pondering ? "yes" : "no";
}

void CAIGame::SetDepth(int depth)
{
    m_settings.GetValue("depth") = "";
    m_settings.GetValue("depth").Append(depth);
}

void CAIGame::Poll()
{
    if (GetMillisecondsToFlag() == 0.0)
        EndOnTime();
}

void CAIGame::EndOnTime()
{
    Colour loser = m_board.GetSideToMove() == BLACK ? BLACK : WHITE;
    m_displayClocks[loser == BLACK ? 1 : 0] = 0.0;
    if (CClockView* clock = GetClockView())
        clock->SetTime(m_displayClocks[0], m_displayClocks[1], loser);
    m_inPlay = false;
    m_result = loser == WHITE ? RESULT_BLACK_WINS : RESULT_WHITE_WINS;
    m_endNote = "on time";
    Log(loser == WHITE ? "White lost on time\n" : "Black lost on time\n");
    if (CChessView* view = GetChessView())
        view->GameOver(loser == m_localColour ? -1 : 1, 0);
}

// ------------------------------------------------------------ life cycle

void CAIGame::NewGame()
{
    CPlayer* computer = m_players[0];
    CPlayer* local = m_players[1];
    if (local)
        local->StartGame(&m_board, m_localColour);
    if (computer)
        computer->StartGame(&m_board, OtherColour(Colour(m_localColour)));
    m_settings.GetValue("LocalPlayer") = m_localColour == WHITE ? "white" : "black";
    Log("NewGame\n");
    int moves;
    double seconds;
    ReadTimeControl(moves, seconds);
    m_board.SetTimeControl(moves, seconds);
}

void CAIGame::StartGame()
{
    m_inPlay = true;
    Log("StartGame\n");
    m_result = RESULT_NONE;
    m_endNote = "";
    UpdateTags();
    int moves;
    double seconds;
    ReadTimeControl(moves, seconds);
    bool timed = !(m_settings.GetValueOr("timecontrol.type", "") == "none");
    m_tags["TimeControl"] = TimeControlTag(timed ? TIME_CONVENTIONAL : TIME_NONE, moves, seconds);
    WritePlayerPictures();
}

void CAIGame::EndGame()
{
    DestroyPlayers();
    Log("EndGame\n");
    m_inPlay = false;
}

void CAIGame::ResetGame()
{
    int moves;
    double seconds;
    ReadTimeControl(moves, seconds);
    m_board.SetupStartPosition();
    m_board.SetTimeControl(moves, seconds);
    CGame::SetTimeControl(TIME_CONVENTIONAL, moves, seconds);
    if (m_players[1])
        m_players[1]->SetPosition(m_board);
    // A new start is a new engine: whatever state the old one was in
    // (dead, hung, confused) stays behind.
    if (CComputerPlayer* computer = m_started ? GetComputerPlayer() : nullptr)
        computer->RestartEngine();
    if (m_players[0])
        m_players[0]->SetPosition(m_board);
    ShowBoardClocks();
    m_stopwatch.Start();
    if (CClockView* clock = GetClockView()) {
        clock->Stop();
        clock->LoadReminders(-1.0);
    }
    Log("ResetGame\n");
    StartGame();
    if (CFrameView* frame = GetFrame())
        frame->ShowPosition();
}

namespace {

// How a saved game stands: the result it kept, else what its last position
// says (files of older versions kept none).
int SavedGameResult(CConfig& saved)
{
    const int kept = ResultFromText(saved.GetValueOr(".game.result", ""));
    if (kept != RESULT_NONE)
        return kept;
    CGame probe;
    probe.GetBoard().SetupStartPosition();
    probe.LoadMoves(saved, true);
    return JudgeRestoredGame(probe.GetBoard()).result;
}

} // namespace

bool CAIGame::Restore(const CString& path, CConfig& saved)
{
    int localColour = saved.GetValueOr(".game.LocalPlayer", "") == "white" ? WHITE : BLACK;
    // A finished game is only shown: its engine starts when play goes on
    // (a reset, a move taken back).
    const int result = SavedGameResult(saved);
    CAIGame* game = new CAIGame(localColour, saved.GetValueOr(".game.engine", ""), result == RESULT_NONE);
    game->SetSavedPath(path);
    saved.PushAbsolutePrefix("game");
    game->m_settings.Merge(saved);
    saved.PopPrefix();
    CChessView* view = GetChessView();
    if (!game->IsStarted()) {
        delete game;
        ReportLaunchFailure();
        return false;
    }
    if (!view) {
        delete game;
        return false;
    }
    int moves;
    double seconds;
    game->ReadTimeControl(moves, seconds);
    game->Start();
    view->ResetView(game, true, false);

    game->m_board.SetupStartPosition();
    game->m_board.SetTimeControl(moves, seconds);
    game->CGame::SetTimeControl(TIME_CONVENTIONAL, moves, seconds);
    game->LoadMoves(saved, true);
    if (game->m_players[1])
        game->m_players[1]->SetPosition(game->m_board);
    // The engine of a finished game gets its position when play goes on.
    if (game->m_players[0] && result == RESULT_NONE)
        game->m_players[0]->SetPosition(game->m_board);

    game->Log("StartGame\n");
    game->ShowBoardClocks();
    game->m_stopwatch.Start();
    game->StartGame();
    if (result != RESULT_NONE) {
        game->m_inPlay = false;
        game->m_result = GameResult(result);
        game->m_endNote = saved.GetValueOr(".game.end", "");
        game->m_tags["Result"] = ResultText(result);
        if (CClockView* clock = GetClockView())
            clock->Stop();
    } else if (CClockView* clock = GetClockView()) {
        clock->Start();
    }
    game->m_savedPly = game->m_board.GetPly();
    // The moves were made behind the view's back: the move list and the
    // board catch up.
    if (CFrameView* frame = GetFrame())
        frame->RefreshFromGame();
    view->SyncScene();
    view->UpdateStatus();
    return true;
}
