#pragma once

#include "client/core/Player.h"

// The person at this machine. Its moves are made on the board canvas, so it
// never has a move ready.
class CLocalPlayer : public CPlayer {
public:
    // Name, link and id come from the user's profile.
    CLocalPlayer();

    void StartGame(CChessBoard* board, int colour) override;
    bool IsLocal() override;
    // The user's photo.bmp, or the default picture when there is none.
    void GetPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out) override;

private:
    wxDECLARE_DYNAMIC_CLASS(CLocalPlayer);
};
