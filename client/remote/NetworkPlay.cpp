#include "client/remote/RemotePlay.h"

void InstallNetworkPlay()
{
}
