#include "client/core/Splash.h"

#include "client/core/MediaHost.h"
#include "client/core/MusicPlayer.h"
#include "client/core/Sound.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/URL.h"

using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

wxIMPLEMENT_DYNAMIC_CLASS(CSplash, wxObject);

namespace {

CSplash::WindowOpener& Opener()
{
    static CSplash::WindowOpener opener;
    return opener;
}

bool IsMusicEnabled()
{
    IMediaHost* host = GetMediaHost();
    Zorlin::CConfig* settings = host ? host->GetUserSettings() : nullptr;
    return settings && Zorlin::CConfig::IsTrue(settings->GetValueOr(".preferences.music.enable", ""));
}

} // namespace

void CSplash::SetWindowOpener(WindowOpener opener)
{
    Opener() = std::move(opener);
}

CSplash::CSplash() : m_picture(1024), m_bumpMap(1024), m_light(nullptr)
{
    m_picture.Open("picture", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    m_bumpMap.Open("bump map", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
}

CSplash::~CSplash()
{
    // An embossed window still open at exit goes with its splash.
    if (wxEvtHandler* window = m_window.get())
        delete window;
}

bool CSplash::CopyInto(Zorlin::CDrive& drive, const char* path, CMemFile& out)
{
    out.Close();
    out.Open(path, CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    Zorlin::CAutoPointer<CFile> file = drive.OpenFile(CURL(path), CFile::kModeRead);
    bool copied = file.Get() && file->IsOpen() && !file->IsNull() && out.CopyFrom(*file);
    if (!copied) {
        out.Close();
        out.Open(path, CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    }
    out.Seek(0, CFile::kSeekStart);
    return copied;
}

bool CSplash::Load(Zorlin::CDrive& drive, const char* picture, const char* bumpMap)
{
    bool pictureCopied = CopyInto(drive, picture, m_picture);
    bool bumpCopied = CopyInto(drive, bumpMap, m_bumpMap);
    return pictureCopied && bumpCopied;
}

CString CSplash::ResolveTrack(const char* musicTrack)
{
    CString track(musicTrack);
    if (track.IsEmpty() || track[0] == '/')
        return track;
    IMediaHost* host = GetMediaHost();
    Zorlin::CDiskDrive* drive = host ? host->GetProgramDrive() : nullptr;
    if (!drive)
        return track;
    CURL full("/");
    drive->GetFullPath(full, musicTrack);
    return full;
}

bool CSplash::Show(const char* musicTrack)
{
    if (IsEmpty() || !Opener())
        return false;
    CMemFile emptyLight(1024);
    emptyLight.Open("light", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    CFile& light = m_light ? *m_light : emptyLight;
    m_picture.Seek(0, CFile::kSeekStart);
    m_bumpMap.Seek(0, CFile::kSeekStart);
    light.Seek(0, CFile::kSeekStart);

    CMusicPlayer* jingle = nullptr;
    if (musicTrack && *musicTrack && IsMusicEnabled()) {
        jingle = new CMusicPlayer();
        jingle->Add(ResolveTrack(musicTrack));
    }
    wxEvtHandler* window = Opener()(m_picture, m_bumpMap, light, jingle);
    if (!window)
        return false;
    m_window = window;
    if (jingle) {
        if (CMusicPlayer* background = GetMediaHost()->GetMusicPlayer())
            background->Pause();
        jingle->Play(kJingleChannel, false);
    }
    return true;
}
