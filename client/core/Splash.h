#pragma once

#include "foundation/MemFile.h"

#include <wx/object.h>
#include <wx/weakref.h>
#include <wx/event.h>

#include <functional>

namespace Zorlin {
class CDrive;
class CFile;
}

class CMusicPlayer;

// A splash picture and its bump map, kept as bytes and decoded only when
// shown, in the embossed splash window that the view code makes.
class CSplash : public wxObject {
public:
    // Makes the embossed splash window over the three pictures and returns
    // it, or null when it cannot. The opener owns the music player it is
    // given (null when there is no jingle): the window deletes it when it
    // closes (resuming the background music then), and an opener that makes
    // no window deletes it at once.
    using WindowOpener = std::function<wxEvtHandler*(Zorlin::CFile& picture, Zorlin::CFile& bumpMap,
                                                     Zorlin::CFile& light, CMusicPlayer* music)>;
    static void SetWindowOpener(WindowOpener opener);

    CSplash();
    ~CSplash() override;

    // Copies both files of the drive into memory; false when either cannot
    // be read (the splash then stays empty).
    bool Load(Zorlin::CDrive& drive, const char* picture, const char* bumpMap);
    // The light picture the window needs besides the splash's own two.
    void SetLight(Zorlin::CFile* light) { m_light = light; }
    // Opens the window; with a track and preferences.music.enable on, the
    // background music pauses and the track plays on the jingle channel.
    // Nothing for an empty splash or without a window opener.
    bool Show(const char* musicTrack);

    bool IsEmpty() const { return m_picture.GetSize() == 0 || m_bumpMap.GetSize() == 0; }
    Zorlin::CMemFile& GetPicture() { return m_picture; }
    Zorlin::CMemFile& GetBumpMap() { return m_bumpMap; }
    // The window of the last Show while it is open, else null.
    wxEvtHandler* GetWindow() const { return m_window.get(); }

    // A track name made a full path on the program drive; absolute paths
    // are kept as they are.
    static Zorlin::CString ResolveTrack(const char* musicTrack);

private:
    static bool CopyInto(Zorlin::CDrive& drive, const char* path, Zorlin::CMemFile& out);

    Zorlin::CMemFile m_picture;
    Zorlin::CMemFile m_bumpMap;
    Zorlin::CFile* m_light;
    wxWeakRef<wxEvtHandler> m_window;

    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CSplash);
};
