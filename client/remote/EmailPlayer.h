#pragma once

// The opponent of a game by e-mail. It never moves by itself: its moves
// arrive in turn files. It carries the user's move, draw offer and
// resignation into its turn window, which it owns.

#include "client/core/Player.h"

class CSendEmailDialog;

class CEmailPlayer : public CPlayer {
public:
    CEmailPlayer();

    void Destroy() override;
    void StartGame(CChessBoard* board, int colour) override;
    bool OpponentMoved(const CMove& move) override;
    bool RequestTakeBack(int moveNumber) override;
    // The user resigns with the next turn.
    void Resign() override;
    void GetPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out) override;
    // The user offers a draw with the next turn.
    void OfferDrawFromUser();

    CSendEmailDialog* GetDialog() const { return m_dialog; }

    ~CEmailPlayer() override;

private:
    CSendEmailDialog* m_dialog;
};
