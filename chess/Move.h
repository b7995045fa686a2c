#pragma once

#include "chess/ChessTypes.h"
#include "foundation/String.h"

// One move as it travels between the rules, the notation code, the players
// and the view. A value record; the text is shared by reference count.
class CMove {
public:
    MoveKind m_kind = MOVE_NORMAL;
    PieceType m_promotion = PIECE_NONE; // what the pawn becomes
    SSquare m_from;
    SSquare m_to;
    SSquare m_captured; // the taken piece's square (captures and en passant)
    SSquare m_rookFrom; // castling only
    SSquare m_rookTo;
    Zorlin::CString m_text; // SAN; filled in when the move is made

    // A default move (from == to) is not valid.
    bool IsValid() const { return m_from != m_to; }
    // Same from and to squares; kind, promotion and text are not compared.
    bool SameSquares(const CMove& other) const { return m_from == other.m_from && m_to == other.m_to; }
    bool IsCapture() const { return m_kind == MOVE_CAPTURE || m_kind == MOVE_EN_PASSANT; }
    bool IsCastling() const { return m_kind == MOVE_CASTLE_KINGSIDE || m_kind == MOVE_CASTLE_QUEENSIDE; }

    // Appends e2e4, or e7e8q for a promotion: the engine dialogue's form.
    void ToCoordinateText(Zorlin::CString& out) const;
};

// File letter then rank digit, e.g. "e4".
Zorlin::CString SquareText(const SSquare& square);
// Reads a square from the first two characters (either case).
bool ParseSquare(const Zorlin::CString& text, SSquare& out);
// A word shaped like a move in coordinate ("e2e4", "e7e8q", "e2-e4") or
// algebraic ("Nf3", "exd5", "e8=Q+", "O-O", "Pe4") text, legal or not:
// engine chatter and prose hold other words.
bool IsMoveShapedWord(const Zorlin::CString& word);
