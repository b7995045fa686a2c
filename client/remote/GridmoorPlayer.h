#pragma once

#include "chess/Move.h"
#include "client/core/Player.h"

class CGridmoorGame;

// The opponent's seat in an online game: its moves arrive from the network
// through the game; the local side's moves and requests leave through it.
class CGridmoorPlayer : public CPlayer {
public:
    explicit CGridmoorPlayer(CGridmoorGame* game = nullptr);

    void StartGame(CChessBoard* board, int colour) override;
    bool HasMove() override;
    bool GetMove(CMove& out) override;
    // The local side moved: the move goes to the opponent.
    bool OpponentMoved(const CMove& move) override;
    bool RequestTakeBack(int ply) override;
    // The local side resigned.
    void Resign() override;
    // The local side offers a draw.
    bool OfferDraw() override;
    void GetPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out) override;

    // A legal move of the opponent's, ready for the board's next tick; the
    // game's rules refuse another until the board has made it.
    void ReceiveMove(const CMove& move);
    uint32_t GetOpponentId() const { return m_opponentId; }
    void SetOpponentId(uint32_t id) { m_opponentId = id; }

private:
    CGridmoorGame* m_owner;
    CMove m_move;
    bool m_moveReady;
    uint32_t m_opponentId;

    wxDECLARE_NO_COPY_CLASS(CGridmoorPlayer);
};
