// The real sound layer over SDL2_mixer, with SDL's disk driver standing in
// for a sound card: what it writes is measured with sox.
#include "client/core/MusicPlayer.h"
#include "client/core/Sound.h"
#include "client/core/SoundSample.h"
#include "client/core/Voice.h"
#include "client/core/VoiceQueue.h"
#include "foundation/DiskDrive.h"
#include "foundation/MemFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using Zorlin::CFile;
using Zorlin::CMemFile;

namespace {

std::string RunCommand(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// A sine tone of the given length as a 22050 Hz mono WAV file.
void MakeTone(const fs::path& path, double seconds, int hertz)
{
    std::string command = "sox -n -r 22050 -c 1 -b 16 '" + path.string() + "' synth " + std::to_string(seconds) +
                          " sine " + std::to_string(hertz) + " vol 0.5";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class CMemFileOf : public CMemFile {
public:
    explicit CMemFileOf(const fs::path& path)
    {
        Open(path.string().c_str(), kModeRead | kModeWrite | kModeCreate);
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Write(bytes.data(), unsigned(bytes.size()));
        Seek(0, kSeekStart);
    }
};

class CNoTimer : public IVoiceTimer {
public:
    void StartOnce(int) override {}
    void StopTimer() override {}
};

class SdlSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("sdl-sound-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        m_output = m_dir / "out.raw";
        ::setenv("SDL_AUDIODRIVER", "disk", 1);
        ::setenv("SDL_DISKAUDIOFILE", m_output.c_str(), 1);
        m_disk = InitSound();
        if (!m_disk) {
            ::setenv("SDL_AUDIODRIVER", "dummy", 1);
            ASSERT_TRUE(InitSound()) << "neither SDL's disk nor its dummy driver starts";
        }
    }
    void TearDown() override
    {
        CloseSound();
        fs::remove_all(m_dir);
    }
    // Pumps the end notices as the game tick does, until done() or 10 s.
    template <class F>
    bool PumpUntil(F done)
    {
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit)
                return false;
            UpdateSound();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // Whether the disk driver's output ends in at least seconds of silence
    // after a sound: 16-bit stereo at 44.1 kHz, silence written as zeros.
    bool EndsInSilence(double seconds) const
    {
        std::ifstream in(m_output, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        size_t last = data.find_last_not_of('\0');
        return last != std::string::npos && data.size() - last > size_t(seconds * 44100) * 4;
    }

    // Seconds from the first to the last sound of the disk driver's output.
    double HeardSeconds() const
    {
        std::string stat = RunCommand("sox -t raw -r 44100 -e signed -b 16 -c 2 '" + m_output.string() +
                                      "' -n silence 1 0.002 1% reverse silence 1 0.002 1% reverse stat 2>&1");
        size_t at = stat.find("Length (seconds):");
        return at == std::string::npos ? 0.0 : std::atof(stat.c_str() + at + 17);
    }
    // The disk driver's output rewritten once the device has reopened.
    void ForgetOutput() { fs::remove(m_output); }
    bool OutputHasSound() const { return fs::exists(m_output) && EndsInSilence(0.0); }

    fs::path m_dir;
    fs::path m_output;
    bool m_disk = false;
};

TEST_F(SdlSoundTest, SpokenPhraseHasTheLengthItsWordsAndOverlapGive)
{
    MakeTone(m_dir / "one.wav", 0.30, 440);
    MakeTone(m_dir / "two.wav", 0.20, 660);
    MakeTone(m_dir / "three.wav", 0.25, 550);
    CVoice* voice = new CVoice();
    for (const char* word : {"one", "two", "three"}) {
        CMemFileOf file(m_dir / (std::string(word) + ".wav"));
        ASSERT_TRUE(voice->AddSample(word, file)) << word;
    }
    EXPECT_NEAR(voice->FindSample("one")->GetLength(), 0.30, 0.001);
    voice->SetOverlap(50);

    CNoTimer timer;
    CVoiceQueue queue(timer, CVoiceQueue::SteadyClock());
    queue.SetVoice(voice);
    queue.SetChannel(kWhiteVoiceChannel);
    queue.Say("one _ two three");
    ASSERT_TRUE(PumpUntil([&] {
        queue.Update();
        return !queue.IsSpeaking();
    }));
    // The last word has begun: it has played out once silence follows it.
    ASSERT_TRUE(!m_disk || PumpUntil([&] { return EndsInSilence(0.3); })) << "the last word ends";
    CloseSound();
    if (!m_disk)
        GTEST_SKIP() << "no disk driver: nothing to measure";

    // one starts at 0, the pause at 0.25 s, two at 0.45 s, three at 0.60 s
    // and ends at 0.85 s: the sound from its first to its last sample.
    std::string stat = RunCommand("sox -t raw -r 44100 -e signed -b 16 -c 2 '" + m_output.string() +
                           "' -n silence 1 0.002 1% reverse silence 1 0.002 1% reverse stat 2>&1");
    size_t at = stat.find("Length (seconds):");
    ASSERT_NE(at, std::string::npos) << stat;
    double length = std::atof(stat.c_str() + at + 17);
    EXPECT_GT(length, 0.78) << stat;
    EXPECT_LT(length, 1.15) << stat;
}

TEST_F(SdlSoundTest, WordLengthsMatchWhatSoxMeasures)
{
    fs::path pack = fs::path(ROOKWELL_SOURCE) / "data/voices";
    for (const auto& entry : fs::directory_iterator(pack)) {
        for (const char* word : {"knight", "enpassant", "7", "intro"}) {
            fs::path file = entry.path() / "sounds" / (std::string(word) + ".ogg");
            CMemFileOf bytes(file);
            CSoundSample sample;
            ASSERT_TRUE(sample.Load(bytes)) << file;
            double measured = std::atof(RunCommand("soxi -D '" + file.string() + "'").c_str());
            EXPECT_GT(measured, 0.1) << file;
            EXPECT_NEAR(sample.GetLength(), measured, 0.002) << file;
        }
    }
}

TEST_F(SdlSoundTest, PlaylistMovesOnAsTracksEnd)
{
    MakeTone(m_dir / "a.wav", 0.12, 440);
    MakeTone(m_dir / "c.wav", 0.12, 550);
    CMusicPlayer player;
    player.Add((m_dir / "a.wav").c_str());
    player.Add((m_dir / "missing.wav").c_str());
    player.Add((m_dir / "c.wav").c_str());
    ASSERT_TRUE(player.Play(kMusicChannel, false));
    EXPECT_EQ(player.GetIndex(), 0);
    ASSERT_TRUE(PumpUntil([&] { return player.GetIndex() == 2; })) << "the missing track is skipped";
    EXPECT_TRUE(player.HasStream());
    ASSERT_TRUE(PumpUntil([&] { return !player.HasStream(); })) << "idle after the last track";
    EXPECT_EQ(player.GetIndex(), 0);
}

TEST_F(SdlSoundTest, JinglePlaysWhilePausedMusicWaits)
{
    MakeTone(m_dir / "music.wav", 0.1, 330);
    MakeTone(m_dir / "jingle.wav", 0.1, 880);
    CMusicPlayer music, jingle;
    music.Add((m_dir / "music.wav").c_str());
    jingle.Add((m_dir / "jingle.wav").c_str());
    ASSERT_TRUE(music.Play(kMusicChannel, true));
    ASSERT_TRUE(jingle.Play(kJingleChannel, false));
    ASSERT_TRUE(PumpUntil([&] { return !jingle.HasStream(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    UpdateSound();
    EXPECT_TRUE(music.HasStream()) << "paused music never ends";
    music.Resume();
    ASSERT_TRUE(PumpUntil([&] { return !music.HasStream(); }));
}

TEST_F(SdlSoundTest, IdleDeviceClosesAndTheNextSoundPlaysWhole)
{
    MakeTone(m_dir / "gong.wav", 0.30, 440);
    CMemFileOf file(m_dir / "gong.wav");
    CSoundSample sample;
    ASSERT_TRUE(sample.Load(file));
    ASSERT_GE(sample.Play(kEffectChannel), 0);
    ASSERT_TRUE(PumpUntil([] { return !IsSoundActive(); })) << "the device closes once all is quiet";
    if (!m_disk)
        GTEST_SKIP() << "no disk driver: nothing to measure";
    ForgetOutput();
    ASSERT_GE(sample.Play(kEffectChannel), 0);
    EXPECT_TRUE(IsSoundActive());
    ASSERT_TRUE(PumpUntil([&] { return OutputHasSound() && EndsInSilence(0.2); })) << "the device opened again";
    CloseSound();
    EXPECT_NEAR(HeardSeconds(), 0.30, 0.03) << "not a frame of the start is lost";
}

TEST_F(SdlSoundTest, PausedMusicOutlastsTheIdleCloseAndGoesOnWhereItStood)
{
    if (!m_disk)
        GTEST_SKIP() << "no disk driver: nothing to measure";
    MakeTone(m_dir / "music.wav", 1.0, 330);
    CMusicPlayer music;
    music.Add((m_dir / "music.wav").c_str());
    // Without user settings the player sets the music volume to 0: it is
    // turned up before a frame is mixed.
    ASSERT_TRUE(music.Play(kMusicChannel, true));
    SetChannelVolume(kMusicChannel, 255);
    music.Resume();
    ASSERT_TRUE(PumpUntil([&] { return HeardSeconds() > 0.3; }));
    music.Pause();
    ASSERT_TRUE(PumpUntil([] { return !IsSoundActive(); })) << "paused music does not keep the device open";
    double before = HeardSeconds();
    EXPECT_GT(before, 0.2);
    EXPECT_LT(before, 0.9);
    EXPECT_TRUE(music.HasStream());
    ForgetOutput();
    music.Resume();
    ASSERT_TRUE(PumpUntil([&] { return !music.HasStream(); })) << "the rest plays to its end, which is told";
    ASSERT_TRUE(PumpUntil([&] { return EndsInSilence(0.1); }));
    CloseSound();
    double after = HeardSeconds();
    EXPECT_NEAR(before + after, 1.0, 0.06) << before << " s before the pause, " << after << " s after";
}

} // namespace
