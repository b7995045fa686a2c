#include "client/remote/NetworkOpponents.h"

#include <memory>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ProfileArchive.h"
#include "client/remote/OpponentList.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"

using Zorlin::CString;

COpponentList& GetNetworkOpponentList()
{
    Zorlin::CDrive& drive = GetAppServices().GetUserDrive();
    if (CChessApp* app = GetChessApp()) {
        if (!app->m_opponentList) {
            app->m_opponentList = new COpponentList(drive);
            app->m_opponentList->Load();
        }
        return *app->m_opponentList;
    }
    // Programs without the application (tests): one list per user folder.
    static std::unique_ptr<COpponentList> own;
    static Zorlin::CDrive* ownDrive = nullptr;
    if (!own || ownDrive != &drive) {
        own.reset(new COpponentList(drive));
        ownDrive = &drive;
        own->Load();
    }
    return *own;
}

bool WriteNetworkProfile(Zorlin::CFile& out)
{
    Zorlin::CConfig& user = GetAppServices().GetUserSettings();
    const bool privateEmail = Zorlin::CConfig::IsTrue(user.GetValueOr("profile.KeepEmailPrivate", ""));
    const CString address = ChooseProfileAddress(ListMachineAddresses());
    return WriteProfileArchive(out, user, GetAppServices().GetUserDrive(), !privateEmail, true, address);
}

bool StoreNetworkOpponent(const Zorlin::CBuffer& archive, CString& id)
{
    Zorlin::CBuffer copy = archive;
    Zorlin::CBufferFile file(&copy);
    COpponentProfile* stored = GetNetworkOpponentList().Install(file);
    if (!stored)
        return false;
    id = stored->GetId();
    return true;
}

bool FindNetworkOpponent(const CString& id, CString& name, CString& email)
{
    if (!IsProfileId(id))
        return false;
    COpponentProfile* stored = GetNetworkOpponentList().Find(id);
    if (!stored || !stored->Load())
        return false;
    name = stored->m_profile.GetValueOr("profile.name", "");
    email = stored->m_profile.GetValueOr("profile.email", "");
    return true;
}
