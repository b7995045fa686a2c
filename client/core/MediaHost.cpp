#include "client/core/MediaHost.h"

namespace {

IMediaHost* g_host = nullptr;

} // namespace

IMediaHost* GetMediaHost()
{
    return g_host;
}

void SetMediaHost(IMediaHost* host)
{
    g_host = host;
}
