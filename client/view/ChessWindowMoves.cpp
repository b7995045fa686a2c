// The one routine through which every move of every game passes, the end
// of a game found on the board or decided elsewhere, and the end-of-game
// timer with its picture, music, spoken result and gong.

#include "client/view/ChessWindow.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/utils.h>

#include "chess/ChessBoard.h"
#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ClockView.h"
#include "client/core/Game.h"
#include "client/core/MediaSet.h"
#include "client/core/Player.h"
#include "client/core/VoicePlayer.h"
#include "client/dialogs/GameOverDialog.h"
#include "client/view/BoardRenderer.h"
#include "client/view/BoardStatus.h"
#include "client/view/ConsoleWindow.h"
#include "client/view/MoveChoice.h"
#include "client/view/ViewHost.h"

using Zorlin::CString;

// ------------------------------------------------------------ helpers

void CChessWindow::Say(int side, const char* phrase)
{
    CChessApp* app = GetChessApp();
    if (!app || !phrase || !*phrase)
        return;
    if (CVoicePlayer* voice = app->GetVoice(side))
        voice->Say(phrase);
}

void CChessWindow::ConsoleWrite(const CString& text)
{
    CChessApp* app = GetChessApp();
    if (app && app->m_console)
        app->m_console->PrintString(text);
}

void CChessWindow::PlayEffect(int effect)
{
    CChessApp* app = GetChessApp();
    if (!app)
        return;
    app->LoadMedia();
    if (CMediaSet* media = app->GetMediaSet())
        media->PlayEffect(CMediaSet::EEffect(effect));
}

void CChessWindow::MarkLastMove(const CMove& move)
{
    if (!m_scene || !m_showLastMove)
        return;
    m_scene->ClearMarks();
    m_scene->MarkSquare(move.m_from, 1);
    m_scene->MarkSquare(move.m_to, 1);
}

// The scene's part of a move on the position before it: the piece slides
// (animate) or is put down at once, a captured piece fades, a promoted pawn
// changes its picture and a castling rook slides.
void CChessWindow::AnimateMove(CChessBoard& board, const CMove& move, bool animate)
{
    if (!m_scene)
        return;
    int id = board.GetIdAt(move.m_from);
    const CPiece& piece = board.GetPiece(id);
    CBoardSprite* sprite = m_scene->GetPieceSprite(id);
    CBoardSprite* captured = move.IsCapture() ? m_scene->GetPieceSprite(board.GetIdAt(move.m_captured)) : nullptr;
    if (animate) {
        if (sprite) {
            m_scene->SetTime(GetSeconds());
            m_scene->QueueItem(sprite, move.m_to, captured, piece.m_colour, move.m_promotion);
        }
    } else {
        if (captured) {
            m_scene->SetTime(GetSeconds());
            m_scene->CapturePiece(captured);
        }
        if (move.m_promotion != PIECE_NONE && sprite) {
            m_scene->SetTime(GetSeconds());
            m_scene->SetPieceImage(sprite, piece.m_colour, move.m_promotion);
        }
        m_scene->MovePiece(sprite, move.m_to);
    }
    if (move.IsCastling()) {
        CBoardSprite* rook = m_scene->GetPieceSprite(board.GetIdAt(move.m_rookFrom));
        m_scene->SetTime(GetSeconds());
        m_scene->QueueItem(rook, move.m_rookTo, nullptr, 0, PIECE_NONE);
    }
}

void CChessWindow::ShowMoveAnimated(const CChessBoard& board, const CMove& move)
{
    m_hoverX = m_hoverY = -1;
    ShowPosition(board, move);
    CMove legal;
    if (MatchLegalMove(board, move, legal)) {
        // Only the scene changes; the board copy is read, never moved.
        CChessBoard copy(board);
        AnimateMove(copy, legal, true);
    }
    m_redrawRequested = true;
}

// ------------------------------------------------------------ PlayMove

void CChessWindow::PlayMove(const CMove& move, bool animate)
{
    CMove copy = move;
    PlayMove(copy, animate);
}

bool CChessWindow::PlayMove(CMove& move, bool animate)
{
    if (!m_game || !m_game->IsInPlay())
        return false;
    CGame* game = m_game;
    CChessBoard& board = game->GetBoard();
    CMove legal;
    if (!MatchLegalMove(board, move, legal))
        return false;
    SCallGuard guard(*this);

    SyncScene();
    Colour side = board.GetSideToMove();
    CPiece& piece = board.GetPieceAt(legal.m_from);
    AnimateMove(board, legal, animate);

    CString spoken;
    board.DescribeMove(legal, spoken);
    Say(side, spoken.GetText());
    ConsoleWrite(spoken + "\n");

    CString san;
    board.MakeSan(legal, san);
    legal.m_text = san;
    double ms = game->UpdateClock();
    CPlayer* other = game->GetPlayer(OtherColour(side));
    if (other && other->GetColour() == OtherColour(side)) {
        other->SetMoveTime(ms);
        other->OpponentMoved(legal);
    }
    // Telling the other side may have ended or replaced the game.
    if (game != m_game || !game->IsInPlay() || board.GetSideToMove() != side)
        return false;
    if (!piece.MakeMove(legal, ms))
        return false;

    Colour next = board.GetSideToMove();
    SHistoryEntry& entry = *board.GetHistory().GetAt(board.GetHistory().GetCount() - 1);
    if (board.GetGameState(next) == STATE_CHECKMATE) {
        AppendCheckMark(entry, '#');
        san += "#";
    } else if (board.IsInCheck(next)) {
        AppendCheckMark(entry, '+');
        san += "+";
        if (IsSettingOn(GetAppServices().GetUserSettings(), ".Preferences.voices.saycheck"))
            Say(side, "check");
    }
    legal.m_text = san;
    move = legal;
    AddToMoveList(san);
    ConsoleWrite(san + "\n");

    game->SetResult(RESULT_NONE);
    CString reason;
    int outcome = 0;
    m_endKind = 0;
    CPlayer* local = nullptr;
    bool hasLocal = game->FindLocalPlayer(local);
    // Without a local player the result is told from White's side.
    int localColour = hasLocal ? local->GetColour() : WHITE;
    if (board.GetGameState(next, &reason) == STATE_DRAW) {
        // Only a stalemate has its picture and phrase; a draw by a rule
        // ends with neither.
        m_endKind = IsStalemate(board) ? 3 : 4;
        game->SetResult(RESULT_DRAW);
        outcome = 0;
    } else if (board.GetGameState(BLACK) == STATE_CHECKMATE) {
        m_endKind = 1;
        game->SetResult(RESULT_WHITE_WINS);
        outcome = localColour == WHITE ? 1 : -1;
    } else if (board.GetGameState(WHITE) == STATE_CHECKMATE) {
        m_endKind = 2;
        game->SetResult(RESULT_BLACK_WINS);
        outcome = localColour == BLACK ? 1 : -1;
    }
    if (m_endKind != 0) {
        UpdateStatus();
        if (CClockView* clock = CGame::GetClockView())
            clock->Stop();
        wxWindow* parent = GetFrame() ? static_cast<wxWindow*>(GetFrame()) : wxGetTopLevelParent(this);
        CGameOverDialog* window = new CGameOverDialog(*game, outcome, parent, -1, nullptr);
        if (m_pendingGameOver)
            m_pendingGameOver->Destroy();
        m_pendingGameOver = window;
        if (m_endTimer)
            m_endTimer->StartOnce(kEndOfGameMilliseconds);
    } else {
        game->RunClockForSideToMove();
    }
    if (!IsShownOnScreen()) {
        // Nothing is drawn behind the browser view: the scene takes the new
        // position at once instead of queueing slides for later.
        SyncScene();
    }
    MarkLastMove(legal);
    UpdateStatus();
    SetStatus(reason, 0);
    if (m_endKind != 0)
        AnnounceEnd();
    m_lastMove = legal;
    m_redrawRequested = true;
    return true;
}

// ------------------------------------------------------------ game over

void CChessWindow::GameOver(int outcome, int extra)
{
    SCallGuard guard(*this);
    if (CClockView* clock = CGame::GetClockView())
        clock->Stop();
    if (!m_game)
        return;
    CGame* game = m_game;
    CPlayer* local = nullptr;
    if (!game->FindLocalPlayer(local))
        return;
    game->OnGameOver();
    if (game != m_game)
        return;
    UpdateStatus();
    AnnounceEnd();
    // extra names no page in any caller: the plain window.
    (void)extra;
    wxWindow* parent = GetFrame() ? static_cast<wxWindow*>(GetFrame()) : wxGetTopLevelParent(this);
    CGameOverDialog* window = new CGameOverDialog(*game, outcome, parent, -1, nullptr);
    window->Show();
    for (int side : {WHITE, BLACK}) {
        CPlayer* player = game->GetPlayer(side);
        if (player && player->GetColour() == side)
            player->GameOver();
    }
}

void CChessWindow::OnEndOfGameTimer(wxTimerEvent&)
{
    EndOfGame();
}

void CChessWindow::EndOfGame()
{
    SCallGuard guard(*this);
    UpdateVoices();
    CString music = CString("assets/sounds/") +
                    GetAppServices().GetProgramSettings().GetValueOr("music.gameover", "");
    CGame* game = m_game;
    if (game)
        game->OnGameOver();
    if (wxDialog* window = m_pendingGameOver) {
        m_pendingGameOver = nullptr;
        window->Show();
        wxSafeYield(nullptr, true);
    }
    CString phrase;
    CChessApp* app = GetChessApp();
    CMediaSet* media = nullptr;
    if (app) {
        app->LoadMedia();
        media = app->GetMediaSet();
    }
    CMediaSet::ESplash splash = CMediaSet::kSplashCount;
    switch (m_endKind) {
    case 1:
        splash = CMediaSet::kWhiteMates;
        phrase = "checkmate white wins";
        break;
    case 2:
        splash = CMediaSet::kBlackMates;
        phrase = "checkmate black wins";
        break;
    case 3:
        splash = CMediaSet::kStalemate;
        phrase = "stalemate";
        break;
    default:
        break;
    }
    if (media && splash != CMediaSet::kSplashCount)
        media->GetSplash(splash).Show(music.GetText());
    UpdateVoices();
    if (m_game && !phrase.IsEmpty())
        Say(OtherColour(m_game->GetBoard().GetSideToMove()), phrase.GetText());
    UpdateVoices();
    PlayEffect(CMediaSet::kGong);
}
