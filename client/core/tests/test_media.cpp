// The media set and the splash pictures from the committed program-folder
// content, and the background playlist from its music folder.
#include "client/core/MediaSet.h"
#include "client/core/MusicPlayer.h"
#include "client/core/SampleBoardSound.h"
#include "client/core/Sound.h"
#include "client/core/tests/support/FakeMediaHost.h"
#include "client/core/tests/support/FakeSoundBackEnd.h"
#include "foundation/DiskDrive.h"

#include <gtest/gtest.h>
#include <wx/frame.h>
#include <wx/init.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(ROOKWELL_SOURCE) + "/data";

class MediaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSoundBackEnd(&m_fake);
        ASSERT_TRUE(InitSound());
    }
    void TearDown() override
    {
        CSplash::SetWindowOpener(nullptr);
        CloseSound();
        SetSoundBackEnd(nullptr);
    }
    CFakeSoundBackEnd m_fake;
};

TEST_F(MediaTest, LoadsEveryPictureAndEffectOnce)
{
    Zorlin::CDiskDrive drive(kData.c_str());
    CMediaSet media;
    EXPECT_FALSE(media.IsLoaded());
    media.Load(drive);
    EXPECT_TRUE(media.IsLoaded());
    for (int i = 0; i < CMediaSet::kEffectCount; ++i) {
        EXPECT_FALSE(media.GetEffect(CMediaSet::EEffect(i)).IsEmpty()) << CMediaSet::kEffectFiles[i];
        EXPECT_GT(media.GetEffect(CMediaSet::EEffect(i)).GetLength(), 0.0);
    }
    for (auto& sample : m_fake.sampleBytes)
        EXPECT_EQ(sample.second.substr(0, 4), "OggS");
    const char* pictures[] = {"title", "matewhite", "mateblack", "stale"};
    for (int i = 0; i < CMediaSet::kSplashCount; ++i) {
        CSplash& splash = media.GetSplash(CMediaSet::ESplash(i));
        EXPECT_FALSE(splash.IsEmpty()) << pictures[i];
        EXPECT_EQ(splash.GetPicture().GetSize(),
                  fs::file_size(kData + "/assets/images/splash/" + pictures[i] + ".jpg"));
        EXPECT_EQ(splash.GetBumpMap().GetSize(),
                  fs::file_size(kData + "/assets/images/splash/" + pictures[i] + "-bump.png"));
        EXPECT_EQ(splash.GetPicture().GetPosition(), 0u) << "rewound";
    }
    EXPECT_EQ(media.GetLight().GetSize(), fs::file_size(kData + "/assets/images/splash/light.png"));
    EXPECT_EQ(media.GetNoPhoto().GetWidth(), 64);
    EXPECT_EQ(media.GetNoPhoto().GetHeight(), 64);
    EXPECT_EQ(media.PlayEffect(CMediaSet::kGong), 0);

    size_t loads = m_fake.sampleBytes.size();
    media.Load(drive);
    EXPECT_EQ(m_fake.sampleBytes.size(), loads) << "a second load does nothing";
    EXPECT_EQ(Zorlin::CString(drive.GetCurrentDirectory()), Zorlin::CString("/"));
}

TEST_F(MediaTest, MissingFilesLeaveThingsEmpty)
{
    fs::path empty = fs::temp_directory_path() / ("media-" + std::to_string(::getpid()));
    fs::create_directories(empty / "assets/sounds");
    std::ofstream(empty / "assets/sounds/gong.sfx") << ""; // empty file
    Zorlin::CDiskDrive drive(empty.c_str());
    CMediaSet media;
    media.Load(drive);
    for (int i = 0; i < CMediaSet::kEffectCount; ++i)
        EXPECT_EQ(media.PlayEffect(CMediaSet::EEffect(i)), -1);
    EXPECT_TRUE(media.GetSplash(CMediaSet::kTitle).IsEmpty());
    EXPECT_FALSE(media.GetNoPhoto().HasPixels());
    int opened = 0;
    CSplash::SetWindowOpener([&](Zorlin::CFile&, Zorlin::CFile&, Zorlin::CFile&, CMusicPlayer* music) {
        ++opened;
        delete music;
        return static_cast<wxEvtHandler*>(nullptr);
    });
    EXPECT_FALSE(media.GetSplash(CMediaSet::kTitle).Show("assets/sounds/title.ogg"));
    EXPECT_EQ(opened, 0) << "an empty splash shows nothing";
    fs::remove_all(empty);
}

TEST_F(MediaTest, ShowingASplashPlaysItsJingleOverPausedMusic)
{
    wxInitializer toolkit;
    CFakeMediaHost host(kData);
    host.Set("preferences.music.enable", "yes");
    Zorlin::CDiskDrive drive(kData.c_str());
    CMediaSet media;
    media.Load(drive);

    CSplash& title = media.GetSplash(CMediaSet::kTitle);
    EXPECT_FALSE(title.Show("assets/sounds/title.ogg")) << "no window without an opener";

    // A window stand-in that owns its music player as the real one does.
    class CWindow : public wxEvtHandler {
    public:
        explicit CWindow(CMusicPlayer* music) : m_music(music) {}
        std::unique_ptr<CMusicPlayer> m_music;
    };
    bool makeWindow = false;
    size_t pictureBytes = 0, lightBytes = 0;
    CMusicPlayer* given = nullptr;
    CSplash::SetWindowOpener([&](Zorlin::CFile& picture, Zorlin::CFile&, Zorlin::CFile& light, CMusicPlayer* music) {
        pictureBytes = picture.GetSize() - picture.GetPosition();
        lightBytes = light.GetSize() - light.GetPosition();
        given = music;
        if (!makeWindow) {
            delete music;
            return static_cast<wxEvtHandler*>(nullptr);
        }
        return static_cast<wxEvtHandler*>(new CWindow(music));
    });
    EXPECT_FALSE(title.Show("assets/sounds/title.ogg")) << "the opener made no window";
    EXPECT_EQ(pictureBytes, fs::file_size(kData + "/assets/images/splash/title.jpg"));
    EXPECT_EQ(lightBytes, fs::file_size(kData + "/assets/images/splash/light.png"));
    EXPECT_TRUE(m_fake.played.empty()) << "no window, no jingle";

    makeWindow = true;
    host.GetMusicPlayer()->Add((kData + "/music/01 Opening Book.ogg").c_str());
    ASSERT_TRUE(host.GetMusicPlayer()->Play(kMusicChannel, false));
    ASSERT_TRUE(title.Show("assets/sounds/title.ogg"));
    ASSERT_TRUE(given);
    EXPECT_TRUE(m_fake.paused[kMusicChannel]) << "the background music waits";
    ASSERT_TRUE(m_fake.StreamOn(kJingleChannel));
    EXPECT_EQ(m_fake.StreamOn(kJingleChannel)->path, kData + "/assets/sounds/title.ogg");
    EXPECT_FALSE(m_fake.paused[kJingleChannel]);
    EXPECT_TRUE(title.GetWindow());

    // A window closed by the user is forgotten; one still open goes with the set.
    delete title.GetWindow();
    EXPECT_FALSE(title.GetWindow());
    EXPECT_FALSE(m_fake.StreamOn(kJingleChannel)) << "its player went with it";
    CSplash& stale = media.GetSplash(CMediaSet::kStalemate);
    ASSERT_TRUE(stale.Show(nullptr));
    EXPECT_FALSE(given) << "no track, no player";
    EXPECT_TRUE(stale.GetWindow());

    host.Set("preferences.music.enable", "no");
    ASSERT_TRUE(media.GetSplash(CMediaSet::kBlackMates).Show("assets/sounds/gameover.ogg"));
    EXPECT_FALSE(given) << "music off, no player";

    EXPECT_EQ(CSplash::ResolveTrack("assets/sounds/title.ogg"),
              Zorlin::CString((kData + "/assets/sounds/title.ogg").c_str()));
    EXPECT_EQ(CSplash::ResolveTrack("/abs/track.ogg"), Zorlin::CString("/abs/track.ogg"));
}

TEST_F(MediaTest, BackgroundPlaylistIsTheMusicFolder)
{
    Zorlin::CDiskDrive drive(kData.c_str());
    CMusicPlayer player;
    LoadMusicFolder(drive, player);
    std::vector<std::string> expected;
    for (const auto& entry : fs::directory_iterator(kData + "/music"))
        expected.push_back(entry.path().string());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(player.GetTrackCount(), int(expected.size()));
    EXPECT_GE(player.GetTrackCount(), 3);
    ASSERT_TRUE(player.Play(kMusicChannel, false));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(m_fake.played.at(i), expected[i]);
        m_fake.FinishChannel(kMusicChannel);
        UpdateSound();
    }
    EXPECT_FALSE(player.HasStream());

    Zorlin::CDiskDrive none("/nonexistent-folder-for-music");
    CMusicPlayer empty;
    LoadMusicFolder(none, empty);
    EXPECT_EQ(empty.GetTrackCount(), 0);
}

TEST_F(MediaTest, BoardSkinSoundsPlayThroughTheLibrary)
{
    UseSamplesForBoardSounds();
    std::unique_ptr<CBoardSound> sound = MakeBoardSound();
    ASSERT_TRUE(sound);
    Zorlin::CDiskDrive drive(kData.c_str());
    Zorlin::CAutoPointer<Zorlin::CFile> file =
        drive.OpenFile(Zorlin::CURL("/assets/sounds/tiktok.sfx"), Zorlin::CFile::kModeRead);
    ASSERT_TRUE(sound->Load(*file));
    sound->Play(1);
    ASSERT_EQ(m_fake.samplePlays.size(), 1u);
    EXPECT_EQ(m_fake.samplePlays[0].first, 1);
    SetBoardSoundFactory(nullptr);
}

} // namespace
