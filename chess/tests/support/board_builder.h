#pragma once

#include <string>
#include <vector>

#include "chess/ChessBoard.h"

namespace BoardBuilder {

// Sets the board to a position given as FEN or EPD (placement, side,
// castling, en passant, optional clocks). The piece records are made to tell
// the same story: unmoved kings and corner rooks where castling is allowed,
// unmoved pawns on their start ranks, and a pawn that just made its
// two-square step when an en passant square is given. False when malformed.
bool SetupFromFen(CChessBoard& board, const std::string& fen);

// True when the castling field only names kings on e1/e8 with rooks in the
// corners (the rules here know no other castling).
bool HasStandardCastling(const std::string& fen);

// Plays moves given as text (SAN or coordinates), each checked to be legal.
// Returns the index of the first move that failed, or -1.
int PlayMoves(CChessBoard& board, const std::vector<std::string>& moves);

// Coordinate text of a move ("e7e8q").
std::string Coordinates(const CMove& move);

} // namespace BoardBuilder
