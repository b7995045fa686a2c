#include "client/view/GamePage.h"

#include <cmath>
#include <cstdlib>

#include "chess/ChessBoard.h"
#include "client/core/Game.h"
#include "client/core/GameEndText.h"
#include "client/core/HtmlText.h"
#include "client/core/Player.h"
#include "foundation/Config.h"

using namespace Zorlin;

namespace {

const char* const kTypeNames[] = {"Pawn", "Rook", "Knight", "Bishop", "Queen", "King"};
const char kTypeLetters[] = "PRNBQK";
const unsigned kPieceImageSize = 20;

double ReadNumber(const CString& text)
{
    CString trimmed(text);
    trimmed.Trim();
    char* end = nullptr;
    double value = std::strtod(trimmed.GetText(), &end);
    if (end == trimmed.GetText() || !std::isfinite(value))
        return 0.0;
    return value;
}

double MaterialValue(CConfig& settings, int type)
{
    CString key(".Material.");
    key.Append(kTypeNames[type]);
    return ReadNumber(settings.GetValueOr(key.GetText(), ""));
}

CString FormatScore(double score)
{
    CString text;
    text.AppendFormat("%.10g", score);
    return text;
}

CString Tag(CGame* game, const char* name)
{
    if (!game)
        return CString();
    CAssocArray<CString>& tags = game->GetTags();
    CString* value = tags.Find(name);
    return value ? EscapeHtml(*value) : CString();
}

} // namespace

void DescribeCaptures(const CChessBoard& board, int capturer, CConfig& programSettings, CHtmlText& images,
                      double& score)
{
    score = 0.0;
    const CArray<int>& captured = board.GetCapturedBy(capturer == BLACK ? BLACK : WHITE);
    for (int i = 0; i < captured.GetCount(); ++i) {
        const CPiece& piece = board.GetPiece(*captured.GetAt(i));
        if (piece.m_type < PIECE_PAWN || piece.m_type > PIECE_KING)
            continue;
        CString source("../images/");
        source.Append(piece.m_colour == BLACK ? 'B' : 'W');
        source.Append(kTypeLetters[piece.m_type]);
        source.Append(".gif");
        images.AppendImage(source.GetText(), kPieceImageSize, kPieceImageSize, 0);
        score += MaterialValue(programSettings, piece.m_startedAsPawn ? PIECE_PAWN : piece.m_type);
    }
}

CString PlayerNameHtml(CPlayer* player)
{
    if (!player)
        return CString();
    CString name = EscapeHtml(player->GetProperty("name"));
    CString email = player->GetProperty("email");
    if (email.IsEmpty())
        return name;
    CHtmlText link;
    link.BeginLink(EscapeHtml(CString("mailto:") + email).GetText());
    link.Append(name);
    link.EndLink();
    return link;
}

void FillGamePageVariables(CGame* game, const CChessBoard* board, CPlayer* white, CPlayer* black,
                           CConfig& programSettings, CHtmlVariables& out)
{
    CHtmlText whiteTakes, blackTakes;
    double whiteScore = 0.0, blackScore = 0.0;
    if (board) {
        DescribeCaptures(*board, WHITE, programSettings, whiteTakes, whiteScore);
        DescribeCaptures(*board, BLACK, programSettings, blackTakes, blackScore);
    }
    out["WHITE_TAKES"] = whiteTakes;
    out["BLACK_TAKES"] = blackTakes;
    out["WHITE_NAME"] = PlayerNameHtml(white);
    out["BLACK_NAME"] = PlayerNameHtml(black);
    out["WHITE_SCORE"] = FormatScore(whiteScore);
    out["BLACK_SCORE"] = FormatScore(blackScore);
    out["BodyScroll"] = "Auto";
    out["PGN_EVENT"] = Tag(game, "Event");
    out["PGN_SITE"] = Tag(game, "Site");
    out["PGN_DATE"] = Tag(game, "Date");
    out["PGN_ROUND"] = Tag(game, "Round");
    out["PGN_WHITE"] = Tag(game, "White");
    out["PGN_BLACK"] = Tag(game, "Black");
    out["PGN_RESULT"] = Tag(game, "Result");
    if (game) {
        // After the end: the result and how it came ("0-1, Black wins on time").
        CString words = GameEndText(game->GetBoard(), game->GetResult(), game->GetEndNote());
        if (!words.IsEmpty()) {
            const CString* tag = game->GetTags().Find("Result");
            CString result = game->GetResult() != RESULT_NONE ? CString(ResultText(game->GetResult()))
                                                              : (tag ? *tag : CString());
            out["PGN_RESULT"] = EscapeHtml(GameResultField(result, words));
        }
    }
}
