#include "client/remote/GridmoorGame.h"

#include <wx/defs.h>

#include "client/core/ClockView.h"
#include "client/core/HtmlText.h"
#include "client/core/LocalPlayer.h"
#include "client/core/Prompt.h"
#include "client/remote/GridmoorLink.h"
#include "client/remote/GridmoorPlayer.h"
#include "client/remote/PacketHeader.h"

using Zorlin::CAssocArray;
using Zorlin::CBuffer;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

const char* const kNoOpponent =
    "You are not connected to an opponent!\n\nClick Game / Play Online to find a new opponent.";
const char* const kResponse = "Opponent's Response";
const char* const kDisconnected = "You have been disconnected from the Gridmoor server.";
const char* const kNoResult = "The game ends without a result and is kept as unfinished (\"*\").";

CString Number(int n)
{
    CString out;
    out.Append(n);
    return out;
}

} // namespace

CGridmoorGame::CGridmoorGame(CGridmoorLink* link, CGridmoorGameUi* ui)
    : m_link(link), m_ui(ui), m_messages(*this), m_timed(false), m_clock(0), m_clock2(0), m_opponentElapsed(0.0),
      m_lastElapsed(0.0), m_listening(false), m_leaving(false), m_random(std::random_device()())
{
    m_settings.GetValue("type") = "GridmoorGame";
    m_board.SetupStartPosition();
    CPlayer* local = new CLocalPlayer();
    CGridmoorPlayer* remote = new CGridmoorPlayer(this);
    SetPlayers(local, remote);
    local->SetColour(WHITE);
    remote->SetColour(BLACK);
    m_inPlay = false;
}

CGridmoorGame::~CGridmoorGame()
{
    m_ui->CloseAll();
    BreakLink();
    if (m_listening)
        m_link->StopListening(this);
    DestroyPlayers();
}

CGridmoorPlayer* CGridmoorGame::GetRemoteSeat() const
{
    return dynamic_cast<CGridmoorPlayer*>(m_players[1]);
}

CPlayer* CGridmoorGame::GetLocalSeat() const
{
    return m_players[0];
}

CString CGridmoorGame::GetOpponentName() const
{
    CGridmoorPlayer* remote = GetRemoteSeat();
    return remote ? remote->GetProperty("name") : CString();
}

int CGridmoorGame::GetRemoteColour() const
{
    CGridmoorPlayer* remote = GetRemoteSeat();
    return remote ? remote->GetColour() : BLACK;
}

bool CGridmoorGame::IsAsking(uint32_t requestType) const
{
    switch (requestType) {
    case chpktGameProposal: return m_ui->IsRequestOpen(CGridmoorGameUi::kNewGame);
    case chpktRequestTakeback: return m_ui->IsRequestOpen(CGridmoorGameUi::kTakeback);
    case chpktRequestDraw: return m_ui->IsRequestOpen(CGridmoorGameUi::kDraw);
    case chpktRequestReset: return m_ui->IsRequestOpen(CGridmoorGameUi::kReset);
    default: return false;
    }
}

bool CGridmoorGame::HasReadyMove() const
{
    CGridmoorPlayer* remote = GetRemoteSeat();
    return remote && remote->HasMove();
}

void CGridmoorGame::Log(const CString& line)
{
    m_link->Log(line);
}

// ------------------------------------------------------------ sending

bool CGridmoorGame::SendForward(uint32_t type, const CString& body)
{
    if (m_link->Send(GameMessage::Forward(m_messages.GetOpponent(), type, body)))
        return true;
    Log(CString("Not sent: ") + GetChPacketTypeName(type));
    return false;
}

bool CGridmoorGame::CheckOpponent()
{
    if (m_link->IsConnected() && m_messages.GetOpponent() != 0)
        return true;
    GetPrompt().ShowMessage(kNoOpponent, "No Opponent", wxOK | wxICON_INFORMATION, nullptr);
    return false;
}

bool CGridmoorGame::CheckInterval()
{
    if (m_interval.Allows(m_ui->Now()))
        return true;
    Message("Please Wait", "Please wait at least <B>10</B> seconds between sending requests to your opponent.");
    return false;
}

void CGridmoorGame::NoteRequest()
{
    m_interval.Note(m_ui->Now());
}

void CGridmoorGame::Message(const char* title, const CString& html)
{
    m_ui->ShowMessage(title, html);
}

void CGridmoorGame::Request(CGridmoorGameUi::ERequest kind, const char* page, const char* title, const char* closeLink,
                            CAssocArray<CString> variables)
{
    variables["name"] = EscapeHtml(GetOpponentName());
    m_ui->OpenRequest(kind, page, title, closeLink, variables, this);
    m_ui->CancelDrag();
    m_ui->PlaySound(CGridmoorGameUi::kPopupSound);
}

// ------------------------------------------------------------ life cycle

void CGridmoorGame::LinkOpponent(uint32_t opponentId)
{
    m_messages.SetOpponent(opponentId);
    m_link->SetLastOpponent(opponentId);
    if (CGridmoorPlayer* remote = GetRemoteSeat())
        remote->SetOpponentId(opponentId);
    m_link->Listen(this);
    m_listening = true;
    CString line;
    line.AppendFormat("Game linked to %u", unsigned(opponentId));
    Log(line);
    m_link->BeginBatch();
    SendForward(chpktResume);
    SendForward(chpktProtocol, GameMessage::LineBody(Number(GameMessage::kProtocolVersion)));
    m_link->EndBatch();
}

void CGridmoorGame::SetOpponentProfile(CConfig& profile)
{
    if (CGridmoorPlayer* remote = GetRemoteSeat()) {
        CString name = profile.GetValueOr("name", "");
        name.Truncate(WireText::kMaxName);
        remote->GetProperties().GetValue("name") = name;
        remote->GetProperties().GetValue("ID") = profile.GetValueOr("ID", "");
    }
    m_ui->ChatNotice("You are talking to " + GetOpponentName() + ".");
    UpdateTags();
}

void CGridmoorGame::SetTimeControl(bool timed, int clock, int clock2)
{
    m_opponentElapsed = 0.0;
    m_lastElapsed = 0.0;
    m_timed = timed;
    m_clock = clock;
    m_clock2 = clock2;
    CGame::SetTimeControl(timed ? TIME_BLITZ : TIME_NONE, 0, timed ? double(clock) : 0.0);
    m_displayClocks[0] = m_displayClocks[1] = timed ? clock * 1000.0 : 1000.0;
    if (CClockView* view = GetClockView()) {
        view->Stop();
        view->LoadReminders(-1.0);
        view->SetTime(m_displayClocks[0], m_displayClocks[1], m_board.GetSideToMove());
        if (timed)
            view->SetShown(true);
    }
    if (timed)
        m_stopwatch.Start();
}

void CGridmoorGame::SetColours(int localColour)
{
    localColour = localColour == BLACK ? BLACK : WHITE;
    int remoteColour = localColour == WHITE ? BLACK : WHITE;
    if (CPlayer* local = GetLocalSeat())
        local->StartGame(&m_board, localColour);
    if (CGridmoorPlayer* remote = GetRemoteSeat()) {
        remote->StartGame(&m_board, remoteColour);
        remote->SetOpponentId(m_messages.GetOpponent());
    }
}

void CGridmoorGame::BeginGame(int localColour, uint32_t opponentId)
{
    m_messages.SetAwaitingResume(true);
    m_timed = false;
    if (opponentId != 0)
        m_messages.SetOpponent(opponentId);
    SetColours(localColour);
    m_inPlay = true;
    m_result = RESULT_NONE;
    WritePlayerPictures();
    UpdateTags();
    m_link->ArmPlayerNotify(false);
}

void CGridmoorGame::Start()
{
    m_link->ArmPlayerNotify(false);
    m_ui->CloseRequests();
    m_ui->DismissAll();
    if (CClockView* view = GetClockView())
        view->Start();
}

void CGridmoorGame::End()
{
    m_inPlay = false;
    m_ui->CloseAll();
    BreakLink();
    if (m_listening) {
        m_listening = false;
        m_link->StopListening(this);
    }
}

void CGridmoorGame::StartNewGame(int localColour, bool timed, int clock)
{
    // A game still running is not lost without a trace: it ends as "*".
    if (HasGameToKeep()) {
        m_leaving = true;
        EndWithoutResult();
        m_leaving = false;
    }
    m_board.SetupStartPosition();
    SetColours(localColour);
    m_inPlay = true;
    m_result = RESULT_NONE;
    m_messages.ForgetRequests();
    // Before the clocks are set: the view's reset stops its clock.
    m_ui->ShowNewGame();
    SetTimeControl(timed, clock, clock);
    CString line;
    line.AppendFormat("New game: playing %s, %s, clock %i s", localColour == BLACK ? "black" : "white",
                      timed ? "timed" : "untimed", clock);
    Log(line);
    WritePlayerPictures();
    UpdateTags();
    m_ui->Refresh();
}

CPlayer* CGridmoorGame::GetPlayer(int side)
{
    if (side == SIDE_TO_MOVE)
        side = m_board.GetSideToMove();
    CGridmoorPlayer* remote = GetRemoteSeat();
    if (remote && remote->GetColour() == side)
        return remote;
    return GetLocalSeat();
}

void CGridmoorGame::GetStatusPage(CString& out)
{
    out = "inplay.htm";
}

// ------------------------------------------------------------ requests

void CGridmoorGame::SendChat(const CString& name, const CString& text)
{
    if (!CheckOpponent())
        return;
    m_link->Send(GameMessage::Chat(m_messages.GetOpponent(), name, text));
}

void CGridmoorGame::Reset()
{
    if (!CheckOpponent() || !CheckInterval())
        return;
    if (HasGameToKeep()) {
        const CString text = "You are still playing a game with " + GetOpponentName() +
                             ".\n\nIf your challenge is accepted, this game ends without a result. Send a challenge?";
        if (!GetPrompt().AskYesNo(text, "Send Challenge", nullptr))
            return;
    }
    int minutes = m_ui->AskChallenge(m_timed, m_clock / 60);
    if (minutes < 0)
        return;
    m_ui->CloseRequests();
    const bool timed = minutes > 0;
    SendForward(chpktGameProposal, GameMessage::ProposalBody(timed, minutes * 60));
    m_messages.NoteProposal(timed, minutes * 60);
    Message("Request Sent", "Request has been sent to your opponent.");
    NoteRequest();
}

void CGridmoorGame::OfferDraw(int side)
{
    if (!CheckOpponent())
        return;
    if (!IsPlaying()) {
        Message("Offer Draw", "Game is not in play!");
        return;
    }
    m_ui->CloseRequests();
    if (CPlayer* other = GetPlayer(side == WHITE ? BLACK : WHITE))
        other->OfferDraw();
}

void CGridmoorGame::Resign(int)
{
    m_ui->CloseRequests();
    m_ui->DismissAll();
}

// ------------------------------------------------------------ clocks

double CGridmoorGame::UpdateClock()
{
    if (!m_timed)
        return 0.0;
    CClockView* view = GetClockView();
    if (m_board.GetPly() == 0) {
        m_displayClocks[0] = m_displayClocks[1] = m_clock * 1000.0;
        if (view) {
            view->SetTime(m_displayClocks[0], m_displayClocks[1], m_board.GetSideToMove());
            view->Start();
        }
        m_stopwatch.Start();
        return 0.0;
    }
    const int mover = m_board.GetSideToMove();
    double elapsed = mover == GetRemoteColour() ? m_opponentElapsed : double(m_stopwatch.Time());
    if (elapsed < 0.0)
        elapsed = 0.0;
    m_lastElapsed = elapsed;
    m_displayClocks[mover == BLACK ? 1 : 0] -= elapsed;
    // The canvas runs the clock for the next side once the move is made.
    if (view)
        view->SetTime(m_displayClocks[0], m_displayClocks[1], m_board.GetSideToMove());
    m_stopwatch.Start();
    return elapsed;
}

void CGridmoorGame::StopClock()
{
    if (CClockView* view = GetClockView()) {
        view->SetTime(m_displayClocks[0], m_displayClocks[1], m_board.GetSideToMove());
        view->Stop();
    }
}

void CGridmoorGame::Poll()
{
    const int local = GetRemoteColour() == WHITE ? BLACK : WHITE;
    if (m_board.GetSideToMove() != local || !IsPlaying() || !m_timed || m_board.GetPly() < 1)
        return;
    const double remaining = m_displayClocks[local == BLACK ? 1 : 0] - double(m_stopwatch.Time());
    if (remaining > 0.0)
        return;
    m_ui->CloseRequests();
    m_inPlay = false;
    m_ui->CancelDrag();
    m_ui->PlaySound(CGridmoorGameUi::kGongSound);
    SendForward(chpktTimeUp);
    m_result = local == WHITE ? RESULT_BLACK_WINS : RESULT_WHITE_WINS;
    m_displayClocks[local == BLACK ? 1 : 0] = 0.0;
    StopClock();
    m_ui->ShowGameEnd(-1);
    m_ui->Say(local == WHITE ? "_ black wins" : "_ white wins");
    Message("Time Up", "You have lost on time!");
}

void CGridmoorGame::OnGameOver()
{
    m_ui->DismissAll();
    // The user who is leaving the game is not asked what next.
    if (!m_leaving)
        m_ui->ShowGameOverOptions(this, m_messages.GetOpponent() != 0);
}

void CGridmoorGame::EndWithoutResult()
{
    // The game is over for want of an opponent: it goes the way of every
    // ended game (kept as "*", not counted) and the board shows its end.
    m_inPlay = false;
    m_result = RESULT_NONE;
    StopClock();
    m_ui->CancelDrag();
    m_ui->ShowGameEnd(0);
}

// ------------------------------------------------------------ leaving

void CGridmoorGame::BreakLink()
{
    const uint32_t opponent = m_messages.GetOpponent();
    if (opponent == 0)
        return;
    m_link->Send(GameMessage::HeaderOnly(pktCloseConnection, opponent));
    m_messages.SetOpponent(0);
    if (CGridmoorPlayer* remote = GetRemoteSeat())
        remote->SetOpponentId(0);
    m_ui->ChatNotice("You are no longer talking to " + GetOpponentName() + ".");
}

bool CGridmoorGame::QueryClose()
{
    const bool connected = m_link->IsConnected();
    if (connected && m_messages.GetOpponent() != 0 && IsPlaying()) {
        const bool resign = m_board.GetPly() >= 2;
        const char* text = resign ? "Do you want to resign the game and disconnect\nfrom the Gridmoor server?"
                                  : "Disconnect from the Gridmoor server?";
        if (!GetPrompt().AskYesNo(text, "End Game", nullptr))
            return false;
        Leave(resign);
        BreakLink();
        m_link->Close();
        return true;
    }
    if (!connected || m_link->IsNotifyArmed())
        return true;
    if (!GetPrompt().AskYesNo("Disconnect from the Gridmoor server?", "End Game", nullptr))
        return false;
    m_link->Close();
    return true;
}

bool CGridmoorGame::ConfirmLeave()
{
    if (m_link->IsConnected() && m_messages.GetOpponent() != 0 && IsPlaying()) {
        const bool resign = m_board.GetPly() >= 2;
        CString text = resign ? "You are still playing a game with " + GetOpponentName() + ".\n\nDo you want to resign?"
                              : "Break connection with " + GetOpponentName() + "?";
        if (!GetPrompt().AskYesNo(text, "Play Online", nullptr))
            return false;
        Leave(resign);
    }
    BreakLink();
    return true;
}

void CGridmoorGame::Leave(bool resign)
{
    // The question before let events run: the game may have ended meanwhile.
    if (!IsPlaying())
        return;
    m_inPlay = false;
    if (!resign)
        return;
    SendForward(chpktResign, GameMessage::LineBody(GameMessage::kLeftGame));
    // A resignation: the opponent wins, and the game is kept and counted.
    m_result = GetRemoteColour() == WHITE ? RESULT_WHITE_WINS : RESULT_BLACK_WINS;
    StopClock();
    m_leaving = true;
    m_ui->ShowGameEnd(-1);
    m_leaving = false;
}

void CGridmoorGame::Disconnect()
{
    if (!m_link->IsConnected()) {
        GetPrompt().ShowMessage("You are not connected to the Gridmoor server.", "Disconnect", wxOK, nullptr);
        return;
    }
    if (GetPrompt().AskYesNo("Disconnect from the Gridmoor server?", "Disconnect", nullptr))
        m_link->Close();
}

// ------------------------------------------------------------ the session

void CGridmoorGame::OnSessionState(int state)
{
    if (state != 4)
        return;
    if (CClockView* view = GetClockView())
        view->Stop();
    const bool wasPlaying = HasGameToKeep();
    m_messages.SetOpponent(0);
    if (CGridmoorPlayer* remote = GetRemoteSeat())
        remote->SetOpponentId(0);
    if (wasPlaying)
        EndWithoutResult();
    m_inPlay = false;
    m_ui->SetBoardInactive(true);
    CString text(kDisconnected);
    if (wasPlaying)
        text += CString("\n\n") + kNoResult;
    GetPrompt().ShowMessage(text, "Disconnected", wxOK | wxICON_INFORMATION, nullptr);
}

void CGridmoorGame::OpponentLeft()
{
    m_ui->DismissAll();
    const bool wasPlaying = HasGameToKeep();
    // The link is over: nothing more is heard from or sent to that client.
    m_messages.SetOpponent(0);
    if (CGridmoorPlayer* remote = GetRemoteSeat())
        remote->SetOpponentId(0);
    if (wasPlaying) {
        EndWithoutResult();
    } else {
        m_inPlay = false;
        m_ui->ShowGameOverOptions(this, false);
    }
    const CString name = GetOpponentName();
    CString told = EscapeHtml(name) + " has left the game.";
    if (wasPlaying)
        told += CString("<br><br>") + kNoResult;
    Message("Opponent Disconnected", told);
    m_ui->PlaySound(CGridmoorGameUi::kPopupSound);
    m_ui->ChatNotice(name + " has left the game.");
    if (CClockView* view = GetClockView())
        view->Stop();
}

void CGridmoorGame::TurnAway(uint32_t type, uint32_t sender)
{
    // A header without a sender's id addresses nobody: the server reads an
    // id-less close as "close my own link".
    if (sender == 0) {
        Log("Refused a packet that names no sender");
        return;
    }
    m_link->Send(GameMessage::HeaderOnly(type, sender));
}

bool CGridmoorGame::OnSessionPacket(const CPacketHeader& header, CFile& body)
{
    switch (header.m_type) {
    case pktSearchMatch:
        TurnAway(pktCloseConnection, header.m_id);
        break;
    case pktConnectInvite:
        TurnAway(pktConnectRejected, header.m_id);
        break;
    case pktConnectionClosed:
    case pktConnectionBroken:
        if (m_messages.GetOpponent() != 0)
            OpponentLeft();
        else
            Log("Link end ignored: no opponent linked");
        break;
    case pktForward:
        if (m_messages.Dispatch(header.m_id, body) == CGameMessages::kForeign)
            TurnAway(pktCloseConnection, header.m_id);
        break;
    case pktChat: {
        CGameMessages::EDispatch sender = m_messages.CheckSender(header.m_id);
        if (sender == CGameMessages::kForeign) {
            TurnAway(pktCloseConnection, header.m_id);
            break;
        }
        CString name, text;
        WireText::ReadLine(body, name, WireText::kMaxName);
        WireText::ReadLine(body, text, WireText::kMaxChat);
        if (sender == CGameMessages::kHandled)
            m_ui->ChatLine(name, text);
        break;
    }
    default: break;
    }
    return true;
}

// ------------------------------------------------------------ what the opponent sends

void CGridmoorGame::OnWrongProtocol(const CString&)
{
    m_ui->ShowWrongProtocol();
    m_ui->PlaySound(CGridmoorGameUi::kPopupSound);
}

void CGridmoorGame::OnProposal(const SGameProposal& proposal)
{
    m_ui->CloseRequests();
    CAssocArray<CString> variables;
    CString text = EscapeHtml(GetOpponentName());
    if (proposal.timed)
        text.AppendFormat(" proposes a new <B>%d</B> minute game.", proposal.clock / 60);
    else
        text.Append(" proposes a new (untimed) game.");
    if (HasGameToKeep())
        text.Append("<br>Playing it ends the game in progress without a result.");
    variables["text"] = text;
    Request(CGridmoorGameUi::kNewGame, "newgame", "New Game Propsal", "newgame decline", variables);
}

void CGridmoorGame::OnBeginAccepted(const SGameProposal& agreed)
{
    StartNewGame(agreed.side, agreed.timed, agreed.clock);
    SendForward(chpktResume);
    const CString name = EscapeHtml(GetOpponentName());
    CString html = name + " has <I>accepted</I> your game proposal.<br><br>";
    html += agreed.side == WHITE ? CString("Your move!") : "It's " + name + "'s move.";
    Message(kResponse, html);
    m_ui->PlaySound(CGridmoorGameUi::kPopupSound);
}

void CGridmoorGame::OnBeginDeclined()
{
    Message(kResponse, EscapeHtml(GetOpponentName()) + " has <I>not</I> agreed to your game proposal.");
    m_ui->PlaySound(CGridmoorGameUi::kPopupSound);
}

void CGridmoorGame::OnResume()
{
    m_ui->SetBoardInactive(false);
    m_ui->PlaySound(CGridmoorGameUi::kGongSound);
}

void CGridmoorGame::OnRemoteMove(const CMove& move, double elapsedMs)
{
    m_opponentElapsed = elapsedMs < 0.0 ? 0.0 : elapsedMs;
    if (CGridmoorPlayer* remote = GetRemoteSeat())
        remote->ReceiveMove(move);
    m_ui->DismissAll();
}

void CGridmoorGame::OnTakebackRequested(int, const CString& moveText)
{
    CAssocArray<CString> variables;
    variables["move"] = EscapeHtml(moveText);
    Request(CGridmoorGameUi::kTakeback, "takeback", "Take-back Requested", "takeback decline", variables);
}

void CGridmoorGame::OnTakebackAnswer(bool accepted, int ply)
{
    const CString name = EscapeHtml(GetOpponentName());
    if (accepted) {
        TakeBackTo(ply);
        m_ui->Refresh();
        SendForward(chpktResume);
        Message(kResponse, name + " has <i>accepted</i> your take-back request.");
    } else {
        Message(kResponse, name + " has <i>declined</i> your take-back request.");
    }
    m_ui->PlaySound(CGridmoorGameUi::kPopupSound);
}

void CGridmoorGame::OnDrawOffered()
{
    Request(CGridmoorGameUi::kDraw, "draw", "Draw Offer", "draw decline", CAssocArray<CString>());
}

void CGridmoorGame::OnDrawAnswer(bool accepted)
{
    const CString name = EscapeHtml(GetOpponentName());
    if (accepted) {
        m_result = RESULT_DRAW;
        m_inPlay = false;
        StopClock();
        m_ui->ShowGameEnd(0);
        Message(kResponse, name + " has <i>accepted</i> your offer of a draw.");
    } else {
        Message(kResponse, name + " has <i>declined</i> your offer of a draw.");
    }
    m_ui->PlaySound(CGridmoorGameUi::kPopupSound);
}

void CGridmoorGame::WinLocally(const char* phrase, const CString& message, const char* title)
{
    m_ui->DismissAll();
    m_ui->CancelDrag();
    m_ui->PlaySound(CGridmoorGameUi::kGongSound);
    const int local = GetRemoteColour() == WHITE ? BLACK : WHITE;
    m_result = local == WHITE ? RESULT_WHITE_WINS : RESULT_BLACK_WINS;
    m_inPlay = false;
    StopClock();
    m_ui->ShowGameEnd(1);
    CString say(phrase);
    say.Append(local == WHITE ? "white wins" : "black wins");
    m_ui->Say(say.GetText());
    Message(title, message);
}

void CGridmoorGame::OnResigned(bool leftGame)
{
    const CString name = GetOpponentName();
    if (leftGame)
        m_ui->ChatNotice(name + " has left the game.");
    WinLocally("_ _ ", EscapeHtml(name) + (leftGame ? " has resigned, and left the game!" : " has resigned!"),
               "Game Over");
}

void CGridmoorGame::OnResetRequested()
{
    Request(CGridmoorGameUi::kReset, "reset", "Reset Request", "reset decline", CAssocArray<CString>());
}

void CGridmoorGame::OnTimeUp()
{
    m_displayClocks[GetRemoteColour() == BLACK ? 1 : 0] = 0.0;
    WinLocally("_ ", "Your opponent has run out of time. You win!", "Time Up");
}

// ------------------------------------------------------------ popup links

bool CGridmoorGame::HandleLink(const CString& link)
{
    CString command(link.GetText());
    command.MakeLower();
    if (command == "takeback accept") {
        m_ui->ForgetRequest(CGridmoorGameUi::kTakeback);
        int ply = 0;
        if (m_messages.TakeTheirTakeback(ply)) {
            SendForward(chpktTakeback, GameMessage::LineBody(Number(ply)));
            TakeBackTo(ply);
            m_ui->Refresh();
        }
    } else if (command == "takeback decline") {
        m_ui->ForgetRequest(CGridmoorGameUi::kTakeback);
        int ply = 0;
        if (m_messages.TakeTheirTakeback(ply))
            SendForward(chpktTakeback, GameMessage::LineBody("no"));
    } else if (command == "draw accept") {
        m_ui->ForgetRequest(CGridmoorGameUi::kDraw);
        if (m_messages.TakeTheirDraw()) {
            SendForward(chpktDraw, GameMessage::LineBody("yes"));
            m_result = RESULT_DRAW;
            m_inPlay = false;
            StopClock();
            m_ui->ShowGameEnd(0);
            m_ui->PlaySound(CGridmoorGameUi::kGongSound);
        }
    } else if (command == "draw decline") {
        m_ui->ForgetRequest(CGridmoorGameUi::kDraw);
        if (m_messages.TakeTheirDraw())
            SendForward(chpktDraw, GameMessage::LineBody("no"));
    } else if (command == "reset accept") {
        m_ui->ForgetRequest(CGridmoorGameUi::kReset);
        if (m_messages.TakeTheirReset()) {
            SendForward(chpktReset, GameMessage::LineBody("yes"));
            StartNewGame(GetRemoteColour() == WHITE ? BLACK : WHITE, m_timed, m_clock);
        }
    } else if (command == "reset decline") {
        m_ui->ForgetRequest(CGridmoorGameUi::kReset);
        if (m_messages.TakeTheirReset())
            SendForward(chpktReset, GameMessage::LineBody("no"));
    } else if (command == "newgame agree") {
        m_ui->ForgetRequest(CGridmoorGameUi::kNewGame);
        SGameProposal proposal;
        if (m_messages.TakeTheirProposal(proposal)) {
            const int local = std::uniform_int_distribution<int>(0, 1)(m_random);
            SGameProposal theirs = proposal;
            theirs.side = local == WHITE ? BLACK : WHITE;
            SendForward(chpktBeginGame, GameMessage::BeginBody(true, theirs));
            StartNewGame(local, proposal.timed, proposal.clock);
            Message("New Game", local == WHITE ? CString("Your move!")
                                               : "It's " + EscapeHtml(GetOpponentName()) + "'s move.");
        }
    } else if (command == "newgame decline") {
        m_ui->ForgetRequest(CGridmoorGameUi::kNewGame);
        SGameProposal proposal;
        if (m_messages.TakeTheirProposal(proposal))
            SendForward(chpktBeginGame, GameMessage::BeginBody(false, proposal));
    } else if (command == "search again") {
        m_ui->RunCommand("GAME_ONLINE");
    } else if (command == "disconnect") {
        Disconnect();
    } else if (command == "propose") {
        Reset();
    } else if (command != "close notify") {
        return false;
    }
    return true;
}
