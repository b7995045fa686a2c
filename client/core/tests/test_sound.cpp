// The sound switch, samples and the music player, over a back end that
// counts calls instead of playing.
#include "client/core/MusicPlayer.h"
#include "client/core/Sound.h"
#include "client/core/SoundSample.h"
#include "client/core/Voice.h"
#include "client/core/VoiceQueue.h"
#include "client/core/tests/support/FakeMediaHost.h"
#include "client/core/tests/support/FakeSoundBackEnd.h"
#include "foundation/MemFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Zorlin::CFile;
using Zorlin::CMemFile;

namespace {

// A memory file holding bytes, open for reading from the start.
class CBytes : public CMemFile {
public:
    explicit CBytes(const std::string& bytes)
    {
        Open("sample.sfx", kModeRead | kModeWrite | kModeCreate);
        if (!bytes.empty())
            Write(bytes.data(), unsigned(bytes.size()));
        Seek(0, kSeekStart);
    }
};

class CNullTimer : public IVoiceTimer {
public:
    void StartOnce(int) override {}
    void StopTimer() override {}
};

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override { SetSoundBackEnd(&m_fake); }
    void TearDown() override
    {
        CloseSound();
        SetSoundBackEnd(nullptr);
    }
    // Sound on, as start-up leaves it, with the call counter back at zero.
    void Start()
    {
        ASSERT_EQ(StartSound(m_host.settings), ESoundStart::kStarted);
        m_fake.calls = 0;
    }
    std::vector<std::string> Tracks(std::initializer_list<const char*> names)
    {
        std::vector<std::string> out(names.begin(), names.end());
        for (const std::string& name : out)
            m_player.Add(name.c_str());
        return out;
    }
    // Ends the track on the music channel and lets the GUI thread hear of it.
    void EndTrack()
    {
        ASSERT_TRUE(m_fake.FinishChannel(kMusicChannel));
        UpdateSound();
    }

    CFakeSoundBackEnd m_fake;
    CFakeMediaHost m_host;
    CMusicPlayer m_player;
};

TEST_F(SoundTest, MutedClientNeverReachesTheLibrary)
{
    for (const char* mute : {"yes", "TRUE", "Yes"}) {
        m_host.Set("Preferences.Sound.Mute", mute);
        EXPECT_EQ(StartSound(m_host.settings), ESoundStart::kMuted) << mute;
    }
    EXPECT_FALSE(IsSoundReady());

    CSoundSample sample;
    CBytes bytes("17640");
    EXPECT_FALSE(sample.Load(bytes));
    EXPECT_EQ(sample.Play(0), -1);
    EXPECT_EQ(sample.GetLength(), 0.0);
    sample.Free();

    m_player.Add("one.ogg");
    EXPECT_FALSE(m_player.Play(kMusicChannel, false));
    m_player.Pause();
    m_player.Resume();
    SetChannelVolume(kMusicChannel, 100);
    UpdateSound();

    // A voice with a word still speaks nothing and consumes its phrase at once.
    CNullTimer timer;
    CVoiceQueue queue(timer, [] { return int64_t(0); });
    CVoice* voice = new CVoice();
    CBytes word("17640");
    voice->AddSample("pawn", word);
    queue.SetVoice(voice);
    queue.Say("pawn to e 4");
    EXPECT_FALSE(queue.IsSpeaking());
    EXPECT_EQ(queue.GetQueuedCount(), 0);

    EXPECT_EQ(m_fake.calls, 0);
}

TEST_F(SoundTest, StartingSetsVolumesAndStartsOnce)
{
    m_host.Set("preferences.sound.mute", "no");
    m_host.Set("Preferences.Music.Volume", "180");
    EXPECT_EQ(StartSound(m_host.settings), ESoundStart::kStarted);
    EXPECT_TRUE(IsSoundReady());
    EXPECT_EQ(m_fake.master, 255);
    EXPECT_EQ(m_fake.volumes[kMusicChannel], 180);
    EXPECT_EQ(m_fake.volumes[kJingleChannel], 180);
    EXPECT_FALSE(InitSound()) << "already started";

    CloseSound();
    m_fake.initSucceeds = false;
    EXPECT_EQ(StartSound(m_host.settings), ESoundStart::kFailed);
    EXPECT_FALSE(IsSoundReady());
    int before = m_fake.calls;
    SetChannelVolume(kMusicChannel, 10);
    UpdateSound();
    EXPECT_EQ(m_fake.calls, before) << "a failed start stays silent";
}

TEST_F(SoundTest, SampleLengthComesFromFramesAndOutputRate)
{
    Start();
    CSoundSample sample;
    CBytes bytes("17640");
    ASSERT_TRUE(sample.Load(bytes));
    EXPECT_DOUBLE_EQ(sample.GetLength(), 0.4);
    m_fake.rate = 22050;
    EXPECT_DOUBLE_EQ(sample.GetLength(), 0.8);
    EXPECT_EQ(sample.Play(3), 3);

    // Loading again frees the sample held before.
    CBytes other("441");
    ASSERT_TRUE(sample.Load(other));
    EXPECT_EQ(m_fake.sampleFrames.size(), 1u);

    CBytes empty("");
    EXPECT_FALSE(sample.Load(empty));
    CMemFile closed;
    EXPECT_FALSE(sample.Load(closed));
}

TEST_F(SoundTest, SampleIsFreedWithItsObject)
{
    Start();
    {
        CSoundSample sample;
        CBytes bytes("100");
        ASSERT_TRUE(sample.Load(bytes));
        EXPECT_EQ(m_fake.sampleFrames.size(), 1u);
    }
    EXPECT_TRUE(m_fake.sampleFrames.empty());
}

TEST_F(SoundTest, PlaylistPlaysInOrderAndStopsWithoutLoop)
{
    m_host.Set("preferences.music.volume", "90");
    Start();
    auto tracks = Tracks({"/m/1.ogg", "/m/2.ogg", "/m/3.ogg"});
    ASSERT_TRUE(m_player.Play(kMusicChannel, false));
    EndTrack();
    EndTrack();
    EndTrack();
    EXPECT_EQ(m_fake.played, tracks);
    EXPECT_FALSE(m_player.HasStream()) << "idle after the last track";
    EXPECT_EQ(m_player.GetIndex(), 0);
    EXPECT_TRUE(m_fake.streams.empty());
    EXPECT_EQ(m_fake.volumes[kMusicChannel], 90);
    EXPECT_EQ(m_fake.volumes[kJingleChannel], 90);
}

TEST_F(SoundTest, PlaylistStartsAgainWhenLooping)
{
    Start();
    Tracks({"/m/1.ogg", "/m/2.ogg", "/m/3.ogg"});
    m_player.SetLoop(true);
    ASSERT_TRUE(m_player.Play(kMusicChannel, false));
    for (int i = 0; i < 4; ++i)
        EndTrack();
    std::vector<std::string> expected = {"/m/1.ogg", "/m/2.ogg", "/m/3.ogg", "/m/1.ogg", "/m/2.ogg"};
    EXPECT_EQ(m_fake.played, expected);
    EXPECT_TRUE(m_player.HasStream());
}

TEST_F(SoundTest, MissingTracksAreSkipped)
{
    Start();
    Tracks({"/m/1.ogg", "/m/2.ogg", "/m/3.ogg"});
    m_fake.missing = {"/m/2.ogg"};
    ASSERT_TRUE(m_player.Play(kMusicChannel, false));
    EndTrack();
    EXPECT_EQ(m_fake.played, (std::vector<std::string>{"/m/1.ogg", "/m/3.ogg"}));
    EndTrack();
    EXPECT_FALSE(m_player.HasStream());
}

TEST_F(SoundTest, MissingLastTrackDoesNotWrapWithoutLoop)
{
    Start();
    Tracks({"/m/1.ogg", "/m/2.ogg", "/m/3.ogg"});
    m_fake.missing = {"/m/3.ogg"};
    ASSERT_TRUE(m_player.Play(kMusicChannel, false));
    EndTrack();
    EndTrack();
    EXPECT_EQ(m_fake.played, (std::vector<std::string>{"/m/1.ogg", "/m/2.ogg"}));
    EXPECT_FALSE(m_player.HasStream());

    m_player.SetLoop(true);
    ASSERT_TRUE(m_player.Play(kMusicChannel, false));
    EndTrack();
    EndTrack();
    EXPECT_EQ(m_fake.played.back(), "/m/1.ogg") << "with loop on the missing last track leads to the first";
}

TEST_F(SoundTest, EmptyOrUnopenablePlaylistGivesUp)
{
    Start();
    EXPECT_FALSE(m_player.Play(kMusicChannel, false));
    EXPECT_EQ(m_fake.calls, 0);

    Tracks({"/m/1.ogg", "/m/2.ogg"});
    m_fake.missing = {"/m/1.ogg", "/m/2.ogg"};
    m_player.SetLoop(true);
    EXPECT_FALSE(m_player.Play(kMusicChannel, false));
    EXPECT_FALSE(m_player.HasStream());
    EXPECT_TRUE(m_fake.played.empty());
}

TEST_F(SoundTest, PausedStartAndResume)
{
    Start();
    Tracks({"/m/1.ogg"});
    ASSERT_TRUE(m_player.Play(kMusicChannel, true));
    EXPECT_TRUE(m_fake.paused[kMusicChannel]);
    m_player.Resume();
    EXPECT_FALSE(m_fake.paused[kMusicChannel]);
    m_player.Pause();
    EXPECT_TRUE(m_fake.paused[kMusicChannel]);
}

TEST_F(SoundTest, DestroyedPlayerHearsNoLateEnd)
{
    Start();
    {
        CMusicPlayer player;
        player.Add("/m/1.ogg");
        player.Add("/m/2.ogg");
        ASSERT_TRUE(player.Play(kJingleChannel, false));
        ASSERT_TRUE(m_fake.FinishChannel(kJingleChannel));
    }
    EXPECT_TRUE(m_fake.streams.empty()) << "the destructor closes its stream";
    UpdateSound(); // the pending end must not reach the freed player
    EXPECT_EQ(m_fake.played.size(), 1u);
}

TEST(LowestSetBit, MatchesAScanOfTheBits)
{
    EXPECT_EQ(LowestSetBit(0), 0);
    for (unsigned n : {1u, 3u, 0x80000001u, 12345u})
        EXPECT_EQ(LowestSetBit(n), 0) << n;
    for (unsigned n = 1; n < 70000; n += 2) {
        for (unsigned shift : {1u, 5u, 13u}) {
            unsigned value = n << shift;
            if (value == 0)
                continue;
            int expected = 0;
            while (!((value >> expected) & 1u))
                ++expected;
            ASSERT_EQ(LowestSetBit(value), expected) << value;
        }
    }
    EXPECT_EQ(LowestSetBit(0x80000000u), 31);
}

} // namespace
