#include "client/remote/EmailGame.h"

#include <wx/defs.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/ChessView.h"
#include "client/core/ClockView.h"
#include "client/core/FrameView.h"
#include "client/core/LocalPlayer.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/SendEmailDialog.h"
#include "client/remote/EmailPlayer.h"
#include "client/remote/EmailRecord.h"
#include "client/view/ViewHost.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

const char* const kViewingDraw =
    "You are viewing a saved email game.\n\nTo offer a draw, open the last '.rwf' file you were sent.";
const char* const kViewingResign =
    "You are viewing a saved email game.\n\nTo resign the game, open the last '.rwf' file you were sent.";

wxWindow* FrameWindow()
{
    CFrameView* frame = CGame::GetFrame();
    return frame ? frame->GetWindow() : nullptr;
}

// The keys under frame of source, the frame's name taken off.
CConfig FrameOf(CConfig& source, const char* frame)
{
    CConfig out;
    const CString prefix = CString(frame) + ".";
    source.ForEachValue([&](const CString& key, const CString& value) {
        if (key.GetLength() > prefix.GetLength() && Zorlin::KeysEqualNoCase(key.Mid(0, prefix.GetLength() - 1), prefix))
            out.GetValue(CString(".") + key.Mid(prefix.GetLength())) = value;
    });
    return out;
}

} // namespace

CString OwnProfileId()
{
    CString id = GetAppServices().GetUserSettings().GetValueOr(".profile.id", "");
    id.Trim();
    return id;
}

CEmailGame::CEmailGame()
    : m_local(new CLocalPlayer()), m_email(new CEmailPlayer()), m_savedGame(false), m_localColour(WHITE),
      m_receivedPly(0), m_sentPly(0), m_judged(false)
{
    SetPlayers(m_local, m_email);
    m_settings.GetValue("type") = "EmailGame";
}

CEmailGame::~CEmailGame()
{
    End();
}

bool CEmailGame::Setup()
{
    return true;
}

void CEmailGame::Start()
{
    m_board.SetupStartPosition();
    if (CClockView* clock = GetClockView()) {
        clock->SetTime(0, 0, WHITE);
        clock->Stop();
    }
}

void CEmailGame::End()
{
    DestroyPlayers();
    m_local = nullptr;
    m_email = nullptr;
    m_inPlay = false;
}

void CEmailGame::Reset()
{
    GetPrompt().ShowMessage("Can't reset an Email game.\nFor a new game please use the Game menu.", "Reset game",
                            wxOK, FrameWindow());
}

void CEmailGame::OfferDraw(int side)
{
    if (m_savedGame) {
        GetPrompt().ShowMessage(kViewingDraw, "Offer Draw", wxOK, FrameWindow());
        return;
    }
    if (side == m_localColour && m_email)
        m_email->OfferDrawFromUser();
}

void CEmailGame::Resign(int side)
{
    if (m_savedGame) {
        GetPrompt().ShowMessage(kViewingResign, "Offer Draw", wxOK, FrameWindow());
        return;
    }
    if (side == m_localColour) {
        if (m_email)
            m_email->Resign();
        return;
    }
    GetPrompt().ShowMessage("Opponent resigns", "Game Over", wxOK, FrameWindow());
    EndOnBoard(m_localColour == BLACK ? RESULT_BLACK_WINS : RESULT_WHITE_WINS, 1);
}

void CEmailGame::GetStatusPage(CString& out)
{
    out = "inplay.htm";
}

CPlayer* CEmailGame::GetPlayer(int side)
{
    // The board asks for the side to move by this code; taken as "not the
    // local colour" it would never let the user move.
    if (side == SIDE_TO_MOVE)
        side = m_board.GetSideToMove();
    if (m_local && m_local->GetColour() == side)
        return m_local;
    return m_email;
}

bool CEmailGame::HasUnsavedPlay() const
{
    if (m_board.GetPly() <= m_receivedPly || (m_email && m_email->GetDialog()->IsSent()))
        return false;
    return CGame::HasUnsavedPlay();
}


void CEmailGame::StartPlayers(int localColour)
{
    m_localColour = localColour == BLACK ? BLACK : WHITE;
    const int other = m_localColour == WHITE ? BLACK : WHITE;
    m_local->GetProperties().GetValue("ID") = OwnProfileId();
    m_local->GetProperties().GetValue("name") = GetAppServices().GetUserSettings().GetValueOr(".profile.name", "");
    m_local->StartGame(&m_board, m_localColour);
    m_email->StartGame(&m_board, other);
}

void CEmailGame::EndOnBoard(int result, int flag)
{
    m_inPlay = false;
    m_result = GameResult(result);
    if (CChessView* view = GetChessView())
        if (view->GetGame() == this)
            view->GameOver(flag, 0);
    if (m_email)
        m_email->GetDialog()->Restore();
}

void CEmailGame::KeepCopy(const CMove* made)
{
    if (m_savedGame || m_gameId.IsEmpty())
        return;
    CConfig saved;
    Save(saved);
    // The opponent's newest move is played on the board after the turn is
    // opened, and the user's is told before the board makes it: the copy
    // holds either from the start.
    const int ply = m_board.GetPly();
    CString extra, time("0");
    if (ply + 1 == m_receivedPly && !m_newestMove.IsEmpty()) {
        extra = m_newestMove;
        time = m_newestTime;
    } else if (made && ply >= m_receivedPly && m_board.GetSideToMove() == m_localColour) {
        extra = made->m_text;
    }
    if (!extra.IsEmpty()) {
        saved.PushAbsolutePrefix("Moves");
        saved.PushPrefix(ply);
        saved.GetValue("Move") = extra;
        saved.GetValue("Time") = time;
        saved.PopPrefix();
        saved.PopPrefix();
    }
    EmailRecord::MarkKnown(saved, m_localColour, m_receivedPly, m_sentPly);
    if (EmailRecord::Keep(GetAppServices().GetUserDrive(), m_gameId, saved)) {
        GetDialogHost().RescanActiveGames();
        GetViewHost().RebuildBrowser(false);
    }
}

void CEmailGame::ForgetCopy()
{
    if (m_gameId.IsEmpty())
        return;
    EmailRecord::Forget(GetAppServices().GetUserDrive(), m_gameId);
    GetDialogHost().RescanActiveGames();
    GetViewHost().RebuildBrowser(false);
}

void CEmailGame::KeepSentRecord()
{
    if (!m_inPlay) {
        ForgetCopy();
        return;
    }
    m_sentPly = m_board.GetPly();
    KeepCopy(nullptr);
}

void CEmailGame::ShowOnBoard()
{
    CChessApp* app = GetChessApp();
    if (app && app->m_frame) {
        app->m_frame->Raise();
        app->m_frame->ShowBrowser(false, false);
    }
    if (CChessView* view = GetChessView()) {
        view->ResetView(this, true, false);
        view->SyncScene();
    }
    WritePlayerPictures();
    if (CFrameView* frame = GetFrame())
        frame->ShowPosition();
    if (app && app->m_frame)
        app->m_frame->UpdateGamePanel();
}

bool CEmailGame::StartGame(int localColour, const CString& name, const CString& address)
{
    // Tells this game's turns from those of another game with the same
    // opponent.
    m_gameId = EmailRecord::NewGameId();
    m_settings.GetValue("gameid") = m_gameId;
    StartPlayers(localColour);
    // Names the game in Active Games until the opponent's first turn brings
    // the name the opponent gives.
    m_email->GetProperties().GetValue("name") = name;
    CSendEmailDialog* dialog = m_email->GetDialog();
    const CString subject("[Rookwell] Invitation");
    if (m_localColour == BLACK) {
        dialog->SetMove("You Start");
        dialog->SetAddressing(0, address, subject);
    } else {
        dialog->SetAddressing(1, address, subject);
    }
    dialog->SetSendProfile(true);
    dialog->ShowReply(true);
    dialog->Show();
    m_inPlay = true;
    return true;
}

bool CEmailGame::Judge(EmailTurn::STurn& turn, CString& why)
{
    why = "";
    int side = EmailTurn::DecideLocalSide(turn.game.GetValueOr(".White.ID", ""),
                                          turn.game.GetValueOr(".Black.ID", ""), OwnProfileId());
    if (side < 0) {
        Zorlin::CArray<CString> choices;
        choices.Add("White");
        choices.Add("Black");
        side = GetPrompt().AskChoice("What colour do you wish to play?", "Select colour", choices, FrameWindow(), 200,
                                     150);
        if (side < 0)
            return false;
        side = side == 0 ? WHITE : BLACK;
    }
    // The other side is the sender's: a turn names who sent it, and only
    // that player moves for it.
    const CString own = OwnProfileId();
    CString sender = turn.game.GetValueOr(side == WHITE ? ".Black.ID" : ".White.ID", "");
    sender.Trim();
    CString from = turn.id;
    from.Trim();
    if (!EmailRecord::IsKnownId(sender) || !Zorlin::KeysEqualNoCase(sender, from)) {
        why = "The turn's sender is not the player of the side it moves for.";
        return false;
    }
    if (!EmailTurn::CheckSender(turn, side, why))
        return false;
    // What the turn says about the game so far is held against the user's
    // own copy of that game, and of no other.
    const EmailRecord::SMatch match =
        EmailRecord::Match(GetAppServices().GetUserDrive(), turn, side, sender, own);
    why = EmailRecord::Refusal(match.fit, EmailRecord::OpponentName(match.record, own));
    if (!why.IsEmpty())
        return false;
    // An acceptance stands only for an offer of ours with nothing played
    // since; anything else would end a game that nobody agreed to end.
    if (EmailTurn::IsAcceptDraw(turn.move) && !turn.resign && !turn.offerDraw &&
        !(match.fit == EmailRecord::EFit::kContinues && EmailTurn::WasDrawOffered(match.record, side, turn.plies))) {
        why = "The turn accepts a draw that you did not offer.";
        return false;
    }
    m_localColour = side;
    m_judged = true;
    m_judgedKey = match.key;
    m_sentPly = match.key.IsEmpty() ? 0 : EmailRecord::SentPlies(match.record);
    // A game keeps the name it has; a peer that names no game plays on
    // under the name this side gave it.
    m_gameId = EmailRecord::GameId(turn.game);
    if (m_gameId.IsEmpty() && !match.key.IsEmpty())
        m_gameId = EmailRecord::GameId(match.record);
    if (m_gameId.IsEmpty())
        m_gameId = EmailRecord::NewGameId();
    return true;
}

bool CEmailGame::OpenTurn(EmailTurn::STurn& turn, CString& moveText, CString& why)
{
    why = "";
    if (!m_judged && !Judge(turn, why))
        return false;
    moveText = turn.move;
    const bool newest = EmailTurn::IsPlayedMove(turn.move);
    const int side = m_localColour;

    m_board.SetupStartPosition();
    LoadMoves(turn.game, !newest || turn.resign);
    StartPlayers(side);
    const char* opponentFrame = m_localColour == WHITE ? "Black" : "White";
    m_email->GetProperties().Merge(FrameOf(turn.game, opponentFrame));
    // The game's name travels on; the sender's draw-offer record does not:
    // ours is kept on our side.
    m_settings.GetValue("gameid") = m_gameId;
    m_inPlay = true;
    m_receivedPly = turn.plies;
    m_savedPly = turn.plies;
    m_newestMove = newest ? EmailTurn::SavedMove(turn.game, turn.plies - 1) : CString();
    m_newestTime = newest ? EmailTurn::SavedTime(turn.game, turn.plies - 1) : CString();

    CSendEmailDialog* dialog = m_email->GetDialog();
    dialog->SetOpponentMessage(turn.message);
    const int number = EmailTurn::AnswerNumber(newest ? turn.plies - 1 : turn.plies);
    CString subject;
    subject.AppendFormat("[Rookwell] Move %i", number);
    dialog->SetSendProfile(number == 1);
    dialog->ShowReply(false);
    dialog->SetAddressing(number, turn.from, subject);
    dialog->Show();
    dialog->Iconize(true);
    ShowOnBoard();
    KeepCopy(nullptr);
    // A copy kept before copies were named by game is now this one.
    if (!m_judgedKey.IsEmpty() && !Zorlin::KeysEqualNoCase(m_judgedKey, m_gameId))
        EmailRecord::Forget(GetAppServices().GetUserDrive(), m_judgedKey);

    if (turn.resign) {
        moveText = "";
        GetPrompt().ShowMessage("Opponent resigns", "Game Over", wxOK | wxICON_INFORMATION, FrameWindow());
        EndOnBoard(m_localColour == WHITE ? RESULT_WHITE_WINS : RESULT_BLACK_WINS, 1);
        ForgetCopy();
        return true;
    }
    if (turn.offerDraw) {
        if (GetPrompt().ShowMessage("Opponent offers a draw.\n\nAccept?", "Draw Offered",
                                    wxYES_NO | wxICON_QUESTION, FrameWindow()) == wxYES) {
            // The offer came with a move: it stands in the agreed game.
            if (newest) {
                m_board.SetupStartPosition();
                LoadMoves(turn.game, true);
                moveText = "";
                ShowOnBoard();
            }
            dialog->SetMove("Accept draw");
            EndOnBoard(RESULT_DRAW, 0);
        }
        return true;
    }
    if (EmailTurn::IsAcceptDraw(turn.move)) {
        GetPrompt().ShowMessage("Your opponent has accepted your draw offer.", "Game Over",
                                wxOK | wxICON_INFORMATION, nullptr);
        EndOnBoard(RESULT_DRAW, 0);
        ForgetCopy();
    }
    return true;
}

void CEmailGame::AssignSides(CConfig& saved)
{
    m_savedGame = true;
    const CString white = saved.GetValueOr(".White.ID", "");
    const CString black = saved.GetValueOr(".Black.ID", "");
    int side = EmailTurn::DecideLocalSide(white, black, OwnProfileId());
    StartPlayers(side < 0 ? WHITE : side);
    const char* opponentFrame = m_localColour == WHITE ? "Black" : "White";
    m_email->GetProperties().Merge(FrameOf(saved, opponentFrame));
    CutProfileTexts(m_email->GetProperties());
    CString id = m_email->GetProperty("ID");
    if (!EmailTurn::IsPlayerId(id))
        m_email->GetProperties().GetValue("ID") = "0";
    WritePlayerPictures();
    m_receivedPly = m_board.GetPly();
    m_inPlay = false;
}
