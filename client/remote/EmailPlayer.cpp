#include "client/remote/EmailPlayer.h"

#include <wx/defs.h>

#include "chess/ChessBoard.h"
#include "chess/Move.h"
#include "client/core/ChessView.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/Prompt.h"
#include "client/dialogs/SendEmailDialog.h"
#include "client/remote/EmailGame.h"
#include "client/remote/OpponentList.h"
#include "client/remote/OpponentStore.h"
#include "foundation/File.h"

using Zorlin::CAutoPointer;
using Zorlin::CFile;
using Zorlin::CString;

CEmailPlayer::CEmailPlayer() : m_dialog(new CSendEmailDialog(this))
{
    m_properties.GetValue("type") = "CEmailPlayer";
}

CEmailPlayer::~CEmailPlayer()
{
    if (m_dialog) {
        // A send in progress still runs on the window: it learns that the
        // player is gone and the toolkit frees the window when idle.
        m_dialog->Detach();
        m_dialog->Destroy();
        m_dialog = nullptr;
    }
}

void CEmailPlayer::Destroy()
{
    delete this;
}

void CEmailPlayer::StartGame(CChessBoard*, int colour)
{
    m_colour = colour;
}

bool CEmailPlayer::OpponentMoved(const CMove& move)
{
    m_dialog->SetMove(move.m_text);
    m_dialog->Restore();
    // An unsent move is kept too: a turn that arrives meanwhile is held
    // against what the user has received and sent, and the user's board is
    // not lost with the program.
    if (CEmailGame* game = dynamic_cast<CEmailGame*>(m_game))
        game->KeepCopy(&move);
    return false;
}

bool CEmailPlayer::RequestTakeBack(int)
{
    CEmailGame* game = dynamic_cast<CEmailGame*>(m_game);
    if (!game)
        return false;
    CChessBoard& board = game->GetBoard();
    const CString refusal = EmailTurn::TakeBackRefusal(board.GetPly(), game->GetReceivedPly(),
                                                       game->GetLocalColour(), board.GetSideToMove(),
                                                       m_dialog->GetMove());
    if (!refusal.IsEmpty()) {
        GetPrompt().ShowMessage(refusal, "Take back", wxOK, nullptr);
        return false;
    }
    if (m_dialog->IsSent() &&
        GetPrompt().ShowMessage("Email allready sent.\n\nAre you sure you wish to take your move back?", "Take back",
                                wxYES_NO, nullptr) != wxYES)
        return false;
    // The question let events run: the game may have changed since.
    if (CGame::GetChessView() && CGame::GetChessView()->GetGame() != game)
        return false;
    // Taking back an acceptance leaves every move where it is.
    if (!EmailTurn::IsAcceptDraw(m_dialog->GetMove()))
        game->TakeBackTo(board.GetPly() - 1);
    if (CChessView* view = CGame::GetChessView())
        view->SyncScene();
    m_dialog->SetMove("");
    m_dialog->SetResign(false);
    m_dialog->SetOfferDraw(false);
    game->SetInPlay(true);
    game->SetResult(RESULT_NONE);
    if (CFrameView* frame = CGame::GetFrame())
        frame->RefreshFromGame();
    return true;
}

void CEmailPlayer::Resign()
{
    m_dialog->SetResign(true);
    m_dialog->Restore();
}

void CEmailPlayer::OfferDrawFromUser()
{
    m_dialog->SetOfferDraw(true);
    m_dialog->Restore();
}

void CEmailPlayer::GetPhoto(CAutoPointer<CFile>& out)
{
    CString id = GetProperty("ID");
    id.Trim();
    if (!id.IsEmpty() && id != "0") {
        if (COpponentProfile* profile = GetOpponentList().Find(id)) {
            profile->OpenPhoto(out);
            if (out && out->IsOpen())
                return;
        }
    }
    OpenDefaultPhoto(out);
}
