#include "client/core/MediaSet.h"

#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/URL.h"

using Zorlin::CAutoDirectory;
using Zorlin::CAutoPointer;
using Zorlin::CFile;
using Zorlin::CURL;

const char* const CMediaSet::kEffectFiles[kEffectCount] = {
    "chat.sfx", "spray.sfx", "popup.sfx", "foundopponent.sfx", "gong.sfx", "tiktok.sfx", "alert.sfx",
};

namespace {

struct SSplashFiles {
    const char* picture;
    const char* bumpMap;
};

// In the order of ESplash.
const SSplashFiles kSplashFiles[CMediaSet::kSplashCount] = {
    {"title.jpg", "title-bump.png"},
    {"matewhite.jpg", "matewhite-bump.png"},
    {"mateblack.jpg", "mateblack-bump.png"},
    {"stale.jpg", "stale-bump.png"},
};

void LoadSplashes(Zorlin::CDrive& drive, CSplash* splashes, Zorlin::CMemFile& light)
{
    CAutoDirectory folder(drive, "/assets/images/splash");
    if (!folder)
        return;
    CAutoPointer<CFile> file = drive.OpenFile(CURL("light.png"), CFile::kModeRead);
    light.Close();
    light.Open("light.png", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (file.Get() && file->IsOpen() && !file->IsNull())
        light.CopyFrom(*file);
    light.Seek(0, CFile::kSeekStart);
    for (int i = 0; i < CMediaSet::kSplashCount; ++i)
        splashes[i].Load(drive, kSplashFiles[i].picture, kSplashFiles[i].bumpMap);
}

void LoadEffects(Zorlin::CDrive& drive, CSoundSample* effects)
{
    CAutoDirectory folder(drive, "/assets/sounds");
    if (!folder)
        return;
    for (int i = 0; i < CMediaSet::kEffectCount; ++i) {
        CAutoPointer<CFile> file = drive.OpenFile(CURL(CMediaSet::kEffectFiles[i]), CFile::kModeRead);
        if (file.Get() && file->IsOpen())
            effects[i].Load(*file);
    }
}

} // namespace

CMediaSet::CMediaSet() : m_loaded(false), m_light(1024)
{
    m_light.Open("light.png", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    for (CSplash& splash : m_splashes)
        splash.SetLight(&m_light);
}

void CMediaSet::Load(Zorlin::CDrive& programDrive)
{
    if (m_loaded)
        return;
    m_loaded = true;
    LoadSplashes(programDrive, m_splashes, m_light);
    LoadEffects(programDrive, m_effects);
    CAutoPointer<CFile> photo = programDrive.OpenFile(CURL("/assets/images/misc/nophoto.bmp"), CFile::kModeRead);
    if (photo.Get() && photo->IsOpen() && !photo->IsNull())
        m_noPhoto.Load(*photo);
}
