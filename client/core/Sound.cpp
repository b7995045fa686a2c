#include "client/core/Sound.h"

#include "foundation/Config.h"
#include "platform/SoundBackEnd.h"

#include <cstdlib>

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

bool g_soundReady = false;

} // namespace

bool InitSound()
{
    if (g_soundReady)
        return false;
    CSoundBackEnd& backEnd = GetSoundBackEnd();
    if (!backEnd.Init(44100, kSoundChannelCount))
        return false;
    backEnd.SetMasterVolume(CSoundBackEnd::kMaxVolume);
    g_soundReady = true;
    return true;
}

void CloseSound()
{
    if (!g_soundReady)
        return;
    GetSoundBackEnd().Close();
    // Samples and players freed after this must not reach a closed device.
    g_soundReady = false;
}

void UpdateSound()
{
    if (g_soundReady)
        GetSoundBackEnd().Update();
}

bool IsSoundActive()
{
    return g_soundReady && GetSoundBackEnd().IsActive();
}

void SetChannelVolume(int channel, int volume)
{
    if (g_soundReady)
        GetSoundBackEnd().SetVolume(channel, volume);
}

bool IsSoundReady()
{
    return g_soundReady;
}

void MarkSoundNotReady()
{
    g_soundReady = false;
}

int GetMusicVolume(const CConfig& userSettings)
{
    CString text = userSettings.GetValueOr(".preferences.music.volume", "");
    return std::atoi(text.GetText());
}

ESoundStart StartSound(const CConfig& userSettings)
{
    if (CConfig::IsTrue(userSettings.GetValueOr(".preferences.sound.mute", "")))
        return ESoundStart::kMuted;
    if (!InitSound())
        return ESoundStart::kFailed;
    int volume = GetMusicVolume(userSettings);
    SetChannelVolume(kMusicChannel, volume);
    SetChannelVolume(kJingleChannel, volume);
    return ESoundStart::kStarted;
}

int LowestSetBit(unsigned n)
{
    if (n == 0)
        return 0;
    return __builtin_ctz(n);
}
