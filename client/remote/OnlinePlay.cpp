#include "client/remote/RemotePlay.h"

void InstallOnlinePlay()
{
}
