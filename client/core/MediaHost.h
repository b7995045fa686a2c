#pragma once

namespace Zorlin {
class CConfig;
class CDiskDrive;
}

class CMusicPlayer;

// What the sound, voice, media and download code needs of the application
// object. The application installs itself at start-up; without a host
// (tests, an early failure) these parts use their empty defaults.
class IMediaHost {
public:
    virtual ~IMediaHost() = default;
    // Null until start-up has read them.
    virtual Zorlin::CConfig* GetUserSettings() = 0;
    virtual Zorlin::CDiskDrive* GetProgramDrive() = 0;
    // The background music player, made on first use.
    virtual CMusicPlayer* GetMusicPlayer() = 0;
};

IMediaHost* GetMediaHost();
void SetMediaHost(IMediaHost* host);
