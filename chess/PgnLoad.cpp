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

// Longest part of a Variant tag a refusal repeats.
const int kMaxVariantShown = 40;

const char* const kStartPositionKey = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

CString TagValue(CAssocArray<CString>& tags, const char* name)
{
    const CString* value = tags.Find(name);
    CString text = value ? *value : CString();
    text.Trim();
    return text;
}

// The first maxFields fields of a FEN, single-spaced.
CString FenFields(const CString& fen, int maxFields)
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
            if (count == maxFields)
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

// The start position at move 1, its clocks written or left out. Another
// move number (or half-move clock) is a set-up: the board counts from 1.
bool IsStartPositionFen(const CString& fen)
{
    const CString fields = FenFields(fen, 7);
    return fields == kStartPositionKey || fields == CString(kStartPositionKey) + " 0 1";
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
    if (PgnGameRefusal(tags).IsEmpty())
        return true;
    const CString variant = TagValue(tags, "Variant");
    if (!IsStandardVariant(variant)) {
        errorText = variant;
        errorText.Append(" (this variant is not supported)");
    } else {
        errorText = "FEN ";
        errorText.Append(TagValue(tags, "FEN"));
        errorText.Append(" (games from a set-up position are not supported)");
    }
    return false;
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
    // Whatever the file spelled (0-0, b2b3, Pe4, a missing "+"), the game
    // keeps the SAN of the move, as the program writes its own.
    move.m_text = CString();
    if (!board.MakeMove(move, 0.0))
        return false;
    SHistoryEntry& entry = *board.GetHistory().GetAt(-1);
    entry.SetText(entry.m_move.m_text + board.GetCheckMark());
    return true;
}

} // namespace

CString PgnGameRefusal(CAssocArray<CString>& tags)
{
    const CString variant = TagValue(tags, "Variant");
    if (!IsStandardVariant(variant)) {
        CString shown(variant);
        if (shown.GetLength() > kMaxVariantShown) {
            shown.Truncate(kMaxVariantShown);
            shown.Append("...");
        }
        CString reason("the variant ");
        reason.Append(shown);
        reason.Append(" is not supported");
        return reason;
    }
    const CString fen = TagValue(tags, "FEN");
    const bool setUp = TagValue(tags, "SetUp") == "1";
    if ((setUp || !fen.IsEmpty()) && !IsStartPositionFen(fen))
        return "games from a set-up position are not supported";
    return CString();
}

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
