#include "client/core/LocalPlayer.h"

#include "client/core/AppServices.h"
#include "foundation/Drive.h"
#include "foundation/File.h"

wxIMPLEMENT_DYNAMIC_CLASS(CLocalPlayer, CPlayer);

using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CFile;

CLocalPlayer::CLocalPlayer()
{
    const CConfig& user = GetAppServices().GetUserSettings();
    m_properties.GetValue("name") = user.GetValueOr("profile.name", "");
    m_properties.GetValue("link") = Zorlin::CString("mailto:") + user.GetValueOr("profile.email", "");
    m_properties.GetValue("type") = "CLocalPlayer";
    m_properties.GetValue("id") = user.GetValueOr("profile.id", "");
}

void CLocalPlayer::StartGame(CChessBoard*, int colour)
{
    m_colour = colour;
}

bool CLocalPlayer::IsLocal()
{
    return true;
}

void CLocalPlayer::GetPhoto(CAutoPointer<CFile>& out)
{
    out = GetAppServices().GetUserDrive().OpenFile("/photo.bmp", CFile::kModeRead);
    if (!out || !out->IsOpen())
        OpenDefaultPhoto(out);
}
