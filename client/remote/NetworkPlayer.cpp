#include "client/remote/OpponentStore.h"
#include "client/remote/NetworkPlayer.h"

#include <wx/defs.h>

#include "chess/ChessBoard.h"
#include "client/core/AppServices.h"
#include "client/core/Console.h"
#include "client/core/FrameView.h"
#include "client/core/Prompt.h"
#include "client/remote/NetworkGame.h"
#include "client/remote/NetworkOpponents.h"
#include "client/remote/OpponentList.h"
#include "foundation/NameText.h"

using Zorlin::CString;

wxIMPLEMENT_DYNAMIC_CLASS(CNetworkPlayer, CPlayer);

CNetworkPlayer::CNetworkPlayer()
    : m_moveReady(false), m_console(GetAppServices().CreateConsole("Network Player - Console"))
{
}

CNetworkPlayer::~CNetworkPlayer() = default;

void CNetworkPlayer::Log(const CString& text)
{
    if (m_console)
        m_console->PrintString(Zorlin::EscapeForLog(text) + "\n");
}

CNetworkGame* CNetworkPlayer::GetNetworkGame() const
{
    return dynamic_cast<CNetworkGame*>(m_game);
}

void CNetworkPlayer::Poll()
{
    // The board asks for a move right after this: read what has arrived.
    if (CNetworkGame* game = GetNetworkGame())
        game->Pump();
}

void CNetworkPlayer::StartGame(CChessBoard*, int colour)
{
    m_colour = colour;
}

bool CNetworkPlayer::GetMove(CMove& out)
{
    if (!m_moveReady)
        return false;
    out = m_pending;
    ClearReadyMove();
    return true;
}

void CNetworkPlayer::SetReadyMove(const CMove& move)
{
    m_pending = move;
    m_moveReady = true;
    Log(CString("Received move ") + move.m_text);
}

void CNetworkPlayer::ClearReadyMove()
{
    m_pending = CMove();
    m_moveReady = false;
}

bool CNetworkPlayer::OpponentMoved(const CMove& move)
{
    ClearReadyMove();
    CNetworkGame* game = GetNetworkGame();
    if (!game)
        return false;
    CString san;
    CMove copy = move;
    game->GetBoard().MakeSan(copy, san);
    Log(CString("Sent move ") + san);
    game->SendMove(san);
    return true;
}

bool CNetworkPlayer::RequestTakeBack(int moveNumber)
{
    CNetworkGame* game = GetNetworkGame();
    if (!game)
        return false;
    CString line;
    line.AppendFormat("Asked to take back to %i half-moves", moveNumber);
    Log(line);
    game->SendTakeBackRequest(moveNumber);
    CFrameView* frame = CGame::GetFrame();
    GetPrompt().ShowMessage("Request has been sent to opponent.", "Take back", wxOK, frame ? frame->GetWindow() : nullptr);
    return true;
}

void CNetworkPlayer::Resign()
{
    Log("Resigned");
    if (CNetworkGame* game = GetNetworkGame())
        game->SendResign();
}

bool CNetworkPlayer::OfferDraw()
{
    Log("Offered a draw");
    if (CNetworkGame* game = GetNetworkGame())
        game->SendDrawOffer();
    return true;
}

void CNetworkPlayer::GetPhoto(Zorlin::CAutoPointer<Zorlin::CFile>& out)
{
    const CString id = GetProperty("id");
    COpponentProfile* stored = id.IsEmpty() ? nullptr : GetOpponentList().Find(id);
    if (stored)
        stored->OpenPhoto(out);
    else
        OpenDefaultPhoto(out);
}
