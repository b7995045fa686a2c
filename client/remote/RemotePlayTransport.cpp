#include "client/remote/RemotePlayTransport.h"

CRemotePlayTransport& CRemotePlayTransport::Get()
{
    static CRemotePlayTransport transport;
    return transport;
}

CGame* CRemotePlayTransport::OpenEmailTurn(Zorlin::CArchiveDrive& turn, Zorlin::CString& moveText, bool& told)
{
    told = false;
    return m_turnOpener ? m_turnOpener(turn, moveText, told) : nullptr;
}

void CRemotePlayTransport::OpenJoinDialog(wxWindow* parent, const Zorlin::CString& address)
{
    if (m_joinOpener)
        m_joinOpener(parent, address);
}

void CRemotePlayTransport::InstallOpponentProfile(Zorlin::CFile& profile)
{
    if (m_profileInstaller)
        m_profileInstaller(profile);
}

bool CRemotePlayTransport::OpenSavedEmailGame(Zorlin::CConfig& saved)
{
    return m_savedGameOpener && m_savedGameOpener(saved);
}
