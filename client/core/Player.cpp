#include "client/core/Player.h"

#include "client/core/AppServices.h"
#include "foundation/Drive.h"
#include "foundation/File.h"

wxIMPLEMENT_DYNAMIC_CLASS(CPlayer, wxEvtHandler);

using Zorlin::CAutoPointer;
using Zorlin::CFile;

CPlayer::CPlayer() : m_colour(COLOUR_NONE), m_game(nullptr)
{
    m_properties.GetValue("ID") = "0";
    m_properties.GetValue("Type") = "Dummy";
}

CPlayer::~CPlayer() = default;

void CPlayer::Destroy()
{
    delete this;
}

void CPlayer::Poll() {}
void CPlayer::StartGame(CChessBoard*, int) {}
bool CPlayer::HasMove() { return false; }
bool CPlayer::GetMove(CMove&) { return false; }
bool CPlayer::OpponentMoved(const CMove&) { return false; }
bool CPlayer::RequestTakeBack(int) { return false; }
void CPlayer::TakeBackTo(int) {}
void CPlayer::SetPosition(const CChessBoard&) {}
void CPlayer::Resign() {}
bool CPlayer::OfferDraw() { return false; }
bool CPlayer::IsLocal() { return false; }
bool CPlayer::IsAtRest() { return false; }
bool CPlayer::WakesOnOutput() { return false; }
bool CPlayer::IsReadingBehind() { return false; }
void CPlayer::GameOver() {}
void CPlayer::SetMoveTime(double) {}

void CPlayer::GetPhoto(CAutoPointer<CFile>& out)
{
    OpenDefaultPhoto(out);
}

void CPlayer::OpenDefaultPhoto(CAutoPointer<CFile>& out)
{
    out = GetAppServices().GetProgramDrive().OpenFile("/assets/images/misc/nophoto.bmp", CFile::kModeRead);
}
