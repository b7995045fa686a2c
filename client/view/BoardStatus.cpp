#include "client/view/BoardStatus.h"

#include <cstring>

#include "chess/ChessBoard.h"
#include "client/core/Game.h"
#include "client/core/GameEndText.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

const char* LastShortText(const CChessBoard& board)
{
    const CArray<SHistoryEntry>& history = board.GetHistory();
    int count = history.GetCount();
    return count > 0 ? history.GetAt(count - 1)->m_shortText : nullptr;
}

} // namespace

bool IsStalemate(const CChessBoard& board)
{
    Colour side = board.GetSideToMove();
    if (board.IsInCheck(side))
        return false;
    CArray<CMove> moves;
    return board.GetLegalMoves(moves) == 0;
}

CString BoardStateText(const CChessBoard& board, int result, const CString& endNote)
{
    // How a game was won (resignation, time) is told in full in the first
    // field; here only the winner. A game ended without a result has no
    // first field: its note stands here.
    if (!endNote.IsEmpty() && result == RESULT_NONE)
        return CString(" ") + endNote;
    const char* last = LastShortText(board);
    size_t length = last ? strlen(last) : 0;
    bool whiteToMove = board.GetSideToMove() == WHITE;
    if (length > 0 && last[length - 1] == '#')
        return whiteToMove ? " Black Mate" : " White Mate";
    switch (result) {
    case RESULT_DRAW:
        return IsStalemate(board) ? " Stalemate" : " Draw";
    case RESULT_WHITE_WINS:
        return " White wins";
    case RESULT_BLACK_WINS:
        return " Black wins";
    default:
        return whiteToMove ? " White to move" : " Black to move";
    }
}

CString BoardLastMoveText(const CChessBoard& board)
{
    const char* last = LastShortText(board);
    if (!last)
        return CString();
    return CString(" ") + last;
}

void AppendCheckMark(SHistoryEntry& entry, char mark)
{
    size_t length = strnlen(entry.m_shortText, sizeof entry.m_shortText);
    if (length + 1 >= sizeof entry.m_shortText)
        return;
    entry.m_shortText[length] = mark;
    entry.m_shortText[length + 1] = '\0';
}
