#include "client/remote/RemotePlay.h"

#include "client/remote/RemotePlayTransport.h"

void InstallRemotePlay()
{
    InstallEmailPlay();
    InstallNetworkPlay();
    InstallOnlinePlay();
    // Until some kind hands in its piece, opening its files says it is not there.
    if (CRemotePlayTransport::Get().HasAny())
        SetRemoteTransport(&CRemotePlayTransport::Get());
}
