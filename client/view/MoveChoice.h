#pragma once

// Which legal move a drop or a reported move stands for. Every move the
// board canvas applies passes through MatchLegalMove first, so a move from
// a peer, an engine or a file is never made unless the rules allow it.

class CChessBoard;
class CMove;
class CPiece;
struct SSquare;

// The first of the piece's legal moves that ends on square; false when
// none does.
bool FindDropMove(const CChessBoard& board, const CPiece& piece, const SSquare& square, CMove& out);

// True when the move takes a pawn to its last rank and needs a piece.
bool IsPromotionMove(const CChessBoard& board, const CMove& move);

// The legal move of the side to move with the same squares as move, with
// the rules' kind, captured square and rook squares and move's promotion
// piece. False when there is none, when a promotion comes without a piece
// to become, or when a move that promotes nothing names one.
bool MatchLegalMove(const CChessBoard& board, const CMove& move, CMove& out);
