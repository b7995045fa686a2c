// Voices: the word queue's timing with a scripted clock, and the packs, the
// two committed ones included, loaded over a back end that counts calls.
#include "client/core/Sound.h"
#include "client/core/Voice.h"
#include "client/core/VoicePlayer.h"
#include "client/core/VoiceQueue.h"
#include "client/core/tests/support/FakeSoundBackEnd.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/MemFile.h"

#include <gtest/gtest.h>
#include <wx/init.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using Zorlin::CConfig;
using Zorlin::CMemFile;

namespace {

// The timer a CVoicePlayer needs exists only with the toolkit started.
wxInitializer g_toolkit;

class CBytes : public CMemFile {
public:
    explicit CBytes(const std::string& bytes)
    {
        Open("word", kModeRead | kModeWrite | kModeCreate);
        Write(bytes.data(), unsigned(bytes.size()));
        Seek(0, kSeekStart);
    }
};

class CScriptedTimer : public IVoiceTimer {
public:
    void StartOnce(int milliseconds) override
    {
        running = true;
        period = milliseconds;
    }
    void StopTimer() override { running = false; }
    bool running = false;
    int period = -1;
};

class VoiceQueueTest : public ::testing::Test {
protected:
    VoiceQueueTest() : m_queue(m_timer, [this] { return m_now; }) {}
    void SetUp() override
    {
        SetSoundBackEnd(&m_fake);
        ASSERT_TRUE(InitSound());
    }
    void TearDown() override
    {
        m_queue.SetVoice(nullptr);
        CloseSound();
        SetSoundBackEnd(nullptr);
    }
    // A voice whose words last the given numbers of frames at 44100 Hz.
    void UseVoice(int overlapMs, std::initializer_list<std::pair<const char*, int>> words)
    {
        CVoice* voice = new CVoice();
        voice->SetOverlap(overlapMs);
        for (auto& word : words) {
            CBytes bytes(std::to_string(word.second));
            ASSERT_TRUE(voice->AddSample(word.first, bytes));
            m_handles[word.first] = unsigned(m_fake.sampleFrames.rbegin()->first);
        }
        m_queue.SetVoice(voice);
        m_queue.SetChannel(kWhiteVoiceChannel);
    }
    // The words played so far, by name.
    std::vector<std::string> Spoken() const
    {
        std::vector<std::string> out;
        for (auto& play : m_fake.samplePlays)
            for (auto& handle : m_handles)
                if (handle.second == play.second)
                    out.push_back(handle.first);
        return out;
    }

    CFakeSoundBackEnd m_fake;
    CScriptedTimer m_timer;
    int64_t m_now = 1000;
    CVoiceQueue m_queue;
    std::map<std::string, unsigned> m_handles;
};

TEST_F(VoiceQueueTest, PausesAndWordsStartTheOverlapEarly)
{
    UseVoice(100, {{"pawn", 17640}, {"to", 4410}}); // 400 ms and 100 ms
    m_queue.Say("_ pawn to");
    EXPECT_TRUE(m_queue.IsSpeaking());
    EXPECT_EQ(m_queue.GetDueTime(), 1150) << "a pause is 250 ms less the overlap";
    EXPECT_EQ(m_timer.period, 150);
    EXPECT_TRUE(Spoken().empty());

    m_now = 1149;
    m_queue.Update();
    EXPECT_TRUE(Spoken().empty());
    m_now = 1150;
    m_queue.Update();
    EXPECT_EQ(Spoken(), (std::vector<std::string>{"pawn"}));
    EXPECT_EQ(m_fake.samplePlays.back().first, kWhiteVoiceChannel);
    EXPECT_EQ(m_queue.GetDueTime(), 1450) << "a 400 ms word lets the next start after 300 ms";

    m_now = 1450;
    m_queue.Update();
    EXPECT_EQ(m_queue.GetDueTime(), 1450) << "100 ms less 100 ms of overlap";
    m_queue.Update();
    EXPECT_FALSE(m_queue.IsSpeaking());
    EXPECT_FALSE(m_timer.running);
}

TEST_F(VoiceQueueTest, LongOverlapMakesPausesTakeNoTime)
{
    UseVoice(300, {{"pawn", 4410}});
    m_queue.Say("_ _ pawn");
    EXPECT_EQ(m_queue.GetDueTime(), m_now);
    m_queue.Update();
    m_queue.Update();
    EXPECT_EQ(Spoken(), (std::vector<std::string>{"pawn"}));
}

TEST_F(VoiceQueueTest, UnknownAndSilentWordsAreSkippedAtOnce)
{
    UseVoice(0, {{"knight", 8820}});
    m_queue.Say("zebra Knight");
    EXPECT_EQ(Spoken(), (std::vector<std::string>{"knight"})) << "case is ignored, the unknown word skipped";
    EXPECT_EQ(m_queue.GetDueTime(), 1200);
    EXPECT_EQ(m_queue.GetQueuedCount(), 0);
    EXPECT_TRUE(m_queue.GetVoice()->FindSample("zebra")->IsEmpty());
}

TEST_F(VoiceQueueTest, NewPhrasesQueueBehindTheCurrentOne)
{
    UseVoice(0, {{"pawn", 4410}, {"to", 4410}, {"e", 4410}, {"4", 4410}});
    // As a move description arrives: every word followed by a blank.
    m_queue.Say("Pawn to ");
    m_queue.Say("e\t4\n");
    EXPECT_EQ(m_queue.GetQueuedCount(), 3);
    EXPECT_EQ(Spoken(), (std::vector<std::string>{"pawn"}));
    for (int i = 0; i < 3; ++i)
        m_queue.OnTimer(); // the timer needs no clock
    EXPECT_EQ(Spoken(), (std::vector<std::string>{"pawn", "to", "e", "4"}));
}

TEST_F(VoiceQueueTest, QuotesGroupAndClearForgets)
{
    UseVoice(0, {{"queen side", 4410}, {"pawn", 4410}});
    m_queue.Say("\"queen side\" pawn pawn");
    EXPECT_EQ(Spoken(), (std::vector<std::string>{"queen side"}));
    m_queue.Clear();
    EXPECT_FALSE(m_timer.running);
    EXPECT_EQ(m_queue.GetQueuedCount(), 0);
    m_queue.Update();
    EXPECT_EQ(Spoken().size(), 1u);
}

TEST_F(VoiceQueueTest, WithoutAVoiceNothingIsQueued)
{
    EXPECT_TRUE(m_queue.Say("pawn to e 4"));
    EXPECT_EQ(m_queue.GetQueuedCount(), 0);
    EXPECT_FALSE(m_queue.IsSpeaking());
}

TEST(VoiceOverlap, DecimalSecondsToMilliseconds)
{
    EXPECT_EQ(CVoice::ParseOverlap("0.1"), 100);
    EXPECT_EQ(CVoice::ParseOverlap("0.29"), 290);
    EXPECT_EQ(CVoice::ParseOverlap("0.0755"), 75);
    EXPECT_EQ(CVoice::ParseOverlap("-0.05"), -50);
    EXPECT_EQ(CVoice::ParseOverlap(""), 0);
    EXPECT_EQ(CVoice::ParseOverlap("soon"), 0);
    EXPECT_EQ(CVoice::ParseOverlap("1e300"), 10000);
    EXPECT_EQ(CVoice::ParseOverlap("nan"), 0);
}

class VoicePackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSoundBackEnd(&m_fake);
        ASSERT_TRUE(InitSound());
    }
    void TearDown() override
    {
        CloseSound();
        SetSoundBackEnd(nullptr);
    }
    CFakeSoundBackEnd m_fake;
};

TEST_F(VoicePackTest, CommittedPacksSpeakEveryWord)
{
    std::string voices = std::string(ROOKWELL_SOURCE) + "/data/voices";
    Zorlin::CDiskDrive drive(voices.c_str());
    int packs = 0;
    for (const auto& entry : fs::directory_iterator(voices)) {
        ++packs;
        std::string name = entry.path().filename().string();
        m_fake.sampleBytes.clear();
        CVoice* voice = LoadVoicePack(drive, name.c_str());
        EXPECT_GT(voice->GetOverlap(), 0) << name;
        EXPECT_LT(voice->GetOverlap(), 250) << name;
        for (const char* word : CVoice::kVocabulary)
            EXPECT_FALSE(voice->FindSample(word)->IsEmpty()) << name << ": " << word;
        ASSERT_EQ(m_fake.sampleBytes.size(), size_t(CVoice::kVocabularySize)) << name;
        for (auto& sample : m_fake.sampleBytes)
            EXPECT_EQ(sample.second.substr(0, 4), "OggS") << name;
        delete voice;
        EXPECT_TRUE(m_fake.sampleFrames.empty()) << "the samples go with the voice";
    }
    EXPECT_EQ(packs, 2);
}

TEST_F(VoicePackTest, PackNamesAndFileNamesStayInTheirFolders)
{
    fs::path root = fs::temp_directory_path() / ("voices-" + std::to_string(::getpid()));
    fs::create_directories(root / "voices/inside/sounds");
    fs::create_directories(root / "secret");
    std::ofstream(root / "secret/pawn.sfx") << "4410";
    std::ofstream(root / "voices/inside/sounds/to.sfx") << "4410";
    std::ofstream(root / "voices/inside/info.cfg") << "overlap= 0.02\r\nsounds=\r\n{\r\n"
                                                      "\tpawn= ../../../secret/pawn.sfx\r\n\tto= to.sfx\r\n}\r\n";
    Zorlin::CDiskDrive drive(root.c_str());
    CConfig user;
    user.GetValue("preferences.voices.white.pack") = "inside";
    user.GetValue("preferences.voices.black.pack") = "../secret";
    CVoicePlayer white, black;
    LoadVoicePacks(drive, user, white, black);

    EXPECT_EQ(white.GetChannel(), kWhiteVoiceChannel);
    EXPECT_EQ(black.GetChannel(), kBlackVoiceChannel);
    CVoice* voice = white.GetQueue().GetVoice();
    ASSERT_TRUE(voice);
    EXPECT_EQ(voice->GetOverlap(), 20);
    EXPECT_FALSE(voice->FindSample("to")->IsEmpty());
    EXPECT_TRUE(voice->FindSample("pawn")->IsEmpty()) << "a file name leaving sounds/ is refused";
    ASSERT_TRUE(black.GetQueue().GetVoice());
    EXPECT_EQ(m_fake.sampleFrames.size(), 1u) << "a pack name leaving voices/ is refused";
    EXPECT_EQ(Zorlin::CString(drive.GetCurrentDirectory()), Zorlin::CString("/"));
    fs::remove_all(root);
}

TEST(SelectVoicePlayer, LocalWhiteGetsTheFirstPlayer)
{
    CVoicePlayer first, second;
    EXPECT_EQ(SelectVoicePlayer(0, true, &first, &second), &first);
    EXPECT_EQ(SelectVoicePlayer(1, true, &first, &second), &second);
    EXPECT_EQ(SelectVoicePlayer(0, false, &first, &second), &second);
    EXPECT_EQ(SelectVoicePlayer(1, false, &first, &second), &first);
}

} // namespace
