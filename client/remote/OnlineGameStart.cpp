#include "client/remote/OnlineGameStart.h"

namespace {
OnlineGameMaker g_maker = nullptr;
}

void SetOnlineGameMaker(OnlineGameMaker maker)
{
    g_maker = maker;
}

OnlineGameMaker GetOnlineGameMaker()
{
    return g_maker;
}
