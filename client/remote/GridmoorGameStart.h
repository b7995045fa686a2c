#pragma once

// The online game bound to the application's session: the link the game
// talks through, and the maker the opponent search calls with the agreed
// game.

#include "client/remote/OnlineGameStart.h"

class CGridmoorLink;
class wxWindow;

// The link over the application's online session; it does nothing once
// the session has been closed.
CGridmoorLink& GetSessionLink();
// Makes the game, puts it on the board and links the opponent.
bool MakeGridmoorGame(wxWindow* frame, const SOnlineGameStart& start);
