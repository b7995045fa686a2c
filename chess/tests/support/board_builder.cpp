#include "board_builder.h"

#include <cstdlib>
#include <sstream>

namespace BoardBuilder {

namespace {

struct SFenFields {
    std::string placement, side, castling = "-", enPassant = "-";
    int halfMoves = 0;
    int fullMove = 1;
};

bool Split(const std::string& fen, SFenFields& f)
{
    std::istringstream in(fen);
    if (!(in >> f.placement >> f.side))
        return false;
    in >> f.castling >> f.enPassant;
    std::string half, full;
    if (in >> half >> full) {
        f.halfMoves = std::atoi(half.c_str());
        f.fullMove = std::atoi(full.c_str());
    }
    return f.side == "w" || f.side == "b";
}

bool Has(const std::string& s, char c)
{
    return s.find(c) != std::string::npos;
}

} // namespace

bool HasStandardCastling(const std::string& fen)
{
    SFenFields f;
    CChessBoard board;
    if (!Split(fen, f) || !SetupFromFen(board, fen))
        return false;
    auto is = [&](int x, int y, Colour c, PieceType t) {
        const CPiece& p = board.GetPieceAt(x, y);
        return p.m_colour == c && p.m_type == t;
    };
    if ((Has(f.castling, 'K') || Has(f.castling, 'Q')) && !is(4, 0, WHITE, PIECE_KING))
        return false;
    if ((Has(f.castling, 'k') || Has(f.castling, 'q')) && !is(4, 7, BLACK, PIECE_KING))
        return false;
    return (!Has(f.castling, 'K') || is(7, 0, WHITE, PIECE_ROOK)) && (!Has(f.castling, 'Q') || is(0, 0, WHITE, PIECE_ROOK))
        && (!Has(f.castling, 'k') || is(7, 7, BLACK, PIECE_ROOK)) && (!Has(f.castling, 'q') || is(0, 7, BLACK, PIECE_ROOK));
}

bool SetupFromFen(CChessBoard& board, const std::string& fen)
{
    SFenFields f;
    if (!Split(fen, f))
        return false;
    board.Clear();
    int x = 0, y = 7;
    for (char c : f.placement) {
        if (c == '/') {
            if (x != 8)
                return false;
            x = 0;
            --y;
        } else if (c >= '1' && c <= '8') {
            x += c - '0';
        } else {
            PieceType type = PieceTypeFromLetter(c);
            Colour colour = (c >= 'a' && c <= 'z') ? BLACK : WHITE;
            if (type == PIECE_NONE || !board.AddPiece(colour, type, x, y, x >= 5))
                return false;
            ++x;
        }
        if (x > 8 || y < 0)
            return false;
    }
    if (y != 0 || x != 8)
        return false;

    Colour side = f.side == "b" ? BLACK : WHITE;
    // Two plies of headroom keep "moved at ply - 1" apart from "never moved".
    int ply = 2 * f.fullMove + (side == BLACK ? 1 : 0);
    board.SetSideToMove(side);
    board.SetPly(ply);
    board.SetHalfMoveClock(f.halfMoves);

    const Zorlin::CArray<int>& ids = board.GetOnBoardIds();
    for (int i = 0; i < ids.GetCount(); ++i) {
        CPiece& p = board.GetPiece(*ids.GetAt(i));
        bool unmoved = false;
        if (p.m_type == PIECE_PAWN)
            unmoved = p.m_y == (p.m_colour == WHITE ? 1 : 6);
        if (p.m_type == PIECE_KING) {
            unmoved = p.m_colour == WHITE ? (Has(f.castling, 'K') || Has(f.castling, 'Q'))
                                          : (Has(f.castling, 'k') || Has(f.castling, 'q'));
        }
        if (p.m_type == PIECE_ROOK) {
            int home = p.m_colour == WHITE ? 0 : 7;
            char kingSide = p.m_colour == WHITE ? 'K' : 'k';
            char queenSide = p.m_colour == WHITE ? 'Q' : 'q';
            unmoved = p.m_y == home && ((p.m_x == 7 && Has(f.castling, kingSide)) || (p.m_x == 0 && Has(f.castling, queenSide)));
        }
        if (!unmoved) {
            p.m_movesMade = 2;
            p.m_lastMovePly = 0;
        }
    }
    if (f.enPassant != "-") {
        SSquare passed;
        if (!ParseSquare(Zorlin::CString(f.enPassant.c_str()), passed))
            return false;
        SSquare pawnSquare(passed.x, side == WHITE ? passed.y - 1 : passed.y + 1);
        CPiece& pawn = board.GetPieceAt(pawnSquare);
        if (pawn.m_type != PIECE_PAWN)
            return false;
        pawn.m_movesMade = 1;
        pawn.m_lastMovePly = ply - 1;
    }
    return true;
}

int PlayMoves(CChessBoard& board, const std::vector<std::string>& moves)
{
    for (size_t i = 0; i < moves.size(); ++i) {
        CMove move;
        if (!board.ParseMove(Zorlin::CString(moves[i].c_str()), move, true) || !board.MakeMove(move, 0.0))
            return int(i);
    }
    return -1;
}

std::string Coordinates(const CMove& move)
{
    Zorlin::CString text;
    move.ToCoordinateText(text);
    return text.GetText();
}

} // namespace BoardBuilder
