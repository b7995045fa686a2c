#pragma once

#include <memory>
#include <random>

#include "client/core/Game.h"
#include "client/dialogs/LinkHandler.h"
#include "client/remote/GameMessages.h"
#include "client/remote/GridmoorGameUi.h"

class CGridmoorLink;
class CGridmoorPlayer;
class CPacketHeader;

// A game against a person found through the online service. Its moves,
// clocks and requests travel as forwarded messages through the session;
// while it is the current game it is the session's listener.
class CGridmoorGame : public CGame, public CGameMessageTarget, public CLinkHandler {
public:
    // link and ui are the game's for its whole life; ui is owned.
    CGridmoorGame(CGridmoorLink* link, CGridmoorGameUi* ui);
    ~CGridmoorGame() override;

    // ---- the game's life
    void LinkOpponent(uint32_t opponentId);
    void SetOpponentProfile(Zorlin::CConfig& profile);
    // clock and clock2: seconds per side.
    void SetTimeControl(bool timed, int clock, int clock2);
    void BeginGame(int localColour, uint32_t opponentId);
    // The opponent's photo, as the search stored it.
    void SetOpponentPhoto(const Zorlin::CBuffer& bytes) { m_photo = bytes; }
    const Zorlin::CBuffer& GetOpponentPhoto() const { return m_photo; }

    void Start() override;
    void End() override;
    void Reset() override;
    void OfferDraw(int side) override;
    void Resign(int side) override;
    void SendChat(const Zorlin::CString& name, const Zorlin::CString& text) override;
    void GetStatusPage(Zorlin::CString& out) override;
    double UpdateClock() override;
    void Poll() override;
    void OnGameOver() override;
    CPlayer* GetPlayer(int side) override;
    bool QueryClose() override;
    // The server keeps an online game: nothing to save.
    bool HasUnsavedPlay() const override { return false; }
    bool ConfirmLeave() override;

    // ---- the session's listener
    void OnSessionState(int state);
    bool OnSessionPacket(const CPacketHeader& header, Zorlin::CFile& body);

    // ---- used by the remote seat
    bool SendForward(uint32_t type, const Zorlin::CString& body = Zorlin::CString());
    // The opponent check and the request interval; false (after telling the
    // user) when the request may not be made.
    bool CheckOpponent();
    bool CheckInterval();
    void NoteRequest();
    CGameMessages& GetMessages() { return m_messages; }
    CGridmoorGameUi& GetUi() { return *m_ui; }
    bool IsTimed() const override { return m_timed; }
    double GetLastElapsed() const { return m_lastElapsed; }
    uint32_t GetOpponentId() const { return m_messages.GetOpponent(); }
    Zorlin::CString GetOpponentName() const;
    CGridmoorPlayer* GetRemoteSeat() const;
    CPlayer* GetLocalSeat() const;
    int GetClockSeconds() const { return m_clock; }

    // ---- CGameMessageTarget
    const CChessBoard& GetBoard() const override { return m_board; }
    CChessBoard& GetBoard() { return m_board; }
    bool IsPlaying() const override { return m_inPlay && m_result == RESULT_NONE; }
    // A game in play with moves: what ends it keeps it, with a result or "*".
    bool HasGameToKeep() const { return IsPlaying() && m_board.GetPly() > 0; }
    int GetRemoteColour() const override;
    bool IsAsking(uint32_t requestType) const override;
    bool HasReadyMove() const override;
    void OnWrongProtocol(const Zorlin::CString& version) override;
    void OnProposal(const SGameProposal& proposal) override;
    void OnBeginAccepted(const SGameProposal& agreed) override;
    void OnBeginDeclined() override;
    void OnResume() override;
    void OnRemoteMove(const CMove& move, double elapsedMs) override;
    void OnTakebackRequested(int ply, const Zorlin::CString& moveText) override;
    void OnTakebackAnswer(bool accepted, int ply) override;
    void OnDrawOffered() override;
    void OnDrawAnswer(bool accepted) override;
    void OnResigned(bool leftGame) override;
    void OnResetRequested() override;
    void OnTimeUp() override;
    void Log(const Zorlin::CString& line) override;

    // ---- the popups' links
    bool HandleLink(const Zorlin::CString& link) override;

private:
    // Answers a packet of a client that is not ours with a header-only
    // type, when the packet names its sender.
    void TurnAway(uint32_t type, uint32_t sender);
    void BreakLink();
    void StartNewGame(int localColour, bool timed, int clock);
    void SetColours(int localColour);
    void WinLocally(const char* phrase, const Zorlin::CString& message, const char* title);
    void StopClock();
    void OpponentLeft();
    void EndWithoutResult();
    // The user leaves the game in play: with resign, resigned (and kept as lost).
    void Leave(bool resign);
    void Message(const char* title, const Zorlin::CString& html);
    void Request(CGridmoorGameUi::ERequest kind, const char* page, const char* title, const char* closeLink,
                 Zorlin::CAssocArray<Zorlin::CString> variables);
    void Disconnect();

    CGridmoorLink* m_link;
    std::unique_ptr<CGridmoorGameUi> m_ui;
    CGameMessages m_messages;
    CRequestInterval m_interval;
    bool m_timed;
    int m_clock;
    int m_clock2;
    double m_opponentElapsed;
    double m_lastElapsed;
    bool m_listening;
    bool m_leaving; // ending the game because the user leaves it
    Zorlin::CBuffer m_photo;
    std::mt19937 m_random;
};
