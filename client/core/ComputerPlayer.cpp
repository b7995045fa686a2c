#include "client/core/ComputerPlayer.h"

#include <algorithm>
#include <cstring>

#include <wx/defs.h>
#include <wx/evtloop.h>
#include <wx/timer.h>

#include "client/core/AppServices.h"
#include "client/core/ChessView.h"
#include "client/core/ClockView.h"
#include "client/core/Console.h"
#include "client/core/EngineProcess.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/GameEndText.h"
#include "client/core/HtmlText.h"
#include "client/core/Prompt.h"
#include "client/core/XboardText.h"
#include "foundation/NameText.h"

wxIMPLEMENT_DYNAMIC_CLASS(CComputerPlayer, CPlayer);

class CComputerPlayer::CUnpolledTimer : public wxTimer {
public:
    explicit CUnpolledTimer(CComputerPlayer& player) : m_player(player) {}
    void Notify() override { m_player.ReadUnpolled(); }

private:
    CComputerPlayer& m_player;
};

using Zorlin::CArray;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CString;

CComputerPlayer::CComputerPlayer()
    : m_process(nullptr), m_engineName("GnuChess"), m_moveReady(false), m_board(nullptr), m_featuresDone(false),
      m_drawOffered(false), m_drawPing(0), m_drawDeclined(false), m_resignDeclined(false), m_goPending(false), m_startPending(false), m_polling(false), m_failed(false),
      m_waitingSince(0.0), m_lastHeard(0.0),
      m_pingCounter(0), m_awaitedPong(0), m_pongDeadline(0.0), m_alive(std::make_shared<bool>(true))
{
    m_properties.GetValue("name") = m_engineName;
    m_properties.GetValue("type") = "CComputerPlayer";
    m_accepted["setboard"] = true;
    m_accepted["usermove"] = true;
    m_console.reset(GetAppServices().CreateConsole("CComputerPlayer - Console"));
}

CComputerPlayer::~CComputerPlayer()
{
    *m_alive = false;
    m_unpolledTimer.reset();
    CEngineProcess* process = m_process;
    m_process = nullptr;
    delete process; // stops the engine
}

void CComputerPlayer::Destroy()
{
    CEngineProcess* process = m_process;
    m_process = nullptr;
    if (process) {
        process->Stop();
        delete process;
    }
    delete this;
}

CEngineProcess* CComputerPlayer::GetEngineProcess()
{
    if (!m_process) {
        m_process = new CEngineProcess();
        // What the engine writes wakes the tick that reads it.
        m_process->SetOutputNotice([] {
            if (CChessView* view = CGame::GetChessView())
                view->WakeTick();
        });
    }
    return m_process;
}

namespace {

double g_silenceLimit = CComputerPlayer::kSilenceLimit;

} // namespace

void CComputerPlayer::SetSilenceLimit(double seconds)
{
    g_silenceLimit = seconds;
}

void CComputerPlayer::Send(const char* text)
{
    if (m_process)
        m_process->Send(text);
    // Woken by what is sent, it must rest again even though no tick polls it.
    if (!m_game || !m_game->IsInPlay())
        WatchUnpolled();
    if (!std::strcmp(text, "go\n") || !std::strncmp(text, "usermove ", 9) ||
        (std::strlen(text) >= 5 && text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8'))
        m_waitingSince = CEngineProcess::Now();
}

wxWindow* CComputerPlayer::DialogParent() const
{
    CFrameView* frame = CGame::GetFrame();
    return frame ? frame->GetWindow() : nullptr;
}

void CComputerPlayer::ForgetReadyMove()
{
    m_moveReady = false;
    m_readyMove = CMove();
    m_readyText = "";
    m_pendingMove = "";
}

// ------------------------------------------------------------ features

bool CComputerPlayer::IsFeatureOn(const char* name)
{
    return IsFeatureAnnounced(name, "1");
}

bool CComputerPlayer::IsFeatureAnnounced(const char* name, const char* value)
{
    WaitForFeatures();
    const CString* announced = m_features.Find(name);
    return announced && *announced == value;
}

void CComputerPlayer::WaitForFeatures()
{
    std::shared_ptr<bool> alive = m_alive;
    while (!m_featuresDone) {
        // What is waiting is read first: an announcement still in the pipe
        // counts as made.
        Poll();
        if (!*alive)
            return;
        if (AreFeaturesSettled())
            break;
        // Windows repaint, but no input or timer runs: the user cannot act
        // on a game that might be torn down meanwhile.
        wxEventLoopBase* loop = wxEventLoopBase::GetActive();
        if (loop && !loop->IsYielding())
            loop->YieldFor(wxEVT_CATEGORY_UI);
        if (!*alive)
            return;
        m_process->WaitForOutput(10);
    }
    m_featuresDone = true;
}

bool CComputerPlayer::AreFeaturesSettled() const
{
    const CString* done = m_features.Find("done");
    if (m_featuresDone || (done && *done == "1"))
        return true;
    // Nothing more can come from an engine that is gone.
    if (!m_process || !m_process->IsRunning() || m_process->HasEnded())
        return true;
    double waited = m_process->GetSecondsSinceStart();
    bool saidWait = done && *done == "0";
    return (!saidWait && waited > kFeatureWait) || waited > kMaxFeatureWait;
}

void CComputerPlayer::HandleFeatures(const CString& line)
{
    CArray<CString> words;
    SplitFeatureWords(line, words);
    for (int i = 1; i + 1 < words.GetCount(); i += 2) {
        const CString& name = *words.GetAt(i);
        const CString& value = *words.GetAt(i + 1);
        if (m_console) {
            CString note = CString("FEATURE ") + Zorlin::EscapeForLog(name) + "= " + Zorlin::EscapeForLog(value) + "\n";
            m_console->Write(note.GetText());
        }
        m_features[name] = value;
        if (!KeysEqualNoCase(name, "done") && m_accepted.Contains(name.GetText())) {
            CString answer;
            answer.AppendFormat("accepted %s\n", name.GetText());
            Send(answer.GetText());
        }
        if (KeysEqualNoCase(name, "done") && value == "1")
            m_featuresDone = true;
    }
}

// ------------------------------------------------------------ game events

void CComputerPlayer::StartGame(CChessBoard* board, int colour)
{
    m_colour = colour;
    m_board = board;
    m_drawOffered = false;
    m_drawPing = 0;
    m_drawDeclined = false;
    m_resignDeclined = false;
    m_goPending = false;
    ForgetReadyMove();
    Send("new\n");
    Send("random\n");
    SendLevel();
    if (m_process)
        m_properties.GetValue("link") = m_process->GetSettings().GetValueOr("link", "");
    // Whether the engine takes colours and clocks is known once its features
    // are; waiting for them here would read its lines before the game is in
    // play, so the polls send "go" when they are known.
    m_startPending = colour == WHITE;
    if (m_startPending && AreFeaturesSettled())
        StartPendingGo();
}

void CComputerPlayer::StartPendingGo()
{
    m_startPending = false;
    m_featuresDone = true; // settled: nothing more is waited for
    SendColourAndGo();
}

void CComputerPlayer::SendColourAndGo()
{
    std::shared_ptr<bool> alive = m_alive;
    // An engine with colors=0 takes its side from "go" alone (some quit on
    // "white" or "black").
    bool colours = !IsFeatureAnnounced("colors", "0");
    if (!*alive)
        return;
    if (colours)
        Send(m_colour == WHITE ? "white\n" : "black\n");
    SendGameClocks();
    Send("go\n");
}

void CComputerPlayer::SendClocks(double mine, double theirs)
{
    // Only a timed game has clocks to tell; an engine with time=0 keeps its own.
    CConfig empty;
    CConfig& settings = m_game ? m_game->GetSettings() : empty;
    if (settings.GetValueOr("timecontrol.type", "") == "none" ||
        ReadSettingNumber(settings.GetValueOr("timecontrol.seconds", "")) <= 0 || IsFeatureAnnounced("time", "0"))
        return;
    CString time, otim;
    time.AppendFormat("time %i\n", int(std::max(mine, 0.0) * 100.0));
    otim.AppendFormat("otim %i\n", int(std::max(theirs, 0.0) * 100.0));
    Send(time.GetText());
    Send(otim.GetText());
}

void CComputerPlayer::SendGameClocks()
{
    if (!m_game || !m_board)
        return;
    Colour mine = m_colour == BLACK ? BLACK : WHITE;
    // No clock runs before the first move: both sides have the whole period.
    if (m_board->GetPly() == 0) {
        double period = ReadSettingNumber(m_game->GetSettings().GetValueOr("timecontrol.seconds", ""));
        SendClocks(period, period);
        return;
    }
    SendClocks(m_game->GetDisplayClock(mine) / 1000.0, m_game->GetDisplayClock(OtherColour(mine)) / 1000.0);
}

void CComputerPlayer::SendLevel()
{
    CConfig empty;
    CConfig& settings = m_game ? m_game->GetSettings() : empty;
    Send(MakeLevelCommand(settings.GetValueOr("timecontrol.moves", ""), settings.GetValueOr("timecontrol.seconds", ""))
             .GetText());
    if (settings.KeyExists("depth")) {
        CString depth;
        depth.Append(ReadSettingNumber(settings.GetValueOr("depth", "")));
        bool sdOnly = m_process && CConfig::IsTrue(m_process->GetSettings().GetValueOr("nosetdepth", ""));
        if (!sdOnly)
            Send((CString("depth ") + depth + "\n").GetText());
        Send((CString("sd ") + depth + "\n").GetText());
    }
    if (CConfig::IsTrue(settings.GetValueOr("pondering", ""))) {
        Send("hard\n");
    } else {
        Send("hard\n");
        Send("easy\n");
    }
}

bool CComputerPlayer::OpponentMoved(const CMove& move)
{
    std::shared_ptr<bool> alive = m_alive;
    CString text = IsFeatureOn("usermove") ? "usermove " : "";
    if (!*alive)
        return false;
    move.ToCoordinateText(text);
    text.Append('\n');
    // The engine budgets its reply from the clocks it was told last: they
    // come before every move it answers.
    if (!m_goPending)
        SendGameClocks();
    if (!*alive)
        return false;
    Send(text.GetText());
    ForgetReadyMove();
    if (m_goPending) {
        m_goPending = false;
        SendColourAndGo();
    }
    return true;
}

void CComputerPlayer::SetPosition(const CChessBoard& board)
{
    // A failed engine is not told anything more: a fresh one gets the
    // position, and so does one not started yet (a finished game reopened).
    if ((m_failed || (m_process && (m_process->HasEnded() || !m_process->IsRunning()))) && !RestartEngine())
        return;
    std::shared_ptr<bool> alive = m_alive;
    bool canPing = IsFeatureOn("ping");
    if (!*alive)
        return;
    // Whatever the engine said about the old position is of no use now;
    // only its announcements are kept.
    if (m_process) {
        CString line;
        for (int n = 0; n < 1000 && m_process->ReadLine(line); ++n)
            HandleQuietLine(line);
    }
    ForgetReadyMove();
    m_startPending = false;
    Send("new\n");
    Send("force\n");
    const CArray<SHistoryEntry>& history = board.GetHistory();
    for (int i = 0; i < history.GetCount(); ++i) {
        CString text;
        history.GetAt(i)->m_move.ToCoordinateText(text);
        text.Append('\n');
        Send(text.GetText());
    }
    // A move the engine wrote before it read "new" arrives before the pong.
    if (canPing) {
        CString ping;
        ping.AppendFormat("ping %i\n", ++m_pingCounter);
        Send(ping.GetText());
        m_awaitedPong = m_pingCounter;
        m_pongDeadline = CEngineProcess::Now() + kPongWait;
    }
    // After "level", which some engines take as a fresh period.
    SendLevel();
    Colour mine = m_colour == BLACK ? BLACK : WHITE;
    SendClocks(board.GetClock(mine), board.GetClock(OtherColour(mine)));
    if (board.GetSideToMove() == m_colour)
        Send("go\n");
    else
        m_goPending = true;
}

bool CComputerPlayer::RequestTakeBack(int moveNumber)
{
    if (!m_board || !m_game)
        return false;
    // Only a working engine in a game in play can be thinking; after its
    // failure a take-back is the way back into the game, with a fresh one.
    if (m_board->GetPly() - moveNumber == 1 && m_game->GetResult() == RESULT_NONE && m_game->IsInPlay() &&
        !m_failed) {
        GetPrompt().ShowMessage("Cant take back while computer is thinking.", "Take back", wxOK | wxICON_INFORMATION,
                                DialogParent());
        return false;
    }
    m_game->TakeBackTo(moveNumber);
    if (CFrameView* frame = CGame::GetFrame())
        frame->RefreshFromGame();
    return true;
}

void CComputerPlayer::TakeBackTo(int moveNumber)
{
    if (!m_board)
        return;
    int d = m_board->GetPly() - moveNumber;
    if (d <= 0)
        return;
    bool over = m_game && m_game->GetResult() != RESULT_NONE;
    if (d == 2 && !over && !m_failed) {
        ForgetReadyMove();
        Send("remove\n");
        return;
    }
    // Any other distance: the engine is given the whole position again, so
    // it never plays on from a position the game has left.
    CChessBoard copy;
    CMove last;
    m_board->ReplayInto(copy, last, moveNumber);
    SetPosition(copy);
}

void CComputerPlayer::Resign() {}

bool CComputerPlayer::OfferDraw()
{
    Send("draw\n");
    m_drawOffered = true;
    // An engine accepts with "offer draw" and declines by saying nothing:
    // a pong after the offer with no acceptance before it is the answer.
    // Without pings, the engine's next move is.
    if (IsFeatureOn("ping")) {
        CString ping;
        ping.AppendFormat("ping %i\n", ++m_pingCounter);
        Send(ping.GetText());
        m_drawPing = m_pingCounter;
    }
    return true;
}

void CComputerPlayer::TellDrawDeclined()
{
    m_drawDeclined = false;
    if (m_game && m_game->IsInPlay())
        GetPrompt().ShowMessage("Draw declined", "Offer draw", wxOK, DialogParent());
}

void CComputerPlayer::GameOver()
{
    ForgetReadyMove();
    m_startPending = false;
    int result = m_game ? m_game->GetResult() : RESULT_NONE;
    // The comment belongs to the command: an adapter that finds none takes
    // the line for an unknown command, and its engine thinks on.
    switch (result) {
    case RESULT_WHITE_WINS: Send("result 1-0 {White wins}\n"); break;
    case RESULT_BLACK_WINS: Send("result 0-1 {Black wins}\n"); break;
    case RESULT_DRAW: Send("result 1/2-1/2 {Draw}\n"); break;
    default: Send("result * {Game ended}\n"); break;
    }
}

bool CComputerPlayer::HasMove()
{
    return m_moveReady;
}

bool CComputerPlayer::GetMove(CMove& out)
{
    if (!m_moveReady)
        return false;
    out = m_readyMove;
    m_moveReady = false;
    return true;
}

void CComputerPlayer::GetPhoto(CAutoPointer<CFile>& out)
{
    Zorlin::CMemFile* photo = new Zorlin::CMemFile();
    photo->Open("photo.bmp", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (m_process) {
        m_process->GetPhoto().Seek(0, CFile::kSeekStart);
        photo->CopyFrom(m_process->GetPhoto());
        m_process->GetPhoto().Seek(0, CFile::kSeekStart);
    }
    photo->Seek(0, CFile::kSeekStart);
    out.Reset(photo);
}

// ------------------------------------------------------------ the engine's word

void CComputerPlayer::EndGameDrawn()
{
    if (!m_game)
        return;
    m_game->SetInPlay(false);
    m_game->SetResult(RESULT_DRAW);
    m_game->SetEndNote(kEndNoteAgreed);
    if (CChessView* view = CGame::GetChessView())
        view->GameOver(0, 0);
}

void CComputerPlayer::OnEngineOffersDraw()
{
    if (!m_game || !m_game->IsInPlay())
        return;
    std::shared_ptr<bool> alive = m_alive;
    bool offered = m_drawOffered;
    m_drawOffered = false;
    CGame* held = HoldClocks();
    bool drawn = true;
    if (offered)
        GetPrompt().ShowMessage("Draw accepted", "Offer draw", wxOK, DialogParent());
    else
        drawn = GetPrompt().ShowMessage("Accept draw?", "Draw offered", wxYES_NO, DialogParent()) == wxYES;
    if (!*alive)
        return;
    if (drawn && m_game && m_game->IsInPlay())
        EndGameDrawn();
    ReleaseClocks(held);
}

void CComputerPlayer::OnEngineResigns()
{
    if (m_resignDeclined || !m_game || !m_game->IsInPlay())
        return;
    std::shared_ptr<bool> alive = m_alive;
    CArray<CString> choices;
    choices.Add(CString("End game"));
    choices.Add(CString("Keep playing"));
    CGame* held = HoldClocks();
    int choice = GetPrompt().AskChoice("Computer resigns.", "Resign", choices, DialogParent(), 200, 150);
    if (!*alive)
        return;
    if (choice != 0)
        m_resignDeclined = true;
    else if (m_game && m_game->IsInPlay())
        EndGameResigned();
    ReleaseClocks(held);
}

void CComputerPlayer::EndGameResigned()
{
    m_game->SetInPlay(false);
    m_game->SetResult(m_colour == BLACK ? RESULT_WHITE_WINS : RESULT_BLACK_WINS);
    m_game->SetEndNote(kEndNoteResigned);
    if (CChessView* view = CGame::GetChessView())
        view->GameOver(1, 0);
}

CGame* CComputerPlayer::HoldClocks()
{
    if (!m_game)
        return nullptr;
    m_game->PauseMoveClock();
    if (CClockView* clock = CGame::GetClockView())
        clock->Stop();
    return m_game;
}

void CComputerPlayer::ReleaseClocks(CGame* held)
{
    if (!held || held != m_game)
        return;
    held->ResumeMoveClock();
    // Before the first move no clock runs; after the game's end none does.
    if (held->IsInPlay() && held->GetResult() == RESULT_NONE && held->GetBoard().GetPly() > 0)
        held->RunClockForSideToMove();
}

void CComputerPlayer::ShowEngineMessage(const CString& text)
{
    // An engine that repeats its greeting (or is restarted) says it once.
    CString shown = AfterFirstBlank(text);
    if (m_messagesShown.Contains(shown.GetText()))
        return;
    m_messagesShown[shown] = true;
    CString title = CString("Message from ") + GetProperty("name");
    GetAppServices().ShowHtmlMessage(title, EscapeHtml(shown));
}

// ------------------------------------------------------------ engine failure

bool CComputerPlayer::IsEnginesTurnInPlay() const
{
    return m_game && m_board && m_game->IsInPlay() && m_game->GetResult() == RESULT_NONE &&
           m_board->GetSideToMove() == m_colour;
}

void CComputerPlayer::CheckSilence()
{
    // A running clock settles a silence by its flag; before the first move
    // no clock runs, so only the silence limit can.
    if (!IsEnginesTurnInPlay() || (m_game->GetPeriodSeconds() > 0.0 && m_board->GetPly() > 0))
        return;
    double quietSince = m_waitingSince > m_lastHeard ? m_waitingSince : m_lastHeard;
    if (m_waitingSince > 0.0 && CEngineProcess::Now() - quietSince > g_silenceLimit)
        OnEngineFailure("The chess engine does not answer.");
}

bool CComputerPlayer::IsWaitingIdle()
{
    // Its start and the confirmation of a new position are owed in or out
    // of a game: a stopped engine could announce neither.
    if (!AreFeaturesSettled() || m_awaitedPong != 0)
        return false;
    bool over = !m_game || !m_game->IsInPlay() || m_game->GetResult() != RESULT_NONE;
    bool pondering = m_game && CConfig::IsTrue(m_game->GetSettings().GetValueOr("pondering", ""));
    // Its move, an answer still owed to us, or its thinking on the user's
    // time keep it busy.
    return over || !(IsEnginesTurnInPlay() || m_startPending || m_drawPing != 0 || pondering);
}

bool CComputerPlayer::IsAtRest()
{
    // A declined draw still to be told, or a line read and not yet taken,
    // is work for the next poll.
    return m_process && !m_failed && !m_polling && !m_drawDeclined && !m_process->IsOutputBehind() &&
           IsWaitingIdle();
}

bool CComputerPlayer::WakesOnOutput()
{
    // Its features and "go" wait on clocks of their own, a ready move on the
    // tick that plays it.
    return m_process && !m_failed && !m_polling && !m_drawDeclined && !m_moveReady && !m_startPending &&
           AreFeaturesSettled() && !m_process->IsOutputBehind() && m_process->IsOutputWatched();
}

bool CComputerPlayer::IsReadingBehind()
{
    return m_process && !m_failed && !m_polling && m_process->IsOutputBehind();
}

void CComputerPlayer::RestIfWaiting()
{
    if (m_process->IsResting() || !m_process->RestsWhileWaiting() || !IsWaitingIdle())
        return;
    double quietSince = std::max(m_lastHeard, m_process->GetLastSent());
    if (CEngineProcess::Now() - quietSince >= kRestAfter)
        m_process->Rest();
}

void CComputerPlayer::WatchUnpolled()
{
    if (!m_process || !m_process->RestsWhileWaiting() || m_process->IsResting())
        return;
    if (!m_unpolledTimer)
        m_unpolledTimer.reset(new CUnpolledTimer(*this));
    if (!m_unpolledTimer->IsRunning())
        m_unpolledTimer->Start(kUnpolledCheckMs);
}

void CComputerPlayer::ReadUnpolled()
{
    // A game in play is the tick's to read; a question raised by a poll
    // waits for its answer.
    bool polled = m_game && m_game->IsInPlay();
    if (polled || m_polling || m_failed || !m_process || !m_process->IsRunning() || m_process->HasEnded() ||
        m_process->IsResting()) {
        m_unpolledTimer->Stop();
        return;
    }
    m_process->StartTick();
    CString line;
    while (m_process->ReadLine(line)) {
        m_lastHeard = CEngineProcess::Now();
        // Nothing it says changes a game that is over; only its
        // announcements and answers are kept.
        HandleQuietLine(line);
        if (m_process->IsReadTimeUp())
            break;
    }
    RestIfWaiting();
    if (m_process->IsResting())
        m_unpolledTimer->Stop();
}

void CComputerPlayer::OnEngineFailure(const CString& what)
{
    if (m_failed)
        return;
    m_failed = true;
    ForgetReadyMove();
    if (m_console)
        m_console->Write((what + "\n").GetText());
    // Whatever the program still does (flooding, hanging) costs nothing more.
    if (m_process)
        m_process->Abandon();
    if (!m_game || !m_game->IsInPlay())
        return;
    m_game->SetInPlay(false);
    CGame* held = HoldClocks();
    if (CChessView* view = CGame::GetChessView())
        view->UpdateStatus();
    std::shared_ptr<bool> alive = m_alive;
    CArray<CString> choices;
    choices.Add(CString("Restart the engine"));
    choices.Add(CString("End the game"));
    int choice = GetPrompt().AskChoice(what + "\n\nRestart the engine on the current position, or end the game?",
                                       "Chess engine", choices, DialogParent(), 300, 200);
    if (!*alive)
        return;
    ReleaseClocks(held);
    if (!m_game || m_game->GetResult() != RESULT_NONE || m_game->IsInPlay())
        return;
    // The fresh engine's features are read by polls made while waiting for
    // them, which the poll that found the failure would otherwise refuse.
    bool polling = m_polling;
    m_polling = false;
    bool restarted = choice == 0 && RestartEngine();
    if (restarted) {
        m_game->SetInPlay(true);
        if (m_board)
            SetPosition(*m_board);
    }
    if (!*alive)
        return;
    m_polling = polling;
    if (!restarted) {
        EndAfterFailure();
        return;
    }
    if (!m_game)
        return;
    m_game->RunClockForSideToMove();
    if (CChessView* view = CGame::GetChessView())
        view->UpdateStatus();
}

bool CComputerPlayer::RestartEngine()
{
    CEngineProcess* process = GetEngineProcess();
    m_featuresDone = false;
    m_features = Zorlin::CAssocArray<CString>();
    m_awaitedPong = 0;
    m_goPending = false;
    m_startPending = false;
    ForgetReadyMove();
    m_failed = false;
    m_engineError = "";
    m_lastHeard = m_waitingSince = CEngineProcess::Now();
    if (process->Restart())
        return true;
    m_failed = true;
    if (m_console)
        m_console->Write((CString("Engine not restarted: ") + Zorlin::EscapeForLog(process->GetLastError()) + "\n").GetText());
    GetPrompt().ShowMessage("Unable to launch the chess engine.", "Error", wxOK | wxICON_ERROR, DialogParent());
    return false;
}

void CComputerPlayer::EndAfterFailure()
{
    if (!m_game)
        return;
    m_game->SetInPlay(false);
    m_game->SetEndNote("Game ended");
    if (CChessView* view = CGame::GetChessView())
        view->UpdateStatus();
}
