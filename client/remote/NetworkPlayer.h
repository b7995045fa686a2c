#pragma once

#include <memory>

#include "chess/Move.h"
#include "client/core/Player.h"

class CConsole;
class CNetworkGame;

// The seat of the person at the other end of a network game. Its moves
// arrive from the peer (already checked by the game's protocol) and wait
// here for the board to take them; the local side's moves, offers and
// requests go out through the game.
class CNetworkPlayer : public CPlayer {
public:
    CNetworkPlayer();
    ~CNetworkPlayer() override;

    void Poll() override;
    void StartGame(CChessBoard* board, int colour) override;
    bool HasMove() override { return m_moveReady; }
    bool GetMove(CMove& out) override;
    bool OpponentMoved(const CMove& move) override;
    bool RequestTakeBack(int moveNumber) override;
    void Resign() override;
    bool OfferDraw() override;
    void GetPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out) override;

    void SetReadyMove(const CMove& move);
    void ClearReadyMove();

private:
    CNetworkGame* GetNetworkGame() const;
    void Log(const Zorlin::CString& text);

    bool m_moveReady;
    CMove m_pending;
    // "Network Player - Console": what this seat sent and was given.
    std::unique_ptr<CConsole> m_console;

    wxDECLARE_DYNAMIC_CLASS(CNetworkPlayer);
};
