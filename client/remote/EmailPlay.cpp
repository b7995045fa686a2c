#include "client/remote/RemotePlay.h"

void InstallEmailPlay()
{
}
