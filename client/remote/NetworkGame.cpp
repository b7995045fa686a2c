#include "client/remote/NetworkGame.h"

#include <chrono>
#include <cstdlib>
#include <unistd.h>

#include <wx/app.h>
#include <wx/defs.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ChessView.h"
#include "client/core/Console.h"
#include "client/core/FrameView.h"
#include "client/core/LocalPlayer.h"
#include "client/core/MediaSet.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "client/remote/NetworkOpponents.h"
#include "client/remote/NetworkPlayer.h"
#include "client/view/BoardRenderer.h"
#include "client/view/ChatWindow.h"
#include "client/view/ChessWindow.h"
#include "foundation/BufferFile.h"
#include "foundation/MemFile.h"

using Zorlin::CBuffer;
using Zorlin::CConfig;
using Zorlin::CString;

namespace {

long NowMs()
{
    using namespace std::chrono;
    return long(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// What one pump reads at most, so a flood cannot hold the GUI.
const uint64_t kPumpByteBudget = 1u << 20;

CChessWindow* Canvas()
{
    CChessApp* app = GetChessApp();
    return app && app->m_frame ? app->m_frame->GetChessWindow() : nullptr;
}

wxWindow* MainWindow()
{
    CFrameView* frame = CGame::GetFrame();
    return frame ? frame->GetWindow() : nullptr;
}

} // namespace

CNetworkGame::CNetworkGame()
    : m_mode(kNeither), m_server(-1), m_connecting(false), m_connectDeadline(0), m_openingLimitMs(kOpeningLimitMs),
      m_openingDeadline(0), m_protocol(*this, m_board),
      m_listener(nullptr), m_playerConnected(false), m_colourChoice(2), m_penDown(false), m_busy(false),
      m_readingBehindBox(false), m_destroyRequested(false), m_lost(false), m_profileReceived(false)
{
    m_settings.GetValue("type") = "NetworkGame";
    m_board.SetupStartPosition();
    m_console.reset(GetAppServices().CreateConsole("Network Game - Console"));
    m_timer.SetOwner(this);
    Bind(wxEVT_TIMER, &CNetworkGame::OnTimer, this, m_timer.GetId());
    m_timer.Start(kPollMs);
    m_boxTimer.SetOwner(this);
    Bind(wxEVT_TIMER, &CNetworkGame::OnBoxTimer, this, m_boxTimer.GetId());
    m_boxTimer.Start(kPollMs);
}

CNetworkGame::~CNetworkGame()
{
    m_timer.Stop();
    m_boxTimer.Stop();
    m_listener = nullptr;
    DestroyPlayers();
    CloseConnection();
    CloseServer();
}

void CNetworkGame::Destroy()
{
    m_listener = nullptr;
    if (m_busy) {
        // A frame's handler is still on the stack: the game goes when it returns.
        m_destroyRequested = true;
        return;
    }
    delete this;
}

void CNetworkGame::OnTimer(wxTimerEvent&)
{
    Pump();
}

void CNetworkGame::OnBoxTimer(wxTimerEvent&)
{
    if (m_busy)
        ReadBehindBox();
}

// ------------------------------------------------------------ log and dialog

void CNetworkGame::Log(const CString& text)
{
    if (m_console)
        m_console->PrintString(text);
}

void CNetworkGame::Status(const CString& text)
{
    if (m_listener)
        m_listener->AddStatusLine(text);
}

void CNetworkGame::TellListener(int state)
{
    if (m_listener)
        m_listener->OnNetworkState(state);
}

bool CNetworkGame::AskYesNo(const CString& text, const CString& caption)
{
    return GetPrompt().ShowMessage(text, caption, wxYES_NO | wxICON_QUESTION, MainWindow()) == wxYES;
}

void CNetworkGame::Tell(const CString& text, const CString& caption)
{
    GetPrompt().ShowMessage(text, caption, wxOK | wxICON_INFORMATION, MainWindow());
}

// ------------------------------------------------------------ connections

bool CNetworkGame::StartServer(int port)
{
    m_mode = kHosting;
    CloseServer();
    m_server = NetSocket::Listen(port);
    if (m_server < 0) {
        Log("Couldn't start server\n");
        Status("Could not start server.");
        return false;
    }
    Log("Server started. Listening...\n");
    CString line;
    line.AppendFormat("Server started (port %i). Waiting for second player...", GetServerPort());
    Status(line);
    TellListener(kListening);
    return true;
}

void CNetworkGame::StopServer()
{
    if (m_server < 0)
        return;
    CloseServer();
    if (m_connection && !m_protocol.HasBegun()) {
        // A player still in the opening goes with the listener.
        Log("Connection closed before the game began\n");
        CloseConnection();
        m_protocol.Reset();
        m_playerConnected = false;
    }
    Status("Server stopped.");
    TellListener(kStopped);
}

void CNetworkGame::CloseServer()
{
    if (m_server >= 0)
        close(m_server);
    m_server = -1;
}

bool CNetworkGame::Connect(const char* host)
{
    m_mode = kJoining;
    Disconnect();
    const CString portText = GetAppServices().GetProgramSettings().GetValueOr("network.port", "0");
    const int port = std::atoi(portText.GetText());
    Log("Client socket created\n");
    Status("Contacting server.");
    if (!m_attempt.Start(host, port)) {
        Log("Unable to connect.\n");
        Status("Could not connect.");
        m_mode = kNeither;
        return false;
    }
    m_connecting = true;
    m_connectDeadline = NowMs() + kConnectTimeoutMs;
    return true;
}

void CNetworkGame::Disconnect()
{
    m_attempt.Cancel();
    m_connecting = false;
    CloseConnection();
}

void CNetworkGame::CheckConnect()
{
    const NetSocket::CConnectAttempt::EState state = m_attempt.Check(0);
    if (state == NetSocket::CConnectAttempt::kPending && NowMs() < m_connectDeadline)
        return;
    m_connecting = false;
    if (state != NetSocket::CConnectAttempt::kConnected) {
        m_attempt.Cancel();
        Log("Unable to connect.\n");
        Status("Could not connect.");
        m_mode = kNeither;
        TellListener(kConnectFailed);
        return;
    }
    TakeConnection(m_attempt.TakeSocket());
    Log("Connection successful!\n");
    Status("Player connected.");
    int port = 0;
    const CString peer = m_connection->GetPeerAddress(port);
    CString line;
    line.AppendFormat("%s:%i\n", peer.GetText(), port);
    Log(line);
    Status(peer);
}

void CNetworkGame::TakeConnection(int fd)
{
    m_connection.reset(new CSocketBytes(fd));
    m_reader.Reset();
    m_protocol.Reset();
    m_protocol.SetJoining(m_mode == kJoining);
    m_lost = false;
    m_profileReceived = false;
}

void CNetworkGame::CloseConnection()
{
    m_connection.reset();
    m_reader.Reset();
    m_held = SHeldFrame();
}

void CNetworkGame::AcceptPlayer()
{
    const int fd = NetSocket::AcceptWaiting(m_server);
    if (fd < 0)
        return;
    if (m_playerConnected) {
        close(fd);
        Log("Connection rejected.\n");
        return;
    }
    Log("Client connected\n");
    Status("Player connected!");
    TellListener(kPlayerConnected);
    TakeConnection(fd);
    Log("Connection accepted.\n");
    m_playerConnected = true;
    // The listener stays open until the player answers: later callers wait
    // in its queue, to be taken should this one never answer.
    const int colour = ChooseColour();
    if (!m_connection)
        return;
    m_openingDeadline = NowMs() + m_openingLimitMs;
    const CString id = GetAppServices().GetUserSettings().GetValueOr("profile.id", "");
    m_protocol.OpenAsHost(colour, IsProfileId(id) ? id : CString());
}

int CNetworkGame::ChooseColour()
{
    int colour = m_colourChoice;
    while (colour != WHITE && colour != BLACK) {
        Zorlin::CArray<CString> choices;
        choices.Add("White");
        choices.Add("Black");
        colour = GetPrompt().AskChoice("What do you wish to play?", "Network Game", choices, MainWindow(), 200, 150);
    }
    return colour;
}

void CNetworkGame::CheckOpening()
{
    if (!m_protocol.IsAwaitingJoiner() || NowMs() < m_openingDeadline)
        return;
    CString line;
    line.AppendFormat("No answer from the player in %g s: connection closed\n", m_openingLimitMs / 1000.0);
    Log(line);
    m_lost = true;
}

// ------------------------------------------------------------ polling

void CNetworkGame::Pump()
{
    if (m_busy) {
        // Only a box opened by our own work lets events in here.
        ReadBehindBox();
        return;
    }
    m_busy = true;
    PumpWork();
    m_busy = false;
    if (!m_destroyRequested)
        return;
    // Possibly under our own timer's event: gone once the event has returned.
    m_timer.Stop();
    m_boxTimer.Stop();
    if (wxAppConsole* app = wxAppConsole::GetInstance())
        app->CallAfter([game = this] { delete game; });
    else
        delete this;
}

void CNetworkGame::PumpWork()
{
    if (m_connecting)
        CheckConnect();
    if (m_server >= 0 && !m_playerConnected)
        AcceptPlayer();
    if (m_connection && !m_lost)
        ReceiveFrames();
    if (m_connection && !m_lost)
        CheckOpening();
    if (m_lost && !m_destroyRequested)
        OnConnectionLost();
}

void CNetworkGame::ReceiveFrames()
{
    const uint64_t start = m_connection->GetBytesRead();
    const long until = NowMs() + kPumpTimeMs;
    while (m_connection && !m_lost && !m_destroyRequested) {
        const uint64_t before = m_connection->GetBytesRead();
        uint32_t type = 0;
        CBuffer payload;
        uint64_t position = 0;
        const CNetFrameReader::EStep step = NextFrame(type, payload, position);
        if (step == CNetFrameReader::kFrame) {
            m_protocol.HandleFrame(type, payload, position);
            // The board takes a move before the next frame is looked at.
            if (m_protocol.MadeMoveReady() || NowMs() >= until)
                return;
            continue;
        }
        if (step == CNetFrameReader::kEnded || step == CNetFrameReader::kBad) {
            Log(step == CNetFrameReader::kBad ? "Bad frame: connection closed\n" : "Socket Lost!\n");
            m_lost = true;
            return;
        }
        // Nothing more has arrived; a part of a frame waits for the rest.
        const uint64_t now = m_connection->GetBytesRead();
        if (now == before || now - start > kPumpByteBudget || NowMs() >= until)
            return;
    }
}

CNetFrameReader::EStep CNetworkGame::NextFrame(uint32_t& type, CBuffer& payload, uint64_t& position)
{
    if (m_held.waiting) {
        m_held.waiting = false;
        type = m_held.type;
        payload = m_held.payload;
        position = m_held.position;
        m_held.payload = CBuffer();
        return CNetFrameReader::kFrame;
    }
    const CNetFrameReader::EStep step = m_reader.Step(*m_connection);
    if (step == CNetFrameReader::kFrame) {
        type = m_reader.GetType();
        payload = m_reader.GetPayload();
        position = m_connection->GetBytesRead();
    }
    return step;
}

// ------------------------------------------------------------ reading while a box is open

void CNetworkGame::ReadBehindBox()
{
    // One frame at most waits, so the peer cannot pile frames up here;
    // what comes after it stays in the socket.
    const int kMaxSteps = 256;
    if (m_readingBehindBox || m_held.waiting || !m_connection || m_lost || m_destroyRequested)
        return;
    m_readingBehindBox = true;
    for (int n = 0; n < kMaxSteps && m_connection && !m_lost && !m_destroyRequested; ++n) {
        // The board takes a ready move before anything after it is looked at.
        if (HasReadyMove())
            break;
        const uint64_t before = m_connection->GetBytesRead();
        const CNetFrameReader::EStep step = m_reader.Step(*m_connection);
        if (step == CNetFrameReader::kEnded || step == CNetFrameReader::kBad) {
            Log(step == CNetFrameReader::kBad ? "Bad frame: connection closed\n" : "Socket Lost!\n");
            m_lost = true;
            break;
        }
        if (step != CNetFrameReader::kFrame) {
            // A part of a frame: on while bytes come.
            if (m_connection->GetBytesRead() == before)
                break;
            continue;
        }
        if (!CNetworkProtocol::OpensNoBox(m_reader.GetType())) {
            m_held.waiting = true;
            m_held.type = m_reader.GetType();
            m_held.payload = m_reader.GetPayload();
            m_held.position = m_connection->GetBytesRead();
            break;
        }
        m_protocol.HandleFrame(m_reader.GetType(), m_reader.GetPayload(), m_connection->GetBytesRead());
    }
    m_readingBehindBox = false;
}

void CNetworkGame::OnConnectionLost()
{
    m_lost = false;
    const bool begun = m_protocol.HasBegun();
    CloseConnection();
    m_protocol.Reset();
    m_playerConnected = false;
    if (!begun) {
        Log("Connection lost before the game began\n");
        if (m_mode == kHosting && IsListening()) {
            // The seat is free again for whoever calls next.
            Status("Connection lost. Waiting for second player...");
            return;
        }
        Status("Connection lost.");
        TellListener(kLost);
        return;
    }
    CloseServer();
    if (CChessWindow* canvas = Canvas()) {
        if (CBoardRenderer* scene = canvas->GetScene())
            scene->ClearPen(1);
        canvas->RequestRedraw();
    }
    if (!m_inPlay) {
        ShowNotice("Opponent has disconnected.");
        return;
    }
    m_inPlay = false;
    GetPrompt().ShowMessage("Opponent has disconnected!\n\nIf you have not finished playing you should save the game.",
                            "Network", wxOK, nullptr);
}

// ------------------------------------------------------------ the game begins

void CNetworkGame::BeginGame(const CString& opponentId, int colour)
{
    if (colour != WHITE && colour != BLACK)
        colour = ChooseColour();
    DestroyPlayers();
    m_board.SetupStartPosition();
    CLocalPlayer* local = new CLocalPlayer();
    CNetworkPlayer* remote = new CNetworkPlayer();
    SetPlayers(local, remote);
    local->StartGame(&m_board, colour);
    remote->StartGame(&m_board, colour == WHITE ? BLACK : WHITE);
    remote->GetProperties().GetValue("id") = opponentId;
    m_protocol.Begin(colour);
    m_inPlay = true;
    m_result = RESULT_NONE;
    SendProfile();
    if (!m_pendingOpponentId.IsEmpty())
        ApplyOpponentProfile(m_pendingOpponentId);
    TellListener(kBegun);
    // The dialog is done with the game once it has begun.
    m_listener = nullptr;
    ResetBoardView();
}

void CNetworkGame::BeginAsJoiner(int localColour, const CString& hostId)
{
    BeginGame(hostId, localColour);
}

void CNetworkGame::BeginAsHost(int localColour)
{
    // One opponent a game: later callers are refused by the system at once
    // instead of waiting on a listener nobody serves.
    CloseServer();
    BeginGame("", localColour);
}

void CNetworkGame::ResetBoardView()
{
    if (CChessView* view = GetChessView()) {
        view->ResetView(this, true, false);
        view->SyncScene();
        view->UpdateStatus();
    }
    if (CFrameView* frame = GetFrame()) {
        frame->RefreshFromGame();
        frame->ShowPosition();
    }
}

void CNetworkGame::SendProfile()
{
    Zorlin::CBufferFile out;
    out.Open("profile.rwf", Zorlin::CFile::kModeWrite | Zorlin::CFile::kModeCreate);
    if (!WriteNetworkProfile(out)) {
        Log("Profile not sent\n");
        return;
    }
    const uint32_t size = out.GetSize32();
    if (size == 0xFFFFFFFFu || size == 0 || size > NetPacket::kMaxProfile)
        return;
    CBuffer bytes;
    bytes.Resize(int(size));
    out.Seek(0, Zorlin::CFile::kSeekStart);
    out.Read(bytes.GetData(), size);
    Log("Sent profile\n");
    SendFrame(netpktProfile, &bytes);
}

void CNetworkGame::ReceivedProfile(const CBuffer& archive)
{
    Log("Recieved profile\n");
    // One question per connection: a peer that sends its profile again and
    // again does not keep the user answering.
    if (m_profileReceived) {
        Log("Profile ignored: the peer's profile has already come\n");
        return;
    }
    m_profileReceived = true;
    CString id;
    if (!StoreNetworkOpponent(archive, id)) {
        Log(CString("Profile refused: ") + kProfileRefused + "\n");
        return;
    }
    m_pendingOpponentId = id;
    if (m_inPlay)
        ApplyOpponentProfile(id);
}

void CNetworkGame::ApplyOpponentProfile(const CString& id)
{
    CNetworkPlayer* remote = GetNetworkPlayer();
    CString name, email;
    if (!remote || !FindNetworkOpponent(id, name, email))
        return;
    Zorlin::CConfig& properties = remote->GetProperties();
    properties.GetValue("name") = name;
    properties.GetValue("id") = id;
    properties.GetValue("type") = "CNetworkPlayer";
    properties.GetValue("link") = email;
    WritePlayerPictures();
    if (CChessApp* app = GetChessApp())
        if (app->m_frame)
            app->m_frame->UpdateGamePanel();
}

// ------------------------------------------------------------ what the peer does

void CNetworkGame::SendFrame(uint32_t type, const CBuffer* payload)
{
    if (!m_connection || !m_connection->IsOpen())
        return;
    if (!NetPacket::Send(*m_connection, type, payload)) {
        // Torn down by the next pump, never under a handler.
        Log("Send failed\n");
        m_lost = true;
    }
}

uint64_t CNetworkGame::GetArrivedBytes()
{
    if (!m_connection)
        return 0;
    return m_connection->GetBytesRead() + m_connection->GetBytesWaiting();
}

CNetworkPlayer* CNetworkGame::GetNetworkPlayer() const
{
    return dynamic_cast<CNetworkPlayer*>(m_players[1]);
}

bool CNetworkGame::HasReadyMove()
{
    CNetworkPlayer* remote = GetNetworkPlayer();
    return remote && remote->HasMove();
}

CString CNetworkGame::GetOpponentName()
{
    CNetworkPlayer* remote = GetNetworkPlayer();
    return remote ? remote->GetProperty("name") : CString();
}

void CNetworkGame::ReadyOpponentMove(const CMove& move)
{
    CNetworkPlayer* remote = GetNetworkPlayer();
    if (!remote)
        return;
    remote->SetReadyMove(move);
    // Played on the next turn of the event loop, not the next 100 ms tick;
    // queued, as this runs inside a pump that the tick itself may have called.
    if (CChessWindow* canvas = Canvas())
        canvas->CallAfter([canvas] { PlayReadyMove(*canvas); });
}

void CNetworkGame::PlayReadyMove(CChessWindow& canvas)
{
    // The tick takes a player's move only once the scene is quiet, so a
    // move that came during the last capture's fade or a castling rook's
    // slide would wait for it, the mover's clock running. The scene queues
    // its slide behind the running one instead.
    CNetworkGame* game = dynamic_cast<CNetworkGame*>(canvas.GetGame());
    CNetworkPlayer* remote = game ? game->GetNetworkPlayer() : nullptr;
    if (!remote || !game->IsInPlay() || !canvas.IsEnabled() || !remote->HasMove() ||
        game->GetBoard().GetSideToMove() != remote->GetColour()) {
        canvas.Tick();
        return;
    }
    CMove ready;
    if (remote->GetMove(ready))
        canvas.PlayMove(ready, true);
}

void CNetworkGame::TakeBackTo(int plies)
{
    if (CNetworkPlayer* remote = GetNetworkPlayer())
        remote->ClearReadyMove();
    CGame::TakeBackTo(plies);
    if (CFrameView* frame = GetFrame())
        frame->RefreshFromGame();
}

void CNetworkGame::EndDrawn()
{
    m_result = RESULT_DRAW;
    m_inPlay = false;
    if (CChessView* view = GetChessView())
        view->GameOver(0, 0);
}

void CNetworkGame::OpponentResigned()
{
    Tell("Opponent has Resigned!", "You Win");
    if (!m_inPlay)
        return;
    m_inPlay = false;
    CPlayer* local = GetLocalPlayer();
    if (local)
        m_result = local->GetColour() == WHITE ? RESULT_WHITE_WINS : RESULT_BLACK_WINS;
    // Not passed back: the peer knows it resigned.
    if (CChessView* view = GetChessView())
        view->GameOver(1, 0);
}

void CNetworkGame::StartNewGame(int localColour)
{
    CPlayer* local = GetLocalPlayer();
    CNetworkPlayer* remote = GetNetworkPlayer();
    if (!local || !remote)
        return;
    m_board.SetupStartPosition();
    remote->ClearReadyMove();
    local->StartGame(&m_board, localColour);
    remote->StartGame(&m_board, localColour == WHITE ? BLACK : WHITE);
    m_inPlay = true;
    m_result = RESULT_NONE;
    ResetBoardView();
}

void CNetworkGame::RestoreGame(CConfig& saved, int localColour)
{
    CPlayer* local = GetLocalPlayer();
    CNetworkPlayer* remote = GetNetworkPlayer();
    if (!local || !remote)
        return;
    Log("Restore network game\n");
    CString line;
    line.AppendFormat("Local player %s\n", localColour == WHITE ? "white" : "black");
    Log(line);
    remote->ClearReadyMove();
    local->StartGame(&m_board, localColour);
    remote->StartGame(&m_board, localColour == WHITE ? BLACK : WHITE);
    m_board.SetupStartPosition();
    LoadMoves(saved, true);
    SendPosition();
    if (CChessWindow* canvas = Canvas())
        if (CBoardRenderer* scene = canvas->GetScene()) {
            scene->Clear();
            scene->ClearMarks();
        }
    m_result = RESULT_NONE;
    m_inPlay = true;
    ResetBoardView();
}

void CNetworkGame::ShowChat(const CString& name, const CString& text)
{
    CChessApp* app = GetChessApp();
    if (!app || !app->m_frame)
        return;
    app->m_frame->ShowChat();
    if (CChatWindow* chat = app->m_frame->GetChatWindow())
        chat->AddMessage(name, text);
}

void CNetworkGame::ShowNotice(const CString& text)
{
    Log(text + "\n");
    CChessApp* app = GetChessApp();
    if (!app || !app->m_frame)
        return;
    if (CChatWindow* chat = app->m_frame->GetChatWindow())
        chat->AddNotice(text);
}

void CNetworkGame::Pen(uint32_t kind, float x, float y)
{
    CChessWindow* canvas = Canvas();
    CBoardRenderer* scene = canvas ? canvas->GetScene() : nullptr;
    if (!scene)
        return;
    // Board units: the board spans -0.5 to 0.5; far outside it nothing shows.
    const float limit = 4.0f;
    x = x < -limit ? -limit : x > limit ? limit : x;
    y = y < -limit ? -limit : y > limit ? limit : y;
    // Back to this board's scene, which may be seen from the other side.
    const SScenePoint point = scene->BoardToPixels(SScenePoint{double(x), double(y)});
    x = float(point.x);
    y = float(point.y);
    scene->SetTime(CChessWindow::GetSeconds());
    if (kind == netpktPenDown) {
        if (CChessApp* app = GetChessApp()) {
            app->LoadMedia();
            if (CMediaSet* media = app->GetMediaSet())
                media->PlayEffect(CMediaSet::kSpray);
        }
        scene->PenMoveTo(1, x, y);
    } else if (kind == netpktPenMove) {
        scene->PenLineTo(1, x, y);
    } else {
        scene->ClearPen(1);
    }
    canvas->RequestRedraw();
}

// ------------------------------------------------------------ what the user does

void CNetworkGame::End()
{
    m_inPlay = false;
}

void CNetworkGame::Reset()
{
    if (!IsConnected() || !m_protocol.HasBegun()) {
        Tell("Your opponent is not connected.", "Reset Game");
        return;
    }
    Zorlin::CArray<CString> choices;
    choices.Add("White");
    choices.Add("Black");
    const int choice = GetPrompt().AskChoice("What do you wish to play?", "Network Game", choices, MainWindow(), 200, 150);
    if (choice != WHITE && choice != BLACK)
        return;
    Tell("Request sent.", "Reset Game");
    m_protocol.RequestNewGame(choice == WHITE ? BLACK : WHITE);
}

void CNetworkGame::OfferDraw(int side)
{
    CPlayer* other = GetPlayer(side == WHITE ? BLACK : WHITE);
    if (other)
        other->OfferDraw();
}

void CNetworkGame::SendChat(const CString& name, const CString& text)
{
    m_protocol.SendChat(name, text);
}

void CNetworkGame::OnPenStroke(bool down, int x, int y)
{
    if (!IsConnected())
        return;
    const bool wasDown = m_penDown;
    m_penDown = down;
    if (!m_inPlay || !down)
        return;
    // Board units, so the stroke lands on the same squares of a board seen
    // from the other side.
    SScenePoint board{double(x), double(y)};
    CChessWindow* canvas = Canvas();
    if (CBoardRenderer* scene = canvas ? canvas->GetScene() : nullptr)
        board = scene->PixelsToBoard(board);
    const CBuffer point = NetPacket::Pen(float(board.x), float(board.y));
    SendFrame(wasDown ? netpktPenMove : netpktPenDown, &point);
}

void CNetworkGame::OnClearAnnotation()
{
    const CBuffer unused = NetPacket::PenClear();
    SendFrame(netpktPenClear, &unused);
}

bool CNetworkGame::RequestRestore(const CConfig& saved)
{
    if (!IsConnected() || !m_protocol.HasBegun())
        return false;
    const CString id = GetAppServices().GetUserSettings().GetValueOr("profile.id", "");
    m_protocol.RequestRestore(saved, id);
    return true;
}
