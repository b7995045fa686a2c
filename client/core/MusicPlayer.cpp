#include "client/core/MusicPlayer.h"

#include "client/core/MediaHost.h"
#include "client/core/Sound.h"
#include "foundation/AutoDirectory.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "platform/SoundBackEnd.h"

using Zorlin::CArray;
using Zorlin::CString;
using Zorlin::CURL;

CMusicPlayer::CMusicPlayer()
    : m_playlist(0, 10), m_index(0), m_loop(false), m_stopping(false), m_stream(0), m_channel(kMusicChannel)
{
}

CMusicPlayer::~CMusicPlayer()
{
    m_stopping = true;
    CloseStream();
}

void CMusicPlayer::Add(const CString& path)
{
    m_playlist.Add(path);
}

void CMusicPlayer::CloseStream()
{
    if (m_stream != 0 && IsSoundReady()) {
        CSoundBackEnd& backEnd = GetSoundBackEnd();
        backEnd.StopStream(m_stream);
        backEnd.CloseStream(m_stream);
    }
    m_stream = 0;
}

bool CMusicPlayer::Play(int channel, bool paused)
{
    return Start(channel, paused, true);
}

bool CMusicPlayer::Start(int channel, bool paused, bool wrap)
{
    if (!IsSoundReady())
        return false;
    m_channel = channel;
    int count = m_playlist.GetCount();
    if (count == 0)
        return false;
    CSoundBackEnd& backEnd = GetSoundBackEnd();
    m_stopping = true;
    CloseStream();
    m_stopping = false;
    // Each track is tried once at most, starting with the current one;
    // without wrapping the search stops at the end of the playlist.
    int start = ((m_index % count) + count) % count;
    int tries = wrap ? count : count - start;
    for (int tried = 0; tried < tries && m_stream == 0; ++tried) {
        m_index = (start + tried) % count;
        m_stream = backEnd.OpenStream(m_playlist.GetAt(m_index)->GetText());
    }
    if (m_stream == 0) {
        m_index = wrap ? start : 0;
        return false;
    }
    if (!backEnd.SetStreamEndCallback(m_stream, &CMusicPlayer::OnStreamEnd, this)) {
        CloseStream();
        return false;
    }
    if (backEnd.PlayStream(channel, m_stream, paused) < 0) {
        CloseStream();
        return false;
    }
    ApplyVolume();
    return true;
}

void CMusicPlayer::ApplyVolume()
{
    Zorlin::CConfig* settings = GetMediaHost() ? GetMediaHost()->GetUserSettings() : nullptr;
    int volume = settings ? GetMusicVolume(*settings) : 0;
    SetChannelVolume(kMusicChannel, volume);
    SetChannelVolume(kJingleChannel, volume);
}

void CMusicPlayer::Pause()
{
    if (IsSoundReady())
        GetSoundBackEnd().SetPaused(m_channel, true);
}

void CMusicPlayer::Resume()
{
    if (IsSoundReady())
        GetSoundBackEnd().SetPaused(m_channel, false);
}

void CMusicPlayer::OnStreamEnd(unsigned stream, void* user)
{
    static_cast<CMusicPlayer*>(user)->OnEnd(stream);
}

void CMusicPlayer::OnEnd(unsigned stream)
{
    if (m_stopping || m_stream == 0 || stream != m_stream)
        return;
    int count = m_playlist.GetCount();
    m_index = count > 0 ? (m_index + 1) % count : 0;
    if (m_index == 0 && !m_loop) {
        CloseStream(); // the playlist has ended: idle
        return;
    }
    Start(m_channel, false, m_loop);
}

void LoadMusicFolder(Zorlin::CDrive& programDrive, CMusicPlayer& player)
{
    Zorlin::CAutoDirectory music(programDrive, "/music");
    if (!music)
        return;
    CArray<CString> names;
    if (!programDrive.ListDirectory(names, false))
        return;
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        if (programDrive.IsDirectory(CURL(name)))
            continue;
        CURL path;
        programDrive.GetFullPath(path, name.GetText());
        player.Add(path);
    }
}
