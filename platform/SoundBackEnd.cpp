#include "platform/SoundBackEnd.h"

#include "platform/SdlSoundBackEnd.h"

namespace {

CSoundBackEnd* g_backEnd = nullptr;

} // namespace

CSoundBackEnd& GetSoundBackEnd()
{
    if (g_backEnd)
        return *g_backEnd;
    static CSdlSoundBackEnd sdl;
    return sdl;
}

void SetSoundBackEnd(CSoundBackEnd* backEnd)
{
    g_backEnd = backEnd;
}
