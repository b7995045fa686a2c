#pragma once

#include "client/core/MediaHost.h"
#include "client/core/MusicPlayer.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"

#include <memory>
#include <string>

// The application as the sound, media and download code sees it: a user
// settings store, a program drive over a folder, a background music player.
class CFakeMediaHost : public IMediaHost {
public:
    explicit CFakeMediaHost(const std::string& programFolder = std::string())
    {
        if (!programFolder.empty())
            drive = std::make_unique<Zorlin::CDiskDrive>(programFolder.c_str());
        SetMediaHost(this);
    }
    ~CFakeMediaHost() override
    {
        music.reset();
        SetMediaHost(nullptr);
    }

    Zorlin::CConfig* GetUserSettings() override { return &settings; }
    Zorlin::CDiskDrive* GetProgramDrive() override { return drive.get(); }
    CMusicPlayer* GetMusicPlayer() override
    {
        if (!music)
            music = std::make_unique<CMusicPlayer>();
        return music.get();
    }

    void Set(const char* key, const char* value) { settings.GetValue(key) = value; }

    Zorlin::CConfig settings;
    std::unique_ptr<Zorlin::CDiskDrive> drive;
    std::unique_ptr<CMusicPlayer> music;
};
