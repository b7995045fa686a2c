#pragma once

// Where the opponent search hands over: once both players have begun, the
// search calls the installed maker with the agreed game. The online game
// installs its maker at start-up; it makes the game, puts it on the board,
// links the opponent (which installs the game's listener in the session
// and records the last opponent) and answers true. Without a maker, or
// when it answers false, the search ends without a game.

#include <cstdint>

#include "foundation/Buffer.h"
#include "foundation/Config.h"

class wxWindow;

struct SOnlineGameStart {
    uint32_t peerId = 0;
    int localSide = 0;   // 0 white, 1 black
    bool timed = false;
    int clock = 0;       // seconds per side when timed
    Zorlin::CConfig opponentProfile;
    Zorlin::CBuffer opponentPicture; // a BMP file
};

using OnlineGameMaker = bool (*)(wxWindow* frame, const SOnlineGameStart& start);

void SetOnlineGameMaker(OnlineGameMaker maker);
OnlineGameMaker GetOnlineGameMaker();
