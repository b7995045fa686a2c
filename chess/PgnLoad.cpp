#include "chess/ChessBoard.h"
#include "chess/Pgn.h"
#include "chess/PgnScanner.h"
#include "foundation/AssocArray.h"
#include "foundation/File.h"

using Zorlin::CArray;
using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

// Longest move token kept as the move's text; longer ones (only possible in
// malformed input) get the computed SAN instead.
const int kMaxMoveTextLength = 11;

const char* const kStartPositionKey = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

CString TagValue(CAssocArray<CString>& tags, const char* name)
{
    const CString* value = tags.Find(name);
    CString text = value ? *value : CString();
    text.Trim();
    return text;
}

// The first four fields of a FEN (placement, side, castling, en passant),
// single-spaced.
CString PositionFields(const CString& fen)
{
    CString fields;
    int count = 0;
    bool inField = false;
    for (int i = 0; i < fen.GetLength(); ++i) {
        const char c = fen[i];
        if (c == ' ' || c == '\t') {
            inField = false;
            continue;
        }
        if (!inField) {
            if (count == 4)
                break;
            if (count > 0)
                fields.Append(' ');
            ++count;
            inField = true;
        }
        fields.Append(c);
    }
    return fields;
}

bool IsStandardVariant(const CString& variant)
{
    static const char* const kStandard[] = {"", "standard", "chess", "normal", "from position"};
    for (const char* name : kStandard)
        if (Zorlin::KeysEqualNoCase(variant, CString(name)))
            return true;
    return false;
}

// Positions are always the start position plus moves: a game set up from
// another position, or played by other rules, would be shown wrongly.
bool IsSupportedGame(CAssocArray<CString>& tags, CString& errorText)
{
    const CString variant = TagValue(tags, "Variant");
    if (!IsStandardVariant(variant)) {
        errorText = variant;
        errorText.Append(" (this variant is not supported)");
        return false;
    }
    const CString fen = TagValue(tags, "FEN");
    const bool setUp = TagValue(tags, "SetUp") == "1";
    if ((setUp || !fen.IsEmpty()) && PositionFields(fen) != kStartPositionKey) {
        errorText = "FEN ";
        errorText.Append(fen);
        errorText.Append(" (games from a set-up position are not supported)");
        return false;
    }
    return true;
}

bool IsPromotionMove(const CChessBoard& board, const CMove& move)
{
    return board.GetPieceAt(move.m_from).m_type == PIECE_PAWN && (move.m_to.y == 0 || move.m_to.y == 7);
}

// ParseMove with legalOnly accepts only one of the mover's legal moves, and
// copies the generated move's kind and squares into the parsed one (the
// promotion piece is checked there too), so the parsed move is played.
bool PlayPgnMove(CChessBoard& board, const CString& token)
{
    CMove move;
    if (!board.ParseMove(token, move, true))
        return false;
    const CPiece& mover = board.GetPieceAt(move.m_from);
    if (mover.m_type == PIECE_NONE || mover.m_colour != board.GetSideToMove())
        return false;
    if (IsPromotionMove(board, move) ? !IsPromotionType(move.m_promotion) : move.m_promotion != PIECE_NONE)
        return false;
    move.m_text = token.GetLength() <= kMaxMoveTextLength ? token : CString();
    return board.MakeMove(move, 0.0);
}

} // namespace

bool CChessBoard::LoadPgnGame(CFile& f, CAssocArray<CString>& tags, CString& errorText)
{
    Clear();
    SetupStartPosition();
    errorText.Assign(CString());
    CPgnScanner scanner(f);
    CString tagError; // a damaged tag pair costs the tag, not the game
    const CPgnScanner::TagEnd end = scanner.ReadTags(tags, tagError);
    if (end == CPgnScanner::TAGS_NO_GAME)
        return false;
    if (!IsSupportedGame(tags, errorText)) {
        if (end == CPgnScanner::TAGS_MOVE_TEXT)
            scanner.SkipGame();
        return false;
    }
    if (end == CPgnScanner::TAGS_ONLY)
        return true;
    // After a bad move the rest of the game is still read, so that the file
    // ends up at the next game.
    bool ok = true;
    while (scanner.NextMove()) {
        if (ok && GetPly() >= kPgnMaxPlies) {
            errorText = "(the game is longer than ";
            errorText.Append(kPgnMaxPlies);
            errorText.Append(" plies, more than the rules allow)");
            ok = false;
        }
        if (ok && !PlayPgnMove(*this, scanner.GetText())) {
            errorText = scanner.GetText();
            ok = false;
        }
    }
    return ok;
}
