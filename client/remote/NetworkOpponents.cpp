#include "client/remote/NetworkOpponents.h"

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ProfileArchive.h"
#include "client/remote/OpponentList.h"
#include "client/remote/OpponentStore.h"
#include "foundation/BufferFile.h"
#include "foundation/Config.h"
#include "foundation/NameText.h"

using Zorlin::CString;

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
    // Declined, the id still names the peer; it is simply not in the list.
    return AskToStoreOpponentProfile(file, id) != EProfileAnswer::kRefused;
}

bool FindNetworkOpponent(const CString& id, CString& name, CString& email)
{
    if (!IsProfileId(id))
        return false;
    COpponentProfile* stored = GetOpponentList().Find(id);
    if (!stored || !stored->Load())
        return false;
    // Stored by an older version, a name may be any length.
    name = Zorlin::CutCharacters(stored->m_profile.GetValueOr("profile.name", ""), kMaxProfileName);
    email = stored->m_profile.GetValueOr("profile.email", "");
    return true;
}
