#pragma once

// The fields of the game page, apart from its window: captured pieces as
// pictures, material sums, the players' names (escaped, a mail link when
// the player has an address) and the PGN tags (escaped).

#include "client/view/HtmlText.h"
#include "foundation/String.h"

namespace Zorlin {
class CConfig;
}

class CChessBoard;
class CGame;
class CPlayer;

// The pictures of the pieces capturer took, in the order taken, and their
// value from the program settings "Material.<Type>" (a promoted pawn counts
// as a pawn).
void DescribeCaptures(const CChessBoard& board, int capturer, Zorlin::CConfig& programSettings,
                      CHtmlText& images, double& score);

// The player's name as the page shows it.
Zorlin::CString PlayerNameHtml(CPlayer* player);

// Every field of the page: WHITE_TAKES, BLACK_TAKES, WHITE_NAME,
// BLACK_NAME, WHITE_SCORE, BLACK_SCORE, BodyScroll and PGN_*.
void FillGamePageVariables(CGame* game, const CChessBoard* board, CPlayer* white, CPlayer* black,
                           Zorlin::CConfig& programSettings, CHtmlVariables& out);
