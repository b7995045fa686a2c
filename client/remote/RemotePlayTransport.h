#pragma once

// The client's transport-file seam as remote play fills it: each kind of
// remote play hands in the one piece it owns.

#include "client/core/RemoteTransport.h"

class CRemotePlayTransport : public CRemoteTransport {
public:
    using TurnOpener = CGame* (*)(Zorlin::CArchiveDrive& turn, Zorlin::CString& moveText, bool& told);
    using JoinOpener = void (*)(wxWindow* parent, const Zorlin::CString& address);
    using ProfileInstaller = void (*)(Zorlin::CFile& profile);
    using SavedGameOpener = bool (*)(Zorlin::CConfig& saved);

    static CRemotePlayTransport& Get();

    void SetTurnOpener(TurnOpener opener) { m_turnOpener = opener; }
    void SetJoinOpener(JoinOpener opener) { m_joinOpener = opener; }
    void SetProfileInstaller(ProfileInstaller installer) { m_profileInstaller = installer; }
    void SetSavedGameOpener(SavedGameOpener opener) { m_savedGameOpener = opener; }

    bool HasAny() const { return m_turnOpener || m_joinOpener || m_profileInstaller || m_savedGameOpener; }

    CGame* OpenEmailTurn(Zorlin::CArchiveDrive& turn, Zorlin::CString& moveText, bool& told) override;
    void OpenJoinDialog(wxWindow* parent, const Zorlin::CString& address) override;
    void InstallOpponentProfile(Zorlin::CFile& profile) override;
    bool OpenSavedEmailGame(Zorlin::CConfig& saved) override;

private:
    TurnOpener m_turnOpener = nullptr;
    JoinOpener m_joinOpener = nullptr;
    ProfileInstaller m_profileInstaller = nullptr;
    SavedGameOpener m_savedGameOpener = nullptr;
};
