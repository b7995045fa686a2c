#pragma once

#include "client/core/SoundSample.h"
#include "client/core/Splash.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"

namespace Zorlin {
class CDrive;
}

// The pictures and sound effects the client loads once on first use: the
// four embossed splash pictures, the light they are lit with, the picture
// shown for a player without a photo, and the seven effects. A file that is
// missing leaves its picture or sample empty, which shows or plays nothing.
class CMediaSet {
public:
    enum ESplash { kTitle, kWhiteMates, kBlackMates, kStalemate, kSplashCount };
    enum EEffect { kChat, kSpray, kPopup, kFoundOpponent, kGong, kTikTok, kAlert, kEffectCount };

    // Names under "/assets/sounds/", in the order of EEffect.
    static const char* const kEffectFiles[kEffectCount];

    CMediaSet();
    CMediaSet(const CMediaSet&) = delete;
    CMediaSet& operator=(const CMediaSet&) = delete;

    bool IsLoaded() const { return m_loaded; }
    // Once: the loaded flag is set first, so a second call does nothing.
    void Load(Zorlin::CDrive& programDrive);

    CSplash& GetSplash(ESplash which) { return m_splashes[which]; }
    CSoundSample& GetEffect(EEffect which) { return m_effects[which]; }
    // Plays an effect; -1 when nothing plays.
    int PlayEffect(EEffect which, int channel = 0) { return m_effects[which].Play(channel); }
    Zorlin::CMemFile& GetLight() { return m_light; }
    Zorlin::CImage& GetNoPhoto() { return m_noPhoto; }

private:
    bool m_loaded;
    CSplash m_splashes[kSplashCount];
    Zorlin::CMemFile m_light;
    Zorlin::CImage m_noPhoto;
    CSoundSample m_effects[kEffectCount];
};
