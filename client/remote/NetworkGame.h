#pragma once

// A game between two people whose clients are joined by one TCP
// connection. One side hosts (listens and seats the first player who
// answers its opening in time), the other joins; the host chooses the
// colours. Everything runs on the GUI
// thread from polls: the board's ticks, the game's own timer and the
// dialogs' timers. Frames are handled one at a time and never from within
// a question that a frame asked.

#include <memory>
#include <wx/timer.h>

#include "client/core/Game.h"
#include "client/remote/NetPacket.h"
#include "client/remote/NetworkProtocol.h"
#include "client/remote/NetSocket.h"

class CChessWindow;
class CConsole;
class CLocalPlayer;
class CNetworkPlayer;

// The dialog that drives a game until it begins.
class INetworkGameListener {
public:
    virtual ~INetworkGameListener() = default;
    // 0 listening, 1 stopped, 2 a player connected, 3 the game has begun,
    // 4 the connection was lost before the game began, 5 a join failed.
    virtual void OnNetworkState(int state) = 0;
    virtual void AddStatusLine(const Zorlin::CString& text) = 0;
};

class CNetworkGame : public CGame, private INetworkGameSide {
public:
    enum EMode { kHosting = 0, kJoining = 1, kNeither = 2 };
    enum EState { kListening = 0, kStopped = 1, kPlayerConnected = 2, kBegun = 3, kLost = 4, kConnectFailed = 5 };
    // How long a join waits for the host to answer.
    static const int kConnectTimeoutMs = 10000;
    // How long a player who connected to the host has to answer its
    // opening; whoever stays silent longer loses the seat.
    static const int kOpeningLimitMs = 10000;
    static const int kPollMs = 40;
    // What one pump may spend reading frames, so a flood leaves the board's
    // tick and the windows their turn.
    static const int kPumpTimeMs = 20;

    CNetworkGame();
    ~CNetworkGame() override;

    // ---- CGame
    void Destroy() override;
    bool Setup() override { return true; }
    void Start() override {}
    void End() override;
    void Reset() override;
    void OfferDraw(int side) override;
    void SendChat(const Zorlin::CString& name, const Zorlin::CString& text) override;
    void OnPenStroke(bool down, int x, int y) override;
    void GetStatusPage(Zorlin::CString& out) override { out = "inplay.htm"; }
    void Poll() override { Pump(); }
    void OnClearAnnotation() override;

    // ---- hosting and joining
    bool StartServer(int port);
    void StopServer();
    // Starts joining host at the port of the program settings; false when
    // the attempt could not even start. The outcome follows from Pump.
    bool Connect(const char* host);
    // Gives up a join under way or a connection not yet begun.
    void Disconnect();
    bool IsConnecting() const { return m_connecting; }
    bool IsConnected() const { return m_connection && m_connection->IsOpen(); }
    bool IsListening() const { return m_server >= 0; }
    int GetServerPort() const { return NetSocket::LocalPort(m_server); }
    // 0 White, 1 Black, 2 ask when the player arrives.
    void SetColourChoice(int colour) { m_colourChoice = colour; }
    void SetOpeningLimit(int ms) { m_openingLimitMs = ms; }
    void SetListener(INetworkGameListener* listener) { m_listener = listener; }
    int GetMode() const { return m_mode; }

    // Accepts, connects and reads what has arrived. Called again while a
    // frame's handler waits on a message box, it only reads on (below).
    void Pump();
    // A frame that would open a box waits for the open one to close.
    bool HasHeldFrame() const { return m_held.waiting; }

    // The user opened a saved network game: asks the peer to restore it;
    // false without a connected game.
    bool RequestRestore(const Zorlin::CConfig& saved) override;
    // The local side's move, resignation and take-back request.
    void SendMove(const Zorlin::CString& san) { m_protocol.SendMove(san); }
    void SendResign() { m_protocol.Resign(); }
    void SendTakeBackRequest(int plies) { m_protocol.RequestTakeBack(plies); }
    void SendDrawOffer() { m_protocol.OfferDraw(); }

    CNetworkProtocol& GetProtocol() { return m_protocol; }
    CNetworkPlayer* GetNetworkPlayer() const;
    CPlayer* GetLocalPlayer() const { return m_players[0]; }
    bool IsPlayerConnected() const { return m_playerConnected; }

private:
    // INetworkGameSide
    void SendFrame(uint32_t type, const Zorlin::CBuffer* payload) override;
    bool AskYesNo(const Zorlin::CString& text, const Zorlin::CString& caption) override;
    void Tell(const Zorlin::CString& text, const Zorlin::CString& caption) override;
    void Log(const Zorlin::CString& text) override;
    bool IsGameInPlay() override { return m_inPlay; }
    bool HasReadyMove() override;
    Zorlin::CString GetOpponentName() override;
    void BeginAsJoiner(int localColour, const Zorlin::CString& hostId) override;
    void BeginAsHost(int localColour) override;
    void ReadyOpponentMove(const CMove& move) override;
    void TakeBackTo(int plies) override;
    void EndDrawn() override;
    void OpponentResigned() override;
    void StartNewGame(int localColour) override;
    void RestoreGame(Zorlin::CConfig& saved, int localColour) override;
    void ShowChat(const Zorlin::CString& name, const Zorlin::CString& text) override;
    void ShowNotice(const Zorlin::CString& text) override;
    void Pen(uint32_t kind, float x, float y) override;
    void ReceivedProfile(const Zorlin::CBuffer& archive) override;
    uint64_t GetArrivedBytes() override;

    void PumpWork();
    // While a box is open: applies the frames that open none, and stops at
    // the first that would, keeping it for after the box.
    void ReadBehindBox();
    // The held frame, else the reader's next step.
    CNetFrameReader::EStep NextFrame(uint32_t& type, Zorlin::CBuffer& payload, uint64_t& position);
    void AcceptPlayer();
    // The colour choice, asking the user when it is open.
    int ChooseColour();
    // Drops a player that has not answered the opening in time.
    void CheckOpening();
    void CheckConnect();
    void ReceiveFrames();
    void BeginGame(const Zorlin::CString& opponentId, int colour);
    void SendProfile();
    void ApplyOpponentProfile(const Zorlin::CString& id);
    void TakeConnection(int fd);
    void CloseConnection();
    void CloseServer();
    void OnConnectionLost();
    void Status(const Zorlin::CString& text);
    void TellListener(int state);
    void ResetBoardView();
    // The peer's ready move played on the board at once (the canvas's own
    // tick when it cannot be).
    static void PlayReadyMove(CChessWindow& canvas);
    void OnTimer(wxTimerEvent& event);
    void OnBoxTimer(wxTimerEvent& event);

    int m_mode;
    int m_server;
    std::unique_ptr<CSocketBytes> m_connection;
    NetSocket::CConnectAttempt m_attempt;
    bool m_connecting;
    long m_connectDeadline;
    int m_openingLimitMs;
    long m_openingDeadline;
    CNetFrameReader m_reader;
    CNetworkProtocol m_protocol;
    std::unique_ptr<CConsole> m_console;
    INetworkGameListener* m_listener;
    bool m_playerConnected;
    Zorlin::CString m_pendingOpponentId;
    int m_colourChoice;
    bool m_penDown;
    bool m_busy;
    bool m_readingBehindBox;
    struct SHeldFrame {
        bool waiting = false;
        uint32_t type = 0;
        Zorlin::CBuffer payload;
        uint64_t position = 0; // where it ended in the peer's stream
    } m_held;
    bool m_destroyRequested;
    bool m_lost;
    bool m_profileReceived; // this connection's peer has sent its profile
    wxTimer m_timer;
    // Reads behind a box opened under the poll timer's own event, which
    // the toolkit does not deliver again until that event returns.
    wxTimer m_boxTimer;
};
