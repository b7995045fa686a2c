#pragma once

#include "foundation/Array.h"
#include "foundation/String.h"

namespace Zorlin {
class CDrive;
}

// A playlist played track after track as streams on one channel. The sound
// library tells of a track's end on the GUI thread (UpdateSound), which
// starts the next one; after the last track it starts again from the first
// only when looping, otherwise the player goes idle.
class CMusicPlayer {
public:
    CMusicPlayer();
    ~CMusicPlayer();
    CMusicPlayer(const CMusicPlayer&) = delete;
    CMusicPlayer& operator=(const CMusicPlayer&) = delete;

    void Add(const Zorlin::CString& path);
    // Opens the current track, skipping those that do not open, and starts
    // it; false when sound is off, the playlist is empty or no track opens.
    bool Play(int channel, bool paused);
    void Pause();
    void Resume();

    void SetLoop(bool loop) { m_loop = loop; }
    bool GetLoop() const { return m_loop; }
    bool HasStream() const { return m_stream != 0; }
    int GetIndex() const { return m_index; }
    int GetChannel() const { return m_channel; }
    int GetTrackCount() const { return m_playlist.GetCount(); }

private:
    bool Start(int channel, bool paused, bool wrap);
    static void OnStreamEnd(unsigned stream, void* user);
    void OnEnd(unsigned stream);
    void CloseStream();
    void ApplyVolume();

    Zorlin::CArray<Zorlin::CString> m_playlist;
    int m_index;
    bool m_loop;
    bool m_stopping;
    unsigned m_stream;
    int m_channel;
};

// The background playlist: every entry of the folder "/music" of the
// program drive, in the drive's order, as a full disk path. Sub-folders are
// left out, since no track can open from one.
void LoadMusicFolder(Zorlin::CDrive& programDrive, CMusicPlayer& player);
