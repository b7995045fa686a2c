#include "client/core/GameEndText.h"

#include "chess/ChessBoard.h"
#include "client/core/Game.h"

using Zorlin::CArray;
using Zorlin::CString;

const char* const kEndNoteOnTime = "on time";
const char* const kEndNoteResigned = "resigns";
const char* const kEndNoteAgreed = "agreed";

namespace {

const char* SideName(int result, bool winner)
{
    bool white = (result == RESULT_WHITE_WINS) == winner;
    return white ? "White" : "Black";
}

bool LoserIsMated(const CChessBoard& board, int result)
{
    Colour loser = result == RESULT_WHITE_WINS ? BLACK : WHITE;
    return board.GetSideToMove() == loser && board.GetGameState(loser) == STATE_CHECKMATE;
}

CString DrawText(const CChessBoard& board, const CString& note)
{
    if (note == kEndNoteAgreed)
        return "Draw agreed";
    Colour side = board.GetSideToMove();
    if (board.GetGameState(side) != STATE_DRAW)
        return note.IsEmpty() ? CString("Draw") : CString("Draw ") + note;
    CArray<CMove> moves;
    if (board.GetLegalMoves(moves) == 0)
        return "Draw by stalemate";
    if (board.IsRepetitionDraw())
        return "Draw by threefold repetition";
    if (board.IsFiftyMoveDraw())
        return "Draw by the fifty-move rule";
    return "Draw by insufficient material";
}

} // namespace

CString GameEndText(const CChessBoard& board, int result, const CString& note)
{
    switch (result) {
    case RESULT_WHITE_WINS:
    case RESULT_BLACK_WINS:
        if (note == kEndNoteResigned)
            return CString(SideName(result, false)) + " resigns";
        if (note.IsEmpty() && LoserIsMated(board, result))
            return CString("Checkmate \xE2\x80\x94 ") + SideName(result, true) + " wins";
        if (note.IsEmpty())
            return CString(SideName(result, true)) + " wins";
        return CString(SideName(result, true)) + " wins " + note;
    case RESULT_DRAW:
        return DrawText(board, note);
    default:
        return note;
    }
}

CString GameResultField(const CString& pgnResult, const CString& words)
{
    if (words.IsEmpty())
        return pgnResult;
    if (pgnResult.IsEmpty() || pgnResult == "*")
        return words;
    return pgnResult + ", " + words;
}
