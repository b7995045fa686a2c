#include "client/remote/GridmoorPlayer.h"

#include "client/core/Prompt.h"
#include "client/remote/GridmoorGame.h"
#include "foundation/MemFile.h"

using Zorlin::CAutoPointer;
using Zorlin::CFile;
using Zorlin::CString;

CGridmoorPlayer::CGridmoorPlayer(CGridmoorGame* game) : m_owner(game), m_moveReady(false), m_opponentId(0)
{
    m_properties.GetValue("type") = "CGridmoorPlayer";
}

void CGridmoorPlayer::StartGame(CChessBoard*, int colour)
{
    m_colour = colour;
    m_moveReady = false;
}

bool CGridmoorPlayer::HasMove()
{
    return m_moveReady;
}

bool CGridmoorPlayer::GetMove(CMove& out)
{
    out = m_move;
    m_moveReady = false;
    return true;
}

void CGridmoorPlayer::ReceiveMove(const CMove& move)
{
    m_move = move;
    m_moveReady = true;
    if (m_owner && m_owner->IsTimed())
        m_owner->GetUi().PlaySound(CGridmoorGameUi::kTickSound);
}

bool CGridmoorPlayer::OpponentMoved(const CMove& move)
{
    if (!m_owner)
        return true;
    m_owner->GetUi().CloseRequests();
    m_owner->GetUi().DismissAll();
    m_owner->SendForward(chpktMove, GameMessage::MoveBody(move.m_text, m_owner->IsTimed(), m_owner->GetLastElapsed()));
    return true;
}

bool CGridmoorPlayer::RequestTakeBack(int ply)
{
    if (!m_owner || !m_owner->CheckOpponent() || !m_owner->CheckInterval())
        return true;
    CString body;
    body.Append(ply);
    m_owner->SendForward(chpktRequestTakeback, GameMessage::LineBody(body));
    m_owner->GetMessages().NoteTakebackRequest(ply);
    m_owner->GetUi().ForgetRequest(CGridmoorGameUi::kTakeback);
    m_owner->GetUi().ShowMessage("Request Take-back", "Request has been sent to your opponent.");
    m_owner->NoteRequest();
    return true;
}

void CGridmoorPlayer::Resign()
{
    if (!m_owner)
        return;
    m_owner->GetUi().CloseRequests();
    m_owner->SendForward(chpktResign, GameMessage::LineBody(""));
    m_owner->GetUi().ShowMessage("Resign", "Your opponent has been notified that you have resigned.");
}

bool CGridmoorPlayer::OfferDraw()
{
    if (!m_owner || !m_owner->CheckInterval())
        return true;
    m_owner->SendForward(chpktRequestDraw);
    m_owner->GetMessages().NoteDrawOffer();
    m_owner->GetUi().ShowMessage("Offer Draw", "Your opponent has been sent a draw offer.");
    m_owner->NoteRequest();
    return true;
}

void CGridmoorPlayer::GetPhoto(CAutoPointer<CFile>& out)
{
    if (!m_owner || m_owner->GetOpponentPhoto().GetSize() <= 0) {
        OpenDefaultPhoto(out);
        return;
    }
    Zorlin::CMemFile* file = new Zorlin::CMemFile();
    file->Open("photo.bmp", CFile::kModeWrite | CFile::kModeRead);
    file->Write(m_owner->GetOpponentPhoto());
    file->Seek(0, CFile::kSeekStart);
    out.Reset(file);
}
